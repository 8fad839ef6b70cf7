// The saver window of the built image, driven from outside: the full-screen
// and preview forms, what ends the full-screen saver and what does not, the
// single running full-screen saver, and the messages the host swallows or
// hands to the preview's parent.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/platforms/win32/saver_harness.h"

using namespace harness;

namespace {

const int startX = 300;
const int startY = 300;
// A close request ends the process well within this (the test displays have
// no window manager to wait for).
const DWORD closeTimeoutMs = 1000;
// How long a saver must keep running to count as not closed.
const DWORD staysOpenMs = 400;

class FullScreenSaver : public ::testing::Test {
protected:
    void SetUp() override
    {
        endLeftoverSavers();
        placeCursor(startX, startY);
    }
    void TearDown() override
    {
        saver.stop();
        endLeftoverSavers();
    }

    HWND startFullScreen() { return harness::startFullScreen(saver); }

    ImageProcess saver;
};

} // namespace

TEST_F(FullScreenSaver, CoversTheScreenInFrontOfEverything)
{
    HWND window = startFullScreen();
    ASSERT_NE(window, nullptr) << "no top-level \"Screen Saver\" window of class " << saverClass;

    const LONG style = GetWindowLongA(window, GWL_STYLE);
    const LONG wanted = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    EXPECT_EQ(style & wanted, wanted) << std::hex << "style 0x" << style;
    EXPECT_EQ(style & (WS_CHILD | WS_CAPTION | WS_THICKFRAME), 0) << std::hex << "style 0x" << style;
    EXPECT_NE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(rect.bottom, GetSystemMetrics(SM_CYSCREEN));

    EXPECT_EQ(GetClassLongA(window, GCL_STYLE), static_cast<DWORD>(CS_OWNDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(GetClassLongPtrA(window, GCLP_HCURSOR), 0) << "the class must give the window no cursor";
    EXPECT_EQ(GetForegroundWindow(), window);
    EXPECT_TRUE(saver.running());
}

TEST_F(FullScreenSaver, EachKindOfInputEndsItWithinASecond)
{
    struct Case {
        const char* input;
        std::function<void()> give;
    };
    const Case cases[] = {
        {"key press", [] { pressKey('A'); }},
        {"system key press", [] { pressKey(VK_F10); }},
        {"left button", [] { clickButton(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP); }},
        {"right button", [] { clickButton(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP); }},
        {"middle button", [] { clickButton(MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP); }},
        {"mouse travel of 5", [] { moveCursorTo(startX + 3, startY - 2); }},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(placeCursor(startX, startY));
        ASSERT_NE(startFullScreen(), nullptr) << c.input;
        c.give();
        EXPECT_EQ(saver.waitForExit(closeTimeoutMs), 0u) << c.input << ": expected exit code 0 within "
                                                         << closeTimeoutMs << " ms";
        saver.stop();
    }
}

TEST_F(FullScreenSaver, ActivatingAnotherApplicationEndsIt)
{
    ASSERT_NE(startFullScreen(), nullptr);
    TestWindow other("VaskenOtherApp", "Other application", WS_OVERLAPPEDWINDOW, 200, 150);
    SetForegroundWindow(other.handle());
    EXPECT_EQ(saver.waitForExit(closeTimeoutMs), 0u);
}

TEST_F(FullScreenSaver, ReleasingKeysAndButtonsDoesNotEndIt)
{
    ASSERT_NE(startFullScreen(), nullptr);
    releaseKey('A');
    mouseButton(MOUSEEVENTF_LEFTUP);
    mouseButton(MOUSEEVENTF_RIGHTUP);
    mouseButton(MOUSEEVENTF_MIDDLEUP);
    EXPECT_EQ(saver.waitForExit(staysOpenMs), stillRunning);
}

TEST_F(FullScreenSaver, MouseTravelOfFourIsToleratedFiveIsNot)
{
    struct Case {
        const char* path;
        std::vector<POINT> offsets; // from the start point, visited in order
        bool closes;
    };
    const Case cases[] = {
        {"2 right and 2 down", {{2, 2}}, false},
        {"4 left in steps of 1", {{-1, 0}, {-2, 0}, {-3, 0}, {-4, 0}}, false},
        {"4 up", {{0, -4}}, false},
        {"out 3 and back again, twice", {{3, 0}, {0, 0}, {0, 3}, {0, 0}}, false},
        {"2 right, 2 down, then 1 down", {{2, 2}, {2, 3}}, true},
        {"5 right in steps of 1", {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}, true},
        {"3 left and 2 up", {{-3, -2}}, true},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(placeCursor(startX, startY));
        ASSERT_NE(startFullScreen(), nullptr) << c.path;
        for (const POINT& offset : c.offsets) {
            moveCursorTo(startX + offset.x, startY + offset.y);
            pumpFor(30);
        }
        const DWORD code = saver.waitForExit(c.closes ? closeTimeoutMs : staysOpenMs);
        if (c.closes)
            EXPECT_EQ(code, 0u) << c.path << ": expected the saver to end";
        else
            EXPECT_EQ(code, stillRunning) << c.path << ": expected the saver to stay";
        saver.stop();
    }
}

TEST_F(FullScreenSaver, SecondStartBringsTheFirstToTheFrontAndEnds)
{
    HWND first = startFullScreen();
    ASSERT_NE(first, nullptr);
    ImageProcess second;
    ASSERT_TRUE(second.start("/s"));
    EXPECT_EQ(second.waitForExit(10000), 0u);
    EXPECT_TRUE(saver.running()) << "the first saver must go on running";
    EXPECT_EQ(FindWindowExA(nullptr, first, saverClass, nullptr), nullptr) << "a second saver window exists";
    EXPECT_EQ(GetForegroundWindow(), first);
}

TEST_F(FullScreenSaver, SecondStartRaisesAnyRunningSaverWindow)
{
    // A stand-in for a running saver, owned by this process, behind another
    // window: the start must bring exactly it to the front and create nothing.
    TestWindow running(saverClass, "Screen Saver", WS_OVERLAPPEDWINDOW, 200, 150);
    TestWindow other("VaskenOtherApp", "Other application", WS_OVERLAPPEDWINDOW, 200, 150);
    SetForegroundWindow(other.handle());
    ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == other.handle(); }, 2000));

    ASSERT_TRUE(saver.start("/s"));
    EXPECT_EQ(saver.waitForExit(10000), 0u);
    EXPECT_TRUE(waitUntil([&] { return GetForegroundWindow() == running.handle(); }, 2000))
        << "foreground " << GetForegroundWindow() << ", running saver " << running.handle() << ", other "
        << other.handle();
}

