// The saver's section of CONTROL.INI as the tests set it up and look at it.
#pragma once
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

namespace profile {

const char section[] = "Screen Saver.VASKEN32";
const char file[] = "CONTROL.INI";

// The file's bytes as they lie in the Windows directory (read directly: the
// profile functions of this process may cache the file).
inline std::string fileBytes()
{
    char directory[MAX_PATH];
    GetWindowsDirectoryA(directory, MAX_PATH);
    std::ifstream in(std::string(directory) + "\\" + file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Sets one key of the saver's section for as long as it lives.
class ProfileValue {
public:
    ProfileValue(const char* key, const char* value) : key_(key)
    {
        WritePrivateProfileStringA(section, key, value, file);
    }
    ~ProfileValue() { WritePrivateProfileStringA(section, key_, nullptr, file); }
    ProfileValue(const ProfileValue&) = delete;
    ProfileValue& operator=(const ProfileValue&) = delete;

private:
    const char* key_;
};

} // namespace profile
