// One logon and the texts made from it: the client's argument and command
// line, the shortcut's file name, and what can never go to the client.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

#include "CodePage.h"
#include "Logon.h"

namespace {

TEST(Logon, SeparatorsAreAlwaysThereAndThePasswordIsQuotedWhenItMustBe) {
  EXPECT_EQ(logonArgument({"scott", "tiger", "orcl"}), "scott/tiger@orcl");
  EXPECT_EQ(logonArgument({"u", "", ""}), "u/@");
  EXPECT_EQ(logonArgument({"scott", "p@ss", "orcl"}), "scott/\"p@ss\"@orcl");
  EXPECT_EQ(logonArgument({"u", "a/b", "h"}), "u/\"a/b\"@h");
  EXPECT_EQ(logonArgument({"u", "p", "db1:1521/orclpdb"}), "u/p@db1:1521/orclpdb");
  EXPECT_EQ(shortcutFileName({"u", "", "h"}), "u_@h.lnk");
  EXPECT_EQ(shortcutFileName({"scott", "tiger", "orcl"}), "scott_tiger@orcl.lnk");
}

TEST(Logon, CommandLineQuotesAPathWithBlanksOnly) {
  EXPECT_EQ(clientCommandLine("C:\\ora\\sqlplus.exe", {"u", "p", "h"}),
            "C:\\ora\\sqlplus.exe u/p@h");
  EXPECT_EQ(clientCommandLine("C:\\Program Files\\ora\\sqlplus.exe", {"u", "p", "h"}),
            "\"C:\\Program Files\\ora\\sqlplus.exe\" u/p@h");
  EXPECT_EQ(clientCommandLine("\"C:\\Program Files\\sqlplus.exe\"", {"u", "p", "h"}),
            "\"C:\\Program Files\\sqlplus.exe\" u/p@h");        // already quoted: as it is
  EXPECT_EQ(clientCommandLine("", {"u", "p", "h"}), " u/p@h");  // begins with the blank
}

// Whatever the three values hold, the client gets exactly one logon argument.
struct Hostile {
  Logon logon;
  const char* argument;  // what the client receives
  const char* line;      // how it stands on the command line
};
const Hostile kHostile[] = {
    {{"scott", "tiger", "orcl @\\\\server\\share\\x.sql"},
     "scott/tiger@orcl @\\\\server\\share\\x.sql",
     "\"scott/tiger@orcl @\\\\server\\share\\x.sql\""},
    {{"scott", "p@ss", "orcl"}, "scott/\"p@ss\"@orcl", "scott/\\\"p@ss\\\"@orcl"},
    {{"u", "p q", "h"}, "u/\"p q\"@h", "\"u/\\\"p q\\\"@h\""},
    {{"u", "p\\", "h"}, "u/p\\@h", "u/p\\@h"},  // no quote follows: as typed
    {{"u", "a b\\", "h"}, "u/\"a b\\\"@h", "\"u/\\\"a b\\\\\\\"@h\""},
    {{"u", "p", "h\\"}, "u/p@h\\", "u/p@h\\"},
    {{"u", "p", "h \\\\"}, "u/p@h \\\\", "\"u/p@h \\\\\\\\\""},  // doubled before the closing quote
    {{"u", "&|>^%", "h&calc"}, "u/&|>^%@h&calc", "u/&|>^%@h&calc"},
    {{"u", "p\tq", "h\t"}, "u/\"p\tq\"@h\t", "\"u/\\\"p\tq\\\"@h\t\""},
    {{"a b", "p", "(DESCRIPTION=(A= B))"},
     "a b/p@(DESCRIPTION=(A= B))",
     "\"a b/p@(DESCRIPTION=(A= B))\""},
};

TEST(Logon, EveryLogonIsOneArgumentOfTheClient) {
  for (const Hostile& h : kHostile) {
    EXPECT_EQ(logonArgument(h.logon), h.argument);
    const std::string line = clientCommandLine("C:\\Program Files\\x.exe", h.logon);
    EXPECT_EQ(line, std::string("\"C:\\Program Files\\x.exe\" ") + h.line);
#ifdef _WIN32
    // Split as the client's runtime splits it.
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(fromAnsi(line).c_str(), &argc);
    ASSERT_NE(argv, nullptr);
    ASSERT_EQ(argc, 2) << line;
    EXPECT_EQ(toAnsi(argv[0]), "C:\\Program Files\\x.exe");
    EXPECT_EQ(toAnsi(argv[1]), h.argument) << line;
    LocalFree(argv);
#endif
  }
}

TEST(Logon, WhatTheClientWouldMisreadIsRefusedFieldByField) {
  using F = Logon::Field;
  EXPECT_EQ((Logon{"scott", "p@ss w/rd", "db1:1521/orcl"}.firstUnusable()), std::nullopt);
  EXPECT_EQ((Logon{"", "", ""}.firstUnusable()), std::nullopt);
  EXPECT_EQ((Logon{"u-@", "-p", "@h"}.firstUnusable()), std::nullopt);  // only the user's start
  EXPECT_EQ((Logon{"@script", "p", "h"}.firstUnusable()), F::User);
  EXPECT_EQ((Logon{"-L", "p", "h"}.firstUnusable()), F::User);
  EXPECT_EQ((Logon{"u", "a\"b", "h"}.firstUnusable()), F::Pass);
  EXPECT_EQ((Logon{"u", "p", "h\r\n"}.firstUnusable()), F::Host);
  EXPECT_EQ((Logon{"u", "p", std::string("h\0", 2)}.firstUnusable()), F::Host);
  EXPECT_EQ((Logon{"u", "\x83", "h"}.firstUnusable()), F::Pass);   // half a character
  EXPECT_EQ((Logon{"u\"", "\"", "\""}.firstUnusable()), F::User);  // the first box in order
}

TEST(Logon, ShortcutNamesTakeFullWidthFormsOfWhatTheFileSystemRefuses) {
  EXPECT_EQ(shortcutFileName({"scott", "tiger", "db1:1521/orclpdb"}),
            "scott_tiger@db1\x81\x46"
            "1521\x81\x5Eorclpdb.lnk");  // db1：1521／orclpdb
  EXPECT_EQ(shortcutFileName({"a?", "\\*", "<>|"}),
            "a\x81\x48_\x81\x5F\x81\x96@\x81\x83\x81\x84\x81\x62.lnk");
  // 表 and ソ end in 0x5C, ポ in 0x7C: halves of characters, not separators.
  EXPECT_EQ(shortcutFileName({"\x95\x5C", "\x83\x5C", "\x83\x7C"}),
            "\x95\x5C_\x83\x5C@\x83\x7C.lnk");
  EXPECT_TRUE(isValidFileName(shortcutFileName({"u?", "a/b", "h:1|2"})));
}

TEST(Logon, FileNamesTheFileSystemWouldTakeApartAreRefused) {
  EXPECT_TRUE(isValidFileName("scott_tiger@orcl.lnk"));
  EXPECT_TRUE(isValidFileName("\x95\x5C_\x83\x5C@h.lnk"));  // 表_ソ@h: 0x5C ends a character
  for (const char* bad :
       {"a:b", "a?b", "a*b", "a\"b", "a<b", "a>b", "a|b", "a/b", "a\\b", "a\tb", ""})
    EXPECT_FALSE(isValidFileName(bad)) << bad;
  EXPECT_FALSE(isValidFileName("\x95:b"));  // ':' follows no lead byte's character
}

}  // namespace
