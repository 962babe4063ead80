// BenchFiles.h: the settings files the benchmarks time the program on. Uses
// the system alone: tools/bench also builds the save's benchmark against an
// older version's store.
#pragma once

#include <windows.h>

#include <fstream>
#include <string>

// A settings file of logons logons (none: the one empty slot a first save writes).
inline std::string settingsFile(int logons) {
  std::string s = "[SQL*Plus]\r\nPath=C:\\oracle\\bin\\sqlplus.exe\r\n[List]\r\nCOUNT=" +
                  std::to_string(logons == 0 ? 0 : logons - 1) + "\r\n";
  for (int i = 0; i < logons; ++i) {
    const std::string n = std::to_string(i);
    s +=
        "[" + n + "]\r\nUser=user" + n + "\r\nPass=pass" + n + "\r\nHost=host" + n + ".example\r\n";
  }
  if (logons == 0) s += "[0]\r\nUser=\r\nPass=\r\nHost=\r\n";
  return s;
}

// Writes a settings file dated an hour back: the profile functions read a
// file changed in the last moments again on every call, which no user's file
// (written at the last exit) is.
inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t{};
  t.LowPart = now.dwLowDateTime;
  t.HighPart = now.dwHighDateTime;
  t.QuadPart -= 36000000000ull;  // one hour in 100 ns units
  FILETIME past{t.LowPart, t.HighPart};
  SetFileTime(h, nullptr, nullptr, &past);
  CloseHandle(h);
}
