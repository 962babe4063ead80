// FilesWin.cpp: Files.h on Windows.
#include <windows.h>

#include "CodePage.h"
#include "Files.h"
#include "Paths.h"
#include "Raii.h"

namespace {

// Whether path is a file that can be read; when it is, file is it, open.
FileState openToRead(const std::string& path, UniqueFile& file) {
  const DWORD attributes = GetFileAttributesW(fromAnsi(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileState::Missing
                                                                          : FileState::Unreadable;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    SetLastError(ERROR_ACCESS_DENIED);  // what opening a folder as a file gives
    return FileState::Unreadable;
  }
  file = UniqueFile(CreateFileW(fromAnsi(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file ? FileState::Readable : FileState::Unreadable;
}

}  // namespace

FileState fileState(const std::string& path) {
  UniqueFile file;
  return openToRead(path, file);
}

// Through the system, not the C++ streams: they would more than triple the
// program's size.
FileState readFileBytes(const std::string& path, std::string& bytes, size_t maxBytes) {
  bytes.clear();
  UniqueFile file;
  const FileState state = openToRead(path, file);
  if (state != FileState::Readable) return state;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) ||
      static_cast<unsigned long long>(size.QuadPart) > maxBytes)
    return FileState::Unreadable;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
    return FileState::Unreadable;
  bytes.resize(read);
  return FileState::Readable;
}

namespace {

// Opened for nothing but its information: a file another program holds
// locked has one too.
UniqueFile openForInformation(const std::string& path) {
  return UniqueFile(CreateFileW(fromAnsi(path).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
}

FileId idOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber,
          (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace

std::optional<FileId> openFileId(void* handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return std::nullopt;
  return idOf(info);
}

std::optional<FileId> fileId(const std::string& path) {
  const UniqueFile file = openForInformation(path);
  return file ? openFileId(file.get()) : std::nullopt;
}

std::string fileStamp(const std::string& path, std::string* identity) {
  const UniqueFile file = openForInformation(path);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !GetFileInformationByHandle(file.get(), &info)) return "";
  std::string id = identityText(idOf(info));
  std::string stamp = id + ":" + std::to_string(info.ftLastWriteTime.dwHighDateTime) + ":" +
                      std::to_string(info.ftLastWriteTime.dwLowDateTime) + ":" +
                      std::to_string(info.nFileSizeLow);
  if (identity) *identity = std::move(id);
  return stamp;
}

// The copy holds every password: it is made with the file's own access list
// (a file the user made private stays private while it is copied), not with
// the folder's inherited one, and written through that handle.
bool createFileCopy(const std::string& like, const std::string& copy, const std::string& bytes) {
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
  const UniqueFile file(CreateFileW(wideCopy.c_str(), GENERIC_WRITE, 0, &sa, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

ReadHold::ReadHold(const std::string& path)
    : handle_(reinterpret_cast<std::intptr_t>(
          CreateFileW(fromAnsi(path).c_str(), GENERIC_READ,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))) {}

ReadHold::~ReadHold() {
  if (held()) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

// FlushFileBuffers "writes all the buffered information for a specified
// file to the device" (Microsoft's documentation of the function); the
// file system's flush of a file writes "both the file data and metadata"
// and has the storage flush its cache (FltFlushBuffers2's). The folder is
// flushed as well where the file system allows it: the name is its entry.
bool flushFile(const std::string& path) {
  // Nothing allocated: it runs after the replace, which nothing may undo.
  static thread_local wchar_t name[32768];
  const int n =
      MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), name, 32767);
  if (n <= 0) return false;
  name[n] = L'\0';
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  const UniqueFile file(CreateFileW(name, GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file || !FlushFileBuffers(file.get())) return false;
  int end = n;
  while (end > 0 && name[end - 1] != L'\\' && name[end - 1] != L'/') --end;
  if (end == 0) return true;
  name[end] = L'\0';
  const UniqueFile folder(CreateFileW(name, GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (folder) FlushFileBuffers(folder.get());  // not every file system flushes a folder
  return true;
}

void dateBack(const std::string& path) {
  const UniqueFile file(CreateFileW(fromAnsi(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return;
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t{};
  t.LowPart = now.dwLowDateTime;
  t.HighPart = now.dwHighDateTime;
  t.QuadPart -= 30000000;  // three seconds in 100 ns units
  const FILETIME back{t.LowPart, t.HighPart};
  SetFileTime(file.get(), nullptr, nullptr, &back);
}

// ReplaceFileW keeps the replaced file's access list, owner and attributes;
// a plain move would give the file the copy's. (Wine's drops the attributes:
// they are put back.) Unlike MoveFileEx's MOVEFILE_WRITE_THROUGH ("the
// function does not return until the file is actually moved on the disk"),
// its REPLACEFILE_WRITE_THROUGH is documented "This value is not
// supported": replaceFile flushes the file once it stands in place.
ReplaceError systemReplace(const std::string& to, const std::string& from,
                           const std::string& backup) {
  const std::wstring wideFrom = fromAnsi(from), wideTo = fromAnsi(to);
  const DWORD attributes = GetFileAttributesW(wideTo.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_WRITE_THROUGH)
               ? ReplaceError::None
               : ReplaceError::Other;
  const std::wstring wideBackup = fromAnsi(backup);
  if (ReplaceFileW(wideTo.c_str(), wideFrom.c_str(), wideBackup.c_str(),
                   REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    if (GetFileAttributesW(wideTo.c_str()) != attributes)
      SetFileAttributesW(wideTo.c_str(), attributes);
    DeleteFileW(wideBackup.c_str());  // nothing after the replace may fail
    return ReplaceError::None;
  }
  switch (GetLastError()) {
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
      return ReplaceError::UnableToMoveReplacement;
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
      return ReplaceError::UnableToMoveReplacement2;
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
      return ReplaceError::UnableToRemoveReplaced;
    default:
      return ReplaceError::Other;
  }
}

bool moveFile(const std::string& from, const std::string& to) {
  return MoveFileExW(fromAnsi(from).c_str(), fromAnsi(to).c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
}

namespace {

bool sameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The system's own full name of what a handle is open on; empty when the
// file system cannot say.
std::wstring finalName(HANDLE handle) {
  std::wstring name(MAX_PATH, L'\0');
  DWORD n = GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()), 0);
  if (n >= name.size()) {
    name.resize(n);
    n = GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()), 0);
  }
  name.resize(n < name.size() ? n : 0);
  return name;
}

// path opened on the name itself, never on what it leads to, and only when
// it is a plain file: no reparse point (a symbolic link, a junction), one
// name (no hard link), and (Wine follows a POSIX link whatever the flags,
// and names the handle by its target) the system's name for it is path's.
UniqueFile openPlain(const std::string& path, DWORD access) {
  const std::wstring name = fromAnsi(path);
  UniqueFile file(CreateFileW(name.c_str(), access | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !GetFileInformationByHandle(file.get(), &info)) return {};
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
      info.nNumberOfLinks != 1) {
    SetLastError(ERROR_ACCESS_DENIED);
    return {};
  }
  const std::wstring at = finalName(file.get());
  if (at.empty()) return file;  // the attributes decide
  const UniqueFile folder(CreateFileW(fromAnsi(folderOf(path)).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  const std::wstring in = folder ? finalName(folder.get()) : L"";
  const std::wstring own = fromAnsi(fileNameOf(path));
  const bool same = in.empty() ? at.size() > own.size() &&
                                     sameText(at.substr(at.size() - own.size()), own) &&
                                     at[at.size() - own.size() - 1] == L'\\'
                               : sameText(at, in + (in.back() == L'\\' ? L"" : L"\\") + own);
  if (same) return file;
  SetLastError(ERROR_ACCESS_DENIED);
  return {};
}

}  // namespace

bool isPlainPath(const std::string& path) {
  return static_cast<bool>(openPlain(path, 0));
}

bool discardFile(const std::string& path) {
  const UniqueFile file = openPlain(path, DELETE | FILE_WRITE_ATTRIBUTES);
  if (!file) return false;
  FILE_BASIC_INFO basic{};
  if (GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic) &&
      (basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
    basic.FileAttributes &= ~FILE_ATTRIBUTE_READONLY;
    if (!basic.FileAttributes) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic);
  }
  FILE_DISPOSITION_INFO gone{TRUE};
  return SetFileInformationByHandle(file.get(), FileDispositionInfo, &gone, sizeof gone) != FALSE;
}

bool isReadOnlyFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(fromAnsi(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

bool isHeldByAnother(unsigned long error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool isNameTaken(unsigned long error) {
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

unsigned long currentProcessId() {
  return GetCurrentProcessId();
}

unsigned long lastSystemError() {
  return GetLastError();
}

std::vector<FileBeside> filesBeside(const std::string& fileName) {
  const std::string dir = folderOf(fileName);
  const std::string start = fileNameOf(fileName) + ".";
  WIN32_FIND_DATAW found{};
  std::vector<FileBeside> files;
  const UniqueFind search(FindFirstFileW(fromAnsi(fileName + ".*").c_str(), &found));
  if (!search) return files;
  do {
    // The pattern also matches short 8.3 names: the long name is checked too.
    // Letter case ignored, as the file system ignores it. A folder is
    // listed too: its name is taken, though it is never a copy.
    const std::string name = toAnsi(found.cFileName);
    if (name.size() > start.size() && sameFileName(name.substr(0, start.size()), start))
      files.push_back(
          {dir + name,
           (static_cast<unsigned long long>(found.ftLastWriteTime.dwHighDateTime) << 32) |
               found.ftLastWriteTime.dwLowDateTime,
           !(found.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
               isPlainPath(dir + name)});
  } while (FindNextFileW(search.get(), &found));
  return files;
}
