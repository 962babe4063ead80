// two_copies_main.cpp: one of two copies of the store on one settings file,
// for the test of two PCs on one shared folder (tests/two_copies_test.sh):
// ROUNDS times it loads the file, adds, edits and deletes logons of its own
// (named after ID), saves, and loads again. Its own logons must always be
// exactly as it left them, whatever the other copy did meanwhile, and the
// file must load. Prints a line for each fault and ends with
// "ID: N rounds, M faults"; the exit code is 1 when there was a fault.
//   vk_two_copies INI-PATH ID ROUNDS SEED
// With --start, it starts as the program does after a copy was killed in
// its save (tests/kill_test.sh): loads the file (putting back what a save
// cut off left), closes twice with nothing changed, loads again, and prints
// the logons then, one user a line, after "put back: COPY" when it put one back.
//   vk_two_copies --start INI-PATH
// With --save-loop, it loads the file and then saves one change after
// another until it is killed: a logon of its own added, then deleted again.
//   vk_two_copies --save-loop INI-PATH
// With --cut-save, it saves N changes of its own (logons C-1 ... C-N), then
// one more (C-cut) cut off between the replace's two renames, as a kill
// there leaves it: the file moved aside, the whole new copy beside it.
//   vk_two_copies --cut-save INI-PATH N
// With --close-save, it saves changes of its own (a logon W-own added and
// deleted by turns, each save waiting for the lock as a close does) until
// the file DONE is there, then once more, and prints "saved N". It makes
// DONE.ready once it has loaded the file.
//   vk_two_copies --close-save INI-PATH DONE
#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "FileSystem.h"
#include "Store.h"

namespace {

std::vector<Logon> ownLogons(const Store& store, const std::string& id) {
  std::vector<Logon> own;
  for (int i = 0; i < store.count(); ++i)
    if (store.logonAt(i).User.rfind(id + "-", 0) == 0) own.push_back(store.logonAt(i));
  return own;
}

}  // namespace

// Where the start gave up, for the test's log: the load's status and the
// system's error, or the close's step and error.
int gaveUp(const char* what, int status, unsigned long error) {
  std::printf("gave up: %s %d, error %lu\n", what, status, error);
  return 1;
}

int startAfterAKill(const std::string& file) {
  Store store(file);
  const LoadResult loaded = store.LoadIniFile();
  if (!loaded.ok()) return gaveUp("load", loaded.status, loaded.error);
  if (!loaded.recovered.empty()) std::printf("put back: %s\n", loaded.recovered.c_str());
  for (int close = 0; close < 2; ++close)
    if (const SaveResult r = store.SaveIniFile(); r == SaveResult::Failed)
      return gaveUp("close at step", static_cast<int>(r.step), r.error);
  Store again(file);
  if (const LoadResult r = again.LoadIniFile(); !r.ok())
    return gaveUp("second load", r.status, r.error);
  if (again.logons() != store.logons()) return gaveUp("second load differs", 0, 0);
  for (const Logon& l : again.logons()) std::printf("%s\n", l.User.c_str());
  return 0;
}

int saveUntilKilled(const std::string& file) {
  Store store(file);
  if (!store.LoadIniFile().ok()) return 1;
  for (;;) {
    const Logon own{"K-own", "p", "h"};
    if (!store.insert(own)) store.remove(store.count() - 1);
    if (store.SaveIniFile() == SaveResult::Failed) return 1;
  }
}

