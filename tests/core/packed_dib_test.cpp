// The bitmap reader: file forms, the lookup order of files and resources,
// hostile headers, truncated rows and blank images.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "render/bitmap_source.h"
#include "render/packed_dib.h"
#include "tests/core/packed_dib_builder.h"
#include "platforms/stub/stub.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Reads bytes as a file would be read; frees the block when done.
struct Read {
    explicit Read(const Bytes& bytes)
    {
        DibReader reader = memoryReader(bytes.data(), static_cast<uint32_t>(bytes.size()));
        dib = readPackedDib(reader, &size);
    }
    ~Read() { freeDibMemory(reinterpret_cast<uint8_t*>(dib)); }
    const uint8_t* at(uint32_t offset) const { return reinterpret_cast<const uint8_t*>(dib) + offset; }
    PackedDib* dib = nullptr;
    uint32_t size = 0;
};

void writeFile(const std::string& name, const Bytes& bytes)
{
    FILE* out = std::fopen(name.c_str(), "wb");
    ASSERT_NE(out, nullptr) << name;
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
}

DibBuilder sample(int32_t width, int32_t height)
{
    DibBuilder image(width, height);
    image.distinctColours().paint([](int32_t x, int32_t y) { return (x * 3 + y * 11) & 0xFF; });
    return image;
}

// A 12-byte core header file: "BM", header, 256 triples, rows.
Bytes coreFile(const DibBuilder& image)
{
    Bytes out(14 + 12);
    out[0] = 'B';
    out[1] = 'M';
    DibBuilder::put32(out, 10, 14 + 12 + 768);
    DibBuilder::put32(out, 14, 12);
    DibBuilder::put16(out, 18, static_cast<uint16_t>(image.width()));
    DibBuilder::put16(out, 20, static_cast<uint16_t>(image.height()));
    DibBuilder::put16(out, 22, 1);
    DibBuilder::put16(out, 24, 8);
    const Bytes packed = image.packed();
    for (int k = 0; k < 256; ++k)
        out.insert(out.end(), packed.begin() + 40 + 4 * k, packed.begin() + 40 + 4 * k + 3);
    const Bytes rows = image.rows();
    out.insert(out.end(), rows.begin(), rows.end());
    return out;
}

class PackedDibReader : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearStubBitmapResources();
        failDibMemoryAfter(-1);
        blocksBefore = liveDibMemoryBlocks();
    }
    void TearDown() override
    {
        failDibMemoryAfter(-1);
        clearStubBitmapResources();
        for (const std::string& name : files)
            std::remove(name.c_str());
        EXPECT_EQ(liveDibMemoryBlocks(), blocksBefore) << "image blocks leaked";
    }
    std::string file(const char* suffix, const Bytes& bytes)
    {
        const std::string name = std::string("packed_dib_test_") +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
        writeFile(name, bytes);
        files.push_back(name);
        return name;
    }
    int32_t blocksBefore = 0;
    std::vector<std::string> files;
};

} // namespace

TEST_F(PackedDibReader, FileFormsAllGiveTheSamePackedImage)
{
    const DibBuilder image = sample(17, 22);
    const Bytes expectedRows = image.rows();
    const Bytes packed = image.packed();
    struct Case {
        const char* form;
        Bytes bytes;
    } const cases[] = {
        {"file header, rows right after the table", image.file()},
        {"file header, 37 bytes of padding before the rows", image.file(37)},
        {"no file header", image.packed()},
        {"core header", coreFile(image)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.form);
        Read read(c.bytes);
        ASSERT_NE(read.dib, nullptr);
        EXPECT_EQ(read.dib->biSize, 40u);
        EXPECT_EQ(read.dib->biWidth, 17);
        EXPECT_EQ(read.dib->biHeight, 22);
        EXPECT_EQ(read.dib->biBitCount, 8);
        EXPECT_EQ(read.dib->biClrUsed, 256u);
        EXPECT_EQ(read.dib->biSizeImage, 440u) << "rows of 20 bytes, 22 of them";
        EXPECT_EQ(read.size, 1064u + 440u);
        for (int k = 0; k < 256; ++k) {
            ASSERT_EQ(std::memcmp(read.at(40 + 4 * k), &packed[40 + 4 * k], 3), 0) << "colour " << k;
        }
        EXPECT_EQ(std::memcmp(read.at(1064), expectedRows.data(), expectedRows.size()), 0) << "rows";
    }
}

