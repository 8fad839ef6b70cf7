// The built image run as the desktop runs it: a process with a command line,
// judged by its exit code. The tests run in the build directory, next to
// vasken32.scr.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "saver_harness.h"

namespace {

const DWORD timedOut = 0xDEADBEEFu;

DWORD runImage(const std::string& commandLine, DWORD timeoutMs = 20000)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return GetLastError() | 0x80000000u;
    DWORD code = timedOut;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

} // namespace

TEST(ImageExitCodes, UnusableCommandLinesEndWithMinusOne)
{
    const char* const lines[] = {"/x", "/?", "/p 0", "/p:1234", "/p", "/p 1234", "/l 0", "/a 1234", "/\t/s",
                                 "\xE9"};
    for (const char* arguments : lines) {
        EXPECT_EQ(runImage(std::string("vasken32.scr ") + arguments), 0xFFFFFFFFu)
            << "arguments [" << arguments << "] on the NT family";
    }
}

TEST(ImageExitCodes, QuotedProgramNameWithBlanksIsSkippedWhole)
{
    // Copy the image into a directory whose name has blanks and a switch-like
    // word, so that a wrong skip would see "/s" or the word.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string directory = std::string(temp) + "vasken test dir s";
    CreateDirectoryA(directory.c_str(), nullptr);
    const std::string copy = directory + "\\vasken32.scr";
    ASSERT_TRUE(CopyFileA(harness::imagePath().c_str(), copy.c_str(), FALSE));
    EXPECT_EQ(runImage("\"" + copy + "\" /x"), 0xFFFFFFFFu);
    EXPECT_EQ(runImage("\"" + copy + "\"   /p:77"), 0xFFFFFFFFu);
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(directory.c_str());
}

TEST(ImageExitCodes, PasswordChangeRunsOnlyOnTheWin95Family)
{
    EXPECT_EQ(runImage("vasken32.scr /a 1234"), 0xFFFFFFFFu);
    harness::Win95ForImage win95;
    EXPECT_EQ(runImage("vasken32.scr /a 1234"), 0u);
    EXPECT_EQ(runImage("vasken32.scr -A"), 0u);
    EXPECT_EQ(runImage("vasken32.scr /x"), 0xFFFFFFFFu);
}
