// Start-up of the shell tests. The MinGW runtime starts the thread with
// 64-bit x87 precision; the image's entry sets double precision, and the
// core under test must compute what the image computes.
#include <gtest/gtest.h>

#include "support/float_control.h"

int main(int argc, char** argv)
{
    setDoublePrecision();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
