// TestProcess.h: starting a program from a test and waiting for it to end.
#pragma once

#include <windows.h>

#include <string>

#include "Raii.h"

namespace testprocess {

// Starts CommandLine (in Dir, when given); the process's handle, or none
// with the system's error code left for GetLastError. Under a loaded Wine a
// start is refused now and then (seen once in many runs): one more try.
inline UniqueHandle start(const std::string& commandLine, const char* dir = nullptr) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::string line = commandLine;  // CreateProcessA may write into it
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir, &si, &pi)) {
      const UniqueHandle thread{pi.hThread};
      return UniqueHandle{pi.hProcess};
    }
    Sleep(200);
  }
  return {};
}

// Waits up to Ms for Process to end; its exit code, or STILL_ACTIVE.
inline DWORD waitFor(const UniqueHandle& process, DWORD ms) {
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process.get(), ms) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.get(), &code);
  return code;
}

}  // namespace testprocess
