// Every cut point of a start and a save, enumerated through the file system
// seam: for each folder of a table, the program is ended after each step
// that changes the disk in turn (and inside the two steps a kill can split:
// a copy half written, a replace between its two renames), or that step
// fails with each error a disk gives; then the next start runs on the real
// files. The same source runs natively and under Wine.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "FileSystem.h"
#include "KeptChange.h"
#include "SaveCopies.h"
#include "StoreFixture.h"

namespace {

using Op = FileSystem::Op;

// The disk's errors a step is failed with.
struct DiskError {
  const char* what;
  unsigned long code;
};
#ifdef _WIN32
const DiskError kErrors[] = {{"another program holds it", ERROR_SHARING_VIOLATION},
                             {"access denied", ERROR_ACCESS_DENIED},
                             {"the disk is full", ERROR_DISK_FULL}};
void setError(unsigned long code) {
  SetLastError(code);
}
#else
const DiskError kErrors[] = {
    {"another program holds it", EBUSY}, {"access denied", EACCES}, {"the disk is full", ENOSPC}};
void setError(unsigned long code) {
  errno = static_cast<int>(code);
}
#endif

// The real files, step by step: each step that changes the disk is
// counted; after step endAfter nothing more reaches the disk (the program
// was ended there), and step failAt fails with error instead of running.
class CuttingFiles : public FileSystem {
 public:
  int endAfter = -1, failAt = -1;
  bool endInside = false;  // the ending step is cut half way, where a kill can split it
  unsigned long error = 0;
  int steps = 0;
  struct Step {
    Op op;
    std::string path;  // the file it changed (a move's or replace's target)
  };
  std::vector<Step> log;  // the steps that changed the disk (or were to)

  bool create(const std::string& like, const std::string& copy, const std::string& bytes) override {
    switch (gate(Op::Create, copy)) {
      case Gate::Run:
        return FileSystem::create(like, copy, bytes);
      case Gate::Inside:  // the copy half written
        (void)FileSystem::create(like, copy, bytes.substr(0, bytes.size() / 2));
        return false;
      case Gate::Refuse:
        return false;
    }
    return false;
  }
  bool flush(const std::string& path) override {
    return gate(Op::Flush, path) == Gate::Run && FileSystem::flush(path);
  }
  bool move(const std::string& from, const std::string& to) override {
    return gate(Op::Move, to) == Gate::Run && FileSystem::move(from, to);
  }
  ReplaceError replace(const std::string& to, const std::string& from,
                       const std::string& backup) override {
    switch (gate(Op::Replace, to)) {
      case Gate::Run:
        return FileSystem::replace(to, from, backup);
      case Gate::Inside:  // between the replace's two renames
        (void)FileSystem::move(to, backup);
        return ReplaceError::Other;
      case Gate::Refuse:
        return ReplaceError::Other;
    }
    return ReplaceError::Other;
  }
  bool discard(const std::string& path) override {
    return gate(Op::Discard, path) == Gate::Run && FileSystem::discard(path);
  }
  bool writeKey(const std::string& file, const std::string& section, const std::string& key,
                const std::string& value) override {
    return gate(Op::Write, file) == Gate::Run && FileSystem::writeKey(file, section, key, value);
  }
  bool addKeys(const std::string& file, const std::string& section,
               const std::vector<std::pair<std::string, std::string>>& keys) override {
    return gate(Op::Write, file) == Gate::Run && FileSystem::addKeys(file, section, keys);
  }
  bool removeKeys(const std::string& file, const std::string& section) override {
    return gate(Op::Write, file) == Gate::Run && FileSystem::removeKeys(file, section);
  }

  // A run ended after (or inside) step k, or failed at step k with error.
  static CuttingFiles endingAt(int k, bool inside) {
    CuttingFiles fs;
    fs.endAfter = k;
    fs.endInside = inside;
    return fs;
  }
  static CuttingFiles failingAt(int k, unsigned long error) {
    CuttingFiles fs;
    fs.failAt = k;
    fs.error = error;
    return fs;
  }

  // Whether the program was ended: nothing after reached the disk.
  bool ended() const { return endAfter >= 0 && steps > endAfter; }

