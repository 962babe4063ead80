// One logon and the texts made from it: the client's argument and command
// line, the shortcut's file name, and what can never go to the client.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include "Common.h"
#include "TestFiles.h"
#include "TestProcess.h"
#endif

#include <string>
#include <vector>

#include "CodePage.h"
#include "FolderReach.h"
#include "Logon.h"
#include "Paths.h"

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

// A batch file runs through cmd.exe, which would act on a logon's & | < > ^ %;
// a name that is not a full path would be looked for beside the program first.
TEST(Logon, ClientPathsAreFullPathsOfProgramsOrNamesOnPath) {
  using C = ClientPath;
  const std::pair<const char*, ClientPath> cases[] = {
      {"C:\\oracle\\bin\\sqlplus.exe", C::Full},
      {"c:/oracle/sqlplus", C::Full},
      {"\\\\srv\\share\\sqlplus.exe", C::Full},
      {"C:\\\x95\x5C\\sqlplus.exe", C::Full},  // 表: its 0x5C is no separator
      {"sqlplus.exe", C::Bare},
      {"sqlplus", C::Bare},
      {"bin\\sqlplus.exe", C::Relative},
      {".\\sqlplus.exe", C::Relative},
      {"..\\sqlplus.exe", C::Relative},
      {"\\oracle\\sqlplus.exe", C::Relative},  // the current drive's root
      {"C:sqlplus.exe", C::Relative},          // the current folder of drive C:
      {"C:\\launch\\sqlplus.bat", C::BatchFile},
      {"C:\\launch\\SQLPLUS.CMD", C::BatchFile},
      {"C:\\launch\\run.bat. . ", C::BatchFile},  // the file system drops the dots and blanks
      {"run.cmd", C::BatchFile},
      {"C:\\launch\\run.bat::$DATA", C::Unusable},
      {"C:\\x.exe:hidden", C::Unusable},
      {"", C::Unusable},
      {"C:\\a\"b.exe", C::Unusable},
      {"C:\\x\\", C::Unusable},
  };
  for (const auto& [path, kind] : cases) EXPECT_EQ(classifyClientPath(path), kind) << path;

  // Only folders of PATH given by their full path: "." and "bin" would be
  // the current folder's.
  const auto found = [](const std::string& name, const std::string& list) {
    return findOnPath(name, list, [](const std::string& f) {
      return f == "C:\\ora\\sqlplus.exe" || f == "D:\\tools\\sqlplus.exe" ||
             f == "\\\\srv\\s\\sql.com";
    });
  };
  EXPECT_EQ(found("sqlplus", ".;bin;C:\\none;C:\\ora;D:\\tools"), "C:\\ora\\sqlplus.exe");
  EXPECT_EQ(found("sqlplus.exe", ";\"D:\\tools\";C:\\ora\\"), "D:\\tools\\sqlplus.exe");
  EXPECT_EQ(found("sql.com", "\\\\srv\\s"), "\\\\srv\\s\\sql.com");
  EXPECT_EQ(found("sqlplus", ".;C:ora;\\ora"), "");
  EXPECT_EQ(found("sqlplus", ""), "");
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
    // A first byte of 932 that is a letter of its own in 1252 (e acute) or
    // the start of a letter in UTF-8: there the backslash after it is one,
    // doubled before the closing quote, or the host would start a script.
    {{"x", "x \xE9\\", "orcl @\\\\srv\\s\\x.sql"},
     "x/\"x \xE9\\\"@orcl @\\\\srv\\s\\x.sql",
     "\"x/\\\"x \xE9\\\\\"@orcl @\\\\srv\\s\\x.sql\""},
    {{"x", "x \xC3\xA9\\", "orcl @\\\\srv\\s\\x.sql"},
     "x/\"x \xC3\xA9\\\"@orcl @\\\\srv\\s\\x.sql",
     "\"x/\\\"x \xC3\xA9\\\\\\\"@orcl @\\\\srv\\s\\x.sql\""},
};

// The C runtime's split of a narrow command line in a multibyte code page:
// a lead byte and the byte after it are one character, never a quote, a
// backslash or a blank; 2n backslashes before a quote are n and the quote
// opens or closes, 2n+1 are n and a quote; "" inside quotes is a quote. The
// program's name ends at the first blank outside quotes. The runtime's rule
// written again on purpose, to hold the program's quoting against (and held
// itself against the recording client's real runtime below under Wine).
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

#ifdef _WIN32
// The arguments the recording client's C runtime split line into.
std::vector<std::string> splitByTheRuntime(const std::string& line) {
  const testfiles::ScratchDir dir;
  const std::string record = dir.file("record.txt");
  SetEnvironmentVariableA("VOSTRELK_RECORD", record.c_str());
  const std::string recorder = GetExeDir() + "vk_recorder.exe";
  const UniqueHandle client = testprocess::start("\"" + recorder + "\" " + line);
  SetEnvironmentVariableA("VOSTRELK_RECORD", nullptr);
  if (!client || testprocess::waitFor(client, 30000) != 0) return {"not started"};
  const std::string args = testfiles::readBytes(record + ".args");
  std::vector<std::string> split;
  for (size_t at = 0; at < args.size(); at = args.find('\0', at) + 1)
    split.push_back(args.substr(at, args.find('\0', at) - at));
  return split;
}
#endif

