// The host's default handling and close verification inside this process,
// against the real platform: which messages post a close request, the mouse
// travel rule on the real cursor, the cursor rules, the verification request
// and its guards (re-entry, the quiet interval on a controlled clock, the
// discarded timer ticks), and the input context of a running preview.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "host/close_rules.h"
#include "platforms/win32/host_win32.h"
#include "platforms/win32/clock_win32.h"
#include "support/clock.h"
#include "tests/platforms/win32/saver_harness.h"

namespace {

// What the stand-in verifier does and saw.
struct VerifierScript {
    BOOL answer = FALSE;
    uint32_t advanceClockBy = 0; // the verification "takes" this long
    bool probeWhileVerifying = false;
    int calls = 0;
    int32_t verifyingSeen = 0;
    int32_t nestedResult = -1;
    bool nestedClosePosted = false;
    LRESULT nestedCloseResult = -1;
    bool nestedWindowAlive = false;
};
VerifierScript script;
uint32_t fakeNow = 0;

BOOL WINAPI standInVerifier(HWND window)
{
    ++script.calls;
    script.verifyingSeen = hostState.verifying;
    if (script.probeWhileVerifying) {
        // Input and a second close while the "dialog" is up.
        script.nestedResult = verifyClose(window);
        defaultSaverProc(window, WM_KEYDOWN, 'A', 0);
        MSG message;
        script.nestedClosePosted = PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE) != 0;
        script.nestedCloseResult = defaultSaverProc(window, WM_CLOSE, 0, 0);
        script.nestedWindowAlive = IsWindow(window) != 0;
    }
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    fakeNow += script.advanceClockBy;
    overrideTickCount(fakeNow);
    return script.answer;
}

// Stands in for the scene's procedure: everything goes to the host's
// default handling.
LRESULT CALLBACK chainTestProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return defaultSaverProc(window, message, wParam, lParam);
}

class MessageChain : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = hostState;
        hostState.instance = GetModuleHandleA(nullptr);
        script = VerifierScript{};
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = chainTestProc;
        windowClass.hInstance = hostState.instance;
        windowClass.lpszClassName = "VaskenChainTest";
        RegisterClassA(&windowClass);
        // Hidden: the tests hand it messages themselves.
        window = CreateWindowExA(0, "VaskenChainTest", "Chain", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                 hostState.instance, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        if (IsWindow(window))
            DestroyWindow(window);
        clearTickCountOverride();
        hostState = saved;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    bool takeCloseRequest()
    {
        MSG message;
        return PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE) != 0;
    }

    void useStandInVerifier(BOOL answer)
    {
        hostState.win95Family = 1;
        hostState.verifyPasswordFn = standInVerifier;
        script.answer = answer;
    }

    HostState saved;
    HWND window = nullptr;
};

} // namespace

TEST_F(MessageChain, InputPostsACloseRequestOnlyInARunningFullScreenSaver)
{
    struct Input {
        const char* name;
        UINT message;
        WPARAM wParam;
        bool closes;
    } const inputs[] = {
        {"key down", WM_KEYDOWN, 'A', true},
        {"system key down", WM_SYSKEYDOWN, 'A', true},
        {"left button down", WM_LBUTTONDOWN, MK_LBUTTON, true},
        {"right button down", WM_RBUTTONDOWN, MK_RBUTTON, true},
        {"middle button down", WM_MBUTTONDOWN, MK_MBUTTON, true},
        {"another application activated", WM_ACTIVATEAPP, FALSE, true},
        {"this application activated", WM_ACTIVATEAPP, TRUE, false},
        {"key up", WM_KEYUP, 'A', false},
        {"system key up", WM_SYSKEYUP, 'A', false},
        {"character", WM_CHAR, 'a', false},
        {"left button up", WM_LBUTTONUP, 0, false},
        {"right button up", WM_RBUTTONUP, 0, false},
        {"middle button up", WM_MBUTTONUP, 0, false},
        {"double click", WM_LBUTTONDBLCLK, 0, false},
    };
    struct State {
        const char* name;
        int32_t preview, closing, verifying;
    } const states[] = {
        {"running full screen", 0, 0, 0},
        {"preview", 1, 0, 0},
        {"closing", 0, 1, 0},
        {"verifying", 0, 0, 1},
    };
    for (const State& state : states) {
        for (const Input& input : inputs) {
            hostState.preview = state.preview;
            hostState.closing = state.closing;
            hostState.verifying = state.verifying;
            defaultSaverProc(window, input.message, input.wParam, 0);
            const bool expected = input.closes && !state.preview && !state.closing && !state.verifying;
            EXPECT_EQ(takeCloseRequest(), expected) << input.name << ", " << state.name;
        }
    }
}