 private:
  enum class Gate { Run, Inside, Refuse };
  Gate gate(Op op, const std::string& path) {
    const int k = steps++;
    log.push_back({op, path});
    if (endAfter >= 0 && k > endAfter) {
      setError(error);
      return Gate::Refuse;
    }
    if (k == endAfter && endInside) return Gate::Inside;
    if (k == failAt) {
      setError(error);
      return Gate::Refuse;
    }
    return Gate::Run;
  }
};

// Whether a kill can split a step of this kind half way.
bool splits(Op op) {
  return op == Op::Create || op == Op::Replace;
}

// What a step that failed is reported as: the save's step, or none where
// the save goes on without it (a leftover copy that could not go). file:
// the settings file; inStart: a step of the start's, its recovery's.
std::optional<SaveResult::Step> stepOf(const CuttingFiles::Step& step, const std::string& file,
                                       bool inStart) {
  switch (step.op) {
    case Op::Create:
      return SaveResult::Step::Copy;
    case Op::Flush:  // the copy's; the file's once it took its place is Saved, unconfirmed
      return step.path == file ? std::nullopt : std::optional(SaveResult::Step::Copy);
    case Op::Move:  // a copy put back, kept aside (it stays where it is then), or sealed
      if (inStart)
        return step.path == file ? std::optional(SaveResult::Step::Recover) : std::nullopt;
      return SaveResult::Step::Copy;
    case Op::Replace:
      return SaveResult::Step::Replace;
    case Op::Write:  // the system's writes of the copy, key by key
      return SaveResult::Step::Write;
    case Op::Discard:
    case Op::Read:
    case Op::List:
      return std::nullopt;
  }
  return std::nullopt;
}

const std::string kOld =
    "[SQL*Plus]\r\nPath=C:\\ora\\sqlplus.exe\r\n[List]\r\nCOUNT=1\r\n"
    "[0]\r\nUser=old\r\nPass=secret\r\nHost=h\r\n"
    "[1]\r\nUser=keep\r\nPass=k\r\nHost=h\r\n";
const std::string kOther =
    "[List]\r\nCOUNT=2\r\n[0]\r\nUser=old\r\nPass=secret\r\nHost=h\r\n"
    "[1]\r\nUser=keep\r\nPass=k\r\nHost=h\r\n"
    "[2]\r\nUser=theirs\r\nPass=t\r\nHost=h\r\n";
const std::string kMine = "[List]\r\nCOUNT=0\r\n[0]\r\nUser=mine\r\nPass=m\r\n";
// The first 60 bytes of kOther: a whole copy's name, cut off.
const std::string kCutShort = kOther.substr(0, 60);
// kOld with UTF-8's byte-order mark and a password in code page 932 (表).
const std::string kMarked = "\xEF\xBB\xBF" + kOld.substr(0, kOld.find("Pass=k")) + "Pass=\x95\x5C" +
                            kOld.substr(kOld.find("Pass=k") + 6);
// A change a session's end kept beside kOld: a logon added to it.
const std::string kKept = keptChangeBytes(
    {{"C:\\ora\\sqlplus.exe", {{"old", "secret", "h"}, {"keep", "k", "h"}}},
     {"C:\\ora\\sqlplus.exe", {{"old", "secret", "h"}, {"keep", "k", "h"}, {"kept", "s", "h"}}}});

// A folder the program starts in: the settings file (none: missing) and
// what lies beside it, by the name after "Vostrelk.ini.".
struct Folder {
  const char* what;
  const std::string* file;
  std::vector<std::pair<const char*, const std::string*>> beside;
  const char* pass = "n";  // the password of the logon the change adds
};
const Folder kFolders[] = {
    {"the program's own file", &kOld, {}},
    {"a hand-edited file", nullptr, {}},  // kOld with a comment: made below
    {"another copy's save cut between its renames",
     nullptr,
     {{"vksave-3.bak", &kOld}, {"vksave-3.new", &kOther}}},
    {"1.4.0's copies", nullptr, {{"76-3.bak", &kOld}, {"76-3.new", &kOther}}},
    {"a working copy left by a killed save", &kOld, {{"vksave-2.tmp", &kOther}}},
    {"a planted copy of the highest generation",
     &kOld,
     {{"vksave-9999999999999999999.new", &kOther}}},
    {"a whole copy cut short beside the backup before it",
     nullptr,
     {{"vksave-2.bak", &kOld}, {"vksave-3.new", &kCutShort}}},
    {"a change kept at the session's end, merged by the start", &kOld, {{"vksave-4.kept", &kKept}}},
    // Under Wine the system reads this file as UTF-8 and the save's copy is
    // written key by key through the system (natively, by the bytes).
    {"a file the system reads otherwise (UTF-8's mark, a Japanese value)",
     &kMarked,
     {},
     "\x95\x5C"},
};

// The user's own file beside every folder's: never touched.
constexpr char kUsersBackup[] = "2024-05.bak";

class Cut : public ::testing::Test {
 protected:
  // A fresh folder of the table's, with the user's own backup beside it.
  std::string make(const Folder& f, int n) {
    const std::string folder = dir.file(std::to_string(n));
    std::filesystem::create_directories(folder);
    const std::string file = folder + "/Vostrelk.ini";
    const std::string handEdited = "; kept by hand\r\n" + kOld;
    if (f.file) writeBytes(file, *f.file);
    if (!f.file && f.beside.empty()) writeBytes(file, handEdited);
    for (const auto& [name, bytes] : f.beside) writeBytes(file + "." + name, *bytes);
    writeBytes(file + "." + kUsersBackup, kMine);
    return file;
  }

