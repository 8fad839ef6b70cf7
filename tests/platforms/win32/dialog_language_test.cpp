// The configuration dialog in the user's language: the platform's resource
// lookup gives the image the Japanese template on a Japanese system and the
// English one elsewhere, with no choice made by the image itself.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/platforms/win32/saver_harness.h"

using namespace harness;

namespace {

// This process's environment with LANG set to `locale`, and without the
// variables that would override it.
std::string environmentWithLocale(const std::string& locale)
{
    std::string block;
    char* all = GetEnvironmentStringsA();
    for (const char* entry = all; *entry != '\0'; entry += std::strlen(entry) + 1) {
        const std::string variable = entry;
        if (variable.rfind("LANG=", 0) == 0 || variable.rfind("LANGUAGE=", 0) == 0 || variable.rfind("LC_", 0) == 0)
            continue;
        block += variable;
        block += '\0';
    }
    FreeEnvironmentStringsA(all);
    block += "LANG=" + locale;
    block += '\0';
    block += '\0';
    return block;
}

// The configuration dialog of an image started in a locale of its own.
// Wine takes a process's locale from the Unix environment it starts with,
// and the Windows programs this process starts inherit its own; so the image
// is started through Wine's loader, a Unix program, which does receive the
// environment given here. The loader's process is not the image's, so the
// image is known by its dialog: one of another process with the speed bar.
class ImageInLocale {
public:
    explicit ImageInLocale(const std::string& locale)
    {
        char loader[MAX_PATH] = {};
        GetEnvironmentVariableA("WINELOADER", loader, MAX_PATH);
        std::string line = std::string("\"") + loader + "\" \"" + imagePath() + "\" /c";
        const std::string environment = environmentWithLocale(locale);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started = {};
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, const_cast<char*>(environment.c_str()),
                            nullptr, &startup, &started))
            return;
        if (started.hThread)
            CloseHandle(started.hThread);
        if (started.hProcess)
            CloseHandle(started.hProcess);
        waitUntil([this] { return (dialog_ = findDialog()) != nullptr; }, 10000);
        if (dialog_)
            process_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE,
                                   windowProcess(dialog_));
    }
    ~ImageInLocale()
    {
        if (process_ == nullptr)
            return;
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 0xDEAD);
            WaitForSingleObject(process_, 5000);
        }
        CloseHandle(process_);
    }
    ImageInLocale(const ImageInLocale&) = delete;
    ImageInLocale& operator=(const ImageInLocale&) = delete;

    HWND dialog() const { return dialog_; }

    // Closes the dialog with the close box's message; the exit code, or
    // stillRunning.
    DWORD close()
    {
        PostMessageA(dialog_, WM_CLOSE, 0, 0);
        DWORD code = stillRunning;
        if (process_ && waitUntil([this] { return WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }, 5000))
            GetExitCodeProcess(process_, &code);
        return code;
    }

private:
    static HWND findDialog()
    {
        for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", nullptr); w != nullptr;
             w = FindWindowExA(nullptr, w, "#32770", nullptr))
            if (windowProcess(w) != GetCurrentProcessId() && IsWindowVisible(w) && GetDlgItem(w, 110) != nullptr)
                return w;
        return nullptr;
    }

    HWND dialog_ = nullptr;
    HANDLE process_ = nullptr;
};

std::wstring textOf(HWND window)
{
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    return text;
}

std::string utf8(const std::wstring& text)
{
    char bytes[256] = {};
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes, sizeof bytes - 1, nullptr, nullptr);
    return bytes;
}

} // namespace

TEST(ConfigDialogLanguage, TheDialogShowsTheTemplateOfTheProcessLanguage)
{
    // The controls in template order; null where the text is not the
    // template's (icon, bars, value labels) and for the version and credit
    // lines, which are English in both.
    struct Case {
        const char* locale;
        const wchar_t* title;
        std::vector<const wchar_t*> controls;
    } const cases[] = {
        {"C", L"Settings",
         {nullptr, L"VASKEN32", L"Screen Saver", L"Animation speed", nullptr, nullptr, L"Sound ON", L"OFF",
          L"Refresh period (min)", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, L"OK"}},
        {"ja_JP.UTF-8", L"設定",
         {nullptr, L"VASKENの", L"スクリーンセーバー", L"アニメーションの速さ", nullptr, nullptr, L"サウンドON", L"OFF",
          L"リフレッシュの頻度(分)", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, L"OK"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("LANG=") + c.locale);
        ImageInLocale saver(c.locale);
        const HWND dialog = saver.dialog();
        ASSERT_NE(dialog, nullptr) << "no dialog window";

        EXPECT_EQ(utf8(textOf(dialog)), utf8(c.title))
            << "title (a Japanese locale needs ja_JP.UTF-8 generated on the machine)";
        std::vector<HWND> children;
        for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
            children.push_back(child);
        ASSERT_EQ(children.size(), c.controls.size()) << "controls";
        for (size_t i = 0; i < children.size(); ++i) {
            if (c.controls[i] != nullptr) {
                EXPECT_EQ(utf8(textOf(children[i])), utf8(c.controls[i])) << "control " << i + 1;
            }
        }
        EXPECT_EQ(saver.close(), 1u);
    }
}
