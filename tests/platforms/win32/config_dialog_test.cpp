// The configuration dialog of the built image, driven from outside through
// real messages to its real controls: what it shows on opening, the scroll
// bars' requests and clamps, the sound boxes as a radio pair, and what
// CONTROL.INI holds after OK, Esc and the close box.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "tests/platforms/win32/profile_file.h"
#include "tests/platforms/win32/saver_harness.h"

using namespace harness;

namespace {

const char dialogClass[] = "#32770";

enum : int { soundOnBox = 103, soundOffBox = 104, speedBar = 110, speedLabel = 111, refreshBar = 116, refreshLabel = 117 };

// The keys of the saver's section as the file holds them.
std::map<std::string, std::string> savedKeys()
{
    std::map<std::string, std::string> keys;
    std::istringstream in(profile::fileBytes());
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '[') {
            inSection = line == std::string("[") + profile::section + "]";
            continue;
        }
        const size_t equals = line.find('=');
        if (inSection && equals != std::string::npos)
            keys[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return keys;
}

std::map<std::string, std::string> keysOf(const char* sound, const char* speed, const char* refresh)
{
    return {{"SOUND_SW", sound}, {"ANI_INTERVAL", speed}, {"REFRESH_INTERVAL", refresh}};
}

// What the dialog shows.
struct Shown {
    UINT soundOn;
    UINT soundOff;
    int speed;
    std::string speedLabel;
    int refresh;
    std::string refreshLabel;
};

bool operator==(const Shown& a, const Shown& b)
{
    return a.soundOn == b.soundOn && a.soundOff == b.soundOff && a.speed == b.speed &&
           a.speedLabel == b.speedLabel && a.refresh == b.refresh && a.refreshLabel == b.refreshLabel;
}

std::ostream& operator<<(std::ostream& out, const Shown& s)
{
    return out << "{on " << s.soundOn << ", off " << s.soundOff << ", speed bar " << s.speed << " label \""
               << s.speedLabel << "\", refresh bar " << s.refresh << " label \"" << s.refreshLabel << "\"}";
}

Shown shownAs(UINT on, UINT off, int speed, int refresh)
{
    return {on, off, speed, std::to_string(speed), refresh, std::to_string(refresh)};
}

class ConfigDialog : public ::testing::Test {
public:
    void SetUp() override
    {
        clearSection();
        before = profile::fileBytes();
    }
    void TearDown() override
    {
        saver.stop();
        clearSection();
    }

    static void clearSection() { WritePrivateProfileStringA(profile::section, nullptr, nullptr, profile::file); }
    static void store(const char* key, const char* value)
    {
        WritePrivateProfileStringA(profile::section, key, value, profile::file);
    }

    // Starts the configuration mode and waits for its dialog.
    HWND open(const std::string& arguments)
    {
        before = profile::fileBytes();
        if (!saver.start(arguments))
            return nullptr;
        dialog = waitForWindow(saver, dialogClass, nullptr);
        return dialog;
    }

    HWND item(int id) const { return GetDlgItem(dialog, id); }

    std::string text(int id) const
    {
        char buffer[32] = {};
        GetDlgItemTextA(dialog, id, buffer, sizeof buffer);
        return buffer;
    }

    Shown shown() const
    {
        return {IsDlgButtonChecked(dialog, soundOnBox), IsDlgButtonChecked(dialog, soundOffBox),
                GetScrollPos(item(speedBar), SB_CTL),    text(speedLabel),
                GetScrollPos(item(refreshBar), SB_CTL),  text(refreshLabel)};
    }

    // A scroll request as the bar itself sends it to the dialog.
    void scroll(int bar, WORD request, WORD thumb = 0)
    {
        SendMessageTimeoutA(dialog, WM_HSCROLL, MAKEWPARAM(request, thumb), reinterpret_cast<LPARAM>(item(bar)),
                            SMTO_NORMAL, 2000, nullptr);
    }

