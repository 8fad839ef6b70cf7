// The resources as the platform sees them, in this test program (which links
// the same resource script) and in the saver image loaded as a data file:
// every resource under language 1041 with its type and size, the English
// strings and dialog beside them, the bitmap and wave headers, the icon, and
// both languages' configuration dialog templates decoded.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);   // 1041
const WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US); // 1033

// The test program itself and the saver image beside it.
class ResourceModules : public ::testing::Test {
protected:
    void SetUp() override
    {
        saver_ = LoadLibraryExA("vasken32.scr", nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(saver_, nullptr) << "vasken32.scr next to the tests, error " << GetLastError();
    }
    void TearDown() override
    {
        if (saver_)
            FreeLibrary(saver_);
    }

    struct Module {
        const char* name;
        HMODULE handle;
    };
    std::vector<Module> modules() const { return {{"shell_tests.exe", GetModuleHandleA(nullptr)}, {"vasken32.scr", saver_}}; }

    HMODULE saver_ = nullptr;
};

struct Found {
    const uint8_t* data = nullptr;
    DWORD size = 0;
};

Found find(HMODULE module, LPCSTR type, LPCSTR name, WORD language)
{
    Found f;
    HRSRC info = FindResourceExA(module, type, name, language);
    if (!info)
        return f;
    f.size = SizeofResource(module, info);
    f.data = static_cast<const uint8_t*>(LockResource(LoadResource(module, info)));
    return f;
}

Found findJapanese(HMODULE module, LPCSTR type, LPCSTR name) { return find(module, type, name, kJapanese); }

uint16_t u16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t u32(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24); }

struct PatternSize {
    int width, height;
};

PatternSize patternSize(int pattern)
{
    static const PatternSize sizes[7] = {{384, 512}, {192, 64}, {128, 42}, {96, 32}, {80, 26}, {64, 22}, {64, 17}};
    return pattern == 0 ? sizes[0] : sizes[1 + (pattern - 1) / 4];
}

// Reads the dialog template's variable-length fields.
class TemplateReader {
public:
    TemplateReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool ok() const { return ok_; }
    size_t offset() const { return at_; }
    void alignTo4() { at_ = (at_ + 3) & ~size_t(3); }

    uint16_t word()
    {
        if (at_ + 2 > size_) {
            ok_ = false;
            return 0;
        }
        uint16_t v = u16(data_ + at_);
        at_ += 2;
        return v;
    }
    uint32_t dword()
    {
        uint32_t low = word();
        return low | uint32_t(word()) << 16;
    }
    std::u16string text()
    {
        std::u16string s;
        for (uint16_t c = word(); ok_ && c != 0; c = word())
            s.push_back(char16_t(c));
        return s;
    }
    // A name or an ordinal: 0xFFFF followed by the number, or a string.
    struct NameOrOrdinal {
        int ordinal; // -1 when a string
        std::u16string text;
    };
    NameOrOrdinal nameOrOrdinal()
    {
        if (at_ + 2 <= size_ && u16(data_ + at_) == 0xFFFF) {
            word();
            return {word(), {}};
        }
        return {-1, text()};
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
    bool ok_ = true;
};

std::string narrow(const std::u16string& s)
{
    std::string out;
    for (char16_t c : s)
        out += c < 128 ? char(c) : '?';
    return out;
}

// String `id` of a string-table block: blocks hold 16 counted strings each,
// block n the ids 16 (n - 1) to 16 n - 1.
std::u16string tableString(const Found& block, int id)
{
    TemplateReader r(block.data, block.size);
    for (int skip = id % 16; skip > 0; --skip)
        for (int length = r.word(); length > 0; --length)
            r.word();
    std::u16string s;
    for (int length = r.word(); length > 0 && r.ok(); --length)
        s.push_back(char16_t(r.word()));
    return r.ok() ? s : u"<cut short>";
}

} // namespace

