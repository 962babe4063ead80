// One logon and the texts made from it: the client's argument and command
// line, the shortcut's file name, and what can never go to the client.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

#include <string>
#include <vector>

#include "CodePage.h"
#include "Logon.h"

namespace {

TEST(Logon, SeparatorsAreAlwaysThereAndThePasswordIsQuotedWhenItMustBe) {
  EXPECT_EQ(logonArgument({"scott", "tiger", "orcl"}), "scott/tiger@orcl");
  // SQL*Plus asks for a password left out; an empty one it refuses (ORA-01005).
  EXPECT_EQ(logonArgument({"u", "", ""}), "u");
  EXPECT_EQ(logonArgument({"scott", "", "orcl"}), "scott@orcl");
  EXPECT_EQ(logonArgument({"scott", "tiger", ""}), "scott/tiger");
  EXPECT_EQ(logonArgument({"/", "", "wallet_alias"}), "/@wallet_alias");  // a wallet
  EXPECT_EQ(logonArgument({"/", "", ""}), "/");  // the operating system's account
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
  EXPECT_EQ(clientCommandLine("", {"u", "p", "h"}), " u/p@h");  // begins with the blank
  // A quote anywhere in the path would make the rest of it arguments.
  EXPECT_TRUE(isUsableClientPath("C:\\Program Files\\\x95\x5C\\sqlplus.exe"));
  for (const char* bad :
       {"\"C:\\ora\\sqlplus.exe\" @\\\\srv\\x.sql \"", "\"C:\\x.exe\"", "C:\\x.exe\r\n"})
    EXPECT_FALSE(isUsableClientPath(bad)) << bad;
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
    // 表 (95 5C), ソ (83 5C) and 能 (94 5C) end in the byte of a backslash,
    // which must never be doubled: they are characters, not backslashes.
    {{"u", "a \x95\x5C", "orcl @\\\\srv\\s\\x.sql"},  // 表 just before the closing quote
     "u/\"a \x95\x5C\"@orcl @\\\\srv\\s\\x.sql",
     "\"u/\\\"a \x95\x5C\\\"@orcl @\\\\srv\\s\\x.sql\""},
    {{"u", "p", "orcl \x95\x5C"}, "u/p@orcl \x95\x5C", "\"u/p@orcl \x95\x5C\""},  // at the end
    {{"u", "\x83\x5C q", "h"}, "u/\"\x83\x5C q\"@h", "\"u/\\\"\x83\x5C q\\\"@h\""},
    {{"\x94\x5C x", "p\x94\x5C", "h"}, "\x94\x5C x/p\x94\x5C@h", "\"\x94\x5C x/p\x94\x5C@h\""},
    {{"\x94\x5C", "", ""}, "\x94\x5C", "\x94\x5C"},
};

// The C runtime's split of a narrow command line in a multibyte code page:
// a lead byte and the byte after it are one character, never a quote, a
// backslash or a blank; 2n backslashes before a quote are n and the quote
// opens or closes, 2n+1 are n and a quote; "" inside quotes is a quote. The
// program's name ends at the first blank outside quotes.
std::vector<std::string> splitLikeTheRuntime(const std::string& line) {
  std::vector<std::string> args(1);
  size_t i = 0;
  const auto copyChar = [&](std::string& arg) {
    const size_t len = codepage::charLength(line, i);
    arg.append(line, i, len);
    i += len;
  };
  for (bool quoted = false; i < line.size();) {
    if (line[i] == '"') {
      quoted = !quoted;
      ++i;
    } else if (!quoted && (line[i] == ' ' || line[i] == '\t')) {
      break;
    } else {
      copyChar(args[0]);
    }
  }
  for (;;) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) return args;
    std::string& arg = args.emplace_back();
    for (bool quoted = false; i < line.size();) {
      size_t slashes = 0;
      for (; i < line.size() && line[i] == '\\'; ++i) ++slashes;
      if (i < line.size() && line[i] == '"') {
        arg.append(slashes / 2, '\\');
        if (slashes % 2 == 1 || (quoted && i + 1 < line.size() && line[i + 1] == '"')) {
          arg += '"';
          i += slashes % 2 == 1 ? 1 : 2;
        } else {
          quoted = !quoted;
          ++i;
        }
        continue;
      }
      arg.append(slashes, '\\');
      if (i >= line.size() || (!quoted && (line[i] == ' ' || line[i] == '\t'))) break;
      copyChar(arg);
    }
  }
}

TEST(Logon, EveryLogonIsOneArgumentOfTheClient) {
  for (const Hostile& h : kHostile) {
    EXPECT_EQ(logonArgument(h.logon), h.argument);
    const std::string line = clientCommandLine("C:\\Program Files\\x.exe", h.logon);
    EXPECT_EQ(line, std::string("\"C:\\Program Files\\x.exe\" ") + h.line);
    EXPECT_EQ(splitLikeTheRuntime(line),
              (std::vector<std::string>{"C:\\Program Files\\x.exe", h.argument}))
        << line;
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
