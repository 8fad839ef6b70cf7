// The image's memcpy/memset/memmove bodies, checked natively (x86-64) against
// a byte-by-byte model; the i486 build of the same checks runs under
// emulation with the image tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/block_copy_checks.h"

TEST(BlockCopy, EveryLengthAndAlignmentMatchesTheByteModel)
{
    block_copy_checks::Failure f;
    block_copy_checks::checkCopyAndFill(f);
    EXPECT_EQ(f.failures, 0) << "first: " << (f.operation ? f.operation : "") << " length " << f.length
                             << " target offset " << f.targetOffset << " source offset/value " << f.sourceOffset;
}

TEST(BlockCopy, OverlappingMovesMatchTheByteModelBothWays)
{
    block_copy_checks::Failure f;
    block_copy_checks::checkOverlappingMoves(f);
    EXPECT_EQ(f.failures, 0) << "first: length " << f.length << " target offset " << f.targetOffset
                             << " source offset " << f.sourceOffset;
}

TEST(BlockCopy, LargeCopyLeavesTheBytesAroundIt)
{
    std::vector<unsigned char> source(1 << 20), target((1 << 20) + 64, 0xEE);
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<unsigned char>(i * 131 + (i >> 9));
    blockcopy::copyUp(target.data() + 32, source.data() + 3, source.size() - 3);
    EXPECT_TRUE(std::equal(source.begin() + 3, source.end(), target.begin() + 32));
    EXPECT_EQ(target[31], 0xEE);
    EXPECT_EQ(target[32 + source.size() - 3], 0xEE);
}