TEST_F(ResourceModules, EveryResourceIsFoundUnderLanguage1041WithItsSize)
{
    struct Expected {
        std::string type; // "#n" for a numbered type
        std::string name;
        DWORD size;
    };
    std::vector<Expected> expected;
    for (int p = 0; p < 25; ++p) {
        const PatternSize s = patternSize(p);
        expected.push_back({"#2", "SPPAT_R" + std::to_string(p), DWORD(40 + 1024 + s.width * s.height)});
    }
    expected.push_back({"WAVE", "WAVDAT0", 38294});
    expected.push_back({"WAVE", "WAVDAT1", 33144});
    expected.push_back({"WAVE", "WAVDAT2", 17452});
    expected.push_back({"#14", "#100", 6 + 14}); // icon group with one image
    expected.push_back({"#5", "#2003", 0});       // dialog: size checked by decoding
    expected.push_back({"#6", "#1", 0});          // string block holding 1
    expected.push_back({"#6", "#63", 0});         // string block holding 1007

    for (const Module& m : modules())
        for (const Expected& e : expected) {
            SCOPED_TRACE(std::string(m.name) + ": " + e.type + " " + e.name);
            const Found f = findJapanese(m.handle, e.type.c_str(), e.name.c_str());
            ASSERT_NE(f.data, nullptr) << "not found under language 1041";
            if (e.size) {
                EXPECT_EQ(f.size, e.size);
            } else {
                EXPECT_GT(f.size, 0u);
            }
        }
}

TEST_F(ResourceModules, BothLanguagesNameTheSaverAndShareTheSettingsSection)
{
    struct Language {
        const char* name;
        WORD id;
        std::u16string description;
    } const languages[] = {
        {"Japanese", kJapanese, u"VASKEN32 宇宙戦闘機"},
        {"English", kEnglish, u"VASKEN32 Space Fighters"},
    };
    for (const Module& m : modules())
        for (const Language& l : languages) {
            SCOPED_TRACE(std::string(m.name) + ", " + l.name);
            const Found first = find(m.handle, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(1), l.id);
            const Found last = find(m.handle, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(63), l.id);
            ASSERT_NE(first.data, nullptr);
            ASSERT_NE(last.data, nullptr);
            EXPECT_EQ(tableString(first, 1), l.description) << "string 1, the name in the list of savers";
            EXPECT_EQ(tableString(last, 1007), u"Screen Saver.VASKEN32") << "string 1007, the settings section";
        }
}

TEST_F(ResourceModules, PatternBitmapsArePackedDibsWithTheFullColourTable)
{
    for (const Module& m : modules())
        for (int p = 0; p < 25; ++p) {
            const std::string name = "SPPAT_R" + std::to_string(p);
            SCOPED_TRACE(std::string(m.name) + ": " + name);
            const Found f = findJapanese(m.handle, MAKEINTRESOURCEA(2), name.c_str());
            ASSERT_NE(f.data, nullptr);
            const PatternSize s = patternSize(p);
            const uint8_t* h = f.data;
            EXPECT_EQ(u32(h), 40u) << "no file header: the platform strips it";
            EXPECT_EQ(int32_t(u32(h + 4)), s.width);
            EXPECT_EQ(int32_t(u32(h + 8)), s.height);
            EXPECT_EQ(u16(h + 14), 8);
            EXPECT_EQ(u32(h + 16), uint32_t(BI_RGB));
            EXPECT_EQ(u32(h + 20), uint32_t(s.width * s.height));
            const uint8_t* black = h + 40 + 4 * 10;
            EXPECT_TRUE(black[0] == 0 && black[1] == 0 && black[2] == 0) << "index 10 is black";
            const uint8_t* pixels = h + 1064;
            bool inRange = true;
            for (int i = 0; i < s.width * s.height; ++i)
                inRange = inRange && pixels[i] >= 10 && pixels[i] <= 24;
            EXPECT_TRUE(inRange) << "pixels use indices 10 to 24 only";
        }
}

TEST_F(ResourceModules, WaveImagesArePcmMono11025Hz8Bit)
{
    const DWORD dataSizes[3] = {38249, 33100, 17408};
    for (const Module& m : modules())
        for (int k = 0; k < 3; ++k) {
            const std::string name = "WAVDAT" + std::to_string(k);
            SCOPED_TRACE(std::string(m.name) + ": " + name);
            const Found f = findJapanese(m.handle, "WAVE", name.c_str());
            ASSERT_NE(f.data, nullptr);
            ASSERT_GE(f.size, 44u);
            EXPECT_EQ(0, std::memcmp(f.data, "RIFF", 4));
            EXPECT_EQ(u32(f.data + 4), f.size - 8);
            EXPECT_EQ(0, std::memcmp(f.data + 8, "WAVEfmt ", 8));
            EXPECT_EQ(u16(f.data + 20), 1) << "PCM";
            EXPECT_EQ(u16(f.data + 22), 1);
            EXPECT_EQ(u32(f.data + 24), 11025u);
            EXPECT_EQ(u16(f.data + 34), 8);
            EXPECT_EQ(0, std::memcmp(f.data + 36, "data", 4));
            EXPECT_EQ(u32(f.data + 40), dataSizes[k]);
        }
}

