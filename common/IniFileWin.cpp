// IniFileWin.cpp: settings-file access through the system's profile functions.
#include <windows.h>

#include <cstring>

#include "Common.h"
#include "IniEngine.h"
#include "Raii.h"

void ReadIniString(const std::string& FileName, const std::string& Section, const std::string& Key,
                   std::string& Value) {
  // The function cuts a value that does not fit and then returns size - 1:
  // grow the buffer until the value fits, so that long values load whole.
  std::string buf(256, '\0');
  for (;;) {
    const DWORD n =
        GetPrivateProfileStringA(Section.c_str(), Key.c_str(), Value.c_str(), buf.data(),
                                 static_cast<DWORD>(buf.size()), FileName.c_str());
    if (n + 1 < buf.size()) {
      buf.resize(n);
      break;
    }
    if (buf.size() >= (1u << 30)) {  // a gigabyte value is not a logon: take what fits
      buf.resize(n);
      break;
    }
    buf.resize(buf.size() * 4);
  }
  Value = std::move(buf);
}

bool WriteIniString(const std::string& FileName, const std::string& Section, const std::string& Key,
                    const std::string& Value) {
  const std::string stored = ini::protectValue(Value);
  return WritePrivateProfileStringA(Section.c_str(), Key.c_str(), stored.c_str(),
                                    FileName.c_str()) != FALSE;
}

std::vector<std::string> readIniSectionNames(const std::string& FileName) {
  std::string buf(4096, '\0');
  DWORD n = 0;
  for (;;) {
    n = GetPrivateProfileSectionNamesA(buf.data(), static_cast<DWORD>(buf.size()),
                                       FileName.c_str());
    if (n + 2 < buf.size() || buf.size() >= (1u << 30)) break;
    buf.resize(buf.size() * 4);  // the list was cut: n is size - 2 then
  }
  std::vector<std::string> names;
  for (size_t i = 0; i < n && buf[i] != '\0';) {
    const size_t len = strlen(buf.c_str() + i);
    names.emplace_back(buf, i, len);
    i += len + 1;
  }
  return names;
}

namespace {

// The profile functions keep files they have read in a cache; releasing it
// makes the next call read the file as it is on disk.
void releaseProfileCache(const std::string& FileName) {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, FileName.c_str());
}

}  // namespace

IniFile iniFileState(const std::string& FileName) {
  const DWORD attributes = GetFileAttributesA(FileName.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? IniFile::Missing
                                                                          : IniFile::Unreadable;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return IniFile::Unreadable;
  const UniqueHandle file = ownFile(CreateFileA(
      FileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file ? IniFile::Readable : IniFile::Unreadable;
}

void refreshIniFile(const std::string& FileName) {
  releaseProfileCache(FileName);
}

bool copyIniFile(const std::string& From, const std::string& To) {
  releaseProfileCache(To);
  if (GetFileAttributesA(From.c_str()) == INVALID_FILE_ATTRIBUTES &&
      GetLastError() == ERROR_FILE_NOT_FOUND)
    return DeleteFileA(To.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
  return CopyFileA(From.c_str(), To.c_str(), FALSE) != FALSE;
}

bool replaceIniFile(const std::string& From, const std::string& To) {
  releaseProfileCache(From);
  const bool moved = MoveFileExA(From.c_str(), To.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  releaseProfileCache(To);
  return moved;
}

void discardIniFile(const std::string& FileName) {
  releaseProfileCache(FileName);
  DeleteFileA(FileName.c_str());
}
