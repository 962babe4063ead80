// The connection store against the settings file. The same source runs
// natively (portable engine) and under Wine (the system's profile functions):
// the expectations, bytes included, hold on both.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include "Raii.h"
#endif

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "FileSystem.h"
#include "Files.h"
#include "Merge.h"
#include "SaveCopies.h"
#include "SaveLock.h"
#include "FileKeeper.h"
#include "KeptChange.h"
#include "Paths.h"
#include "StoreFixture.h"
#include "StoreTrace.h"
#include "StoreWorker.h"

namespace {

using StoreTest = StoreFixture;

#ifdef _WIN32
// Wine makes no symbolic links of its own, and removes what one leads to:
// a POSIX tool makes and removes them. Nothing where not under Wine.
bool runPosixTool(const char* tool, const std::vector<std::string>& paths) {
  using UnixName = char*(CDECL*)(const wchar_t*);
  const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
  if (!unixName) return false;
  std::string line = tool;
  for (const std::string& path : paths) {
    char* name = unixName(std::filesystem::path(path).wstring().c_str());
    line += " \"" + std::string(name ? name : "") + "\"";
    if (name) HeapFree(GetProcessHeap(), 0, name);
  }
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  const UniqueHandle process(pi.hProcess), thread(pi.hThread);
  return true;
}
#endif

// Makes link a link to target: a symbolic one or (hard) a second name.
bool makeLink(const std::string& target, const std::string& link, bool hard) {
#ifdef _WIN32
  if (hard) return CreateHardLinkA(link.c_str(), target.c_str(), nullptr) != FALSE;
  if (!runPosixTool("Z:\\bin\\ln -s", {target, link}))
    return CreateSymbolicLinkA(link.c_str(), target.c_str(),
                               SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != FALSE;
  // The handle of a POSIX program may be signalled before it ran.
  for (int i = 0; i < 250 && !std::filesystem::exists(link); ++i) Sleep(20);
  return std::filesystem::exists(link);
#else
  return (hard ? ::link(target.c_str(), link.c_str()) : ::symlink(target.c_str(), link.c_str())) ==
         0;
#endif
}

// Removes a symbolic link made by makeLink, while its target is still there.
void removeLink(const std::string& link) {
#ifdef _WIN32
  if (runPosixTool("Z:\\bin\\rm -f", {link})) {
    for (int i = 0; i < 250 && std::filesystem::exists(link); ++i) Sleep(20);
    return;
  }
#endif
  std::filesystem::remove(link);
}

TEST_F(StoreTest, NoFileGivesOnePlaceholderSlotAndSavesItsSkeleton) {
  ASSERT_TRUE(store.LoadIniFile().ok());
  EXPECT_EQ(store.Users(), Slots{""});
  EXPECT_TRUE(store.empty());
  EXPECT_TRUE(store.listTexts().empty());
  EXPECT_EQ(store.SQLPlusPath(), "");
  ASSERT_EQ(store.SaveIniFile(), SaveResult::Saved);
  EXPECT_EQ(readBytes(store.IniFileName()),
            "[SQL*Plus]\r\nPath=\r\n[List]\r\nCOUNT=0\r\n[0]\r\nUser=\r\nPass=\r\nHost=\r\n");
  EXPECT_FALSE(std::filesystem::exists(store.IniFileName() + ".new"));
}

TEST_F(StoreTest, FirstInsertFillsThePlaceholderThenAppends) {
  ASSERT_TRUE(store.LoadIniFile().ok());
  EXPECT_EQ(store.insert({"scott", "tiger", "orcl"}), 0);
  EXPECT_EQ(store.count(), 1);
  EXPECT_EQ(store.insert({"system", "manager", "prod"}), 1);
  store.setSQLPlusPath("C:\\oracle\\bin\\sqlplus.exe");
  ASSERT_EQ(store.SaveIniFile(), SaveResult::Saved);
  EXPECT_EQ(readBytes(store.IniFileName()),
            "[SQL*Plus]\r\nPath=C:\\oracle\\bin\\sqlplus.exe\r\n[List]\r\nCOUNT=1\r\n"
            "[0]\r\nUser=scott\r\nPass=tiger\r\nHost=orcl\r\n"
            "[1]\r\nUser=system\r\nPass=manager\r\nHost=prod\r\n");
  reset();
  ASSERT_TRUE(store.LoadIniFile().ok());
  EXPECT_EQ(store.listTexts(), (Slots{"scott / tiger @ orcl", "system / manager @ prod"}));
  EXPECT_EQ(store.SQLPlusPath(), "C:\\oracle\\bin\\sqlplus.exe");
}

TEST_F(StoreTest, InsertRefusesEmptyUserAndExactDuplicatesOnly) {
  ASSERT_TRUE(store.LoadIniFile().ok());
  EXPECT_EQ(store.insert({"", "p", "h"}), std::nullopt);
  EXPECT_EQ(store.insert({"u", "p", "h"}), 0);
  EXPECT_EQ(store.insert({"u", "p", "h"}), std::nullopt);
  EXPECT_EQ(store.insert({"u", "q", "h"}), 1);  // another password
  EXPECT_EQ(store.insert({"U", "p", "h"}), 2);  // letter case counts
  EXPECT_EQ(store.insert({"u", "p", "H"}), 3);
  EXPECT_EQ(store.insert({"u", "", ""}), 4);
  EXPECT_EQ(store.insert({"u", "", ""}), std::nullopt);  // two empty texts are equal
  EXPECT_EQ(displayTextOf(store.logonAt(4)), "u /  @ ");
  // A line break would write keys of its own into the file; a NUL would cut the value.
  EXPECT_EQ(store.insert({"a\nUser=b", "p", "h"}), std::nullopt);
  EXPECT_EQ(store.insert({"u", "a\r[9]", "h"}), std::nullopt);
  EXPECT_EQ(store.insert({"u", "p", std::string("a\0b", 3)}), std::nullopt);
}

TEST_F(StoreTest, NothingChangedTouchesNothingAndAPathThatCannotStandIsRefused) {
  // Not in the saved form, and with a leftover beyond "COUNT".
  const std::string file = "[List]\nCOUNT=3\n[0]\nUser=a\n[3]\nUser=b\n[9]\nPass=old\n";
  ASSERT_TRUE(load(file).ok());
  EXPECT_TRUE(store.insert({"c", "", ""}));
  store.remove(2);
  EXPECT_EQ(store.SaveIniFile(), SaveResult::Unchanged);
  store.setSQLPlusPath("C:\\x.exe\r\n[0]\r\nUser=injected");
  EXPECT_EQ(store.SaveIniFile(), SaveResult::Failed);
  EXPECT_EQ(readBytes(store.IniFileName()), file);
  store.setSQLPlusPath("C:\\x.exe");
  EXPECT_EQ(store.SaveIniFile(), SaveResult::Saved);
  EXPECT_EQ(store.SaveIniFile(), SaveResult::Unchanged);  // saved is as good as loaded
}

TEST_F(StoreTest, DeletedLogonsLeaveNoSectionAndNoPasswordBehind) {
  // Leftovers of an older copy above "COUNT", and sections that are no slots.
  ASSERT_TRUE(load("[SQL*Plus]\r\nPath=C:\\x.exe\r\n[List]\r\nCOUNT=2\r\n[0]\r\nUser=a\r\n"
                   "[1]\r\nUser=b\r\n[2]\r\nUser=c\r\nPass=secret2\r\n[7]\r\nPass=old7\r\n"
                   "[00]\r\nk=v\r\n[Other]\r\nk=w\r\n[7]\r\nPass=again7\r\n")
                  .ok());
  store.remove(2);
  store.remove(7);  // outside the store: ignored
  EXPECT_EQ(saveAndReload(), (Slots{"a", "b"}));
  std::string text = readBytes(store.IniFileName());
  EXPECT_NE(text.find("COUNT=1\r\n"), std::string::npos);
  for (const char* gone : {"[2]", "secret2", "[7]", "old7", "again7"})
    EXPECT_EQ(text.find(gone), std::string::npos) << gone;
  EXPECT_NE(text.find("[00]\r\nk=v\r\n[Other]\r\nk=w\r\n"), std::string::npos);

  store.remove(0);
  store.remove(0);
  EXPECT_EQ(saveAndReload(), Slots{});
  EXPECT_TRUE(store.listTexts().empty());
  EXPECT_EQ(
      readBytes(store.IniFileName()),
      "[SQL*Plus]\r\nPath=C:\\x.exe\r\n[List]\r\nCOUNT=-1\r\n[00]\r\nk=v\r\n[Other]\r\nk=w\r\n");
  EXPECT_FALSE(std::filesystem::exists(store.IniFileName() + ".new"));
  EXPECT_EQ(store.insert({"v", "p", "h"}), 0);
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
  store.remove(1);                             // b: deleted here
  ASSERT_TRUE(store.insert({"d", "p", "h"}));  // d: added here and there
  ASSERT_TRUE(store.insert({"e", "", ""}));    // e: added here
  testfiles::writeBytes(store.IniFileName(),   // the other copy added c and d
                        "[SQL*Plus]\r\nPath=C:\\theirs.exe\r\n[List]\r\nCOUNT=3\r\n"
                        "[0]\r\nUser=a\r\n[1]\r\nUser=c\r\n[2]\r\nUser=b\r\n"
                        "[3]\r\nUser=d\r\nPass=p\r\nHost=h\r\n");
  EXPECT_EQ(saveAndReload(), (Slots{"a", "d", "e", "c"}));
  EXPECT_EQ(store.SQLPlusPath(), "C:\\theirs.exe");  // this copy left the path alone

  // This copy's path wins when it changed it. The other copy went back to a
  // and b: what it deleted stays deleted, b comes back as its addition.
  store.setSQLPlusPath("C:\\mine.exe");
  testfiles::writeBytes(store.IniFileName(), ours);
  EXPECT_EQ(saveAndReload(), (Slots{"a", "b"}));
  EXPECT_EQ(store.SQLPlusPath(), "C:\\mine.exe");
  testfiles::writeBytes(store.IniFileName(), ours);
  EXPECT_EQ(store.SaveIniFile(), SaveResult::Unchanged);
  EXPECT_EQ(readBytes(store.IniFileName()), ours);

  // Gone since the load: the save writes the whole store, not just the change.
  ASSERT_TRUE(load(ours).ok());
  ASSERT_TRUE(store.insert({"f", "", ""}));
  std::filesystem::remove(store.IniFileName());
  EXPECT_EQ(saveAndReload(), (Slots{"a", "b", "f"}));
  EXPECT_EQ(store.SQLPlusPath(), "C:\\ours.exe");
}

// A look at the file for another copy's saves, as the window's worker
// makes it (Saver::follow); whether the store's list changed.
bool follow(Store& store) {
  Follow look = store.followRequest();
  Store::follow(look, Deadline(std::chrono::seconds(2)));
  return store.takeFollowed(std::move(look));
}

// Two copies of the program on one file, each with its store, change it in
// turns: their saves keep each other's changes (the merge's rules, through
// the saves themselves), and a copy that follows the file lists the other's
// saves beside its own changes not saved yet, writing nothing. Steps: A or
// B, then +x (insert), -x (delete), s (save) or f (follow); N is a's logon
// with a new password.
TEST_F(StoreTest, TwoStoresOnOneFileKeepEachOthersSaves) {
  const auto logon = [](char c) {
    return c == 'N' ? Logon{"a", "new", ""} : Logon{std::string(1, c), "", ""};
  };
  const auto logons = [&](const char* letters) {
    std::vector<Logon> all;
    for (const char* l = letters; *l; ++l) all.push_back(logon(*l));
    return all;
  };
  struct Case {
    const char* what;
    const char* steps;
    const char* after;             // the logons the file then holds, in order
    const char* listed = nullptr;  // the logons the last step's copy then lists
  };
  for (const Case& c : {
           Case{"each adds a logon: this copy's first", "A+c B+d As Bs", "abdc"},
           Case{"one deletes, the other adds", "A-a As B+c Bs", "bc"},
           Case{"both delete one logon", "A-b B-b As Bs", "a"},
           Case{"an edit here, a delete there", "A-a A+N B-b As Bs", "N"},
           Case{"a save with nothing new writes nothing", "A+c As Bs B+d Bs", "abdc"},
           Case{"what one deleted does not come back from the other", "A-a As B+c Bs As", "bc"},
           Case{"one deletes, the other follows", "A-a As Bf", "b", "b"},
           Case{"the other follows an edit and a new logon", "A-a A+N A+c As Bf", "bNc", "bNc"},
           Case{"a change not saved yet stays beside what is followed", "A+c As B-b B+d Bf", "abc",
                "adc"},
           Case{"and the save after it keeps both", "A+c As B-b B+d Bf Bs", "adc", "adc"},
           Case{"a file not saved again is no news", "B+d Bf", "ab", "abd"},
           Case{"what one deleted after a follow stays deleted", "A+c As Bf B-c Bs Af", "ab", "ab"},
       }) {
    writeBytes(store.IniFileName(), "[List]\r\nCOUNT=1\r\n[0]\r\nUser=a\r\n[1]\r\nUser=b\r\n");
    Store copies[2] = {Store(store.IniFileName()), Store(store.IniFileName())};
    for (Store& s : copies) ASSERT_TRUE(s.LoadIniFile().ok());
    std::istringstream steps(c.steps);
    Store* last = nullptr;
    for (std::string step; steps >> step;) {
      Store& s = *(last = &copies[step[0] - 'A']);
      if (step[1] == 's') {
        EXPECT_NE(s.SaveIniFile(), SaveResult::Failed) << c.what;
      } else if (step[1] == 'f') {
        const std::string before = readBytes(s.IniFileName());
        const std::vector<Logon> listed = s.logons();
        const bool shown = follow(s);
        EXPECT_EQ(shown, s.logons() != listed) << c.what;
        EXPECT_EQ(readBytes(s.IniFileName()), before) << c.what;
      } else if (step[1] == '+') {
        EXPECT_TRUE(s.insert(logon(step[2]))) << c.what;
      } else {
        for (int i = 0; i < s.count(); ++i)
          if (s.logonAt(i) == logon(step[2])) s.remove(i);
      }
    }
    Store after(store.IniFileName());
    ASSERT_TRUE(after.LoadIniFile().ok());
    EXPECT_EQ(after.logons(), logons(c.after)) << c.what;
    if (c.listed) {
      EXPECT_EQ(last->logons(), logons(c.listed)) << c.what;
    }
  }
}

// A look reads a file only when it reads whole, without the lock, and
// writes, moves and puts back nothing: a file cut between a save's renames,
// one whose "COUNT" cannot be read or one another program holds are no
// news, and the folder stays as it was.
TEST_F(StoreTest, AFollowingLookReadsAWholeFileAndWritesNothing) {
  const std::string file = store.IniFileName();
  const std::string one = "[List]\r\nCOUNT=0\r\n[0]\r\nUser=c\r\n";
#ifdef _WIN32
  UniqueFile holding;
#endif
  const std::vector<std::pair<const char*, std::function<void()>>> cases = {
      {"a save cut between its renames",
       [&] {
         writeBytes(copyPath(file, 5, CopyKind::Whole), one);
         std::filesystem::rename(file, copyPath(file, 5, CopyKind::Backup));
       }},
      {"a \"COUNT\" that cannot be read", [&] { writeBytes(file, "[List]\r\nCOUNT=x\r\n"); }},
#ifdef _WIN32
      {"a file held by another program",
       [&] {
         writeBytes(file, one);
         holding = UniqueFile(
             CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
       }},
#endif
  };
  const auto folder = [&] {
    std::vector<std::string> names;
    for (const FileBeside& f : filesBeside(file)) names.push_back(f.path);
    return std::make_pair(fileState(file), names);
  };
  for (const auto& [what, meanwhile] : cases) {
    SCOPED_TRACE(what);
    for (const FileBeside& f : filesBeside(file)) std::filesystem::remove(f.path);
    ASSERT_TRUE(load("[List]\r\nCOUNT=1\r\n[0]\r\nUser=a\r\n[1]\r\nUser=b\r\n").ok());
    meanwhile();
    const auto before = folder();
    EXPECT_FALSE(follow(store));
    EXPECT_EQ(store.Users(), (Slots{"a", "b"}));
    EXPECT_EQ(folder(), before);
#ifdef _WIN32
    holding.reset();
#endif
  }
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
  const std::string file = store.IniFileName();  // the store's own name is reset below
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
    store = Store(file);
    if (store.LoadIniFile().status == LoadResult::Unreadable) continue;  // never held still
    const std::string got = store.listTexts().at(0) + " | " + store.listTexts().at(1);
    seen.insert(got);
    EXPECT_TRUE(got == "alice / a1 @ h1 | mallory / m1 @ h2" ||
                got == "mallory / m1 @ h2 | alice / a2 @ h1")
        << got;
  }
  stop = true;
  other.join();
  EXPECT_FALSE(seen.empty());

  // Another copy's save between moving the old file aside and putting the
  // new one in its place (as Wine's ReplaceFileW does), under its lock: the
  // file is looked for again, not taken for none.
  std::filesystem::remove(file);
  std::atomic<bool> locked{false};
  std::thread putInPlace([&] {
    std::optional<SaveLock> lock;
    ASSERT_EQ(SaveLock::acquire(file, kSaveLockTimeout, lock), SaveLock::Outcome::Locked);
    locked = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    writeBytes(file + ".other", versions[1]);
    std::filesystem::rename(file + ".other", file);
  });
  while (!locked) std::this_thread::yield();
  reset();
  ASSERT_TRUE(store.LoadIniFile().ok());
  putInPlace.join();
  EXPECT_EQ(store.Users(), (Slots{"mallory", "alice"}));
  EXPECT_FALSE(std::filesystem::exists(saveLockFile(file)));
}

// What a cut save left, and what is put back: the latest whole version the
// program wrote, by the generation in its name (today's copies) or by time
// (1.4.0's), never by a clock against a generation; only the program's
// names are ever touched, and nothing beside a file that cannot be read.
TEST(Recovery, PutsBackTheLatestWholeVersionByWhatTheProgramWrote) {
  struct Case {
    const char* what;
    FileState file;
    std::vector<FileBeside> beside;  // names after "Vostrelk.ini.", and their times
    const char* restore;             // "" for none
    std::vector<const char*> discard;
  };
  const auto at = [](const char* name, unsigned long long written, bool plain = true) {
    return FileBeside{std::string("Vostrelk.ini.") + name, written, plain};
  };
  for (const Case& c : {
           Case{"cut between the replace's two renames",
                FileState::Missing,
                {at("vksave-3.bak", 100), at("vksave-3.new", 200)},
                "vksave-3.new",
                {"vksave-3.bak", "vksave-3.new"}},
           Case{"the backup alone",
                FileState::Missing,
                {at("vksave-3.bak", 1)},
                "vksave-3.bak",
                {"vksave-3.bak"}},
           Case{"two PCs' clocks out of order: the generation decides",
                FileState::Missing,
                {at("vksave-9.new", 100), at("vksave-10.new", 50), at("vksave-2.new", 900)},
                "vksave-10.new",
                {"vksave-9.new", "vksave-10.new", "vksave-2.new"}},
           Case{"a later save's backup over an older whole copy",
                FileState::Missing,
                {at("vksave-3.new", 500), at("vksave-5.bak", 100)},
                "vksave-5.bak",
                {"vksave-3.new", "vksave-5.bak"}},
           Case{"a working copy alone is never put back",
                FileState::Missing,
                {at("vksave-4.tmp", 1)},
                "",
                {"vksave-4.tmp"}},
           Case{"today's copies are later than 1.4.0's",
                FileState::Missing,
                {at("vksave-1.bak", 1), at("1236-1.new", 999)},
                "vksave-1.bak",
                {"vksave-1.bak", "1236-1.new"}},
           Case{"1.4.0's by time, then by number, not as text",
                FileState::Missing,
                {at("96-1.new", 5), at("100-1.new", 5), at("96-1.bak", 1), at("800-1.bak", 9)},
                "100-1.new",
                {"96-1.new", "100-1.new", "96-1.bak"}},  // 800-1.bak has no save of its own
           Case{"a counter that restarted, a process number used again",
                FileState::Missing,
                {at("vksave-1.new", 9), at("vksave-1.bak", 10), at("4-1.new", 1), at("4-2.new", 2)},
                "vksave-1.new",
                {"vksave-1.new", "vksave-1.bak", "4-1.new", "4-2.new"}},
           Case{"the user's own names are not the program's",
                FileState::Missing,
                {at("bak", 1), at("2024-05.bak", 1), at("2023-12.bak", 1), at("20240501-1.new", 1),
                 at("0001-0002.bak", 1), at("12-5.bak", 1), at("2024-8.bak", 1), at("8-3.bak", 1),
                 at("vksave-01.new", 1), at("vksave-.new", 1), at("vksave-2.new.txt", 1),
                 at("new", 1)},
                "",
                {"new"}},
           Case{"beside a whole file nothing is put back",
                FileState::Readable,
                {at("vksave-7.new", 1), at("8-1.tmp", 1), at("mine.bak", 1)},
                "",
                {"vksave-7.new", "8-1.tmp"}},
           Case{"beside a file that cannot be read nothing is touched",
                FileState::Unreadable,
                {at("vksave-7.new", 1)},
                "",
                {}},
           Case{"a link named like a copy is no copy",
                FileState::Missing,
                {at("vksave-7.new", 1, false), at("vksave-2.bak", 1)},
                "vksave-2.bak",
                {"vksave-2.bak"}},
           Case{"a held planted generation of 18 digits, and one of 19 a save wrote after it",
                FileState::Missing,
                {at("vksave-999999999999999999.tmp", 1), at("vksave-1000000000000000000.new", 1)},
                "vksave-1000000000000000000.new",
                {"vksave-999999999999999999.tmp", "vksave-1000000000000000000.new"}},
           Case{"a lock file a killed holder moved aside goes beside a whole file",
                FileState::Readable,
                {at("lock.1234.5678.old", 1), at("lock.x.5678.old", 1), at("lock.old", 1)},
                "",
                {"lock.1234.5678.old"}},
       }) {
    const Recovery plan = planRecovery("Vostrelk.ini", c.file, c.beside);
    EXPECT_EQ(plan.candidates.empty() ? "" : plan.candidates.front().path,
              *c.restore ? std::string("Vostrelk.ini.") + c.restore : "")
        << c.what;
    std::vector<std::string> discard;
    for (const char* name : c.discard) discard.push_back(std::string("Vostrelk.ini.") + name);
    EXPECT_EQ(plan.discard, discard) << c.what;
  }
  // The next save's generation: later than every copy that may be put back,
  // on no name taken, and always one the program reads again.
  struct Next {
    const char* what;
    std::vector<FileBeside> beside;
    unsigned long long next;
  };
  for (const Next& n : {
           Next{"none", {}, 1},
           Next{"one more than the latest", {at("vksave-3.new", 1), at("vksave-2.bak", 1)}, 4},
           Next{"a working copy sets nothing, its name is avoided",
                {at("vksave-1.tmp", 1), at("vksave-999999999999999999.tmp", 1)},
                2},
           Next{"a link's name is avoided, its generation sets nothing",
                {at("vksave-2.new", 1), at("vksave-3.new", 1, false)},
                4},
           Next{"a planted 18-digit whole copy",
                {at("vksave-999999999999999999.new", 1)},
                1'000'000'000'000'000'000ULL},
           Next{"a name in capitals is taken and ranked as Windows reads it",
                {at("VKSAVE-3.NEW", 1), at("vksave-4.TMP", 1)},
                5},
           Next{"a folder's name is taken",
                {at("vksave-1.tmp", 1, false), at("vksave-2.new", 1, false)},
                3},
           // A lower generation would rank below it at a recovery.
           Next{"the very top: none, the save names the top copy",
                {at("vksave-9999999999999999999.bak", 1), at("vksave-1.tmp", 1)},
                0},
       }) {
    const unsigned long long g = nextGeneration("Vostrelk.ini", n.beside);
    EXPECT_EQ(g, n.next) << n.what;
    if (!g) {
      EXPECT_EQ(topCopy("Vostrelk.ini", n.beside), "Vostrelk.ini.vksave-9999999999999999999.bak");
      continue;
    }
    for (const CopyKind kind : {CopyKind::Working, CopyKind::Whole, CopyKind::Backup})
      EXPECT_EQ(copyName(copyPath("Vostrelk.ini", g, kind), "Vostrelk.ini").generation, g)
          << n.what;
  }
}

// The same on disk: the start puts the version back, and the file then
// holds through two closes, with only the user's own files left beside it.
TEST_F(StoreTest, SaveCutOffIsPutBackAndOnlyTheProgramsCopiesGo) {
  const std::string oldFile =
      "[List]\r\nCOUNT=2\r\n[0]\r\nUser=old\r\nPass=secret\r\n[1]\r\nUser=b\r\n"
      "[2]\r\nUser=c\r\n";
  const std::string newFile =
      "[List]\r\nCOUNT=1\r\n[0]\r\nUser=old\r\nPass=\r\nHost=\r\n[1]\r\nUser=new\r\n"
      "Pass=\r\nHost=\r\n";
  const std::string cutFile = newFile.substr(0, 60);  // a whole copy's name, cut short
  const std::string elsewhere = "[List]\r\nCOUNT=0\r\n[0]\r\nUser=other\r\nPass=theirs\r\n";
  struct Beside {
    const char* suffix;
    const std::string* bytes;  // none: a link to a file elsewhere
    bool hard = false;
  };
  struct Case {
    const char* what;
    const std::string* file;  // the settings file; none: missing
    std::vector<Beside> beside;
    Slots users;                              // what the start shows
    const char* recovered;                    // the suffix of the copy put back; "" for none
    std::vector<const char*> stay;            // what is still beside the file after two closes
    std::vector<const char*> keptAside = {};  // told at the start
    FolderState before = FolderState::Cut;    // the folder's state at the start
    // The start loads nothing and names this copy, which it could not use:
    // nothing is written over the folder, the link's file untouched.
    const char* refused = "";
  };
  for (const Case& c : {
           Case{"cut between the replace's two renames",
                nullptr,
                {{"vksave-3.bak", &oldFile}, {"vksave-3.new", &newFile}, {"2024-05.bak", &oldFile}},
                {"old", "new"},
                "vksave-3.new",
                {"2024-05.bak"}},
           Case{"1.4.0's copies",
                nullptr,
                {{"76-3.bak", &oldFile}, {"76-3.new", &newFile}},
                {"old", "new"},
                "76-3.new",
                {}},
           Case{"the user's own backup is never put back",
                nullptr,
                {{"2023-12.bak", &oldFile}, {"vksave-4.tmp", &newFile}},
                {""},
                "",
                {"2023-12.bak"},
                {},
                FolderState::Stale},
           Case{"a whole copy cut short is kept aside, the whole backup put back",
                nullptr,
                {{"vksave-3.new", &cutFile}, {"vksave-2.bak", &oldFile}},
                {"old", "b", "c"},
                "vksave-2.bak",
                {"vksave-3.new.damaged"},
                {"vksave-3.new.damaged"}},
           Case{"a link named like a working copy beside a whole file",
                &oldFile,
                {{"vksave-1.tmp", nullptr}},
                {"old", "b", "c"},
                "",
                {"vksave-1.tmp"},
                {},
                FolderState::Clean},
           Case{"links named like whole copies beside no file",
                nullptr,
                {{"vksave-1.new", nullptr}, {"vksave-2.bak", nullptr, true}},
                {},
                "",
                {"vksave-1.new", "vksave-2.bak"},
                {},
                FolderState::First,
                "vksave-1.new"},
           Case{"a copy's name in capitals is the program's, as Windows reads it",
                nullptr,
                {{"VKSAVE-3.NEW", &newFile}, {"vksave-2.Bak", &oldFile}},
                {"old", "new"},
                "VKSAVE-3.NEW",
                {}},
       }) {
    const std::string folder = dir.file(c.what);
    std::filesystem::create_directories(folder);
    const std::string file = folder + "/Vostrelk.ini";
    if (c.file) writeBytes(file, *c.file);
    const std::string other = folder + "/other.ini";
    for (const Beside& b : c.beside) {
      if (b.bytes) {
        writeBytes(file + "." + b.suffix, *b.bytes);
        continue;
      }
      writeBytes(other + b.suffix, elsewhere);
      ASSERT_TRUE(makeLink(other + b.suffix, file + "." + b.suffix, b.hard)) << c.what;
    }
    // At rest before and after every step: a cut save, then CLEAN but for
    // what is not the program's to remove (a link named like a copy).
    const FolderState cleaned = FolderState::Clean;
    EXPECT_EQ(folderState(file), c.before) << c.what;
    Store started(file);
    const LoadResult loaded = started.LoadIniFile();
    if (*c.refused) {
      EXPECT_EQ(loaded.status, LoadResult::UnusableCopy) << c.what;
      EXPECT_EQ(loaded.detail, file + "." + c.refused) << c.what;
      ASSERT_TRUE(started.insert({"one", "change", ""}));
      EXPECT_EQ(started.SaveIniFile(), SaveResult::NotLoaded) << c.what;
      EXPECT_EQ(folderState(file), c.before) << c.what;
      for (const Beside& b : c.beside)
        if (!b.bytes) {
          EXPECT_EQ(readBytes(other + b.suffix), elsewhere) << c.what << b.suffix;
          if (!b.hard) removeLink(file + "." + b.suffix);
        }
      continue;
    }
    ASSERT_TRUE(loaded.ok()) << c.what;
    EXPECT_EQ(folderState(file), c.file || *c.recovered ? cleaned : c.before) << c.what;
    EXPECT_EQ(started.Users(), c.users) << c.what;
    EXPECT_EQ(loaded.recovered, *c.recovered ? file + "." + c.recovered : "") << c.what;
    std::vector<std::string> keptAside;
    for (const char* k : c.keptAside) keptAside.push_back(file + "." + k);
    EXPECT_EQ(loaded.keptAside, keptAside) << c.what;
    ASSERT_TRUE(started.insert({"one", "change", ""}));
    // The first save beside a missing file leaves what the recovery could
    // not remove then (nothing goes beside a missing file) to the next.
    for (int close = 0; close < 2; ++close) EXPECT_NE(started.SaveIniFile(), SaveResult::Failed);
    EXPECT_EQ(folderState(file), cleaned) << c.what;
    started.remove(started.count() - 1);
    EXPECT_NE(started.SaveIniFile(), SaveResult::Failed);
    EXPECT_EQ(folderState(file), cleaned) << c.what;
    for (const Beside& b : c.beside)  // what a link leads to is never touched
      if (!b.bytes) {
        EXPECT_EQ(readBytes(other + b.suffix), elsewhere) << c.what << b.suffix;
      }
    Store again(file);
    ASSERT_TRUE(again.LoadIniFile().ok());
    EXPECT_EQ(again.Users(), c.users == Slots{""} ? Slots{} : c.users) << c.what;
    std::vector<std::string> left;
    for (const FileBeside& f : filesBeside(file)) left.push_back(f.path.substr(file.size() + 1));
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, std::vector<std::string>(c.stay.begin(), c.stay.end())) << c.what;
    for (const Beside& b : c.beside)
      if (!b.bytes && !b.hard) removeLink(file + "." + b.suffix);
  }
}

TEST_F(StoreTest, ValuesOfAnyLengthAndBytesLoadBackWhole) {
  ASSERT_TRUE(store.LoadIniFile().ok());
  const std::string v255(255, 'a'), v256(256, 'b'),
      descriptor =
          "(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST=db.example)(PORT=1521))(CONNECT_DATA=" +
          std::string(4000, 'x') + "))";
  const std::string sjis = "\x83\x86\x81\x5B\x83\x55\x95\x5C\x83\x5C";  // ユーザ表ソ
  ASSERT_TRUE(store.insert({v255, v256, descriptor}));
  ASSERT_TRUE(store.insert({sjis, " spaced ", "\"quoted\""}));
  ASSERT_TRUE(store.insert({"u", "\x81\x40pw", "'h'"}));
  store.setSQLPlusPath("C:\\" + std::string(600, 'p') + "\\sqlplus.exe");
  const Slots users = store.Users(), passes = store.Passes(), hosts = store.Hosts();
  const std::string path = store.SQLPlusPath();
  saveAndReload();
  EXPECT_EQ(store.Users(), users);
  EXPECT_EQ(store.Passes(), passes);
  EXPECT_EQ(store.Hosts(), hosts);
  EXPECT_EQ(store.SQLPlusPath(), path);
  // Values that fill the system's buffer of a read: in quotes in the file
  // (the system strips them), and typed with blanks at an end (the save
  // writes them in quotes and reads them back).
  for (const size_t edge : {size_t{255}, size_t{1023}, size_t{4095}}) {
    const std::string pass = std::string(edge - 1, 'p') + "Z";
    reset();
    ASSERT_TRUE(
        load("[List]\r\nCOUNT=1\r\n[0]\r\nUser=a\r\n[1]\r\nUser=b\r\nPass=\"" + pass + "\"\r\n")
            .ok());
    EXPECT_EQ(store.Passes().at(1), pass) << edge;
    store.remove(0);
    EXPECT_EQ(saveAndReload(), Slots{"b"}) << edge;
    EXPECT_EQ(store.Passes().at(0), pass) << edge;
    EXPECT_NE(readBytes(store.IniFileName()).find(pass), std::string::npos) << edge;
    for (const std::string& typed : {" " + pass.substr(1), pass.substr(1) + " "}) {
      ASSERT_TRUE(store.insert({"c", typed, "h"}));
      ASSERT_EQ(store.SaveIniFile(), SaveResult::Saved) << edge;
      EXPECT_EQ(saveAndReload(), (Slots{"b", "c"})) << edge;
      EXPECT_EQ(store.Passes().at(1), typed) << edge;
      store.remove(1);
    }
  }
  // A value the system reads back as other bytes (a code of two encodings,
  // which no typed text gives) is never saved as if it were whole: the
  // save names the value that read back otherwise.
  reset();
  ASSERT_TRUE(load("").ok());
  ASSERT_TRUE(store.insert({"u", "\xED\x40", "h"}));
  const SaveResult twoCodes = store.SaveIniFile();
#ifdef _WIN32
  EXPECT_EQ(twoCodes.step, SaveResult::Step::ReadBack) << testing::PrintToString(twoCodes);
  EXPECT_EQ(twoCodes.section + " " + twoCodes.key, "0 Pass");
  EXPECT_TRUE(store.changed());
#else
  EXPECT_EQ(twoCodes, SaveResult::Saved);  // one engine: it reads what it wrote
#endif
}

TEST_F(StoreTest, CountDefaultsToZeroAndAcceptsTheRuntimesForms) {
  ASSERT_TRUE(load("[0]\nUser=a\n[1]\nUser=b\n").ok());
  EXPECT_EQ(store.Users(), Slots{"a"});  // no COUNT: one slot
  for (const char* count : {"$1", " +1", "0x1", "x1"}) {
    reset();
    ASSERT_TRUE(load(std::string("[List]\nCOUNT=") + count + "\n[0]\nUser=a\n[1]\nUser=b\n").ok());
    EXPECT_EQ(store.Users(), (Slots{"a", "b"})) << count;
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
    reset();
    const std::string file =
        std::string("[SQL*Plus]\nPath=C:\\x.exe\n[List]\nCOUNT=") + c.count + "\n[0]\nUser=keep\n";
    writeBytes(store.IniFileName(), file);
    const LoadResult r = store.LoadIniFile();
    EXPECT_EQ(r.status, c.status) << c.count;
    EXPECT_EQ(r.detail, c.count);
    EXPECT_TRUE(store.insert({"new", "p", "h"}));
    EXPECT_EQ(store.SaveIniFile(), SaveResult::NotLoaded);
    EXPECT_EQ(readBytes(store.IniFileName()), file) << c.count;
  }
}

TEST_F(StoreTest, HandEditedGapsAndEmptyUsersAreClosedUp) {
  // "COUNT" says three slots; slot 1 is missing and slot 2's user is empty.
  ASSERT_TRUE(
      load("[List]\nCOUNT=3\n[0]\nUser=a\nPass=1\n[2]\nPass=x\n[3]\nUser=d\nHost=4\n").ok());
  EXPECT_EQ(store.Users(), (Slots{"a", "d"}));
  EXPECT_EQ(store.Passes(), (Slots{"1", ""}));
  EXPECT_EQ(store.Hosts(), (Slots{"", "4"}));
  EXPECT_EQ(store.listTexts(), (Slots{"a / 1 @ ", "d /  @ 4"}));

  reset();
  ASSERT_TRUE(load("[List]\nCOUNT=1\n[0]\nPass=orphan\n[1]\nUser=b\n").ok());
  EXPECT_EQ(store.Users(), Slots{"b"});  // list item 0 is slot 0 is "b"
  EXPECT_EQ(store.insert({"c", "", ""}), 1);
}

TEST_F(StoreTest, FileWithoutLogonsKeepsItsPlaceholderAsWritten) {
  ASSERT_TRUE(load("[List]\nCOUNT=0\n[0]\nUser=\nPass=p\nHost=h\n").ok());
  EXPECT_EQ(store.Users(), Slots{""});
  EXPECT_EQ(store.Passes(), Slots{"p"});
  ASSERT_TRUE(load("[List]\nCOUNT=-1\n[0]\nUser=ignored\n").ok());
  EXPECT_EQ(store.count(), 0);
}

TEST_F(StoreTest, CountFarAboveTheSectionsReadsOnlyThoseThere) {
  ASSERT_TRUE(load("[List]\nCOUNT=2147483646\n[0]\nUser=a\n[00]\nUser=x\n[5]\nUser=b\n[99999999999]"
                   "\nUser=y\n")
                  .ok());
  EXPECT_EQ(store.Users(), (Slots{"a", "b"}));
}

TEST_F(StoreTest, SaveThatCannotWriteFailsAndKeepsTheOldFile) {
  store = Store(dir.file("missing-dir/Vostrelk.ini"));
  ASSERT_TRUE(store.LoadIniFile().ok());
  EXPECT_TRUE(store.insert({"u", "p", "h"}));
  SaveResult failed = store.SaveIniFile();
  EXPECT_EQ(failed, SaveResult::Failed);
  EXPECT_EQ(failed.step, SaveResult::Step::Lock);  // the lock file is the first thing made
  EXPECT_NE(failed.error, 0u);
  EXPECT_EQ(failed.detail, saveLockFile(store.IniFileName()));

  // Another copy's save holds the lock longer than this one waits: nothing
  // is written, and the store keeps its changes for the next try.
  reset();
  const std::string old = "[List]\r\nCOUNT=0\r\n[0]\r\nUser=old\r\n";
  ASSERT_TRUE(load(old).ok());
  EXPECT_TRUE(store.insert({"u", "p", "h"}));
  {
    std::optional<SaveLock> other;
    ASSERT_EQ(SaveLock::acquire(store.IniFileName(), kSaveLockTimeout, other),
              SaveLock::Outcome::Locked);
    failed = store.SaveIniFile(std::chrono::milliseconds(300));
    EXPECT_EQ(failed, SaveResult::Failed);
    EXPECT_EQ(failed.step, SaveResult::Step::LockBusy);
    EXPECT_EQ(failed.detail, saveLockFile(store.IniFileName()));
    EXPECT_EQ(readBytes(store.IniFileName()), old);
    EXPECT_TRUE(!hasCopies(store.IniFileName(), filesBeside(store.IniFileName())));
    EXPECT_EQ(store.Users(), (Slots{"old", "u"}));
  }
  EXPECT_EQ(saveAndReload(), (Slots{"old", "u"}));
  EXPECT_FALSE(std::filesystem::exists(saveLockFile(store.IniFileName())));
#ifdef _WIN32
  // A lock file that is there and can never be opened (read-only, or a
  // killed save's on a share that denies this user) fails the save soon,
  // instead of taking it for one on its way out until the wait runs out.
  // (Here: held open without sharing; as root Wine opens a read-only file.)
  const std::string lockFile = saveLockFile(store.IniFileName());
  const UniqueFile holder(CreateFileA(lockFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder);
  std::optional<SaveLock> never;
  EXPECT_EQ(SaveLock::acquire(store.IniFileName(), std::chrono::minutes(5), never),
            SaveLock::Outcome::Failed);
#endif
}

// The lock lets one save in at a time: four copies in one process take it
// in turns (the lock belongs to the open file, not to the process), each
// holder taking its lock file away as it lets go.
// The file's protocol against another copy of the program: one cut off
// between its replace's two renames while this one waits for the lock (as a
// close does), a start while another copy holds the lock, a lock file that
// can never be opened, a read-only file.
TEST_F(StoreTest, ASaveWaitingForTheLockPutsBackWhatTheHolderCutOffLeft) {
  ASSERT_TRUE(load("[List]\r\nCOUNT=0\r\n[0]\r\nUser=a\r\n").ok());
  ASSERT_TRUE(store.insert({"mine", "p", "h"}));
  const std::string file = store.IniFileName();
  const std::string whole = copyPath(file, 7, CopyKind::Whole);
  std::optional<SaveLock> other;
  ASSERT_EQ(SaveLock::acquire(file, kSaveLockTimeout, other), SaveLock::Outcome::Locked);
  std::thread cut([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the save waits by now
    writeBytes(whole,
               "[List]\r\nCOUNT=1\r\n[0]\r\nUser=a\r\nPass=\r\nHost=\r\n[1]\r\nUser=theirs\r\n"
               "Pass=\r\nHost=\r\n");
    std::filesystem::rename(file, copyPath(file, 7, CopyKind::Backup));
    other.reset();  // killed there: the lock goes with it
  });
  const SaveResult saved = store.SaveIniFile();
  cut.join();
  ASSERT_EQ(saved, SaveResult::Saved);
  EXPECT_EQ(saved.recovered, whole);
  EXPECT_EQ(store.Users(), (Slots{"a", "mine", "theirs"}));
  EXPECT_EQ(saveAndReload(), (Slots{"a", "mine", "theirs"}));
  EXPECT_FALSE(hasCopies(file, filesBeside(file)));
}

TEST_F(StoreTest, AStartThatCannotTakeTheLockNeverHidesACutSave) {
  const std::string file = store.IniFileName();
  const std::string whole = copyPath(file, 3, CopyKind::Whole);
  writeBytes(whole, "[List]\r\nCOUNT=0\r\n[0]\r\nUser=kept\r\nPass=\r\nHost=\r\n");
  {
    std::optional<SaveLock> other;  // another copy, hung in its save
    ASSERT_EQ(SaveLock::acquire(file, kSaveLockTimeout, other), SaveLock::Outcome::Locked);
    reset(SaveSettings{std::chrono::milliseconds(200)});
    const LoadResult r = store.LoadIniFile();
    EXPECT_EQ(r.status, LoadResult::Unrecovered);
    EXPECT_EQ(r.detail, whole);
    EXPECT_TRUE(store.loadFailed());
    EXPECT_TRUE(store.insert({"typed", "p", "h"}));
    EXPECT_EQ(store.SaveIniFile(), SaveResult::NotLoaded);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(std::filesystem::exists(whole));
  }
  reset();
  const LoadResult r = store.LoadIniFile();
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.recovered, whole);
  EXPECT_EQ(store.Users(), Slots{"kept"});
}

// A start that looked while another copy's save had left no copy yet, and
// whose short wait for the lock ran out between that save's renames (the
// file missing, its copies beside it): it waits for the save as long as a
// save would, and lists what the other copy saved.
TEST_F(StoreTest, AStartThatFindsAnotherCopyBetweenItsRenamesWaitsForIt) {
  const std::string file = store.IniFileName();
  const std::string whole = copyPath(file, 3, CopyKind::Whole);
  writeBytes(copyPath(file, 3, CopyKind::Backup), "[List]\r\nCOUNT=0\r\n[0]\r\nUser=old\r\n");
  writeBytes(whole, "[List]\r\nCOUNT=0\r\n[0]\r\nUser=saved\r\nPass=\r\nHost=\r\n");
  // The first look at the folder comes before the other copy made its copies.
  struct LateCopies : FileSystem {
    bool looked = false;
    std::vector<FileBeside> list(const std::string& fileName) override {
      if (!std::exchange(looked, true)) return {};
      return FileSystem::list(fileName);
    }
  } late;
  std::optional<SaveLock> other;  // the other copy, half way through its replace
  ASSERT_EQ(SaveLock::acquire(file, kSaveLockTimeout, other), SaveLock::Outcome::Locked);
  std::thread finishes([&] {
    std::this_thread::sleep_for(kOpenLockWait + std::chrono::milliseconds(500));
    EXPECT_TRUE(moveFile(whole, file));
    std::filesystem::remove(copyPath(file, 3, CopyKind::Backup));
    other.reset();
  });
  LoadResult r;
  {
    const UseFileSystem use(late);
    r = store.LoadIniFile();
  }
  finishes.join();
  ASSERT_TRUE(r.ok()) << r.status;
  EXPECT_EQ(store.Users(), Slots{"saved"});
}

TEST_F(StoreTest, AReadOnlyFileIsNeverReplacedAndNoCopyStaysBesideIt) {
  const std::string before = "[List]\r\nCOUNT=0\r\n[0]\r\nUser=a\r\nPass=secret\r\n";
  ASSERT_TRUE(load(before).ok());
  ASSERT_TRUE(store.insert({"b", "p", "h"}));
  const std::string file = store.IniFileName();
  // A leftover copy that took the read-only attribute goes all the same.
  const std::string leftover = copyPath(file, 2, CopyKind::Working);
  writeBytes(leftover, before);
#ifdef _WIN32
  ASSERT_TRUE(SetFileAttributesA(leftover.c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
#else
  std::filesystem::permissions(file, std::filesystem::perms::owner_read);
#endif
  const SaveResult refused = store.SaveIniFile();
  EXPECT_EQ(refused, SaveResult::Failed);
  EXPECT_EQ(refused.step, SaveResult::Step::ReadOnly);
  EXPECT_EQ(refused.detail, file);
  EXPECT_EQ(readBytes(file), before);
  EXPECT_TRUE(filesBeside(file).empty());  // no copy of its own, the leftover gone
#ifdef _WIN32
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
#else
  std::filesystem::permissions(
      file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
#endif
  EXPECT_EQ(store.SaveIniFile(), SaveResult::Saved);
}

// A change the session's end could not write (here a read-only file, as a
// file another program holds) is kept beside the file; the next start
// merges it with what another PC saved meanwhile, says what came back, and
// the save that puts it on disk removes it. One cut short is kept aside.
TEST_F(StoreTest, AChangeTheSessionEndCouldNotWriteComesBackMergedAtTheNextStart) {
  ASSERT_TRUE(load("[List]\r\nCOUNT=1\r\n[0]\r\nUser=a\r\nPass=pa\r\n[1]\r\nUser=b\r\n").ok());
  const std::string file = store.IniFileName();
  Store other(file);
  ASSERT_TRUE(other.LoadIniFile().ok());
  store.remove(0);
  ASSERT_TRUE(store.insert({"mine", "m", "h"}));
  testfiles::setReadOnly(file, true);
  SaveRequest request = store.saveRequest();
  request.keepIfUnsaved = true;
  SaveDone done = Store::save(request, Deadline(std::chrono::seconds(4)));
  testfiles::setReadOnly(file, false);
  EXPECT_EQ(done.result.step, SaveResult::Step::ReadOnly);
  const std::string kept = done.result.kept;
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(copyName(fileNameOf(kept), "Vostrelk.ini").kind, CopyKind::Kept);
  // Meanwhile another PC deletes b and adds its own.
  other.remove(1);
  ASSERT_TRUE(other.insert({"theirs", "t", "h"}));
  ASSERT_EQ(other.SaveIniFile(), SaveResult::Saved);
  EXPECT_TRUE(std::filesystem::exists(kept)) << "a save of another copy's leaves it";

  reset();
  const LoadResult resumed = store.LoadIniFile();
  ASSERT_TRUE(resumed.ok());
  EXPECT_EQ(store.Users(), (Slots{"mine", "theirs"}));  // neither side's change lost
  EXPECT_EQ(resumed.resumed, std::vector<std::string>{kept});
  EXPECT_EQ(resumed.cameBack, (std::vector<Logon>{{"mine", "m", "h"}}));
  EXPECT_EQ(resumed.goneAgain, (std::vector<Logon>{{"a", "pa", ""}}));
  EXPECT_EQ(store.SaveIniFile(), SaveResult::Saved);
  EXPECT_FALSE(std::filesystem::exists(kept));
  EXPECT_FALSE(hasCopies(file, filesBeside(file)));
  EXPECT_EQ(saveAndReload(), (Slots{"mine", "theirs"}));

  // Cut short at any byte, a kept change never reads whole: kept aside, told.
  const std::string bytes = keptChangeBytes({{"", {{"a", "", ""}}}, {"", {{"x", "", ""}}}});
  for (size_t n = 0; n < bytes.size(); ++n) EXPECT_FALSE(readKeptChange(bytes.substr(0, n))) << n;
  writeBytes(copyPath(file, 9, CopyKind::Kept), bytes.substr(0, bytes.size() - 3));
  reset();
  const LoadResult damaged = store.LoadIniFile();
  EXPECT_TRUE(damaged.resumed.empty());
  EXPECT_EQ(damaged.resumedAside,
            std::vector<std::string>{keptAsidePath(copyPath(file, 9, CopyKind::Kept), 1)});
  EXPECT_TRUE(damaged.keptAside.empty());  // no save was cut off
  EXPECT_EQ(store.Users(), (Slots{"mine", "theirs"}));
}

// A settings file that is a link (shared by two installations) is never
// replaced: the replace would move its target to the backup name, or split
// a second name from the new file.
TEST_F(StoreTest, ASettingsFileThatIsALinkIsNeverReplaced) {
  const std::string bytes = "[List]\r\nCOUNT=0\r\n[0]\r\nUser=a\r\n";
  const std::string target = dir.file("shared.ini"), file = store.IniFileName();
  for (const bool hard : {false, true}) {
    writeBytes(target, bytes);
    ASSERT_TRUE(makeLink(target, file, hard));
    reset();
    ASSERT_TRUE(store.LoadIniFile().ok()) << hard;
    ASSERT_TRUE(store.insert({"b", "p", "h"}));
    const SaveResult refused = store.SaveIniFile();
    EXPECT_EQ(refused.step, SaveResult::Step::Link) << hard;
    EXPECT_EQ(refused.detail, file);
    EXPECT_EQ(readBytes(target), bytes) << hard;
    EXPECT_FALSE(isPlainPath(file)) << "still the link " << hard;
    if (!hard) removeLink(file);
    std::filesystem::remove(file);
  }
}

#ifdef _WIN32
// A lock file there but never to be opened (another user's on a share, or
// as here another program holding it without sharing) is a failure with its
// reason, also for a save that does not wait: never taken for another
// copy's save and retried in silence.
TEST_F(StoreTest, ALockFileThatCannotBeOpenedFailsWhateverTheWait) {
  ASSERT_TRUE(load("[List]\r\nCOUNT=0\r\n[0]\r\nUser=a\r\n").ok());
  ASSERT_TRUE(store.insert({"b", "p", "h"}));
  UniqueFile held(CreateFileA(saveLockFile(store.IniFileName()).c_str(), GENERIC_READ, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(held);
  for (const auto wait : {std::chrono::milliseconds(0), std::chrono::milliseconds(3000)}) {
    const SaveResult r = store.SaveIniFile(wait);
    EXPECT_EQ(r, SaveResult::Failed);
    EXPECT_EQ(r.step, SaveResult::Step::Lock);
    EXPECT_EQ(r.error, static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
  }
  held.reset();
  EXPECT_EQ(store.SaveIniFile(std::chrono::milliseconds(0)), SaveResult::Saved);
}
#endif

// Another copy rewrote a file in forms the engine may read otherwise (here
// a byte order mark, which makes the system read the file as UTF-8): the
// merge takes its values as the system reads them, so that the store
// believes what every later load will read.
TEST_F(StoreTest, AMergeWithAHandEditedFileTakesTheSystemsReading) {
  ASSERT_TRUE(load("\xEF\xBB\xBF[List]\r\nCOUNT=0\r\n[0]\r\nUser=bom\r\n").ok());
  store.setSQLPlusPath("C:\\x.exe");  // their logon keeps its slot: nothing rewrites it
  writeBytes(store.IniFileName(),
             "\xEF\xBB\xBF[List]\r\nCOUNT=1\r\n[0]\r\nUser=bom\r\n"
             "[1]\r\nUser=\x83\x86\x81\x5B\x83\x55\r\nPass=\x95\x5C\r\n");  // ユーザ, 表
  ASSERT_EQ(store.SaveIniFile(), SaveResult::Saved);
  Store fresh(store.IniFileName());
  ASSERT_TRUE(fresh.LoadIniFile().ok());
  EXPECT_EQ(fresh.count(), 2);
  EXPECT_EQ(fresh.SQLPlusPath(), "C:\\x.exe");
  EXPECT_EQ(store.logons(), fresh.logons());
  // A file in the engine's layout holding a code the system reads as
  // another (NEC's selection of IBM's extensions, NEC's row 13): the load
  // takes the system's reading, as the save's merge does once another
  // program has added a comment. A logon deleted here stays deleted.
  for (const char* code : {"\xED\x40", "\x87\x90", "\xFA\x4A", "\xEE\xF9"}) {
    reset();
    ASSERT_TRUE(load(std::string("[List]\r\nCOUNT=1\r\n[0]\r\nUser=a\r\nPass=p\r\n") +
                     "[1]\r\nUser=L\r\nPass=" + code + "\r\n")
                    .ok());
    store.remove(1);
    writeBytes(store.IniFileName(), readBytes(store.IniFileName()) + ";note\r\n");
    ASSERT_EQ(store.SaveIniFile(), SaveResult::Saved);
    EXPECT_EQ(saveAndReload(), Slots{"a"}) << code;
  }
}

TEST_F(StoreTest, TheLockLetsOneSaveInAtATime) {
  std::atomic<int> inside{0}, overlaps{0}, taken{0};
  std::vector<std::thread> copies;
  for (int t = 0; t < 4; ++t)
    copies.emplace_back([&] {
      for (int i = 0; i < 40; ++i) {
        std::optional<SaveLock> lock;
        if (SaveLock::acquire(store.IniFileName(), kSaveLockTimeout, lock) !=
            SaveLock::Outcome::Locked)
          continue;
        ++taken;
        if (++inside > 1) ++overlaps;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        --inside;
      }
    });
  for (std::thread& t : copies) t.join();
  EXPECT_EQ(taken, 160);
  EXPECT_EQ(overlaps, 0);
  EXPECT_FALSE(std::filesystem::exists(saveLockFile(store.IniFileName())));

  // The lock file pulled away from its holder: another copy takes a lock of
  // its own, so the first is no longer held; as it lets go it leaves alone
  // whatever bears the name by then (a user's file, a folder).
  const std::string lockFile = saveLockFile(store.IniFileName());
  for (const bool folder : {false, true}) {
    std::optional<SaveLock> first, second;
    ASSERT_EQ(SaveLock::acquire(store.IniFileName(), kSaveLockTimeout, first),
              SaveLock::Outcome::Locked);
    EXPECT_TRUE(first->stillHeld());
    std::filesystem::rename(lockFile, dir.file("pulled"));  // as a user or another PC may
    EXPECT_FALSE(first->stillHeld());
    ASSERT_EQ(SaveLock::acquire(store.IniFileName(), std::chrono::milliseconds(0), second),
              SaveLock::Outcome::Locked);
    second.reset();
    if (folder)
      std::filesystem::create_directory(lockFile);
    else
      writeBytes(lockFile, "mine");
    first.reset();
    EXPECT_EQ(std::filesystem::is_directory(lockFile), folder);
    if (!folder) {
      EXPECT_EQ(readBytes(lockFile), "mine");
    }
    EXPECT_EQ(filesBeside(store.IniFileName()).size(), 1u);  // nothing moved aside
    std::filesystem::remove(lockFile);
  }
}

#ifndef _WIN32
// The copy is made with the file's own permissions: a file the user made
// private stays private once a save has put the copy in its place.
TEST_F(StoreTest, AFileMadePrivateStaysPrivate) {
  ASSERT_TRUE(load("[List]\r\nCOUNT=0\r\n[0]\r\nUser=a\r\n").ok());
  std::filesystem::permissions(store.IniFileName(), std::filesystem::perms::owner_read |
                                                        std::filesystem::perms::owner_write);
  ASSERT_TRUE(store.insert({"b", "p", "h"}));
  ASSERT_EQ(store.SaveIniFile(), SaveResult::Saved);
  EXPECT_EQ(std::filesystem::status(store.IniFileName()).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}
#endif

// The system's replace fails each documented way: the file holds the old
// version or the new one whole, and no copy of a password stays beside it.
TEST_F(StoreTest, ReplaceThatFailsHalfWayKeepsAWholeFile) {
  struct Case {
    const char* what;
    ReplaceError error;
    bool oldFileAside;  // what the system did before it failed
    SaveResult::Status result;
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
    struct Failing : FileSystem {
      const Case& c;
      explicit Failing(const Case& c) : c(c) {}
      ReplaceError replace(const std::string& to, const std::string&,
                           const std::string& backup) override {
        if (c.oldFileAside) {
          EXPECT_TRUE(move(to, backup));
        }
        return c.error;
      }
    } failing(c);
    const UseFileSystem use(failing);
    reset();
    ASSERT_TRUE(load(old).ok());
    store.remove(0);
    ASSERT_TRUE(store.insert({"new", "p2", ""}));
    const SaveResult saved = store.SaveIniFile();
    EXPECT_EQ(saved, c.result) << c.what;
    if (saved == SaveResult::Failed) {
      EXPECT_EQ(saved.step, SaveResult::Step::Replace) << c.what;
    }
    EXPECT_FALSE(hasCopies(store.IniFileName(), filesBeside(store.IniFileName()))) << c.what;
    if (c.result == SaveResult::Failed) {
      EXPECT_EQ(readBytes(store.IniFileName()), old) << c.what;
      EXPECT_EQ(store.Users(), Slots{"new"});  // kept for the next try
    } else {
      EXPECT_EQ(saveAndReload(), Slots{"new"}) << c.what;
    }
  }
#ifdef _WIN32
  // The replace done, but the new file cannot be flushed to disk (here
  // another program holds it without sharing): saved, told as unconfirmed,
  // and the store holds the new file: the change undone next is written.
  struct Holding : FileSystem {
    UniqueFile holder;
    ReplaceError replace(const std::string& to, const std::string& from,
                         const std::string& backup) override {
      const ReplaceError error = FileSystem::replace(to, from, backup);
      holder =
          UniqueFile(CreateFileA(to.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      return error;
    }
  };
  auto holding = std::make_optional<Holding>();
  auto use = std::make_optional<UseFileSystem>(*holding);
  reset();
  ASSERT_TRUE(load(old).ok());
  ASSERT_TRUE(store.insert({"new", "p2", ""}));
  const SaveResult unflushed = store.SaveIniFile();
  EXPECT_TRUE(holding->holder);
  EXPECT_EQ(unflushed, SaveResult::Saved);
  EXPECT_TRUE(unflushed.unconfirmed);
  EXPECT_EQ(unflushed.error, static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
  use.reset();
  holding.reset();
  store.remove(1);
  EXPECT_EQ(saveAndReload(), (Slots{"old"}));
#endif
}

// A byte-order mark: Windows' profile functions read and write a file with
// a UTF-8 one as UTF-8 (a UTF-16 one as UTF-16), the INI engine keeps its
// bytes. The read-back sees the difference, and the save goes through the
// system's own writes.
TEST_F(StoreTest, FileTheSystemReadsOtherwiseIsWrittenKeyByKey) {
  ASSERT_TRUE(load("\xEF\xBB\xBF[List]\r\nCOUNT=0\r\n[0]\r\nUser=bom\r\n").ok());
  ASSERT_TRUE(store.insert({"\x83\x86\x81\x5B\x83\x55", "\x95\x5C", "h"}));  // ユーザ, 表
  EXPECT_EQ(store.SaveIniFile(), SaveResult::Saved);
#ifdef _WIN32
  EXPECT_EQ(stats.writtenKeyByKey, 1u);
#else
  EXPECT_EQ(stats.writtenKeyByKey, 0u);  // one engine: it reads what it wrote
#endif
  EXPECT_EQ(saveAndReload(), (Slots{"bom", "\x83\x86\x81\x5B\x83\x55"}));
  EXPECT_EQ(store.Passes().at(1), "\x95\x5C");
  // A UTF-16 mark: Notepad's empty "Unicode" file.
  ASSERT_TRUE(load("\xFF\xFE").ok());
  ASSERT_TRUE(store.insert({"utf16", "p", "h"}));
  EXPECT_EQ(store.SaveIniFile(), SaveResult::Saved);
#ifdef _WIN32
  EXPECT_EQ(stats.writtenKeyByKey, 1u);
#endif
  EXPECT_EQ(saveAndReload(), Slots{"utf16"});
}

// The save trusts the engine's reading of its new bytes (the copy is read
// back byte for byte) only where they hold nothing but the engine's own
// forms: a hand-edited file whose edits leave it so (line ends, blanks the
// writes drop) at once; in any other file the system reads back the values
// of the store's sections in other forms, and those alone. None of them
// reads back otherwise than it was made, so none is written key by key.
TEST_F(StoreTest, SaveTrustsTheEngineOnlyOnItsOwnForms) {
  struct Case {
    const char* what;
    std::string file;
    unsigned valuesReadBack;  // over two saves, each after one added logon
  };
  const std::string own =
      "[SQL*Plus]\r\nPath=C:\\x.exe\r\n[List]\r\nCOUNT=0\r\n"
      "[0]\r\nUser=a\r\nPass=p\r\nHost=h\r\n";
  for (const Case& c : {
           Case{"the program's own file", own, 0},
           Case{"no file yet", "", 0},
           Case{"LF line ends", "[List]\nCOUNT=0\n[0]\nUser=a\n", 0},
           Case{"blanks around '='", "[List]\r\nCOUNT = 0\r\n[0]\r\nUser=a\r\n", 0},
           Case{"a slot's section twice", own + "[0]\r\nUser=b\r\n", 2 * 3},
           Case{"the list's section twice", own + "[list]\r\nCOUNT=5\r\n", 2 * 1},
           Case{"a line without '=' elsewhere", own + "[Notes]\r\nremember\r\n", 0},
           Case{"a value in quotes elsewhere", own + "[Notes]\r\nk=\"q\"\r\n", 0},
           Case{"a comment elsewhere", own + "[Notes]\r\n;k=v\r\n", 0},
           Case{"a comment before the first section", ";logons\r\n" + own, 0},
           Case{"a comment in a slot's section", "[List]\r\nCOUNT=0\r\n[0]\r\n;mine\r\nUser=a\r\n",
                2 * 3},
           Case{"a value in quotes in a slot's section",
                "[List]\r\nCOUNT=0\r\n[0]\r\nUser=a\r\nPass=\"p\"\r\n", 2 * 3},
       }) {
    reset();
    std::filesystem::remove(store.IniFileName());
    if (c.file.empty())
      ASSERT_TRUE(store.LoadIniFile().ok());
    else
      ASSERT_TRUE(load(c.file).ok()) << c.what;
    for (const char* user : {"b1", "b2"}) {
      ASSERT_TRUE(store.insert({user, "p", "h"}));
      ASSERT_EQ(store.SaveIniFile(), SaveResult::Saved) << c.what;
    }
    EXPECT_EQ(stats.valuesReadBack, c.valuesReadBack) << c.what;
    EXPECT_EQ(stats.writtenKeyByKey, 0u) << c.what;
    const Slots users = store.Users();
    EXPECT_EQ(saveAndReload(), users) << c.what;
  }
}

#ifdef _WIN32
// Another program opening the file without sharing now and then (a backup
// tool, a virus scanner) while the store loads: the profile functions read
// a file they cannot open as one without the keys asked for. The load gives
// every logon or says the file cannot be read; never a list with logons
// missing, which the next save would write over the file.
TEST_F(StoreTest, AFileHeldNowAndThenIsNeverLoadedShort) {
  // In the program's own forms, and hand-edited (LF line ends).
  for (const std::string file : {"[List]\r\nCOUNT=1\r\n[0]\r\nUser=a\r\n[1]\r\nUser=b\r\n",
                                 "[List]\nCOUNT=1\n[0]\nUser=a\n[1]\nUser=b\n"}) {
    ASSERT_TRUE(load(file).ok());
    std::atomic<bool> done{false};
    std::thread holder([&] {
      while (!done) {
        {
          const UniqueFile held(CreateFileA(store.IniFileName().c_str(), GENERIC_READ, 0, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
          Sleep(1);
        }
        Sleep(1);
      }
    });
    int whole = 0, unreadable = 0;
    for (int i = 0; i < 100; ++i) {
      reset();
      const LoadResult r = store.LoadIniFile();
      if (!r.ok()) {
        EXPECT_EQ(r.status, LoadResult::Unreadable);
        ++unreadable;
      } else {
        EXPECT_EQ(store.Users(), (Slots{"a", "b"}));
        ++whole;
      }
    }
    done = true;
    holder.join();
    std::printf("held now and then: %d loads whole, %d unreadable\n", whole, unreadable);
  }

  // A merge under the same holds: another copy saved meanwhile, in a file
  // the engine may read otherwise (a password in quotes). The save keeps
  // every logon or fails; a view read while the file was held would drop them.
  const std::string quoted =
      "[List]\r\nCOUNT=2\r\n[0]\r\nUser=a\r\nPass=\" p\"\r\n"
      "[1]\r\nUser=b\r\n[2]\r\nUser=c\r\n";
  int merged = 0;
  for (int i = 0; i < 10; ++i) {
    reset();
    ASSERT_TRUE(load(quoted).ok());
    Store other(store.IniFileName());
    ASSERT_TRUE(other.LoadIniFile().ok());
    ASSERT_TRUE(other.insert({"theirs", "p", "h"}));
    ASSERT_EQ(other.SaveIniFile(), SaveResult::Saved);
    ASSERT_TRUE(store.insert({"mine", "p", "h"}));
    std::atomic<bool> done{false};
    std::thread holder([&] {  // a fifth of the time: a replace gets through now and then
      while (!done) {
        {
          const UniqueFile h(CreateFileA(store.IniFileName().c_str(), GENERIC_READ, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
          Sleep(1);
        }
        Sleep(4);
      }
    });
    const SaveResult saved = store.SaveIniFile();
    done = true;
    holder.join();
    if (saved != SaveResult::Saved) continue;
    ++merged;
    Store after(store.IniFileName());
    ASSERT_TRUE(after.LoadIniFile().ok());
    EXPECT_EQ(after.Users(), (Slots{"a", "b", "c", "mine", "theirs"}));
  }
  std::printf("merged under holds: %d of 10 saved\n", merged);
  EXPECT_GT(merged, 0);  // the merge was tried, not only refused

  // Held for a second and a half (a backup tool's read): the start waits
  // for it, and loads the file whole.
  reset();
  ASSERT_TRUE(load(quoted).ok());
  UniqueFile held(CreateFileA(store.IniFileName().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              0, nullptr));
  ASSERT_TRUE(held);
  // A close with nothing changed has nothing to save, held or not.
  EXPECT_EQ(store.SaveIniFile(), SaveResult::Unchanged);
  std::thread scanner([&] {
    Sleep(1500);
    held.reset();
  });
  reset();
  EXPECT_TRUE(store.LoadIniFile().ok());
  EXPECT_EQ(store.Users(), (Slots{"a", "b", "c"}));
  scanner.join();
}
#endif

TEST_F(StoreTest, FileThatCannotBeReadIsReportedAndNeverWritten) {
  std::filesystem::create_directory(store.IniFileName());  // a folder where the file should be
  const LoadResult r = store.LoadIniFile();
  EXPECT_EQ(r.status, LoadResult::Unreadable);
  EXPECT_EQ(r.detail, store.IniFileName());
  EXPECT_TRUE(store.insert({"u", "p", "h"}));
  EXPECT_EQ(store.SaveIniFile(), SaveResult::NotLoaded);
  EXPECT_TRUE(std::filesystem::is_directory(store.IniFileName()));
  EXPECT_FALSE(std::filesystem::exists(store.IniFileName() + ".new"));
}

TEST_F(StoreTest, RandomEditsSurviveSaveAndLoad) {
  std::mt19937 rng(20261207);
  auto text = [&](bool nonEmpty) {
    const std::string s = randomText(rng, 3);
    return s.empty() && nonEmpty ? std::string("u") : s;
  };
  ASSERT_TRUE(store.LoadIniFile().ok());
  for (int round = 0; round < 20; ++round) {
    for (int op = 0; op < 6; ++op) {
      if (rng() % 3 == 0 && store.count() > 0)
        store.remove(static_cast<int>(rng() % store.count()));
      else
        (void)store.insert({text(true), text(false), text(false)});
    }
    const Slots users = store.Users(), passes = store.Passes(), hosts = store.Hosts();
    saveAndReload();
    if (users.empty()) {
      EXPECT_EQ(store.count(), 0);
    } else {
      EXPECT_EQ(store.Users(), users);
      EXPECT_EQ(store.Passes(), passes);
      EXPECT_EQ(store.Hosts(), hosts);
    }
  }
}

// The window's saves run on the worker while the list stays usable: a change
// made meanwhile stays in the store, merged with what the save committed
// (here another copy's logon too), and goes into the next save.
TEST_F(StoreTest, AChangeMadeDuringASaveGoesIntoTheNext) {
  const std::string before = "[List]\r\nCOUNT=0\r\n[0]\r\nUser=a\r\n";
  ASSERT_TRUE(load(before).ok());
  writeBytes(store.IniFileName(), "[List]\r\nCOUNT=1\r\n[0]\r\nUser=a\r\n[1]\r\nUser=theirs\r\n");
  ASSERT_TRUE(store.insert({"saved", "p", "h"}));
  std::atomic<int> ended{0};
  std::optional<StoreWorker::Result> result;
  const SaveRequest request = store.saveRequest();
  {
    StoreWorker worker([&] { ++ended; });
    worker.save(request, std::chrono::seconds(30));
    ASSERT_TRUE(store.insert({"meanwhile", "p", "h"}));
    ASSERT_TRUE(worker.waitUntil(std::chrono::steady_clock::now() + std::chrono::seconds(30)));
    result = worker.take();
    EXPECT_FALSE(worker.busy());
  }
  EXPECT_EQ(ended, 1);  // told once, the worker's thread gone with it
  ASSERT_TRUE(result && result->saved);
  ASSERT_EQ(result->saved->done.result, SaveResult::Saved);
  EXPECT_TRUE(store.takeSaved(result->saved->request, std::move(result->saved->done)));
  EXPECT_EQ(store.Users(), (Slots{"a", "saved", "meanwhile", "theirs"}));
  EXPECT_TRUE(store.changed());
  Store disk(store.IniFileName());
  ASSERT_TRUE(disk.LoadIniFile().ok());
  EXPECT_EQ(disk.Users(), (Slots{"a", "saved", "theirs"}));
  EXPECT_EQ(saveAndReload(), (Slots{"a", "saved", "meanwhile", "theirs"}));
}

// A stop ends whatever wait the worker's job is in, long before its
// deadline: a close or the session's end never waits for it.
TEST_F(StoreTest, AStopEndsEveryWaitOfTheWorkersJob) {
  const std::string file = store.IniFileName();
  const std::string one = "[List]\r\nCOUNT=0\r\n[0]\r\nUser=a\r\n";
  struct Case {
    const char* wait;
    bool save;      // else a load that finds a cut save's copy beside no file
    bool lock;      // another copy holds the lock
    bool holdFile;  // another program holds the file without sharing
  };
  const std::vector<Case> cases = {
      {"the lock, in a save", true, true, false},
      {"the lock, in a load", false, true, false},
#ifdef _WIN32
      {"a file another program holds, in a save", true, false, true},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wait);
    reset(SaveSettings{std::chrono::minutes(5)});
    if (c.save) {
      ASSERT_TRUE(load(one).ok());
      ASSERT_TRUE(store.insert({"b", "p", "h"}));
    } else {
      std::filesystem::remove(file);
      writeBytes(copyPath(file, 3, CopyKind::Whole), one);
    }
    std::optional<SaveLock> other;
    if (c.lock) {
      ASSERT_EQ(SaveLock::acquire(file, kSaveLockTimeout, other), SaveLock::Outcome::Locked);
    }
#ifdef _WIN32
    const UniqueFile holding(
        c.holdFile ? CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                   : INVALID_HANDLE_VALUE);
    ASSERT_EQ(static_cast<bool>(holding), c.holdFile);
#endif
    StoreWorker worker(nullptr);
    if (c.save)
      worker.save(store.saveRequest(), std::chrono::minutes(5));
    else
      worker.load(file, store.settings(), std::chrono::minutes(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(worker.take());  // still waiting
    EXPECT_TRUE(worker.busy());
    worker.stop();
    ASSERT_TRUE(worker.waitUntil(std::chrono::steady_clock::now() + std::chrono::seconds(20)));
    const std::optional<StoreWorker::Result> r = worker.take();
    ASSERT_TRUE(r);
    if (c.save) {
      ASSERT_TRUE(r->saved);
      EXPECT_EQ(r->saved->done.result, SaveResult::Failed);
      EXPECT_EQ(r->saved->done.result.step,
                c.lock ? SaveResult::Step::LockBusy : SaveResult::Step::Read);
    } else {
      ASSERT_TRUE(r->loaded);
      EXPECT_EQ(r->loaded->result.status, LoadResult::Unrecovered);
    }
  }
}

TEST(Deadline, AWaitEndsAtTheEndOrTheStopAndNeverBeginsAfter) {
  EXPECT_TRUE(Deadline(std::chrono::milliseconds(0)).over());
  EXPECT_FALSE(Deadline(std::chrono::milliseconds(0)).wait());
  const Deadline soon(std::chrono::milliseconds(50));
  EXPECT_FALSE(soon.over());
  while (soon.wait(std::chrono::hours(1))) {
  }
  EXPECT_TRUE(soon.over());
  const auto stop = std::make_shared<StopSignal>();
  const Deadline long_(std::chrono::hours(1), stop);
  EXPECT_LE(long_.within(std::chrono::seconds(1)).end(), long_.end());
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stop->stop();
  });
  EXPECT_FALSE(long_.wait(std::chrono::hours(1)));  // woken by the stop, not the hour
  stopper.join();
  EXPECT_TRUE(long_.stopped());
  EXPECT_TRUE(long_.within(std::chrono::hours(2)).over());
}

}  // namespace

namespace {

// The disk, but for one move refused or one read that fails once: what a
// program holding a copy for a moment (a scanner) does to the recovery.
class HeldCopy : public FileSystem {
 public:
  bool refuseKeepAside = false;
  int failReads = 0;   // reads of a whole copy that fail first
  std::string held;    // a copy another program holds: never removed
  bool plant = false;  // another program makes the copy's name just before the save does
  bool create(const std::string& like, const std::string& copy, const std::string& bytes) override {
    if (plant) testfiles::writeBytes(copy, "another program's");
    return FileSystem::create(like, copy, bytes);
  }
  bool discard(const std::string& path) override {
    return path != held && FileSystem::discard(path);
  }
  FileState read(const std::string& path, std::string& bytes) override {
    if (failReads > 0 && path.size() > 4 && path.compare(path.size() - 4, 4, ".new") == 0) {
      --failReads;
      errno = EIO;
      return FileState::Unreadable;
    }
    return FileSystem::read(path, bytes);
  }
  bool move(const std::string& from, const std::string& to) override {
    if (refuseKeepAside && to.find(".damaged") != std::string::npos) {
      errno = EBUSY;
      return false;
    }
    return FileSystem::move(from, to);
  }
};

// Names beside the file that are not the save's own: a name another
// program takes between the listing and the save's create is never removed
// as made in part; a folder named like the next copy is stepped past; a held
// copy at the very top stops the save, named, and the file stands.
TEST_F(StoreTest, NamesBesideTheFileThatAreNotTheSavesOwnStayAndBlockOnlyByName) {
  const std::string file = store.IniFileName();
  const std::string top = copyPath(file, 9'999'999'999'999'999'999ULL, CopyKind::Whole);
  struct Case {
    const char* what;
    std::vector<std::string> folders;  // folders named like copies
    bool plant, holdTop;
    SaveResult::Status saved;
    std::string blocker;  // the name a failed save gives
  };
  for (const Case& c : {
           Case{"a name taken meanwhile",
                {},
                true,
                false,
                SaveResult::Failed,
                copyPath(file, 1, CopyKind::Working)},
           Case{"folders named like the next copies",
                {copyPath(file, 1, CopyKind::Working), copyPath(file, 2, CopyKind::Whole)},
                false,
                false,
                SaveResult::Saved,
                ""},
           Case{"a held copy at the very top", {}, false, true, SaveResult::Failed, top},
       }) {
    writeBytes(file, "[List]\r\nCOUNT=0\r\n[0]\r\nUser=a\r\n");
    for (const std::string& f : c.folders) std::filesystem::create_directory(f);
    if (c.holdTop) writeBytes(top, "[List]\r\nCOUNT=0\r\n[0]\r\nUser=planted\r\n");
    HeldCopy fs;
    fs.plant = c.plant;
    fs.held = c.holdTop ? top : "";
    const UseFileSystem use(fs);
    reset();
    ASSERT_TRUE(store.LoadIniFile().ok()) << c.what;
    ASSERT_TRUE(store.insert({"b", "p", "h"}));
    const SaveResult result = store.SaveIniFile();
    EXPECT_EQ(result, c.saved) << c.what;
    if (!c.blocker.empty()) {
      EXPECT_EQ(result.step, SaveResult::Step::Copy) << c.what;
      EXPECT_EQ(result.detail, c.blocker) << c.what;
    }
    if (c.plant) {
      EXPECT_EQ(readBytes(c.blocker), "another program's") << c.what;
    }
    for (const std::string& f : c.folders) EXPECT_TRUE(std::filesystem::is_directory(f)) << c.what;
    // The next start reads the file, never the planted copy.
    Store again(file);
    ASSERT_TRUE(again.LoadIniFile().ok()) << c.what;
    EXPECT_EQ(again.Users(), c.saved == SaveResult::Saved ? (Slots{"a", "b"}) : Slots{"a"})
        << c.what;
    for (const FileBeside& f : filesBeside(file)) std::filesystem::remove_all(f.path);
  }
  // Every name a damaged copy was kept aside under so far taken: the next
  // gets one of its own, and the whole backup is put back.
  std::filesystem::remove(file);
  const std::string cut = copyPath(file, 3, CopyKind::Whole);
  writeBytes(cut, "[List]\r\nCOUNT=1\r\n[0]\r\nUs");
  writeBytes(copyPath(file, 2, CopyKind::Backup), "[List]\r\nCOUNT=0\r\n[0]\r\nUser=a\r\n");
  for (unsigned n = 1; n < 100; ++n) writeBytes(keptAsidePath(cut, n), "kept");
  reset();
  const LoadResult loaded = store.LoadIniFile();
  ASSERT_TRUE(loaded.ok());
  EXPECT_EQ(store.Users(), Slots{"a"});
  EXPECT_EQ(loaded.keptAside, std::vector<std::string>{keptAsidePath(cut, 100)});
}

// A copy the recovery could not read, or could not keep aside, decides
// nothing: neither the older backup put back in its place, nor the copy
// removed once a file stands again.
TEST_F(StoreTest, ACopyTheRecoveryCannotReadOrKeepAsideIsNeverLost) {
  const std::string file = store.IniFileName();
  const std::string old = "[List]\r\nCOUNT=0\r\n[0]\r\nUser=old\r\n";
  const std::string latest =
      "[List]\r\nCOUNT=1\r\n[0]\r\nUser=old\r\nPass=\r\nHost=\r\n[1]\r\nUser=latest\r\n"
      "Pass=\r\nHost=\r\n";
  const std::string cut = latest.substr(0, 40);
  struct Case {
    const char* what;
    const std::string* whole;  // the .new's bytes
    int failReads;
    bool refuseKeepAside;
  };
  for (const Case& c : {
           Case{"a whole copy held for a moment", &latest, 1, false},
           Case{"a damaged copy that cannot be moved aside", &cut, 0, true},
       }) {
    std::filesystem::remove(file);
    for (const FileBeside& f : filesBeside(file)) std::filesystem::remove(f.path);
    writeBytes(copyPath(file, 3, CopyKind::Backup), old);
    writeBytes(copyPath(file, 3, CopyKind::Whole), *c.whole);
    HeldCopy fs;
    fs.failReads = c.failReads;
    fs.refuseKeepAside = c.refuseKeepAside;
    {
      const UseFileSystem use(fs);
      Store s(file);
      const LoadResult loaded = s.LoadIniFile();
      EXPECT_EQ(loaded.status, LoadResult::Unrecovered) << c.what;
      (void)s.insert({"x", "y", "z"});
      EXPECT_NE(s.SaveIniFile(), SaveResult::Saved) << c.what;  // never over what it held
    }
    Store next(file);
    const LoadResult loaded = next.LoadIniFile();
    ASSERT_TRUE(loaded.ok()) << c.what;
    if (c.whole == &latest) {
      EXPECT_EQ(next.Users(), (Slots{"old", "latest"})) << c.what;
    } else {
      EXPECT_EQ(loaded.keptAside.size(), 1u) << c.what;
      EXPECT_EQ(readBytes(loaded.keptAside.front()), cut) << c.what;
    }
  }
}

}  // namespace
