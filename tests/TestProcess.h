// TestProcess.h: starting a program from a test and waiting for it to end.
#pragma once

#include <windows.h>

#include <string>

#include "Raii.h"

namespace testprocess {

// Starts CommandLine (in Dir, when given); the process's handle, or none.
inline UniqueHandle start(std::string CommandLine, const char* Dir = nullptr) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, Dir, &si,
                      &pi))
    return {};
  const UniqueHandle thread{pi.hThread};
  return UniqueHandle{pi.hProcess};
}

// Waits up to Ms for Process to end; its exit code, or STILL_ACTIVE.
inline DWORD waitFor(const UniqueHandle& Process, DWORD Ms) {
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(Process.get(), Ms) == WAIT_OBJECT_0)
    GetExitCodeProcess(Process.get(), &code);
  return code;
}

}  // namespace testprocess