TEST_F(PackedDibReader, ColourTableFollowsTheColourCount)
{
    struct Case {
        uint16_t bitCount;
        uint32_t clrUsed;
        uint32_t expectedColours;
    } const cases[] = {
        {8, 0, 256}, {8, 16, 16}, {8, 256, 256}, {4, 0, 16}, {1, 0, 2}, {24, 0, 0}, {24, 4, 4}, {32, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.bitCount << " bits, biClrUsed " << c.clrUsed);
        Bytes bytes(40);
        DibBuilder::put32(bytes, 0, 40);
        DibBuilder::put32(bytes, 4, 5);
        DibBuilder::put32(bytes, 8, 3);
        DibBuilder::put16(bytes, 12, 1);
        DibBuilder::put16(bytes, 14, c.bitCount);
        DibBuilder::put32(bytes, 32, c.clrUsed);
        bytes.resize(40 + 4 * c.expectedColours + 3 * dibStride(c.bitCount, 5), 0x42);
        Read read(bytes);
        ASSERT_NE(read.dib, nullptr);
        EXPECT_EQ(dibColourCount(*read.dib), c.expectedColours);
        EXPECT_EQ(read.dib->biSizeImage, 3 * dibStride(c.bitCount, 5));
        EXPECT_EQ(read.size, 40 + 4 * c.expectedColours + read.dib->biSizeImage);
        EXPECT_EQ(*read.at(read.size - 1), 0x42) << "last row byte read from the source";
    }
}

TEST_F(PackedDibReader, LaterHeaderVersionsReadTheTableAfterTheDeclaredHeader)
{
    const DibBuilder image = sample(4, 2);
    const Bytes packed = image.packed();
    for (uint32_t size : {52u, 56u, 108u, 124u}) {
        SCOPED_TRACE(size);
        Bytes bytes(packed.begin(), packed.begin() + 40);
        DibBuilder::put32(bytes, 0, size);
        bytes.resize(size, 0x77); // masks and colour space
        bytes.insert(bytes.end(), packed.begin() + 40, packed.end());
        Read read(bytes);
        ASSERT_NE(read.dib, nullptr);
        EXPECT_EQ(read.dib->biSize, 40u);
        EXPECT_EQ(std::memcmp(read.at(40), &packed[40], packed.size() - 40), 0);
    }
}