TEST_F(MessageChain, MouseTravelReadsTheCursorNotTheMessage)
{
    struct Step {
        int dx, dy;
        bool closes;
    } const steps[] = {
        {2, 2, false},  {4, 0, false},  {0, -4, false}, {-1, -3, false},
        {3, 2, true},   // 5 from the start: close, measured afresh from here
        {5, 2, false},  // 2 from the new point
        {5, 4, false},  // 4
        {6, 4, true},   // 5
    };
    const POINT origin = {200, 150};
    SetCursorPos(origin.x, origin.y);
    hostState.savedCursor = origin;
    POINT measuredFrom = origin;
    for (const Step& step : steps) {
        const POINT at = {origin.x + step.dx, origin.y + step.dy};
        SetCursorPos(at.x, at.y);
        // The message says the mouse is far away; only the cursor counts.
        defaultSaverProc(window, WM_MOUSEMOVE, 0, MAKELPARAM(900, 700));
        EXPECT_EQ(takeCloseRequest(), step.closes) << "at offset (" << step.dx << ", " << step.dy << ")";
        if (step.closes)
            measuredFrom = at;
        EXPECT_EQ(hostState.savedCursor.x, measuredFrom.x);
        EXPECT_EQ(hostState.savedCursor.y, measuredFrom.y);
    }
}

TEST_F(MessageChain, CursorIsHiddenOnlyInTheFullScreenForm)
{
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    SetCursor(arrow);
    EXPECT_EQ(defaultSaverProc(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), HTCLIENT), 1);
    EXPECT_EQ(GetCursor(), nullptr);

    SetCursor(arrow);
    defaultSaverProc(window, WM_SHOWWINDOW, FALSE, 0);
    EXPECT_EQ(GetCursor(), arrow) << "hiding the window must not touch the cursor";
    defaultSaverProc(window, WM_SHOWWINDOW, TRUE, 0);
    EXPECT_EQ(GetCursor(), nullptr);

    for (int32_t* flag : {&hostState.preview, &hostState.closing, &hostState.verifying}) {
        *flag = 1;
        SetCursor(arrow);
        defaultSaverProc(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), HTCLIENT);
        defaultSaverProc(window, WM_SHOWWINDOW, TRUE, 0);
        EXPECT_EQ(GetCursor(), arrow);
        *flag = 0;
    }
}

TEST_F(MessageChain, VerificationRequestIsAnsweredOnTheWin95FamilyOnly)
{
    hostState.win95Family = 0;
    EXPECT_EQ(SendMessageA(window, WM_APP, 0, 0), 0) << "off the Windows 95 family the platform answers";
    hostState.win95Family = 1;
    EXPECT_EQ(SendMessageA(window, WM_APP, 0, 0), 1) << "no verifier: the close is granted";
    useStandInVerifier(FALSE);
    EXPECT_EQ(SendMessageA(window, WM_APP, 0, 0), 0);
    useStandInVerifier(TRUE);
    EXPECT_EQ(SendMessageA(window, WM_APP, 0, 0), 1);
    EXPECT_EQ(script.calls, 2);
}

TEST_F(MessageChain, CloseOffTheWin95FamilyDestroysAtOnce)
{
    hostState.win95Family = 0;
    hostState.verifyPasswordFn = standInVerifier;
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(script.calls, 0);
    EXPECT_EQ(hostState.closing, 0);
}

TEST_F(MessageChain, CloseWithoutAVerifierIsGrantedAndClosingStaysSet)
{
    hostState.win95Family = 1;
    EXPECT_NE(verifyClose(window), 0);
    EXPECT_EQ(hostState.closing, 1);
    // Never cleared: further requests are refused, input goes to the platform.
    EXPECT_EQ(verifyClose(window), 0);
    EXPECT_EQ(hostState.closing, 1);
    defaultSaverProc(window, WM_KEYDOWN, 'A', 0);
    EXPECT_FALSE(takeCloseRequest());
}

TEST_F(MessageChain, RefusedCloseKeepsTheWindowHidesTheCursorAndRereadsTheCursorPoint)
{
    useStandInVerifier(FALSE);
    hostState.savedCursor = POINT{1, 1};
    SetCursorPos(250, 260);
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(script.calls, 1);
    EXPECT_EQ(hostState.closing, 0);
    EXPECT_EQ(hostState.verifying, 0);
    EXPECT_EQ(GetCursor(), nullptr) << "the verifier's cursor must be hidden again";
    EXPECT_EQ(hostState.savedCursor.x, 250);
    EXPECT_EQ(hostState.savedCursor.y, 260);
}

TEST_F(MessageChain, NoSecondVerificationWhileOneIsUnderWay)
{
    useStandInVerifier(FALSE);
    script.probeWhileVerifying = true;
    overrideTickCount(fakeNow = 1000);
    EXPECT_EQ(verifyClose(window), 0);
    EXPECT_EQ(script.calls, 1);
    EXPECT_EQ(script.verifyingSeen, 1);
    EXPECT_EQ(script.nestedResult, 0) << "a close during the verification must be refused";
    EXPECT_FALSE(script.nestedClosePosted) << "input during the verification posted a close request";
    EXPECT_EQ(script.nestedCloseResult, 0);
    EXPECT_TRUE(script.nestedWindowAlive);
}

