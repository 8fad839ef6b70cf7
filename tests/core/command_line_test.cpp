// The program-name skip and the command scan, as plain functions of the text.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "host/command_line.h"

namespace {

// Shift-JIS: a lead byte (0x81-0x9F, 0xE0-0xFC) and the byte after it form
// one character, unless that byte is the terminating NUL.
const char* stepShiftJis(const char* at)
{
    const unsigned char c = static_cast<unsigned char>(*at);
    if (c == 0)
        return at;
    if (((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && at[1] != '\0')
        return at + 2;
    return at + 1;
}

std::string restAfterName(const std::string& line, CharStepper step = stepSingleByte)
{
    return skipProgramName(line.c_str(), step);
}

const char* modeName(SaverMode mode)
{
    switch (mode) {
    case SaverMode::Configure: return "Configure";
    case SaverMode::ChangePassword: return "ChangePassword";
    case SaverMode::Preview: return "Preview";
    case SaverMode::FullScreen: return "FullScreen";
    case SaverMode::Invalid: return "Invalid";
    }
    return "?";
}

} // namespace

TEST(ProgramNameSkip, BareQuotedAndMissingNames)
{
    struct Case {
        const char* line;
        const char* rest;
    } const cases[] = {
        {"vasken32.scr /s", "/s"},
        {"vasken32.scr", ""},
        {"vasken32.scr   \t  ", ""},
        {"C:\\WIN\\VASKEN~1.SCR\t/p 1234", "/p 1234"},
        {"\"C:\\Program Files\\My Saver\\vasken32.scr\" /c:1234", "/c:1234"},
        {"\"C:\\Program Files\\vasken32.scr\"/s", "/s"},
        {"\"never closed /s", ""},
        {"\"\" /s", "/s"},
        {"\"", ""},
        {"", ""},
        {"   /s", "/s"},           // no name at all: only the blanks go
        {"\x01\x02/s", "/s"},      // control bytes count as blanks
        {"\xE9t\xE9.scr /s", "/s"}, // bytes 0x80-0xFF belong to the name
    };
    for (const Case& c : cases)
        EXPECT_EQ(restAfterName(c.line), c.rest) << "line: [" << c.line << "]";
}

TEST(ProgramNameSkip, DoubleByteCharactersAreSteppedAsOne)
{
    // 0x94 0x22 is one Shift-JIS character whose trail byte is a double
    // quote: it must not end the quoted name.
    const std::string quoted = std::string("\"C:\\") + "\x94\x22" + "x.scr\" /s";
    EXPECT_EQ(restAfterName(quoted, stepShiftJis), "/s");
    // Byte by byte the trail byte would close the quote early.
    EXPECT_EQ(restAfterName(quoted, stepSingleByte), "x.scr\" /s");
    // A trail byte of 0x20 inside a bare name does not end it either.
    const std::string bare = std::string("\x82\x20name.scr /p 5");
    EXPECT_EQ(restAfterName(bare, stepShiftJis), "/p 5");
    // A lead byte right before the end never steps past the NUL.
    const std::string dangling = std::string("\"abc\x94");
    EXPECT_EQ(restAfterName(dangling, stepShiftJis), "");
}

TEST(CommandScan, ModesAndArguments)
{
    struct Case {
        const char* tail;
        int win95;
        SaverMode mode;
        int owned;
        const char* argument; // nullptr: not examined
    } const cases[] = {
        {"", 0, SaverMode::Configure, 0, nullptr},
        {"/s", 0, SaverMode::FullScreen, 0, nullptr},
        {"/S", 0, SaverMode::FullScreen, 0, nullptr},
        {"-s", 0, SaverMode::FullScreen, 0, nullptr},
        {"s", 0, SaverMode::FullScreen, 0, nullptr},
        {"//s", 0, SaverMode::FullScreen, 0, nullptr},
        {"/ s", 0, SaverMode::FullScreen, 0, nullptr},
        {"/sx", 0, SaverMode::FullScreen, 0, nullptr},
        {"/c", 0, SaverMode::Configure, 1, nullptr},
        {"/c:1234", 0, SaverMode::Configure, 1, nullptr},
        {"C", 1, SaverMode::Configure, 1, nullptr},
        {"/p 1234", 0, SaverMode::Preview, 0, "1234"},
        {"/p1234", 0, SaverMode::Preview, 0, "1234"},
        {"/P   1234", 0, SaverMode::Preview, 0, "1234"},
        {"/l 1234", 0, SaverMode::Preview, 0, "1234"},
        {"/L\t1234", 0, SaverMode::Preview, 0, "\t1234"},
        {"/p:1234", 0, SaverMode::Preview, 0, ":1234"},
        {"/p", 0, SaverMode::Preview, 0, ""},
        {"/a 1234", 1, SaverMode::ChangePassword, 0, "1234"},
        {"A", 1, SaverMode::ChangePassword, 0, ""},
        {"/a 1234", 0, SaverMode::Invalid, 0, nullptr},
        {"/x", 1, SaverMode::Invalid, 0, nullptr},
        {"/?", 0, SaverMode::Invalid, 0, nullptr},
        {"/\t/s", 0, SaverMode::Invalid, 0, nullptr},
        {"\xE9", 0, SaverMode::Invalid, 0, nullptr},
        {"---   ///", 0, SaverMode::Configure, 0, nullptr},
    };
    for (const Case& c : cases) {
        const CommandChoice choice = scanCommand(c.tail, c.win95);
        EXPECT_EQ(choice.mode, c.mode) << "tail [" << c.tail << "] win95=" << c.win95 << ": expected "
                                       << modeName(c.mode) << ", got " << modeName(choice.mode);
        if (c.mode == SaverMode::Configure) {
            EXPECT_EQ(choice.ownedByForeground, c.owned) << "tail [" << c.tail << "]";
        }
        if (c.argument != nullptr) {
            ASSERT_NE(choice.argument, nullptr) << "tail [" << c.tail << "]";
            EXPECT_STREQ(choice.argument, c.argument) << "tail [" << c.tail << "]";
        }
    }
}

TEST(WindowHandle, DigitsOnlyWrapping)
{
    struct Case {
        const char* text;
        uint32_t value;
    } const cases[] = {
        {"1234", 1234},       {"0012", 12},          {"0", 0},           {"", 0},
        {":1234", 0},         {"-5", 0},             {"0x1F", 0},        {"12ab34", 12},
        {"4294967295", 4294967295u}, {"4294967296", 0}, {"4294967297", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseWindowHandle(c.text), c.value) << "text [" << c.text << "]";
    // Twenty nines, wrapped digit by digit in 32 bits.
    uint32_t expected = 0;
    for (int i = 0; i < 20; ++i)
        expected = expected * 10u + 9u;
    EXPECT_EQ(parseWindowHandle("99999999999999999999"), expected);
}

// Random byte strings, including very long ones and unterminated quotes:
// every line gives a defined mode and the scan stays inside the text. The
// text is copied into an exactly sized heap block so that AddressSanitizer
// reports any read past its terminator.
TEST(CommandScan, RandomByteStringsStayInsideTheText)
{
    std::mt19937 generator(20261207u);
    for (int round = 0; round < 20000; ++round) {
        const size_t length = round % 100 == 0 ? 5000 + generator() % 5000 : generator() % 40;
        std::vector<char> bytes(length + 1);
        for (size_t i = 0; i < length; ++i) {
            const unsigned pick = generator() % 10;
            bytes[i] = static_cast<char>(pick < 3 ? " \"/-\t"[generator() % 5]
                                         : pick < 5 ? "sScCpPlLaAx0123456789"[generator() % 21]
                                                    : 1 + generator() % 255);
        }
        bytes[length] = '\0';
        char* text = new char[length + 1];
        std::memcpy(text, bytes.data(), length + 1);
        for (CharStepper step : {stepSingleByte, stepShiftJis}) {
            const char* rest = skipProgramName(text, step);
            ASSERT_GE(rest, text);
            ASSERT_LE(rest, text + length);
            for (int win95 = 0; win95 <= 1; ++win95) {
                const CommandChoice choice = scanCommand(rest, win95);
                switch (choice.mode) {
                case SaverMode::Preview:
                case SaverMode::ChangePassword:
                    ASSERT_NE(choice.argument, nullptr);
                    ASSERT_GE(choice.argument, rest);
                    ASSERT_LE(choice.argument, text + length);
                    parseWindowHandle(choice.argument);
                    if (choice.mode == SaverMode::ChangePassword) {
                        ASSERT_EQ(win95, 1);
                    }
                    break;
                case SaverMode::Configure:
                case SaverMode::FullScreen:
                case SaverMode::Invalid:
                    break;
                default:
                    FAIL() << "mode outside the enumeration";
                }
            }
        }
        delete[] text;
    }
}