TEST_F(ResourceModules, IconGroup100HoldsOne32By32SixteenColourImage)
{
    for (const Module& m : modules()) {
        SCOPED_TRACE(m.name);
        const Found group = findJapanese(m.handle, MAKEINTRESOURCEA(14), MAKEINTRESOURCEA(100));
        ASSERT_NE(group.data, nullptr);
        ASSERT_EQ(group.size, 20u);
        EXPECT_EQ(u16(group.data + 2), 1) << "icon";
        EXPECT_EQ(u16(group.data + 4), 1) << "one image";
        const uint8_t* entry = group.data + 6;
        EXPECT_EQ(entry[0], 32);
        EXPECT_EQ(entry[1], 32);
        EXPECT_EQ(entry[2], 16);
        EXPECT_EQ(u16(entry + 6), 4) << "bits per pixel";
        const WORD imageId = u16(entry + 12);
        const Found image = findJapanese(m.handle, MAKEINTRESOURCEA(3), MAKEINTRESOURCEA(imageId));
        ASSERT_NE(image.data, nullptr);
        EXPECT_EQ(image.size, u32(entry + 8));
        EXPECT_EQ(image.size, 40u + 64 + 512 + 128);
    }
    // The window class and the dialog load it through LoadIconA.
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(100));
    ASSERT_NE(icon, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP mask = {};
    GetObjectA(info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmWidth, 32);
    EXPECT_EQ(mask.bmHeight, info.hbmColor ? 32 : 64);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
}

