// two_copies_main.cpp: one of two copies of the store on one settings file,
// for the test of two PCs on one shared folder (tests/two_copies_test.sh):
// ROUNDS times it loads the file, adds, edits and deletes logons of its own
// (named after ID), saves, and loads again. Its own logons must always be
// exactly as it left them, whatever the other copy did meanwhile, and the
// file must load. Prints a line for each fault and ends with
// "ID: N rounds, M faults"; the exit code is 1 when there was a fault.
//   vk_two_copies INI-PATH ID ROUNDS SEED
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "Store.h"

namespace {

std::vector<Logon> ownLogons(const std::string& id) {
  std::vector<Logon> own;
  for (int i = 0; i < storeCount(); ++i)
    if (logonAt(i).User.rfind(id + "-", 0) == 0) own.push_back(logonAt(i));
  return own;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const std::string id = argv[2];
  const int rounds = std::atoi(argv[3]);
  std::mt19937 rng(static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10)));
  std::vector<Logon> expected;
  int faults = 0;
  const auto fault = [&](int round, const char* what) {
    std::printf("%s: round %d: %s\n", id.c_str(), round, what);
    ++faults;
  };
  const auto load = [&](int round) {
    resetStore();
    IniFileName = argv[1];
    if (!LoadIniFile().ok()) fault(round, "the file does not load");
    if (ownLogons(id) != expected) fault(round, "its own logons are not as it left them");
  };
  for (int round = 0; round < rounds; ++round) {
    load(round);
    for (int n = static_cast<int>(rng() % 3) + 1; n > 0; --n) {
      const Logon l{id + "-" + std::to_string(round) + "-" + std::to_string(n), "p", "h"};
      if (storeInsert(l)) expected.push_back(l);
    }
    if (!expected.empty() && rng() % 2) {  // deleted: every slot after it moves
      const Logon gone = expected[rng() % expected.size()];
      for (int i = 0; i < storeCount(); ++i)
        if (logonAt(i) == gone) storeDelete(i);
      expected.erase(std::find(expected.begin(), expected.end(), gone));
    }
    if (!expected.empty() && rng() % 3 == 0) {  // edited: a delete and an add
      Logon& edited = expected.front();
      for (int i = 0; i < storeCount(); ++i)
        if (logonAt(i) == edited) storeDelete(i);
      const Logon changed{edited.User, edited.Pass + "x", edited.Host};
      expected.erase(expected.begin());
      if (storeInsert(changed)) expected.push_back(changed);
    }
    // Unchanged: what the round added it also deleted again.
    if (const SaveResult r = SaveIniFile(); r != SaveResult::Saved && r != SaveResult::Unchanged)
      fault(round, "the save failed");
    load(round);
  }
  std::printf("%s: %d rounds, %d faults\n", id.c_str(), rounds, faults);
  return faults ? 1 : 0;
}
