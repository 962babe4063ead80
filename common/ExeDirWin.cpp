// ExeDirWin.cpp: GetExeDir on Windows, from the loader's path of the program,
// and the process's environment.
#include <windows.h>

#include "CodePage.h"
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
  // A folder name may end in a double-byte character whose second byte is 0x5C.
  const size_t lastSep = codepage::lastSeparator(path);
  return lastSep == std::string::npos ? std::string() : path.substr(0, lastSep + 1);
}

std::string environmentVariable(const char* name) {
  const std::wstring wideName = fromAnsi(name);
  std::wstring value(256, L'\0');
  for (;;) {
    const DWORD n =
        GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (n < value.size()) {  // the value and its NUL fitted (0: unset)
      value.resize(n);
      return toAnsi(value);
    }
    value.resize(n);  // n: the room the value needs
  }
}
