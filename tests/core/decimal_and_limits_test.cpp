// Decimal text for the profile and the settings' range rules.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "settings/settings.h"
#include "support/decimal.h"

TEST(FormatDecimal, SignsDigitsAndExtremes)
{
    const int32_t values[] = {0, 7, 10, -1, 200, -200, 1234567890, INT32_MAX, INT32_MIN};
    for (int32_t value : values) {
        char buffer[12];
        EXPECT_EQ(std::string(formatDecimal(value, buffer)), std::to_string(value));
    }
}

TEST(SettingLimits, OutOfRangeBecomesTenOnBothSides)
{
    struct Case {
        int32_t value;
        int32_t ani;
        int32_t refresh;
    } const cases[] = {
        {INT32_MIN, 10, 10}, {-1, 10, 10}, {0, 10, 10},  {1, 10, 1},     {9, 10, 9},
        {10, 10, 10},        {100, 100, 100}, {101, 101, 10}, {200, 200, 10}, {201, 10, 10},
        {INT32_MAX, 10, 10},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(limitAniInterval(c.value), c.ani) << "value " << c.value;
        EXPECT_EQ(limitRefreshMinutes(c.value), c.refresh) << "value " << c.value;
    }
}
