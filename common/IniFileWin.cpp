// IniFileWin.cpp: settings-file access through the system's profile functions.
#include <windows.h>

#include <cstring>

#include "CodePage.h"
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

std::vector<std::string> readIniSectionNames(const std::string& fileName) {
  std::string buf(4096, '\0');
  DWORD n = 0;
  for (;;) {
    n = GetPrivateProfileSectionNamesA(buf.data(), static_cast<DWORD>(buf.size()),
                                       fileName.c_str());
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

bool addIniSection(const std::string& fileName, const std::string& section,
                   const std::vector<std::pair<std::string, std::string>>& keys) {
  std::string lines;  // key=value, each ended by a NUL, the list by another
  for (const auto& [key, value] : keys) lines += key + "=" + ini::protectValue(value) + '\0';
  lines += '\0';
  return WritePrivateProfileSectionA(section.c_str(), lines.c_str(), fileName.c_str()) != FALSE;
}

bool removeIniSection(const std::string& fileName, const std::string& section) {
  return WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, fileName.c_str()) != FALSE;
}

namespace {

// The profile functions keep files they have read in a cache; releasing it
// makes the next call read the file as it is on disk.
void releaseProfileCache(const std::string& fileName) {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, fileName.c_str());
}

}  // namespace

IniFile iniFileState(const std::string& fileName) {
  const DWORD attributes = GetFileAttributesA(fileName.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? IniFile::Missing
                                                                          : IniFile::Unreadable;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return IniFile::Unreadable;
  const UniqueHandle file = ownFile(CreateFileA(
      fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file ? IniFile::Readable : IniFile::Unreadable;
}

// Through the system, not the C++ streams: they would more than triple the
// program's size.
IniFile readIniFileBytes(const std::string& fileName, std::string& bytes) {
  bytes.clear();
  const IniFile state = iniFileState(fileName);
  if (state != IniFile::Readable) return state;
  const UniqueHandle file = ownFile(CreateFileA(
      fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > (1 << 30))
    return IniFile::Unreadable;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
    return IniFile::Unreadable;
  bytes.resize(read);
  return IniFile::Readable;
}

std::string iniFileStamp(const std::string& fileName) {
  const UniqueHandle file = ownFile(CreateFileW(fromAnsi(fileName).c_str(), 0,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                               nullptr, OPEN_EXISTING, 0, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !GetFileInformationByHandle(file.get(), &info)) return "";
  return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) +
         ":" + std::to_string(info.nFileIndexLow) + ":" +
         std::to_string(info.ftLastWriteTime.dwHighDateTime) + ":" +
         std::to_string(info.ftLastWriteTime.dwLowDateTime) + ":" +
         std::to_string(info.nFileSizeLow);
}

void refreshIniFile(const std::string& fileName) {
  releaseProfileCache(fileName);
}

// The copy holds every password: it is made with the file's own access list
// (a file the user made private stays private while it is copied), not with
// the folder's inherited one, and written through that handle.
bool createIniCopy(const std::string& like, const std::string& copy, const std::string& bytes) {
  releaseProfileCache(copy);
  const std::wstring wideLike = fromAnsi(like), wideCopy = fromAnsi(copy);
  std::string descriptor;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, FALSE};
  DWORD needed = 0;
  const SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION;
  if (!GetFileSecurityW(wideLike.c_str(), what, nullptr, 0, &needed) &&
      GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    descriptor.resize(needed);
    if (GetFileSecurityW(wideLike.c_str(), what, descriptor.data(), needed, &needed))
      sa.lpSecurityDescriptor = descriptor.data();
  }
  const UniqueHandle file = ownFile(CreateFileW(wideCopy.c_str(), GENERIC_WRITE, 0, &sa, CREATE_NEW,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

// ReplaceFileW keeps the replaced file's access list, owner and attributes;
// a plain move would give the file the copy's. (Wine's drops the attributes:
// they are put back.)
bool replaceIniFile(const std::string& from, const std::string& to) {
  releaseProfileCache(from);
  const std::wstring wideFrom = fromAnsi(from), wideTo = fromAnsi(to);
  {
    // On disk before it takes the file's place: a power cut must not leave
    // a file whose name is right and whose bytes never got there.
    const UniqueHandle copy = ownFile(CreateFileW(wideFrom.c_str(), GENERIC_WRITE, 0, nullptr,
                                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!copy || !FlushFileBuffers(copy.get())) return false;
  }
  const DWORD attributes = GetFileAttributesW(wideTo.c_str());
  bool moved = false;
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    moved = MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
  } else {
    moved = ReplaceFileW(wideTo.c_str(), wideFrom.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                         nullptr, nullptr) != FALSE;
    if (moved && GetFileAttributesW(wideTo.c_str()) != attributes)
      SetFileAttributesW(wideTo.c_str(), attributes);
  }
  releaseProfileCache(to);
  return moved;
}

void discardIniFile(const std::string& fileName) {
  releaseProfileCache(fileName);
  DeleteFileA(fileName.c_str());
}
