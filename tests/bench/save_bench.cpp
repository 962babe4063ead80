// save_bench.cpp: one save, timed, for comparing two builds' stores side by
// side (tools/bench links it against this tree's store and against an older
// version's, so it uses only what both have).
//   vk_save_bench FILE LOGONS added|first-deleted
// Writes a settings file of LOGONS logons dated an hour back (as a user's
// file is), loads it, makes the one change and prints the save's time in ms.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchFiles.h"
#include "Store.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const std::string file = argv[1], mode = argv[3];
  const int logons = std::atoi(argv[2]);
  writeFile(file, settingsFile(logons));

  IniFileName = file;
  if (!LoadIniFile().ok()) return 1;
  if (mode == "added")
    (void)storeInsert({"added", "p", "h"});
  else
    storeDelete(0);  // every slot moves
  const auto start = std::chrono::steady_clock::now();
  const SaveResult saved = SaveIniFile();
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.1f\n", ms);
  return saved == SaveResult::Saved ? 0 : 1;
}
