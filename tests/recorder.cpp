// recorder.cpp: a stand-in for the database client. It writes the command
// line it was started with to the file named by VOSTRELK_RECORD, in one step,
// and first, beside it, the title its console was given (STARTUPINFO's
// lpTitle) in "<file>.title" and the arguments as its C runtime split them,
// each ended by a NUL, in "<file>.args".
#include <windows.h>

#include <cstring>
#include <string>

namespace {

void writeFile(const std::string& path, const std::string& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
}

}  // namespace

int main(int argc, char** argv) {
  char target[MAX_PATH] = {};
  if (!GetEnvironmentVariableA("VOSTRELK_RECORD", target, MAX_PATH)) return 1;
  STARTUPINFOA si{};
  GetStartupInfoA(&si);
  writeFile(std::string(target) + ".title", si.lpTitle ? si.lpTitle : "");
  std::string args;
  for (int i = 1; i < argc; ++i) args += std::string(argv[i]) + '\0';
  writeFile(std::string(target) + ".args", args);
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
