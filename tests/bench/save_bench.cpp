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
#include <fstream>
#include <string>

#include "Store.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const std::string file = argv[1], mode = argv[3];
  const int logons = std::atoi(argv[2]);
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "[SQL*Plus]\r\nPath=C:\\oracle\\bin\\sqlplus.exe\r\n[List]\r\nCOUNT=" << logons - 1
        << "\r\n";
    for (int i = 0; i < logons; ++i)
      out << "[" << i << "]\r\nUser=user" << i << "\r\nPass=pass" << i << "\r\nHost=host" << i
          << ".example\r\n";
  }
  const HANDLE h = CreateFileA(file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t{};
  t.LowPart = now.dwLowDateTime;
  t.HighPart = now.dwHighDateTime;
  t.QuadPart -= 36000000000ull;  // one hour in 100 ns units
  const FILETIME past{t.LowPart, t.HighPart};
  SetFileTime(h, nullptr, nullptr, &past);
  CloseHandle(h);

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
