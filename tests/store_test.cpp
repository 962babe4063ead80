// The connection store against the settings file. The same source runs
// natively (portable engine) and under Wine (the system's profile functions):
// the expectations, bytes included, hold on both.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include "Raii.h"
#endif

#include <atomic>
#include <filesystem>
#include <random>
#include <set>
#include <thread>

#include "Files.h"
#include "Merge.h"
#include "SaveLock.h"
#include "StoreFixture.h"
#include "StoreTrace.h"

namespace {

using StoreTest = StoreFixture;

TEST_F(StoreTest, NoFileGivesOnePlaceholderSlotAndSavesItsSkeleton) {
  ASSERT_TRUE(LoadIniFile().ok());
  EXPECT_EQ(Users, Slots{""});
  EXPECT_TRUE(storeIsEmpty());
  EXPECT_TRUE(listTexts().empty());
  EXPECT_EQ(SQLPlusPath, "");
  ASSERT_EQ(SaveIniFile(), SaveResult::Saved);
  EXPECT_EQ(readBytes(IniFileName),
            "[SQL*Plus]\r\nPath=\r\n[List]\r\nCOUNT=0\r\n[0]\r\nUser=\r\nPass=\r\nHost=\r\n");
  EXPECT_FALSE(std::filesystem::exists(IniFileName + ".new"));
}

TEST_F(StoreTest, FirstInsertFillsThePlaceholderThenAppends) {
  ASSERT_TRUE(LoadIniFile().ok());
  EXPECT_EQ(storeInsert({"scott", "tiger", "orcl"}), 0);
  EXPECT_EQ(storeCount(), 1);
  EXPECT_EQ(storeInsert({"system", "manager", "prod"}), 1);
  SQLPlusPath = "C:\\oracle\\bin\\sqlplus.exe";
  ASSERT_EQ(SaveIniFile(), SaveResult::Saved);
  EXPECT_EQ(readBytes(IniFileName),
            "[SQL*Plus]\r\nPath=C:\\oracle\\bin\\sqlplus.exe\r\n[List]\r\nCOUNT=1\r\n"
            "[0]\r\nUser=scott\r\nPass=tiger\r\nHost=orcl\r\n"
            "[1]\r\nUser=system\r\nPass=manager\r\nHost=prod\r\n");
  resetStore();
  ASSERT_TRUE(LoadIniFile().ok());
  EXPECT_EQ(listTexts(), (Slots{"scott / tiger @ orcl", "system / manager @ prod"}));
  EXPECT_EQ(SQLPlusPath, "C:\\oracle\\bin\\sqlplus.exe");
}

TEST_F(StoreTest, InsertRefusesEmptyUserAndExactDuplicatesOnly) {
  ASSERT_TRUE(LoadIniFile().ok());
  EXPECT_EQ(storeInsert({"", "p", "h"}), std::nullopt);
  EXPECT_EQ(storeInsert({"u", "p", "h"}), 0);
  EXPECT_EQ(storeInsert({"u", "p", "h"}), std::nullopt);
  EXPECT_EQ(storeInsert({"u", "q", "h"}), 1);  // another password
  EXPECT_EQ(storeInsert({"U", "p", "h"}), 2);  // letter case counts
  EXPECT_EQ(storeInsert({"u", "p", "H"}), 3);
  EXPECT_EQ(storeInsert({"u", "", ""}), 4);
  EXPECT_EQ(storeInsert({"u", "", ""}), std::nullopt);  // two empty texts are equal
  EXPECT_EQ(displayText(4), "u /  @ ");
  // A line break would write keys of its own into the file; a NUL would cut the value.
  EXPECT_EQ(storeInsert({"a\nUser=b", "p", "h"}), std::nullopt);
  EXPECT_EQ(storeInsert({"u", "a\r[9]", "h"}), std::nullopt);
  EXPECT_EQ(storeInsert({"u", "p", std::string("a\0b", 3)}), std::nullopt);
}

TEST_F(StoreTest, NothingChangedTouchesNothingAndAPathThatCannotStandIsRefused) {
  // Not in the saved form, and with a leftover beyond "COUNT".
  const std::string file = "[List]\nCOUNT=3\n[0]\nUser=a\n[3]\nUser=b\n[9]\nPass=old\n";
  ASSERT_TRUE(load(file).ok());
  EXPECT_TRUE(storeInsert({"c", "", ""}));
  storeDelete(2);
  EXPECT_EQ(SaveIniFile(), SaveResult::Unchanged);
  SQLPlusPath = "C:\\x.exe\r\n[0]\r\nUser=injected";
  EXPECT_EQ(SaveIniFile(), SaveResult::Failed);
  EXPECT_EQ(readBytes(IniFileName), file);
  SQLPlusPath = "C:\\x.exe";
  EXPECT_EQ(SaveIniFile(), SaveResult::Saved);
  EXPECT_EQ(SaveIniFile(), SaveResult::Unchanged);  // saved is as good as loaded
}

TEST_F(StoreTest, DeletedLogonsLeaveNoSectionAndNoPasswordBehind) {
  // Leftovers of an older copy above "COUNT", and sections that are no slots.
  ASSERT_TRUE(load("[SQL*Plus]\r\nPath=C:\\x.exe\r\n[List]\r\nCOUNT=2\r\n[0]\r\nUser=a\r\n"
                   "[1]\r\nUser=b\r\n[2]\r\nUser=c\r\nPass=secret2\r\n[7]\r\nPass=old7\r\n"
                   "[00]\r\nk=v\r\n[Other]\r\nk=w\r\n[7]\r\nPass=again7\r\n")
                  .ok());
  storeDelete(2);
  storeDelete(7);  // outside the store: ignored
  EXPECT_EQ(saveAndReload(), (Slots{"a", "b"}));
  std::string text = readBytes(IniFileName);
  EXPECT_NE(text.find("COUNT=1\r\n"), std::string::npos);
  for (const char* gone : {"[2]", "secret2", "[7]", "old7", "again7"})
    EXPECT_EQ(text.find(gone), std::string::npos) << gone;
  EXPECT_NE(text.find("[00]\r\nk=v\r\n[Other]\r\nk=w\r\n"), std::string::npos);

  storeDelete(0);
  storeDelete(0);
  EXPECT_EQ(saveAndReload(), Slots{});
  EXPECT_TRUE(listTexts().empty());
  EXPECT_EQ(
      readBytes(IniFileName),
      "[SQL*Plus]\r\nPath=C:\\x.exe\r\n[List]\r\nCOUNT=-1\r\n[00]\r\nk=v\r\n[Other]\r\nk=w\r\n");
  EXPECT_FALSE(std::filesystem::exists(IniFileName + ".new"));
  EXPECT_EQ(storeInsert({"v", "p", "h"}), 0);
}

// The three-way merge of a save whose file another copy rewrote: base is
// what this copy loaded, mine is this copy now, theirs is the file now.
TEST(Merge, EachSidesAddsAndDeletesHold) {
  const Logon a{"a", "", ""}, b{"b", "", ""}, c{"c", "", ""}, d{"d", "", ""};
  const Logon bNew{"b", "new", ""};  // b's password changed: a delete and an add
  struct Case {
    const char* what;
    std::vector<Logon> base, mine, theirs, merged;
  };
  for (const Case& t : {
           Case{"added here", {a}, {a, b}, {a}, {a, b}},
           Case{"added there, after this copy's own", {a}, {a, b}, {a, c}, {a, b, c}},
           Case{"deleted here", {a, b}, {a}, {a, b}, {a}},
           Case{"deleted there", {a, b}, {a, b}, {b}, {b}},
           Case{"edited here", {a, b}, {a, bNew}, {a, b}, {a, bNew}},
           Case{"edited there: the old password does not come back",
                {a, b},
                {a, b},
                {bNew, a},
                {a, bNew}},
           Case{"deleted on both sides", {a, b, c}, {a, c}, {a, c, d}, {a, c, d}},
           Case{"added on both sides: once", {a}, {a, d}, {d, a}, {a, d}},
           Case{"everything deleted there", {a, b}, {a, b, c}, {}, {c}},
       }) {
    EXPECT_EQ(mergeStores({"", t.base}, {"", t.mine}, {"", t.theirs}).logons, t.merged) << t.what;
  }
  EXPECT_EQ(mergeStores({"base", {}}, {"mine", {}}, {"theirs", {}}).path, "mine");
  EXPECT_EQ(mergeStores({"base", {}}, {"base", {}}, {"theirs", {}}).path, "theirs");
}

// Another copy of the program on the same file rewrote it meanwhile.
TEST_F(StoreTest, TwoCopiesOnOneFileKeepEachOthersChanges) {
  const std::string ours =
      "[SQL*Plus]\r\nPath=C:\\ours.exe\r\n[List]\r\nCOUNT=1\r\n"
      "[0]\r\nUser=a\r\n[1]\r\nUser=b\r\n";
  ASSERT_TRUE(load(ours).ok());
  storeDelete(1);                             // b: deleted here
  ASSERT_TRUE(storeInsert({"d", "p", "h"}));  // d: added here and there
  ASSERT_TRUE(storeInsert({"e", "", ""}));    // e: added here
  testfiles::writeBytes(IniFileName,          // the other copy added c and d
                        "[SQL*Plus]\r\nPath=C:\\theirs.exe\r\n[List]\r\nCOUNT=3\r\n"
                        "[0]\r\nUser=a\r\n[1]\r\nUser=c\r\n[2]\r\nUser=b\r\n"
                        "[3]\r\nUser=d\r\nPass=p\r\nHost=h\r\n");
  EXPECT_EQ(saveAndReload(), (Slots{"a", "d", "e", "c"}));
  EXPECT_EQ(SQLPlusPath, "C:\\theirs.exe");  // this copy left the path alone

  // This copy's path wins when it changed it. The other copy went back to a
  // and b: what it deleted stays deleted, b comes back as its addition.
  SQLPlusPath = "C:\\mine.exe";
  testfiles::writeBytes(IniFileName, ours);
  EXPECT_EQ(saveAndReload(), (Slots{"a", "b"}));
  EXPECT_EQ(SQLPlusPath, "C:\\mine.exe");
  testfiles::writeBytes(IniFileName, ours);
  EXPECT_EQ(SaveIniFile(), SaveResult::Unchanged);
  EXPECT_EQ(readBytes(IniFileName), ours);

  // Gone since the load: the save writes the whole store, not just the change.
  ASSERT_TRUE(load(ours).ok());
  ASSERT_TRUE(storeInsert({"f", "", ""}));
  std::filesystem::remove(IniFileName);
  EXPECT_EQ(saveAndReload(), (Slots{"a", "b", "f"}));
  EXPECT_EQ(SQLPlusPath, "C:\\ours.exe");
}

// Another copy rewrites the file while this one loads it: the store holds
// one version of the file or the other, never one logon's password with
// another's user and host.
TEST_F(StoreTest, LoadWhileTheFileIsRewrittenHoldsOneVersion) {
  const std::string versions[] = {
      "[List]\r\nCOUNT=1\r\n[0]\r\nUser=alice\r\nPass=a1\r\nHost=h1\r\n"
      "[1]\r\nUser=mallory\r\nPass=m1\r\nHost=h2\r\n",
      "[List]\r\nCOUNT=1\r\n[0]\r\nUser=mallory\r\nPass=m1\r\nHost=h2\r\n"
      "[1]\r\nUser=alice\r\nPass=a2\r\nHost=h1\r\n"};
  const std::string file = IniFileName;  // the store's own name is reset below
  writeBytes(file, versions[0]);
  std::atomic<bool> stop{false};
  std::thread other([&] {
    for (unsigned n = 0; !stop; ++n) {  // replaced whole, as a save replaces it
      writeBytes(file + ".other", versions[n % 2]);
      std::error_code busy;  // a reader may hold the file open just now (Windows)
      std::filesystem::rename(file + ".other", file, busy);
    }
  });
  std::set<std::string> seen;
  for (int i = 0; i < 60; ++i) {
    resetStore();
    IniFileName = file;
    if (LoadIniFile().status == LoadResult::Unreadable) continue;  // never held still
    const std::string got = listTexts().at(0) + " | " + listTexts().at(1);
    seen.insert(got);
    EXPECT_TRUE(got == "alice / a1 @ h1 | mallory / m1 @ h2" ||
                got == "mallory / m1 @ h2 | alice / a2 @ h1")
        << got;
  }
  stop = true;
  other.join();
  EXPECT_FALSE(seen.empty());

  // Another copy's save between moving the old file aside and putting the
  // new one in its place (as Wine's ReplaceFileW does; its lock file is
  // there): the file is looked for again, not taken for none.
  std::filesystem::remove(file);
  writeBytes(saveLockFile(file), "");
  std::thread putInPlace([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    writeBytes(file + ".other", versions[1]);
    std::filesystem::rename(file + ".other", file);
  });
  resetStore();
  ASSERT_TRUE(LoadIniFile().ok());
  putInPlace.join();
  EXPECT_EQ(Users, (Slots{"mallory", "alice"}));
  std::filesystem::remove(saveLockFile(file));
}

// Copies left by saves that were killed hold passwords, deleted ones too.
TEST_F(StoreTest, LeftoverCopiesGoAtTheNextCloseAndTheFileStaysUntouched) {
  const std::string file = "[List]\r\nCOUNT=0\r\n[0]\r\nUser=a\r\n";
  ASSERT_TRUE(load(file).ok());
  const std::string leftovers[] = {IniFileName + ".new", IniFileName + ".4242-1.new"};
  for (const auto& name : leftovers) writeBytes(name, "[0]\r\nPass=deleted-secret\r\n");
  writeBytes(dir.file("Other.ini.1-1.new"), "not ours");
  EXPECT_EQ(SaveIniFile(), SaveResult::Unchanged);
  for (const auto& name : leftovers) EXPECT_FALSE(std::filesystem::exists(name)) << name;
  EXPECT_TRUE(std::filesystem::exists(dir.file("Other.ini.1-1.new")));
  EXPECT_EQ(readBytes(IniFileName), file);
  EXPECT_FALSE(std::filesystem::exists(saveLockFile(IniFileName)));
}

TEST_F(StoreTest, ValuesOfAnyLengthAndBytesLoadBackWhole) {
  ASSERT_TRUE(LoadIniFile().ok());
  const std::string v255(255, 'a'), v256(256, 'b'),
      descriptor =
          "(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST=db.example)(PORT=1521))(CONNECT_DATA=" +
          std::string(4000, 'x') + "))";
  const std::string sjis = "\x83\x86\x81\x5B\x83\x55\x95\x5C\x83\x5C";  // ユーザ表ソ
  ASSERT_TRUE(storeInsert({v255, v256, descriptor}));
  ASSERT_TRUE(storeInsert({sjis, " spaced ", "\"quoted\""}));
  ASSERT_TRUE(storeInsert({"u", "\x81\x40pw", "'h'"}));
  SQLPlusPath = "C:\\" + std::string(600, 'p') + "\\sqlplus.exe";
  const Slots users = Users, passes = Passes, hosts = Hosts;
  const std::string path = SQLPlusPath;
  saveAndReload();
  EXPECT_EQ(Users, users);
  EXPECT_EQ(Passes, passes);
  EXPECT_EQ(Hosts, hosts);
  EXPECT_EQ(SQLPlusPath, path);
}

TEST_F(StoreTest, CountDefaultsToZeroAndAcceptsTheRuntimesForms) {
  ASSERT_TRUE(load("[0]\nUser=a\n[1]\nUser=b\n").ok());
  EXPECT_EQ(Users, Slots{"a"});  // no COUNT: one slot
  for (const char* count : {"$1", " +1", "0x1", "x1"}) {
    resetStore();
    ASSERT_TRUE(load(std::string("[List]\nCOUNT=") + count + "\n[0]\nUser=a\n[1]\nUser=b\n").ok());
    EXPECT_EQ(Users, (Slots{"a", "b"})) << count;
  }
}

TEST_F(StoreTest, CountErrorsAreReportedAndTheFileIsNeverOverwritten) {
  struct Case {
    const char* count;
    LoadResult::Status status;
  };
  for (const Case& c :
       {Case{"abc", LoadResult::NotAnInteger}, Case{"1.5", LoadResult::NotAnInteger},
        Case{"-2", LoadResult::RangeError}, Case{"2147483647", LoadResult::RangeError}}) {
    resetStore();
    const std::string file =
        std::string("[SQL*Plus]\nPath=C:\\x.exe\n[List]\nCOUNT=") + c.count + "\n[0]\nUser=keep\n";
    writeBytes(IniFileName, file);
    const LoadResult r = LoadIniFile();
    EXPECT_EQ(r.status, c.status) << c.count;
    EXPECT_EQ(r.detail, c.count);
    EXPECT_TRUE(storeInsert({"new", "p", "h"}));
    EXPECT_EQ(SaveIniFile(), SaveResult::NotLoaded);
    EXPECT_EQ(readBytes(IniFileName), file) << c.count;
  }
}

TEST_F(StoreTest, HandEditedGapsAndEmptyUsersAreClosedUp) {
  // "COUNT" says three slots; slot 1 is missing and slot 2's user is empty.
  ASSERT_TRUE(
      load("[List]\nCOUNT=3\n[0]\nUser=a\nPass=1\n[2]\nPass=x\n[3]\nUser=d\nHost=4\n").ok());
  EXPECT_EQ(Users, (Slots{"a", "d"}));
  EXPECT_EQ(Passes, (Slots{"1", ""}));
  EXPECT_EQ(Hosts, (Slots{"", "4"}));
  EXPECT_EQ(listTexts(), (Slots{"a / 1 @ ", "d /  @ 4"}));

  resetStore();
  ASSERT_TRUE(load("[List]\nCOUNT=1\n[0]\nPass=orphan\n[1]\nUser=b\n").ok());
  EXPECT_EQ(Users, Slots{"b"});  // list item 0 is slot 0 is "b"
  EXPECT_EQ(storeInsert({"c", "", ""}), 1);
}

TEST_F(StoreTest, FileWithoutLogonsKeepsItsPlaceholderAsWritten) {
  ASSERT_TRUE(load("[List]\nCOUNT=0\n[0]\nUser=\nPass=p\nHost=h\n").ok());
  EXPECT_EQ(Users, Slots{""});
  EXPECT_EQ(Passes, Slots{"p"});
  ASSERT_TRUE(load("[List]\nCOUNT=-1\n[0]\nUser=ignored\n").ok());
  EXPECT_EQ(storeCount(), 0);
}

TEST_F(StoreTest, CountFarAboveTheSectionsReadsOnlyThoseThere) {
  ASSERT_TRUE(load("[List]\nCOUNT=2147483646\n[0]\nUser=a\n[00]\nUser=x\n[5]\nUser=b\n[99999999999]"
                   "\nUser=y\n")
                  .ok());
  EXPECT_EQ(Users, (Slots{"a", "b"}));
}

TEST_F(StoreTest, SaveThatCannotWriteFailsAndKeepsTheOldFile) {
  IniFileName = dir.file("missing-dir/Vostrelk.ini");
  ASSERT_TRUE(LoadIniFile().ok());
  EXPECT_TRUE(storeInsert({"u", "p", "h"}));
  EXPECT_EQ(SaveIniFile(), SaveResult::Failed);

  // Another copy's save holds the lock longer than this one waits: nothing
  // is written, and the store keeps its changes for the next try.
  resetStore();
  IniFileName = dir.file("Vostrelk.ini");
  const std::string old = "[List]\r\nCOUNT=0\r\n[0]\r\nUser=old\r\n";
  ASSERT_TRUE(load(old).ok());
  EXPECT_TRUE(storeInsert({"u", "p", "h"}));
  {
    std::optional<SaveLock> other;
    ASSERT_EQ(SaveLock::acquire(IniFileName, kSaveLockTimeout, other), SaveLock::Outcome::Locked);
    saveLockTimeout = std::chrono::milliseconds(300);
    EXPECT_EQ(SaveIniFile(), SaveResult::Failed);
    saveLockTimeout = kSaveLockTimeout;
    EXPECT_EQ(readBytes(IniFileName), old);
    EXPECT_TRUE(filesNamedLike(IniFileName, kSaveCopySuffix).empty());
    EXPECT_EQ(Users, (Slots{"old", "u"}));
  }
  EXPECT_EQ(saveAndReload(), (Slots{"old", "u"}));
  EXPECT_FALSE(std::filesystem::exists(saveLockFile(IniFileName)));
#ifdef _WIN32
  // A lock file that is there and can never be opened (read-only, or a
  // killed save's on a share that denies this user) fails the save soon,
  // instead of taking it for one on its way out until the wait runs out.
  // (Here: held open without sharing; as root Wine opens a read-only file.)
  const std::string lockFile = saveLockFile(IniFileName);
  const UniqueFile holder(CreateFileA(lockFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder);
  std::optional<SaveLock> never;
  EXPECT_EQ(SaveLock::acquire(IniFileName, std::chrono::minutes(5), never),
            SaveLock::Outcome::Failed);
#endif
}

// The system's replace fails each documented way: the file holds the old
// version or the new one whole, and no copy of a password stays beside it.
TEST_F(StoreTest, ReplaceThatFailsHalfWayKeepsAWholeFile) {
  struct Case {
    const char* what;
    ReplaceError error;
    bool oldFileAside;  // what the system did before it failed
    SaveResult result;
  };
  const std::string old = "[List]\r\nCOUNT=0\r\n[0]\r\nUser=old\r\nPass=secret\r\n";
  for (const Case& c : {
           Case{"the copy could not be renamed", ReplaceError::UnableToMoveReplacement, false,
                SaveResult::Failed},
           Case{"the old file went aside, the copy did not follow",
                ReplaceError::UnableToMoveReplacement2, true, SaveResult::Saved},
           Case{"the old file could not be removed", ReplaceError::UnableToRemoveReplaced, false,
                SaveResult::Failed},
           Case{"anything else", ReplaceError::Other, false, SaveResult::Failed},
       }) {
    resetStore();
    IniFileName = dir.file("Vostrelk.ini");
    ASSERT_TRUE(load(old).ok());
    storeDelete(0);
    ASSERT_TRUE(storeInsert({"new", "p2", ""}));
    replaceStep = [&](const std::string& to, const std::string&, const std::string& backup) {
      if (c.oldFileAside) {
        EXPECT_TRUE(moveFile(to, backup));
      }
      return c.error;
    };
    EXPECT_EQ(SaveIniFile(), c.result) << c.what;
    replaceStep = systemReplace;
    for (const char* suffix : {kSaveCopySuffix, kSaveBackupSuffix})
      EXPECT_TRUE(filesNamedLike(IniFileName, suffix).empty()) << c.what << " " << suffix;
    if (c.result == SaveResult::Failed) {
      EXPECT_EQ(readBytes(IniFileName), old) << c.what;
      EXPECT_EQ(Users, Slots{"new"});  // kept for the next try
    } else {
      EXPECT_EQ(saveAndReload(), Slots{"new"}) << c.what;
    }
  }
}

// A UTF-8 byte-order mark: Windows' profile functions read and write such a
// file as UTF-8, the INI engine keeps its bytes. The read-back sees the
// difference, and the save goes through the system's own writes.
TEST_F(StoreTest, FileTheSystemReadsOtherwiseIsWrittenKeyByKey) {
  ASSERT_TRUE(load("\xEF\xBB\xBF[List]\r\nCOUNT=0\r\n[0]\r\nUser=bom\r\n").ok());
  ASSERT_TRUE(storeInsert({"\x83\x86\x81\x5B\x83\x55", "\x95\x5C", "h"}));  // ユーザ, 表
  const unsigned before = savesWrittenKeyByKey;
  EXPECT_EQ(saveAndReload(), (Slots{"bom", "\x83\x86\x81\x5B\x83\x55"}));
  EXPECT_EQ(Passes.at(1), "\x95\x5C");
#ifdef _WIN32
  EXPECT_EQ(savesWrittenKeyByKey, before + 1);
#else
  EXPECT_EQ(savesWrittenKeyByKey, before);  // one engine: it reads what it wrote
#endif
}

TEST_F(StoreTest, FileThatCannotBeReadIsReportedAndNeverWritten) {
  std::filesystem::create_directory(IniFileName);  // a folder where the file should be
  const LoadResult r = LoadIniFile();
  EXPECT_EQ(r.status, LoadResult::Unreadable);
  EXPECT_EQ(r.detail, IniFileName);
  EXPECT_TRUE(storeInsert({"u", "p", "h"}));
  EXPECT_EQ(SaveIniFile(), SaveResult::NotLoaded);
  EXPECT_TRUE(std::filesystem::is_directory(IniFileName));
  EXPECT_FALSE(std::filesystem::exists(IniFileName + ".new"));
}

TEST_F(StoreTest, RandomEditsSurviveSaveAndLoad) {
  std::mt19937 rng(20261207);
  auto text = [&](bool nonEmpty) {
    const std::string s = randomText(rng, 3);
    return s.empty() && nonEmpty ? std::string("u") : s;
  };
  ASSERT_TRUE(LoadIniFile().ok());
  for (int round = 0; round < 20; ++round) {
    for (int op = 0; op < 6; ++op) {
      if (rng() % 3 == 0 && storeCount() > 0)
        storeDelete(static_cast<int>(rng() % storeCount()));
      else
        (void)storeInsert({text(true), text(false), text(false)});
    }
    const Slots users = Users, passes = Passes, hosts = Hosts;
    saveAndReload();
    if (users.empty()) {
      EXPECT_EQ(storeCount(), 0);
    } else {
      EXPECT_EQ(Users, users);
      EXPECT_EQ(Passes, passes);
      EXPECT_EQ(Hosts, hosts);
    }
  }
}

}  // namespace
