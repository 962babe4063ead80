// The code page's rules: where a character ends decides, not a byte.
#include <gtest/gtest.h>

#include "CodePage.h"

namespace {

// In 932 (and on any system without one) 0x95 0x5C is 表; in 1252 or UTF-8
// 0x95 is a character, or part of one, of its own and 0x5C a backslash.
TEST(CodePage, TheLastCharacterNotTheLastByteDecides) {
  using codepage::endsWithChar;
  using codepage::lastSeparator;
  const bool cp932 = codepage::isLeadByte(0x95);
  EXPECT_EQ(endsWithChar("C:\\\x95\x5C", '\\'), !cp932);  // 表, or a byte and a backslash
  EXPECT_TRUE(endsWithChar("C:\\\x83\x5C\\", '\\'));      // ソ then a backslash
  EXPECT_FALSE(endsWithChar("", '\\'));
  EXPECT_EQ(lastSeparator("C:\\\x8F\x5C\\a.exe"), 5u);  // 十 is no separator, the next is
  EXPECT_EQ(lastSeparator("C:\\\x8F\x5C"), cp932 ? 2u : 4u);
  EXPECT_EQ(lastSeparator("a.exe"), std::string::npos);
}

}  // namespace