  // A start and one change (a logon deleted, one added), through fs: the
  // users the start listed, and where in fs's steps the start ended.
  struct Run {
    Store store;
    LoadResult loaded;
    SaveResult saved;
    Slots listed;
    int startSteps = 0;
  };
  // sessionEnd: the change is saved as the session's end saves it, the file
  // held (read-only here) so that the save keeps it beside the file.
  static Run startAndChange(const std::string& file, CuttingFiles& fs, const char* pass = "n",
                            bool sessionEnd = false) {
    const UseFileSystem use(fs);
    Run run{Store(file), LoadResult{}, SaveResult{}, Slots{}, 0};
    Store& store = run.store;
    run.loaded = store.LoadIniFile();
    run.startSteps = fs.steps;
    run.listed = store.Users();
    if (!run.loaded.ok()) return run;
    for (int i = 0; i < store.count(); ++i)
      if (store.logonAt(i).User == "old") store.remove(i);
    (void)store.insert({"new", pass, "h"});
    if (!sessionEnd) {
      run.saved = store.SaveIniFile();
      return run;
    }
    SaveRequest request = store.saveRequest();
    request.keepIfUnsaved = true;
    testfiles::setReadOnly(file, true);
    SaveDone done = Store::save(request, Deadline(std::chrono::seconds(4)));
    testfiles::setReadOnly(file, false);
    run.saved = done.result;
    store.takeSaved(request, std::move(done));
    return run;
  }

  // The users the next start lists, and the folder's state after it.
  static Slots nextStart(const std::string& file) {
    Store store(file);
    EXPECT_TRUE(store.LoadIniFile().ok()) << file;
    return store.Users();
  }

  // After the next good save: the user's file as it was, no copy of the
  // program's beside the file (each holds every password).
  static void afterAGoodSave(const std::string& file, const std::string& what) {
    Store store(file);
    ASSERT_TRUE(store.LoadIniFile().ok()) << what;
    ASSERT_TRUE(store.insert({"later", "l", "h"})) << what;
    EXPECT_EQ(store.SaveIniFile(), SaveResult::Saved) << what;
    EXPECT_FALSE(hasCopies(file, filesBeside(file))) << what;
    EXPECT_EQ(readBytes(file + "." + kUsersBackup), kMine) << what;
  }

