// The "COUNT" conversion: what it accepts, what it rejects, where it overflows.
#include <gtest/gtest.h>

#include "IntText.h"

namespace {

struct Accepted {
  const char* text;
  int32_t value;
};

class ParseInt32Accepts : public ::testing::TestWithParam<Accepted> {};

TEST_P(ParseInt32Accepts, GivesTheValue) {
  int32_t v = 12345;
  ASSERT_TRUE(parseInt32(GetParam().text, v)) << GetParam().text;
  EXPECT_EQ(v, GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseInt32Accepts,
                         ::testing::Values(Accepted{"0", 0}, Accepted{"-1", -1}, Accepted{"+7", 7},
                                           Accepted{"   42", 42}, Accepted{"007", 7},
                                           Accepted{"$1F", 31}, Accepted{"x10", 16},
                                           Accepted{"X10", 16}, Accepted{"0x10", 16},
                                           Accepted{"-$10", -16}, Accepted{"$FFFFFFFF", -1},
                                           Accepted{"$7FFFFFFF", 2147483647},
                                           Accepted{"2147483647", 2147483647},
                                           Accepted{"-2147483648", INT32_MIN}, Accepted{" -0", 0}));

class ParseInt32Rejects : public ::testing::TestWithParam<const char*> {};

TEST_P(ParseInt32Rejects, LeavesTheValue) {
  int32_t v = 99;
  EXPECT_FALSE(parseInt32(GetParam(), v)) << GetParam();
  EXPECT_EQ(v, 99);
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseInt32Rejects,
                         ::testing::Values("", " ", "-", "+", "$", "0x", "abc", "1 ", "1a", "\t1",
                                           "2147483648", "-2147483649", "$100000000", "0X10", "1.0",
                                           "--1", "+-1", "$-1", "１"));

}  // namespace