    void click(int id) { SendMessageTimeoutA(item(id), BM_CLICK, 0, 0, SMTO_NORMAL, 2000, nullptr); }

    void command(WORD id)
    {
        SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0, SMTO_NORMAL, 2000, nullptr);
    }

    ImageProcess saver;
    HWND dialog = nullptr;
    std::string before;
};

} // namespace

TEST_F(ConfigDialog, SwitchCOpensItOwnedByTheForegroundWindowWithTheDefaults)
{
    TestWindow owner("VaskenDialogOwner", "Display settings", WS_OVERLAPPEDWINDOW, 300, 200);
    SetForegroundWindow(owner.handle());
    ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == owner.handle(); }, 2000));
    ASSERT_NE(open("/c"), nullptr) << "no dialog window";
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner.handle());
    EXPECT_EQ(shown(), shownAs(BST_CHECKED, BST_UNCHECKED, 10, 10));
    int lowest = 0, highest = 0;
    GetScrollRange(item(speedBar), SB_CTL, &lowest, &highest);
    EXPECT_EQ(lowest, 10);
    EXPECT_EQ(highest, 200);
    GetScrollRange(item(refreshBar), SB_CTL, &lowest, &highest);
    EXPECT_EQ(lowest, 1);
    EXPECT_EQ(highest, 100);

    // The Esc key, as the user presses it: nothing is written.
    SetForegroundWindow(dialog);
    waitUntil([&] { return GetForegroundWindow() == dialog; }, 2000);
    pressKey(VK_ESCAPE);
    EXPECT_EQ(saver.waitForExit(5000), 1u);
    EXPECT_EQ(profile::fileBytes(), before) << "Esc changed CONTROL.INI";
}

TEST_F(ConfigDialog, EmptyCommandLineOpensItWithoutOwner)
{
    ASSERT_NE(open(""), nullptr) << "no dialog window";
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
    EXPECT_EQ(shown(), shownAs(BST_CHECKED, BST_UNCHECKED, 10, 10));
    click(IDOK);
    EXPECT_EQ(saver.waitForExit(5000), 1u);
    EXPECT_EQ(savedKeys(), keysOf("1", "10", "10")) << "OK writes all three keys even when nothing changed";
}

TEST_F(ConfigDialog, ScrollRequestsStepClampAndFollowTheThumb)
{
    struct Step {
        const char* what;
        int bar;
        WORD request;
        WORD thumb;
        int speed;
        int refresh;
    } const steps[] = {
        {"speed: line left at 10", speedBar, SB_LINELEFT, 0, 10, 10},
        {"speed: page left at 10", speedBar, SB_PAGELEFT, 0, 10, 10},
        {"speed: line right", speedBar, SB_LINERIGHT, 0, 11, 10},
        {"speed: page right is one step", speedBar, SB_PAGERIGHT, 0, 12, 10},
        {"speed: thumb dragged to 150", speedBar, SB_THUMBTRACK, 150, 150, 10},
        {"speed: thumb released elsewhere", speedBar, SB_THUMBPOSITION, 77, 150, 10},
        {"speed: end of scrolling", speedBar, SB_ENDSCROLL, 0, 150, 10},
        {"speed: to the top", speedBar, SB_TOP, 0, 150, 10},
        {"speed: thumb dragged to 200", speedBar, SB_THUMBTRACK, 200, 200, 10},
        {"speed: line right at 200", speedBar, SB_LINERIGHT, 0, 200, 10},
        {"speed: page right at 200", speedBar, SB_PAGERIGHT, 0, 200, 10},
        {"refresh: thumb dragged to 1", refreshBar, SB_THUMBTRACK, 1, 200, 1},
        {"refresh: line left at 1", refreshBar, SB_LINELEFT, 0, 200, 1},
        {"refresh: page left at 1", refreshBar, SB_PAGELEFT, 0, 200, 1},
        {"refresh: thumb dragged to 50", refreshBar, SB_THUMBTRACK, 50, 200, 50},
        {"refresh: page right at 50", refreshBar, SB_PAGERIGHT, 0, 200, 51},
        {"refresh: thumb dragged to 100", refreshBar, SB_THUMBTRACK, 100, 200, 100},
        {"refresh: line right at 100", refreshBar, SB_LINERIGHT, 0, 200, 100},
        {"refresh: page right at 100", refreshBar, SB_PAGERIGHT, 0, 200, 100},
        {"refresh: line left", refreshBar, SB_LINELEFT, 0, 200, 99},
        {"a bar that is not one of the two", IDOK, SB_LINELEFT, 0, 200, 99},
    };
    ASSERT_NE(open("/c"), nullptr);
    for (const Step& step : steps) {
        scroll(step.bar, step.request, step.thumb);
        EXPECT_EQ(shown(), shownAs(BST_CHECKED, BST_UNCHECKED, step.speed, step.refresh)) << step.what;
    }
    click(IDOK);
    EXPECT_EQ(saver.waitForExit(5000), 1u);
    EXPECT_EQ(savedKeys(), keysOf("1", "200", "99"));
}

