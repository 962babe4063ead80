// recorder.cpp: a stand-in for the database client. It writes the command
// line it was started with to the file named by VOSTRELK_RECORD, in one step,
// and the title its console was given (STARTUPINFO's lpTitle) beside it, in
// "<file>.title", first.
#include <windows.h>

#include <cstring>
#include <string>

int main() {
  char target[MAX_PATH] = {};
  if (!GetEnvironmentVariableA("VOSTRELK_RECORD", target, MAX_PATH)) return 1;
  STARTUPINFOA si{};
  GetStartupInfoA(&si);
  const std::string titleFile = std::string(target) + ".title";
  HANDLE t = CreateFileA(titleFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (t != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    if (si.lpTitle)
      WriteFile(t, si.lpTitle, static_cast<DWORD>(std::strlen(si.lpTitle)), &written, nullptr);
    CloseHandle(t);
  }
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
