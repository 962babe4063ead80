// The code page's rules: where a character ends decides, not a byte.
#include <gtest/gtest.h>

#include "CodePage.h"

namespace {

TEST(CodePage, TheLastCharacterNotTheLastByteDecides) {
  using codepage::endsWithChar;
  using codepage::lastSeparator;
  EXPECT_FALSE(endsWithChar("C:\\\x95\x5C", '\\'));   // 表
  EXPECT_TRUE(endsWithChar("C:\\\x83\x5C\\", '\\'));  // ソ then a backslash
  EXPECT_FALSE(endsWithChar("", '\\'));
  EXPECT_EQ(lastSeparator("C:\\\x8F\x5C\\a.exe"), 5u);  // 十 is no separator, the next is
  EXPECT_EQ(lastSeparator("a.exe"), std::string::npos);
}

}  // namespace