TEST_F(ConfigDialog, ClicksOnTheBarsArrowsAndTroughStepByOne)
{
    ASSERT_NE(open("/c"), nullptr);
    SetForegroundWindow(dialog);
    ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == dialog; }, 2000));
    RECT bar;
    GetWindowRect(item(refreshBar), &bar);
    const int middleY = (bar.top + bar.bottom) / 2;
    const int arrow = bar.bottom - bar.top; // the arrows are as wide as the bar is high
    // Clicks at a point, then waits for the dialog to show the value (and a
    // little longer, so that a second step would show too).
    auto clickAt = [&](int x, int refresh) {
        ASSERT_TRUE(moveCursorTo(x, middleY));
        leftClickAt(x, middleY);
        waitUntil([&] { return shown() == shownAs(BST_CHECKED, BST_UNCHECKED, 10, refresh); }, 2000);
        pumpFor(100);
    };
    clickAt(bar.right - arrow / 2, 11);
    EXPECT_EQ(shown(), shownAs(BST_CHECKED, BST_UNCHECKED, 10, 11)) << "right arrow";
    clickAt(bar.right - arrow - 3, 12);
    EXPECT_EQ(shown(), shownAs(BST_CHECKED, BST_UNCHECKED, 10, 12)) << "trough right of the thumb";
    clickAt(bar.left + arrow / 2, 11);
    EXPECT_EQ(shown(), shownAs(BST_CHECKED, BST_UNCHECKED, 10, 11)) << "left arrow";
    click(IDOK);
    EXPECT_EQ(saver.waitForExit(5000), 1u);
    EXPECT_EQ(savedKeys(), keysOf("1", "10", "11"));
}

TEST_F(ConfigDialog, SoundBoxesActAsARadioPair)
{
    struct Step {
        const char* what;
        std::function<void(ConfigDialog&)> act;
        UINT on;
        UINT off;
    } const steps[] = {
        {"click OFF", [](ConfigDialog& d) { d.click(soundOffBox); }, BST_UNCHECKED, BST_CHECKED},
        {"click OFF again", [](ConfigDialog& d) { d.click(soundOffBox); }, BST_UNCHECKED, BST_CHECKED},
        {"click ON", [](ConfigDialog& d) { d.click(soundOnBox); }, BST_CHECKED, BST_UNCHECKED},
        {"click ON again", [](ConfigDialog& d) { d.click(soundOnBox); }, BST_CHECKED, BST_UNCHECKED},
        {"command from OFF", [](ConfigDialog& d) { d.command(soundOffBox); }, BST_UNCHECKED, BST_CHECKED},
        {"unknown command", [](ConfigDialog& d) { d.command(555); }, BST_UNCHECKED, BST_CHECKED},
    };
    ASSERT_NE(open("/c"), nullptr);
    for (const Step& step : steps) {
        step.act(*this);
        EXPECT_EQ(IsDlgButtonChecked(dialog, soundOnBox), step.on) << step.what;
        EXPECT_EQ(IsDlgButtonChecked(dialog, soundOffBox), step.off) << step.what;
    }
    EXPECT_TRUE(saver.running()) << "an unknown command ended the dialog";
    click(IDOK);
    EXPECT_EQ(saver.waitForExit(5000), 1u);
    EXPECT_EQ(savedKeys(), keysOf("0", "10", "10"));
}