// Both languages' templates hold one control table: only the title, the
// font and the texts differ.
TEST_F(ResourceModules, ConfigurationDialogTemplatesDecodeToTheControlTable)
{
    enum : int { Button = 0x80, Static = 0x82, ScrollBar = 0x84 };
    const DWORD visibleChild = WS_CHILD | WS_VISIBLE;
    struct Control {
        int id;
        int classAtom;
        DWORD style;
        short x, y, cx, cy;
        int iconOrdinal;         // text as a resource ordinal, or -1
        std::u16string texts[2]; // Japanese, English; ignored for the credit lines
    };
    const Control table[16] = {
        {-1, Static, SS_ICON, 28, 2, 18, 21, 100, {u"", u""}},
        {-1, Static, SS_LEFT | WS_GROUP, 51, 6, 90, 8, -1, {u"VASKENの", u"VASKEN32"}},
        {-1, Static, SS_LEFT | WS_GROUP, 51, 16, 90, 8, -1, {u"スクリーンセーバー", u"Screen Saver"}},
        {-1, Static, SS_LEFT | WS_GROUP, 41, 26, 87, 8, -1, {u"アニメーションの速さ", u"Animation speed"}},
        {110, ScrollBar, SBS_HORZ, 33, 34, 74, 8, -1, {u"", u""}},
        {111, Static, SS_LEFT | WS_GROUP, 110, 34, 20, 8, -1, {u"16 ", u"16 "}},
        {103, Button, BS_CHECKBOX | WS_TABSTOP, 34, 45, 60, 10, -1, {u"サウンドON", u"Sound ON"}},
        {104, Button, BS_CHECKBOX | WS_TABSTOP, 95, 45, 30, 10, -1, {u"OFF", u"OFF"}},
        {-1, Static, SS_LEFT | WS_GROUP, 34, 55, 94, 8, -1, {u"リフレッシュの頻度(分)", u"Refresh period (min)"}},
        {116, ScrollBar, SBS_HORZ, 33, 63, 74, 8, -1, {u"", u""}},
        {117, Static, SS_LEFT | WS_GROUP, 110, 63, 20, 8, -1, {u"16 ", u"16 "}},
        {-1, Static, SS_LEFT | WS_GROUP, 33, 76, 104, 8, -1, {u"For Windows95 Ver. 2.0 ", u"For Windows95 Ver. 2.0 "}},
        {-1, Static, SS_LEFT | WS_GROUP, 33, 85, 100, 8, -1, {}},
        {-1, Static, SS_LEFT | WS_GROUP, 33, 94, 100, 8, -1, {}},
        {-1, Static, SS_LEFT | WS_GROUP, 33, 104, 100, 8, -1, {}},
        {IDOK, Button, BS_PUSHBUTTON | WS_TABSTOP, 54, 116, 32, 17, -1, {u"OK", u"OK"}},
    };
    struct Language {
        const char* name;
        WORD id;
        std::u16string title;
        uint16_t pointSize;
        std::u16string face;
    } const languages[2] = {
        {"Japanese", kJapanese, u"設定", 9, u"ＭＳ Ｐゴシック"},
        {"English", kEnglish, u"Settings", 8, u"MS Sans Serif"},
    };

    for (const Module& m : modules())
        for (int language = 0; language < 2; ++language) {
            const Language& l = languages[language];
            SCOPED_TRACE(std::string(m.name) + ", " + l.name);
            const Found f = find(m.handle, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(2003), l.id);
            ASSERT_NE(f.data, nullptr);
            TemplateReader r(f.data, f.size);
            EXPECT_EQ(r.dword(), 0x90C800C0u)
                << "WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT";
            EXPECT_EQ(r.dword(), 0u) << "extended style";
            ASSERT_EQ(r.word(), 16) << "control count";
            EXPECT_EQ(int16_t(r.word()), 18);
            EXPECT_EQ(int16_t(r.word()), 18);
            EXPECT_EQ(int16_t(r.word()), 141);
            EXPECT_EQ(int16_t(r.word()), 141);
            EXPECT_EQ(r.word(), 0) << "no menu";
            EXPECT_EQ(r.word(), 0) << "the standard dialog class";
            EXPECT_EQ(r.text(), l.title);
            EXPECT_EQ(r.word(), l.pointSize) << "point size";
            EXPECT_EQ(r.text(), l.face);

            std::vector<std::u16string> credits;
            for (int i = 0; i < 16; ++i) {
                const Control& c = table[i];
                SCOPED_TRACE("control " + std::to_string(i + 1));
                r.alignTo4();
                EXPECT_EQ(r.dword(), visibleChild | c.style) << "style";
                EXPECT_EQ(r.dword(), 0u) << "extended style";
                const short x = r.word(), y = r.word(), cx = r.word(), cy = r.word();
                EXPECT_EQ(x, c.x);
                EXPECT_EQ(y, c.y);
                EXPECT_EQ(cx, c.cx);
                EXPECT_EQ(cy, c.cy);
                EXPECT_EQ(r.word(), uint16_t(c.id)) << "id";
                const TemplateReader::NameOrOrdinal cls = r.nameOrOrdinal();
                EXPECT_EQ(cls.ordinal, c.classAtom) << "class " << narrow(cls.text);
                const TemplateReader::NameOrOrdinal text = r.nameOrOrdinal();
                if (c.iconOrdinal >= 0) {
                    EXPECT_EQ(text.ordinal, c.iconOrdinal) << "icon resource";
                } else if (i >= 12 && i <= 14) {
                    credits.push_back(text.text);
                } else {
                    EXPECT_EQ(text.text, c.texts[language]) << "text \"" << narrow(text.text) << "\"";
                }
                const uint16_t extra = r.word();
                for (int k = 0; k < extra; ++k)
                    r.word();
                ASSERT_TRUE(r.ok()) << "template ends early";
            }
            EXPECT_LE(r.offset(), size_t(f.size));

            // The credit lines are ours: they name the program, its version and its makers.
            ASSERT_EQ(credits.size(), 3u);
            const std::string all = narrow(credits[0]) + "|" + narrow(credits[1]) + "|" + narrow(credits[2]);
            EXPECT_NE(narrow(credits[0]).find("VASKEN32"), std::string::npos) << all;
            EXPECT_NE(all.find("2.0"), std::string::npos) << all;
            EXPECT_NE(all.find("the VASKEN32 team"), std::string::npos) << all;
            for (const std::u16string& line : credits)
                EXPECT_LE(line.size(), 24u) << "one line of 100 dialog units: " << narrow(line);
        }
}