TEST_F(MessageChain, QuietIntervalRunsFromTheEndOfTheLastVerification)
{
    struct Case {
        const char* what;
        uint32_t start;
        uint32_t verificationTakes;
        uint32_t nextAfterEnd;
        bool asksAgain;
    } const cases[] = {
        {"199 ms after a quick refusal", 1000, 0, 199, false},
        {"200 ms after a quick refusal", 1000, 0, 200, true},
        {"199 ms after a 5 s refusal", 1000, 5000, 199, false},
        {"200 ms after a 5 s refusal", 1000, 5000, 200, true},
        {"150 ms, across the wrap", 0xFFFFFFA0u, 0, 150, false},
        {"250 ms, across the wrap", 0xFFFFFFA0u, 0, 250, true},
        {"verification ends at the wrap, 199 ms", 0xFFFFFF00u, 0x100, 199, false},
        {"verification ends at the wrap, 200 ms", 0xFFFFFF00u, 0x100, 200, true},
    };
    for (const Case& c : cases) {
        script = VerifierScript{};
        useStandInVerifier(FALSE);
        script.advanceClockBy = c.verificationTakes;
        hostState.lastVerifyTick = noVerificationYet;
        overrideTickCount(fakeNow = c.start);
        EXPECT_EQ(verifyClose(window), 0) << c.what;
        ASSERT_EQ(script.calls, 1) << c.what << ": the first request must ask at once";
        EXPECT_EQ(hostState.lastVerifyTick, c.start + c.verificationTakes) << c.what;

        overrideTickCount(fakeNow = c.start + c.verificationTakes + c.nextAfterEnd);
        script.advanceClockBy = 0;
        verifyClose(window);
        EXPECT_EQ(script.calls, c.asksAgain ? 2 : 1) << c.what;
        EXPECT_EQ(hostState.closing, 0) << c.what;
    }
}

TEST_F(MessageChain, AtMostTwoWaitingTimerTicksAreDiscarded)
{
    auto countWaitingTicks = [&] {
        int count = 0;
        MSG message;
        while (PeekMessageA(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE))
            ++count;
        return count;
    };
    // Three ticks come due while nothing reads the queue; the long period
    // keeps them from coming due again during the count.
    for (UINT_PTR id : {1, 2, 3})
        SetTimer(window, id, 150, nullptr);
    Sleep(250);
    EXPECT_EQ(countWaitingTicks(), 3) << "the platform did not queue three ticks";

    Sleep(350);
    useStandInVerifier(FALSE);
    verifyClose(window);
    EXPECT_EQ(countWaitingTicks(), 1) << "expected two of the three waiting ticks to be dropped";
    for (UINT_PTR id : {1, 2, 3})
        KillTimer(window, id);
}

namespace {

typedef HANDLE(WINAPI* ImmGetContextFn)(HWND);
typedef BOOL(WINAPI* ImmReleaseContextFn)(HWND, HANDLE);
ImmGetContextFn immGetContext = nullptr;
ImmReleaseContextFn immReleaseContext = nullptr;
bool contextWhileRunning = true;
bool contextAtDestruction = false;

bool hasInputContext(HWND window)
{
    HANDLE context = immGetContext(window);
    if (context != nullptr)
        immReleaseContext(window, context);
    return context != nullptr;
}

void CALLBACK lookAndDestroyParent(HWND parent, UINT, UINT_PTR id, DWORD)
{
    KillTimer(parent, id);
    contextWhileRunning = hasInputContext(hostState.saverWindow);
    DestroyWindow(parent);
}

LRESULT CALLBACK lookAtDestruction(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_DESTROY && call->hwnd == hostState.saverWindow)
        contextAtDestruction = hasInputContext(call->hwnd);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

TEST_F(MessageChain, PreviewRunDetachesTheInputContextAndRestoresItOnDestruction)
{
    HMODULE imm = GetModuleHandleA("IMM32.DLL");
    if (imm == nullptr)
        GTEST_SKIP() << "no input-method module in this process: the host leaves input contexts alone";
    immGetContext = reinterpret_cast<ImmGetContextFn>(GetProcAddress(imm, "ImmGetContext"));
    immReleaseContext = reinterpret_cast<ImmReleaseContextFn>(GetProcAddress(imm, "ImmReleaseContext"));
    ASSERT_NE(immGetContext, nullptr);
    harness::TestWindow parent("VaskenImmParent", "Display settings", WS_OVERLAPPEDWINDOW, 200, 150);
    if (!hasInputContext(parent.handle()))
        GTEST_SKIP() << "windows of this process get no input context";

    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, lookAtDestruction, nullptr, GetCurrentThreadId());
    SetTimer(parent.handle(), 1, 100, lookAndDestroyParent);
    EXPECT_EQ(runSaverWindow(parent.handle()), 0);
    UnhookWindowsHookEx(hook);
    UnregisterClassA("WindowsScreenSaverClass", hostState.instance);

    EXPECT_FALSE(contextWhileRunning) << "the running saver window still has an input context";
    EXPECT_TRUE(contextAtDestruction) << "the input context was not given back before destruction ended";
}
