// recorder.cpp: a stand-in for the database client. It writes the command
// line it was started with to the file named by VOSTRELK_RECORD, in one step.
#include <windows.h>

#include <cstring>
#include <string>

int main() {
  char target[MAX_PATH] = {};
  if (!GetEnvironmentVariableA("VOSTRELK_RECORD", target, MAX_PATH)) return 1;
  const std::string temp = std::string(target) + ".part";
  HANDLE f = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 1;
  const char* line = GetCommandLineA();
  DWORD written = 0;
  WriteFile(f, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
  CloseHandle(f);
  return MoveFileExA(temp.c_str(), target, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
