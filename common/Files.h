// Files.h: whole-file operations the settings file, its lock and the
// client's tnsnames.ora need: a file's state, bytes and stamp, a copy made
// beside a file and put in its place, and the leftovers of copies. Text is
// ANSI text in the system's code page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Whether a file is there and can be read: a folder of that name, or a file
// another program holds locked, is Unreadable.
enum class FileState { Missing, Readable, Unreadable };
[[nodiscard]] FileState fileState(const std::string& path);
// The file's bytes, read whole; empty unless Readable. A file larger than
// maxBytes is Unreadable, and nothing of it is read.
FileState readFileBytes(const std::string& path, std::string& bytes, size_t maxBytes = 1u << 30);
// What a file is: its volume and its index there, the same for every
// spelling of its path and for every handle open on it.
struct FileId {
  unsigned long long volume = 0, index = 0;
  bool operator==(const FileId& o) const { return volume == o.volume && index == o.index; }
  bool operator!=(const FileId& o) const { return !(*this == o); }
};
// The file path leads to, or nothing when there is none.
std::optional<FileId> fileId(const std::string& path);
// The file an open handle (Windows) or descriptor (POSIX) is on. It
// allocates nothing, nor does fileId on POSIX: the lock compares them while
// it holds a descriptor that an exception must not leak.
#ifdef _WIN32
std::optional<FileId> openFileId(void* handle);
#else
std::optional<FileId> openFileId(int descriptor);
#endif
// A file's identity as text, for keeping files in a set.
std::string identityText(const FileId& id);
// identityText of the file path leads to; empty when there is none.
std::string fileIdentity(const std::string& path);
// Which file the name leads to and when it was last written (its identity,
// time and size, as text); empty when there is none. A file replaced by
// another with the same bytes still gets another stamp. identity, when
// given, gets the file's identity as fileIdentity gives it.
std::string fileStamp(const std::string& path, std::string* identity = nullptr);

// Holds a file open for reading, shared with every other access, while it
// lives: no other program can then open the file without sharing it (on
// Windows; other systems have no such sharing).
class ReadHold {
 public:
  explicit ReadHold(const std::string& path);
  ~ReadHold();
  ReadHold(const ReadHold&) = delete;
  ReadHold& operator=(const ReadHold&) = delete;
  // Whether the file is held: it was there and could be opened.
  [[nodiscard]] bool held() const { return handle_ != -1; }

 private:
  std::intptr_t handle_ = -1;  // the handle (INVALID_HANDLE_VALUE is -1), or descriptor
};

// Makes copy (a name that must not exist yet) holding bytes, never more open
// than the file like (its access list, where the system has them).
[[nodiscard]] bool createFileCopy(const std::string& like, const std::string& copy,
                                  const std::string& bytes);
// Has the system write what it holds of the file to disk: its bytes and
// what the file system keeps of it (its size, its name in the folder).
// Opened sharing every access, so that a reader does not stop it.
[[nodiscard]] bool flushFile(const std::string& path);
// Dates a file's last write a few seconds back: Wine's profile functions
// read a file written in the last two seconds again at every call.
void dateBack(const std::string& path);

// The system's error of the last file call that failed here (GetLastError,
// or errno): read right where the call returned.
unsigned long lastSystemError();

// How the system's replace can fail, each leaving the files in a known state.
enum class ReplaceError {
  None,
  Other,                     // nothing moved
  UnableToMoveReplacement,   // both files keep their names
  UnableToMoveReplacement2,  // to's file is under the backup name, none under to's
  UnableToRemoveReplaced,    // both files keep their names
};
// The system's replace (ReplaceFileW, or a move where to is missing), the
// backup removed when it succeeded. from must be on disk already
// (flushFile): a power cut must not leave a file whose name is right and
// whose bytes never got there.
ReplaceError systemReplace(const std::string& to, const std::string& from,
                           const std::string& backup);
// Moves a file to a name that is free.
[[nodiscard]] bool moveFile(const std::string& from, const std::string& to);
// Removes a plain file (isPlainPath), read-only or not: a copy that took the
// read-only attribute from its file must not stay beside it with every
// password. Anything else under that name (a symbolic link, a junction, a
// hard link, a folder) is left alone, and nothing is removed through it:
// the check and the removal are made on one handle opened on the name
// itself, never on what it leads to.
bool discardFile(const std::string& path);
// Whether path is a plain file: no link of any kind (no reparse point, no
// second name), the file itself and not one it leads to.
[[nodiscard]] bool isPlainPath(const std::string& path);
// Whether the file is there and marked read-only (or, on POSIX, its owner
// may not write it): a save must not replace it.
[[nodiscard]] bool isReadOnlyFile(const std::string& path);
// Whether a system error says that another program holds the file without
// sharing it, or locked part of it: a state that passes.
[[nodiscard]] bool isHeldByAnother(unsigned long error);
// Whether a system error says that a name to be made was taken already: by
// another program's file, a folder, a link; never the caller's own.
[[nodiscard]] bool isNameTaken(unsigned long error);

// A file beside another and when it was last written (a count that grows
// with time), for telling the newer of two; plain: isPlainPath, the only
// kind that can be one of the program's copies.
struct FileBeside {
  std::string path;
  unsigned long long written = 0;
  bool plain = true;
};
// The names (not folders) beside fileName that start with its name and a
// '.': the candidates for the copies its saves make, and the names a new
// copy must not take.
std::vector<FileBeside> filesBeside(const std::string& fileName);
// This process's number: part of its temporary files' names.
unsigned long currentProcessId();
