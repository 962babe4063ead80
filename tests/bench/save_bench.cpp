// save_bench.cpp: one save, timed, for comparing builds' stores side by side
// (tools/bench builds it against this tree's store and, with
// VK_BENCH_OLD_STORE, against the stores of 1.3.1 and before, whose state was
// program-wide).
//   vk_save_bench FILE LOGONS added|last-deleted|first-deleted [hand-edited]
// Writes a settings file of LOGONS logons dated an hour back (as a user's
// file is), loads it, makes the one change and prints the save's time in ms.
// hand-edited: the file as an editor leaves it, LF line ends and a value in
// quotes, forms the engine does not call its own.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchFiles.h"
#include "Store.h"

namespace {

#ifdef VK_BENCH_OLD_STORE
struct Bench {
  explicit Bench(const std::string& file) { IniFileName = file; }
  bool load() { return LoadIniFile().ok(); }
  void insert(const Logon& l) { (void)storeInsert(l); }
  void remove(int i) { storeDelete(i); }
  int count() { return storeCount(); }
  bool save() { return SaveIniFile() == SaveResult::Saved; }
};
#else
struct Bench {
  explicit Bench(const std::string& file) : store(file) {}
  bool load() { return store.LoadIniFile().ok(); }
  void insert(const Logon& l) { (void)store.insert(l); }
  void remove(int i) { store.remove(i); }
  int count() { return store.count(); }
  bool save() { return store.SaveIniFile() == SaveResult::Saved; }
  Store store;
};
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) return 2;
  const std::string file = argv[1], mode = argv[3];
  const int logons = std::atoi(argv[2]);
  std::string bytes = settingsFile(logons);
  if (argc == 5) {
    bytes.erase(std::remove(bytes.begin(), bytes.end(), '\r'), bytes.end());
    bytes += "[Notes]\nquoted=\"a b\"\n";
  }
  writeFile(file, bytes);

  Bench bench(file);
  if (!bench.load()) return 1;
  if (mode == "added")
    bench.insert({"added", "p", "h"});
  else if (mode == "last-deleted")
    bench.remove(bench.count() - 1);
  else
    bench.remove(0);  // every slot moves
  const auto start = std::chrono::steady_clock::now();
  const bool saved = bench.save();
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.1f\n", ms);
  return saved ? 0 : 1;
}