TEST_F(PackedDibReader, HostileHeadersAreRefusedWithoutLeaking)
{
    struct Case {
        const char* what;
        size_t offset; // into the file form: 14 + header offset
        uint32_t value;
        int bytes;
    } const cases[] = {
        {"257 colours", 14 + 32, 257, 4},
        {"colour count whose table overflows 32 bits", 14 + 32, 0x40000001u, 4},
        {"colour count 0xFFFFFFFF", 14 + 32, 0xFFFFFFFFu, 4},
        {"width 0", 14 + 4, 0, 4},
        {"negative width", 14 + 4, 0xFFFFFFFFu, 4},
        {"width 16385", 14 + 4, 16385, 4},
        {"height 0", 14 + 8, 0, 4},
        {"negative (top-down) height", 14 + 8, static_cast<uint32_t>(-22), 4},
        {"height 16385", 14 + 8, 16385, 4},
        {"width and height whose product overflows", 14 + 4, 0x7FFFFFFFu, 4},
        {"bit count 0", 14 + 14, 0, 2},
        {"bit count 7", 14 + 14, 7, 2},
        {"bit count 64", 14 + 14, 64, 2},
        {"header size 0", 14 + 0, 0, 4},
        {"header size 39", 14 + 0, 39, 4},
        {"header size 0xFFFFFFFF", 14 + 0, 0xFFFFFFFFu, 4},
        {"unknown compression", 14 + 16, 9, 4},
        {"run-length compression for another bit count", 14 + 16, 2, 4},
        {"run-length data larger than any encoding", 14 + 20, 0xFFFFFFF0u, 4},
        {"row offset beyond 2 GiB", 10, 0x80000000u, 4},
    };
    const Bytes good = sample(17, 22).file();
    {
        Read read(good);
        ASSERT_NE(read.dib, nullptr) << "the unmodified file must be readable";
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = good;
        if (c.offset == 14 + 20) // run-length size check needs run-length compression
            DibBuilder::put32(bytes, 14 + 16, compressionRle8);
        if (c.bytes == 2)
            DibBuilder::put16(bytes, c.offset, static_cast<uint16_t>(c.value));
        else
            DibBuilder::put32(bytes, c.offset, c.value);
        Read read(bytes);
        EXPECT_EQ(read.dib, nullptr);
        EXPECT_EQ(liveDibMemoryBlocks(), blocksBefore);
    }
}

TEST_F(PackedDibReader, LargestAcceptedDimensionsStillRead)
{
    for (auto size : {std::pair<int32_t, int32_t>{16384, 1}, {1, 16384}}) {
        DibBuilder image(size.first, size.second);
        Read read(image.file());
        ASSERT_NE(read.dib, nullptr) << size.first << " x " << size.second;
        EXPECT_EQ(read.dib->biSizeImage, static_cast<uint32_t>(image.stride()) * size.second);
    }
}