TEST_F(FullScreenSaver, TitleCannotBeChanged)
{
    HWND window = startFullScreen();
    ASSERT_NE(window, nullptr);
    DWORD_PTR result = 99;
    ASSERT_TRUE(SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Something else"), SMTO_NORMAL,
                                    2000, &result));
    EXPECT_EQ(result, 0u);
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Screen Saver");
}

TEST_F(FullScreenSaver, TaskSwitchAndScreenSaveCommandsAreSwallowed)
{
    HWND window = startFullScreen();
    ASSERT_NE(window, nullptr);
    for (WPARAM command : {SC_SCREENSAVE, SC_NEXTWINDOW, SC_PREVWINDOW}) {
        DWORD_PTR result = 99;
        ASSERT_TRUE(SendMessageTimeoutA(window, WM_SYSCOMMAND, command, 0, SMTO_NORMAL, 2000, &result));
        EXPECT_EQ(result, 0u) << std::hex << "command 0x" << command;
    }
    EXPECT_EQ(saver.waitForExit(staysOpenMs), stillRunning);
    EXPECT_EQ(GetForegroundWindow(), window);

    // Any other system command goes on down the chain: the platform's close
    // command ends the saver.
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(saver.waitForExit(closeTimeoutMs), 0u);
}

TEST_F(FullScreenSaver, CursorIsHidden)
{
    HWND window = startFullScreen();
    ASSERT_NE(window, nullptr);
    moveCursorTo(startX + 1, startY + 1);
    pumpFor(100);
    CURSORINFO cursor = {};
    cursor.cbSize = sizeof cursor;
    ASSERT_TRUE(GetCursorInfo(&cursor));
    EXPECT_EQ(cursor.hCursor, nullptr);
    EXPECT_TRUE(saver.running());
}

namespace {

// The preview's parent: a window of this process, standing in for the
// display settings panel. It records the help and context-menu messages
// that reach it; the help's HELPINFO is copied while the message is being
// handled, the only time its pointer is valid.
struct ParentRecord {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    HELPINFO help;
};
std::vector<ParentRecord> parentRecords;

LRESULT CALLBACK recordingParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_HELP || message == WM_CONTEXTMENU) {
        ParentRecord record = {message, wParam, lParam, {}};
        if (message == WM_HELP && lParam != 0)
            record.help = *reinterpret_cast<const HELPINFO*>(lParam);
        parentRecords.push_back(record);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

const ParentRecord* findRecord(UINT message)
{
    for (const ParentRecord& record : parentRecords)
        if (record.message == message)
            return &record;
    return nullptr;
}

class PreviewSaver : public ::testing::Test {
protected:
    void SetUp() override
    {
        endLeftoverSavers();
        parentRecords.clear();
        parent = std::make_unique<TestWindow>("VaskenPreviewParent", "Display settings", WS_OVERLAPPEDWINDOW, 260,
                                              200, recordingParentProc);
        SetForegroundWindow(parent->handle());
    }
    void TearDown() override
    {
        saver.stop();
        endLeftoverSavers();
        parent.reset();
    }

    HWND startPreview()
    {
        if (!saver.start("/p " + decimal(parent->handle())))
            return nullptr;
        return waitForWindow(saver, saverClass, "Preview", parent->handle());
    }

    std::unique_ptr<TestWindow> parent;
    ImageProcess saver;
};

} // namespace

