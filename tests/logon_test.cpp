// The texts built from a logon: what the client's command line and the
// shortcut's file name are made of.
#include <gtest/gtest.h>

#include "CodePage.h"
#include "Logon.h"

namespace {

TEST(Logon, SeparatorsAreAlwaysThere) {
  EXPECT_EQ(logonString("scott", "tiger", "orcl"), "scott/tiger@orcl");
  EXPECT_EQ(logonString("u", "", ""), "u/@");
  EXPECT_EQ(shortcutFileName("u", "", "h"), "u_@h.lnk");
  EXPECT_EQ(shortcutFileName("scott", "tiger", "orcl"), "scott_tiger@orcl.lnk");
}

TEST(Logon, CommandLineQuotesAPathWithBlanksOnly) {
  EXPECT_EQ(clientCommandLine("C:\\ora\\sqlplus.exe", "u", "p", "h"), "C:\\ora\\sqlplus.exe u/p@h");
  EXPECT_EQ(clientCommandLine("C:\\Program Files\\ora\\sqlplus.exe", "u", "p", "h"),
            "\"C:\\Program Files\\ora\\sqlplus.exe\" u/p@h");
  EXPECT_EQ(clientCommandLine("\"C:\\Program Files\\sqlplus.exe\"", "u", "p", "h"),
            "\"C:\\Program Files\\sqlplus.exe\" u/p@h");      // already quoted: as it is
  EXPECT_EQ(clientCommandLine("", "u", "p", "h"), " u/p@h");  // begins with the blank
  // The logon string is never quoted, whatever it holds.
  EXPECT_EQ(clientCommandLine("C:\\x.exe", "a b", "p q", "(DESCRIPTION=(A= B))"),
            "C:\\x.exe a b/p q@(DESCRIPTION=(A= B))");
}

TEST(Logon, FileNamesTheFileSystemWouldTakeApartAreRefused) {
  EXPECT_TRUE(isValidFileName("scott_tiger@orcl.lnk"));
  EXPECT_TRUE(isValidFileName("\x95\x5C_\x83\x5C@h.lnk"));  // 表_ソ@h: 0x5C ends a character
  for (const char* bad :
       {"a:b", "a?b", "a*b", "a\"b", "a<b", "a>b", "a|b", "a/b", "a\\b", "a\tb", ""})
    EXPECT_FALSE(isValidFileName(bad)) << bad;
  EXPECT_FALSE(isValidFileName("\x95:b"));  // ':' follows no lead byte's character
}

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