#ifdef _WIN32
int cutSave(const std::string& file, int saves) {
  Store store(file);
  if (const LoadResult loaded = store.LoadIniFile(); !loaded.ok())
    return gaveUp("load", loaded.status, loaded.error);
  for (int n = 1; n <= saves; ++n) {
    if (!store.insert({"C-" + std::to_string(n), "p", "h"})) return gaveUp("insert", n, 0);
    if (const SaveResult r = store.SaveIniFile(); r != SaveResult::Saved)
      return gaveUp("save at step", static_cast<int>(r.step), r.error);
  }
  // The first rename of a replace, then the end a kill would make.
  struct Cut : FileSystem {
    ReplaceError replace(const std::string& to, const std::string&,
                         const std::string& backup) override {
      MoveFileA(to.c_str(), backup.c_str());
      ExitProcess(3);
    }
  } cut;
  const UseFileSystem use(cut);
  if (!store.insert({"C-cut", "p", "h"})) return gaveUp("insert", 0, 0);
  (void)store.SaveIniFile();
  return gaveUp("the cut save returned", 0, 0);
}

int closeSaves(const std::string& file, const std::string& done) {
  Store store(file);
  if (!store.LoadIniFile().ok()) return gaveUp("load", 0, 0);
  // Loaded: the other copy may start its saves now.
  CloseHandle(
      CreateFileA((done + ".ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  int saved = 0;
  for (bool last = false; !last;) {
    last = GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES;
    const Logon own{"W-own", "p", "h"};
    if (!store.insert(own))  // there already: deleted, wherever a merge put it
      for (int i = 0; i < store.count(); ++i)
        if (store.logonAt(i) == own) store.remove(i);
    const SaveResult r = store.SaveIniFile();
    if (r != SaveResult::Saved) return gaveUp("save at step", static_cast<int>(r.step), r.error);
    ++saved;
  }
  std::printf("saved %d\n", saved);
  return 0;
}
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  if (argc == 4 && std::string(argv[1]) == "--cut-save")
    return cutSave(argv[2], std::atoi(argv[3]));
  if (argc == 4 && std::string(argv[1]) == "--close-save") return closeSaves(argv[2], argv[3]);
#endif
  if (argc == 3 && std::string(argv[1]) == "--start") return startAfterAKill(argv[2]);
  if (argc == 3 && std::string(argv[1]) == "--save-loop") return saveUntilKilled(argv[2]);
  if (argc != 5) return 2;
  const std::string id = argv[2];
  const int rounds = std::atoi(argv[3]);
  std::mt19937 rng(static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10)));
  std::vector<Logon> expected;
  Store store;
  int faults = 0;
  const auto fault = [&](int round, const char* what) {
    std::printf("%s: round %d: %s\n", id.c_str(), round, what);
    ++faults;
  };
  const auto load = [&](int round) {
    store = Store(argv[1]);
    if (!store.LoadIniFile().ok()) fault(round, "the file does not load");
    if (ownLogons(store, id) != expected) fault(round, "its own logons are not as it left them");
  };
  for (int round = 0; round < rounds; ++round) {
    load(round);
    for (int n = static_cast<int>(rng() % 3) + 1; n > 0; --n) {
      const Logon l{id + "-" + std::to_string(round) + "-" + std::to_string(n), "p", "h"};
      if (store.insert(l)) expected.push_back(l);
    }
    if (!expected.empty() && rng() % 2) {  // deleted: every slot after it moves
      const Logon gone = expected[rng() % expected.size()];
      for (int i = 0; i < store.count(); ++i)
        if (store.logonAt(i) == gone) store.remove(i);
      expected.erase(std::find(expected.begin(), expected.end(), gone));
    }
    if (!expected.empty() && rng() % 3 == 0) {  // edited: a delete and an add
      Logon& edited = expected.front();
      for (int i = 0; i < store.count(); ++i)
        if (store.logonAt(i) == edited) store.remove(i);
      const Logon changed{edited.User, edited.Pass + "x", edited.Host};
      expected.erase(expected.begin());
      if (store.insert(changed)) expected.push_back(changed);
    }
    // Unchanged: what the round added it also deleted again.
    if (const SaveResult r = store.SaveIniFile();
        r != SaveResult::Saved && r != SaveResult::Unchanged)
      fault(round, "the save failed");
    load(round);
  }
  std::printf("%s: %d rounds, %d faults\n", id.c_str(), rounds, faults);
  return faults ? 1 : 0;
}