// Under any code page the program may run under (Windows' own, as the tests
// run once each under 932, 1252 and UTF-8): a value that is no text of it is
// refused, every other one reaches the client as exactly one argument.
TEST(Logon, EveryLogonIsOneArgumentOfTheClient) {
#ifdef _WIN32
  const bool cp932 = GetACP() == 932;
#else
  const bool cp932 = true;
#endif
  for (const Hostile& h : kHostile) {
    if (!codepage::isText(h.logon.Pass) || !codepage::isText(h.logon.User) ||
        !codepage::isText(h.logon.Host)) {
      EXPECT_NE(h.logon.firstUnusable(), std::nullopt) << h.argument;
      continue;
    }
    EXPECT_EQ(logonArgument(h.logon), h.argument);
    const std::string line = clientCommandLine("C:\\Program Files\\x.exe", h.logon);
    if (cp932) {
      EXPECT_EQ(line, std::string("\"C:\\Program Files\\x.exe\" ") + h.line);
    }
    EXPECT_EQ(splitLikeTheRuntime(line),
              (std::vector<std::string>{"C:\\Program Files\\x.exe", h.argument}))
        << line;
#ifdef _WIN32
    // Split as the client's runtime splits it, and as the system does.
    EXPECT_EQ(splitByTheRuntime(clientArguments(h.logon)), std::vector<std::string>{h.argument})
        << line;
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
  if (codepage::isLeadByte(0x83)) {  // half a character (in 1252 a letter of its own)
    EXPECT_EQ((Logon{"u", "\x83", "h"}.firstUnusable()), F::Pass);
    // A code the system reads back as another (NEC's selection of IBM's
    // extensions): never saved as typed.
    EXPECT_EQ((Logon{"u", "p", "\xED\x40"}.firstUnusable()), F::Host);
    EXPECT_EQ((Logon{"u", "p", "\xFA\x5C"}.firstUnusable()), std::nullopt);  // IBM's own: kept
  }
  EXPECT_EQ((Logon{"u\"", "\"", "\""}.firstUnusable()), F::User);  // the first box in order
}

TEST(Logon, ShortcutNamesTakeFullWidthFormsOfWhatTheFileSystemRefuses) {
  if (!codepage::isLeadByte(0x95)) GTEST_SKIP() << "the file names of code page 932";
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
  if (!codepage::isLeadByte(0x95)) GTEST_SKIP() << "the file names of code page 932";
  EXPECT_TRUE(isValidFileName("scott_tiger@orcl.lnk"));
  EXPECT_TRUE(isValidFileName("\x95\x5C_\x83\x5C@h.lnk"));  // 表_ソ@h: 0x5C ends a character
  for (const char* bad :
       {"a:b", "a?b", "a*b", "a\"b", "a<b", "a>b", "a|b", "a/b", "a\\b", "a\tb", ""})
    EXPECT_FALSE(isValidFileName(bad)) << bad;
  EXPECT_FALSE(isValidFileName("\x95:b"));  // ':' follows no lead byte's character
}

// Where a shortcut's folder sends the password: a share, a drive the system
// calls a network drive, or inside a folder OneDrive keeps (its variables,
// however spelt) or a sync root the system names.
TEST(FolderReach, SharesNetworkDrivesAndSyncedFoldersReachBeyondThisPC) {
  if (!codepage::isLeadByte(0x95)) GTEST_SKIP() << "the paths of code page 932";
  using R = FolderReach;
  const std::vector<std::string> oneDrive = {"C:\\Users\\u\\OneDrive", "", ""};
  // 表 ends in 0x5C, ア in 0x41 ('A'), ヂ in 0x61 ('a').
  const std::vector<std::string> inWords = {"", "d:/od - corp/", "C:\\\x95\x5C", "C:\\\x83\x41"};
  const struct {
    const char* folder;
    FolderFacts facts;
    FolderReach reach;
  } cases[] = {
      {"C:\\Users\\u\\Desktop\\", {oneDrive}, R::ThisPC},
      {"C:\\Users\\u\\OneDrive\\Desktop\\", {oneDrive}, R::Synchronised},
      {"c:\\users\\U\\ONEDRIVE\\", {oneDrive}, R::Synchronised},
      {"C:\\Users\\u\\OneDriveOld\\Desktop\\", {oneDrive}, R::ThisPC},
      {"C:\\Users\\u\\Desktop\\", {{"", "", ""}}, R::ThisPC},  // unset: no root
      {"D:\\OD - Corp\\Desktop\\", {inWords}, R::Synchronised},
      {"C:\\\x95\x5C\\Desktop\\", {inWords}, R::Synchronised},
      {"C:\\\x95\x5Cx\\Desktop\\", {inWords}, R::ThisPC},  // 表x
      {"C:\\\x83\x41\\Desktop\\", {inWords}, R::Synchronised},
      {"C:\\\x83\x61\\Desktop\\", {inWords}, R::ThisPC},  // ヂ is not ア in lower case
      {"\\\\srv\\home\\Desktop\\", {oneDrive}, R::Network},
      {"//srv/home/Desktop", {}, R::Network},
      {"H:\\Desktop\\", {{}, true}, R::Network},
      {"E:\\Box\\Desktop\\", {{}, false, true}, R::Synchronised},
      {"\\\\srv\\home\\OneDrive\\Desktop", {{"\\\\srv\\home\\OneDrive"}}, R::Synchronised},
  };
  for (const auto& c : cases) EXPECT_EQ(folderReach(c.folder, c.facts), c.reach) << c.folder;
}

}  // namespace