TEST_F(PackedDibReader, RowsTheSourceDoesNotHoldReadAsZero)
{
    const DibBuilder image = sample(17, 22);
    const Bytes rows = image.rows();
    struct Case {
        const char* what;
        Bytes bytes;
        size_t rowBytesInFile;
    };
    Bytes small = image.file();
    DibBuilder::put32(small, 14 + 20, 100); // biSizeImage 100 of 440
    Bytes truncated = image.file();
    truncated.resize(truncated.size() - 300);
    Bytes noRows = image.file();
    noRows.resize(14 + 1064);
    Bytes farOffset = image.file();
    DibBuilder::put32(farOffset, 10, 0x10000000); // rows far beyond the end of the file
    const Case cases[] = {
        {"biSizeImage smaller than the rows", small, 100},
        {"file ends inside the rows", truncated, 140},
        {"file ends before the rows", noRows, 0},
        {"row offset beyond the end", farOffset, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Read read(c.bytes);
        ASSERT_NE(read.dib, nullptr);
        ASSERT_EQ(read.size, 1064u + 440u);
        EXPECT_EQ(read.dib->biSizeImage, 440u);
        EXPECT_EQ(std::memcmp(read.at(1064), rows.data(), c.rowBytesInFile), 0);
        for (size_t i = c.rowBytesInFile; i < 440; ++i)
            ASSERT_EQ(*read.at(1064 + static_cast<uint32_t>(i)), 0) << "row byte " << i;
    }
}

TEST_F(PackedDibReader, ColourTableTheSourceDoesNotHoldReadsAsZero)
{
    Bytes bytes = sample(4, 4).file();
    bytes.resize(14 + 40 + 4 * 100 + 2);
    Read read(bytes);
    ASSERT_NE(read.dib, nullptr);
    for (uint32_t i = 40 + 4 * 100 + 2; i < 1064 + 16; ++i)
        ASSERT_EQ(*read.at(i), 0) << "byte " << i;
}

TEST_F(PackedDibReader, ShortHeadersAreRefused)
{
    const Bytes good = sample(4, 4).file();
    for (size_t length : {size_t{0}, size_t{13}, size_t{14}, size_t{14 + 39}}) {
        Bytes bytes(good.begin(), good.begin() + length);
        Read read(bytes);
        EXPECT_EQ(read.dib, nullptr) << length << " bytes";
    }
}

TEST_F(PackedDibReader, FailedAllocationsGiveNoImageAndLeakNothing)
{
    const Bytes bytes = sample(8, 8).file();
    for (int32_t successes : {0, 1}) {
        failDibMemoryAfter(successes);
        Read read(bytes);
        EXPECT_EQ(read.dib, nullptr) << "allocation " << successes + 1 << " failing";
        failDibMemoryAfter(-1);
        EXPECT_EQ(liveDibMemoryBlocks(), blocksBefore);
    }
}

TEST_F(PackedDibReader, LookupTakesTheFileFirstAndAFileThatIsNoBitmapHidesTheResource)
{
    const DibBuilder fromFile = sample(6, 3);
    const DibBuilder fromResource = DibBuilder(5, 2).fill(9);
    const Bytes resource = fromResource.packed();
    const std::string both = file("_both", fromFile.file());
    const std::string empty = file("_empty", Bytes());
    const std::string text = file("_text", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!', '!', '!'});
    const std::string resourceOnly = "packed_dib_test_resource_only";
    for (const std::string& name : {both, empty, text, resourceOnly})
        addStubBitmapResource(name.c_str(), resource.data(), static_cast<uint32_t>(resource.size()));

    uint32_t size = 0;
    int32_t fromResourceFlag = -1;
    const PackedDib* dib = loadPackedDib(both.c_str(), &size, &fromResourceFlag);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(fromResourceFlag, 0);
    EXPECT_EQ(dib->biWidth, 6) << "the file, not the resource";
    freeDibMemory(const_cast<uint8_t*>(reinterpret_cast<const uint8_t*>(dib)));

    EXPECT_EQ(loadPackedDib(empty.c_str(), &size, &fromResourceFlag), nullptr) << "empty file";
    EXPECT_EQ(loadPackedDib(text.c_str(), &size, &fromResourceFlag), nullptr) << "text file";

    const PackedDib* first = loadPackedDib(resourceOnly.c_str(), &size, &fromResourceFlag);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(fromResourceFlag, 1);
    EXPECT_EQ(size, resource.size());
    EXPECT_EQ(std::memcmp(first, resource.data(), resource.size()), 0) << "resource data unchanged";
    EXPECT_EQ(loadPackedDib(resourceOnly.c_str(), &size, &fromResourceFlag), first) << "the same data each time";

    EXPECT_EQ(loadPackedDib("packed_dib_test_no_such_image", &size, &fromResourceFlag), nullptr);
}

TEST_F(PackedDibReader, BlankImages)
{
    PackedDib* blank = allocBlankDib(8, 65, 3);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(blankDibSize(8, 65, 3), 1268u);
    EXPECT_EQ(blank->biSize, 40u);
    EXPECT_EQ(blank->biWidth, 65);
    EXPECT_EQ(blank->biHeight, 3);
    EXPECT_EQ(blank->biPlanes, 1);
    EXPECT_EQ(blank->biBitCount, 8);
    EXPECT_EQ(blank->biClrUsed, 0u);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(blank);
    for (uint32_t i = 40; i < 1268; ++i)
        ASSERT_EQ(bytes[i], 0) << "byte " << i;
    freeDibMemory(reinterpret_cast<uint8_t*>(blank));

    struct Case {
        int32_t bitCount, width, height;
    } const refused[] = {{8, 0, 3}, {8, 3, 0}, {8, -1, 3}, {8, 3, -1}, {8, 16385, 1}, {8, 1, 16385}, {0, 3, 3}, {7, 3, 3}};
    for (const Case& c : refused) {
        EXPECT_EQ(allocBlankDib(c.bitCount, c.width, c.height), nullptr)
            << c.bitCount << " bits, " << c.width << " x " << c.height;
        EXPECT_EQ(blankDibSize(c.bitCount, c.width, c.height), 0u);
    }
}
