// ExeDirWin.cpp: GetExeDir on Windows, from the loader's path of the program.
#include <windows.h>

#include "Common.h"

std::string GetExeDir() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);  // a long path was cut: ask again with more room
  }
  // The separator is searched byte by byte backwards from the end; a trail byte
  // of 0x5C inside a double-byte character must not count, so walk forwards.
  size_t lastSep = std::string::npos;
  for (size_t i = 0; i < path.size(); i += IsDBCSLeadByte(static_cast<BYTE>(path[i])) ? 2 : 1)
    if (path[i] == '\\' || path[i] == '/') lastSep = i;
  return lastSep == std::string::npos ? std::string() : path.substr(0, lastSep + 1);
}