TEST_F(PreviewSaver, ChildFillsTheParentsClientArea)
{
    HWND child = startPreview();
    ASSERT_NE(child, nullptr) << "no \"Preview\" child window in the parent";
    EXPECT_EQ(GetParent(child), parent->handle());
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    const LONG wanted = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
    EXPECT_EQ(style & wanted, wanted) << std::hex << "style 0x" << style;
    EXPECT_EQ(style & WS_POPUP, 0) << std::hex << "style 0x" << style;
    EXPECT_EQ(GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    RECT parentClient;
    GetClientRect(parent->handle(), &parentClient);
    RECT childRect;
    GetWindowRect(child, &childRect);
    MapWindowPoints(nullptr, parent->handle(), reinterpret_cast<POINT*>(&childRect), 2);
    EXPECT_EQ(childRect.left, 0);
    EXPECT_EQ(childRect.top, 0);
    EXPECT_EQ(childRect.right, parentClient.right);
    EXPECT_EQ(childRect.bottom, parentClient.bottom);
}

TEST_F(PreviewSaver, IgnoresKeysClicksAndMouseTravel)
{
    HWND child = startPreview();
    ASSERT_NE(child, nullptr);
    for (UINT message : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN})
        PostMessageA(child, message, 0, 0);
    PostMessageA(child, WM_ACTIVATEAPP, FALSE, 0);
    RECT area;
    GetWindowRect(child, &area);
    moveCursorTo(area.left + 10, area.top + 10);
    pumpFor(30);
    moveCursorTo(area.left + 60, area.top + 50);
    EXPECT_EQ(saver.waitForExit(staysOpenMs), stillRunning);
    EXPECT_TRUE(IsWindow(child));

    char title[32] = {};
    SendMessageTimeoutA(child, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Other"), SMTO_NORMAL, 2000, nullptr);
    GetWindowTextA(child, title, sizeof title);
    EXPECT_STREQ(title, "Preview");
}

TEST_F(PreviewSaver, HelpAndContextMenuGoToTheParent)
{
    HWND child = startPreview();
    ASSERT_NE(child, nullptr);
    DWORD_PTR result = 0;
    const LPARAM where = MAKELPARAM(77, 55);
    ASSERT_TRUE(SendMessageTimeoutA(child, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(child), where, SMTO_NORMAL,
                                    2000, &result));
    EXPECT_EQ(result, 1u);
    HELPINFO help = {};
    help.cbSize = sizeof help;
    help.iContextType = HELPINFO_WINDOW;
    help.iCtrlId = 4321;
    help.hItemHandle = child;
    help.dwContextId = 0x5eed;
    help.MousePos = {123, 45};
    result = 0;
    ASSERT_TRUE(SendMessageTimeoutA(child, WM_HELP, 0, reinterpret_cast<LPARAM>(&help), SMTO_NORMAL, 2000, &result));
    EXPECT_EQ(result, 1u);

    // The help arrives while it is being sent, the context menu through the
    // parent's queue.
    ASSERT_TRUE(waitUntil([&] { return parentRecords.size() >= 2; }, 2000))
        << parentRecords.size() << " of 2 messages reached the parent";
    for (const ParentRecord& record : parentRecords)
        EXPECT_EQ(record.wParam, reinterpret_cast<WPARAM>(parent->handle())) << "message 0x" << std::hex
                                                                             << record.message;
    const ParentRecord* menu = findRecord(WM_CONTEXTMENU);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->lParam, where);
    const ParentRecord* helpRecord = findRecord(WM_HELP);
    ASSERT_NE(helpRecord, nullptr) << "the help never reached the parent";
    const HELPINFO& got = helpRecord->help;
    EXPECT_EQ(got.cbSize, sizeof help);
    EXPECT_EQ(got.iContextType, HELPINFO_WINDOW);
    EXPECT_EQ(got.iCtrlId, 4321);
    EXPECT_EQ(got.hItemHandle, child);
    EXPECT_EQ(got.dwContextId, 0x5eedu);
    EXPECT_EQ(got.MousePos.x, 123);
    EXPECT_EQ(got.MousePos.y, 45);
    EXPECT_TRUE(saver.running());
}

TEST_F(PreviewSaver, SystemCommandsGoDownTheChain)
{
    // In the preview the close command is not swallowed: it reaches the
    // platform, which destroys the window, and the run ends.
    HWND child = startPreview();
    ASSERT_NE(child, nullptr);
    PostMessageA(child, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(saver.waitForExit(closeTimeoutMs), 0u);
}

TEST_F(PreviewSaver, EndsWhenTheParentDestroysIt)
{
    HWND child = startPreview();
    ASSERT_NE(child, nullptr);
    DestroyWindow(parent->handle());
    EXPECT_EQ(saver.waitForExit(closeTimeoutMs), 0u);
}