TEST_F(ConfigDialog, StoredValuesAreShownAndWrittenBackAsTheyStand)
{
    struct Case {
        const char* sound;
        const char* speed;
        const char* refresh;
        UINT offShown;
        int speedShown;
        int refreshShown;
        std::map<std::string, std::string> afterOk;
    } const cases[] = {
        {"0", "55", "7", BST_CHECKED, 55, 7, keysOf("0", "55", "7")},
        {"2", "200", "1", BST_UNCHECKED, 200, 1, keysOf("2", "200", "1")},
        {"-3", "500", "0", BST_UNCHECKED, 10, 10, keysOf("-3", "10", "10")},
    };
    for (const Case& c : cases) {
        clearSection();
        store("SOUND_SW", c.sound);
        store("ANI_INTERVAL", c.speed);
        store("REFRESH_INTERVAL", c.refresh);
        ASSERT_NE(open("/c"), nullptr);
        const Shown s = shown();
        EXPECT_EQ(s.soundOff, c.offShown) << "SOUND_SW " << c.sound;
        EXPECT_EQ(s.soundOn != BST_UNCHECKED, c.offShown == BST_UNCHECKED) << "SOUND_SW " << c.sound;
        EXPECT_EQ(s.speed, c.speedShown) << "ANI_INTERVAL " << c.speed;
        EXPECT_EQ(s.speedLabel, std::to_string(c.speedShown)) << "ANI_INTERVAL " << c.speed;
        EXPECT_EQ(s.refresh, c.refreshShown) << "REFRESH_INTERVAL " << c.refresh;
        EXPECT_EQ(s.refreshLabel, std::to_string(c.refreshShown)) << "REFRESH_INTERVAL " << c.refresh;
        click(IDOK);
        EXPECT_EQ(saver.waitForExit(5000), 1u);
        EXPECT_EQ(savedKeys(), c.afterOk) << "SOUND_SW " << c.sound;
    }

    // Once a box is clicked the switch is exactly 1 or 0.
    clearSection();
    store("SOUND_SW", "2");
    ASSERT_NE(open("/c"), nullptr);
    click(soundOnBox);
    click(IDOK);
    EXPECT_EQ(saver.waitForExit(5000), 1u);
    EXPECT_EQ(savedKeys(), keysOf("1", "10", "10"));
}

TEST_F(ConfigDialog, EveryOtherWayOutDiscardsTheChanges)
{
    struct Way {
        const char* name;
        std::function<void(ConfigDialog&)> leave;
    } const ways[] = {
        {"Esc (cancel command)", [](ConfigDialog& d) { d.command(IDCANCEL); }},
        {"close box", [](ConfigDialog& d) { PostMessageA(d.dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"close message", [](ConfigDialog& d) { PostMessageA(d.dialog, WM_CLOSE, 0, 0); }},
    };
    store("ANI_INTERVAL", "30");
    for (const Way& way : ways) {
        ASSERT_NE(open("/c"), nullptr) << way.name;
        scroll(speedBar, SB_LINERIGHT);
        scroll(refreshBar, SB_THUMBTRACK, 70);
        click(soundOffBox);
        ASSERT_EQ(shown(), shownAs(BST_UNCHECKED, BST_CHECKED, 31, 70)) << way.name;
        way.leave(*this);
        EXPECT_EQ(saver.waitForExit(5000), 1u) << way.name;
        EXPECT_EQ(profile::fileBytes(), before) << way.name << " changed CONTROL.INI";
    }
}