  testfiles::ScratchDir dir;
};

TEST_F(Cut, EveryStepOfAStartAndASaveEndedOrFailedLeavesOneWholeVersion) {
  int cases = 0, n = 0;
  for (const Folder& f : kFolders) {
    // The run without a cut: how many steps, and the two versions.
    const std::string plain = make(f, n++);
    CuttingFiles counting;
    const Run whole = startAndChange(plain, counting, f.pass);
    ASSERT_TRUE(whole.loaded.ok()) << f.what;
    ASSERT_EQ(whole.saved, SaveResult::Saved) << f.what;
    const Slots& before = whole.listed;
    const Slots after = nextStart(plain);

    for (int k = 0; k < counting.steps; ++k) {
      const CuttingFiles::Step& at = counting.log[static_cast<size_t>(k)];
      for (const bool inside : {false, true}) {
        if (inside && !splits(at.op)) continue;
        const std::string what = std::string(f.what) + ", ended " + (inside ? "inside" : "after") +
                                 " step " + std::to_string(k);
        const std::string file = make(f, n++);
        CuttingFiles cut = CuttingFiles::endingAt(k, inside);
        (void)startAndChange(file, cut, f.pass);
        ASSERT_TRUE(cut.ended() || k == counting.steps - 1) << what;
        const Slots users = nextStart(file);
        EXPECT_TRUE(users == before || users == after) << what;
        afterAGoodSave(file, what);
        ++cases;
      }
      for (const DiskError& e : kErrors) {
        const std::string what =
            std::string(f.what) + ", step " + std::to_string(k) + " failed: " + e.what;
        const std::string file = make(f, n++);
        CuttingFiles failing = CuttingFiles::failingAt(k, e.code);
        Run run = startAndChange(file, failing, f.pass);
        const LoadResult& loaded = run.loaded;
        const SaveResult& saved = run.saved;
        // A step of the start's is its recovery's.
        const std::optional<SaveResult::Step> step = stepOf(at, plain, k < whole.startSteps);
        if (!loaded.ok()) {
          // The start could not put the cut save back: it says which copy and why.
          EXPECT_EQ(loaded.status, LoadResult::Unrecovered) << what;
          EXPECT_EQ(loaded.error, e.code) << what;
        } else if (saved == SaveResult::Failed) {
          ASSERT_TRUE(step) << what << ": failed at " << static_cast<int>(saved.step);
          EXPECT_EQ(saved.step, *step) << what;
          EXPECT_EQ(saved.error, e.code) << what;
        } else {
          EXPECT_EQ(saved, SaveResult::Saved) << what;
          EXPECT_FALSE(step) << what << ": the save went on past it";
          // The replace happened, its flush failed: told, and the store
          // holds what the file holds from then on.
          const bool unflushed = at.op == Op::Flush && at.path == plain;
          EXPECT_EQ(saved.unconfirmed, unflushed) << what;
          if (unflushed) {
            EXPECT_EQ(saved.error, e.code) << what;
          }
        }
        // The window tries again on the real files: the change lands whole.
        if (loaded.ok()) {
          EXPECT_NE(run.store.SaveIniFile(), SaveResult::Failed) << what;
          EXPECT_EQ(nextStart(file), after) << what;
          // A change undone after an unconfirmed save is written too, not
          // taken for "nothing changed" against the file before it.
          if (saved.unconfirmed) {
            Store& store = run.store;
            for (int i = 0; i < store.count(); ++i)
              if (store.logonAt(i).User == "new") store.remove(i);
            EXPECT_EQ(store.SaveIniFile(), SaveResult::Saved) << what;
            EXPECT_EQ(nextStart(file), store.Users()) << what;
          }
        } else {
          const Slots users = nextStart(file);
          EXPECT_TRUE(users == before || users == after) << what;
        }
        afterAGoodSave(file, what);
        ++cases;
      }
    }
  }
  std::cout << "cut points: " << cases << " cases over " << std::size(kFolders) << " folders\n";
  EXPECT_GT(cases, 0);
}

// The session's end whose save cannot be made: each step of the kept
// change ended or failed. Whatever the next start lists is the list before
// or the change merged, and it lists the change exactly when the session's
// end said it was kept.
TEST_F(Cut, EveryStepOfTheSessionEndsKeptChangeEndedOrFailedLosesNothing) {
  int cases = 0, n = 0;
  const Folder& f = kFolders[0];
  const std::string plain = make(f, n++);
  CuttingFiles counting;
  const Run whole = startAndChange(plain, counting, f.pass, true);
  ASSERT_FALSE(whole.saved.kept.empty());
  const Slots before = whole.listed, after = nextStart(plain);
  ASSERT_NE(before, after);
  for (int k = whole.startSteps; k < counting.steps; ++k) {
    for (const bool inside : {false, true}) {
      const std::string what = "the session's end, ended " +
                               std::string(inside ? "inside" : "after") + " step " +
                               std::to_string(k);
      const std::string file = make(f, n++);
      CuttingFiles cut = CuttingFiles::endingAt(k, inside);
      (void)startAndChange(file, cut, f.pass, true);
      const Slots users = nextStart(file);
      EXPECT_TRUE(users == before || users == after) << what;
      afterAGoodSave(file, what);
      ++cases;
    }
    for (const DiskError& e : kErrors) {
      const std::string what =
          "the session's end, step " + std::to_string(k) + " failed: " + e.what;
      const std::string file = make(f, n++);
      CuttingFiles failing = CuttingFiles::failingAt(k, e.code);
      const Run run = startAndChange(file, failing, f.pass, true);
      EXPECT_EQ(nextStart(file), run.saved.kept.empty() ? before : after) << what;
      afterAGoodSave(file, what);
      ++cases;
    }
  }
  std::cout << "session end's cut points: " << cases << " cases\n";
  EXPECT_GT(cases, 0);
}

}  // namespace
