// FilesPosix.cpp: Files.h on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <memory>

#include "Files.h"
#include "Paths.h"

FileState readFileBytes(const std::string& path, std::string& bytes, size_t maxBytes) {
  bytes.clear();
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return FileState::Missing;
  if (!S_ISREG(st.st_mode) || static_cast<unsigned long long>(st.st_size) > maxBytes) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EFBIG;
    return FileState::Unreadable;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return FileState::Unreadable;
  bytes.resize(static_cast<size_t>(st.st_size));
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return in.bad() ? FileState::Unreadable : FileState::Readable;
}

FileState fileState(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return FileState::Missing;
  if (!S_ISREG(st.st_mode)) {
    errno = EISDIR;
    return FileState::Unreadable;
  }
  return std::ifstream(path, std::ios::binary) ? FileState::Readable : FileState::Unreadable;
}

std::optional<FileId> openFileId(int descriptor) {
  struct stat st {};
  if (fstat(descriptor, &st) != 0) return std::nullopt;
  return FileId{st.st_dev, st.st_ino};
}

std::optional<FileId> fileId(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileId{st.st_dev, st.st_ino};
}

std::string fileStamp(const std::string& path, std::string* identity) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return "";
  std::string id = identityText({st.st_dev, st.st_ino});
  std::string stamp = id + ":" + std::to_string(st.st_mtim.tv_sec) + ":" +
                      std::to_string(st.st_mtim.tv_nsec) + ":" + std::to_string(st.st_size);
  if (identity) *identity = std::move(id);
  return stamp;
}

bool createFileCopy(const std::string& like, const std::string& copy, const std::string& bytes) {
  struct stat st {};
  const mode_t mode = stat(like.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0600;
  const std::unique_ptr<FILE, int (*)(FILE*)> out(fopen(copy.c_str(), "wbx"), fclose);
  if (!out) return false;
  fchmod(fileno(out.get()), mode);
  return fwrite(bytes.data(), 1, bytes.size(), out.get()) == bytes.size() && fflush(out.get()) == 0;
}

ReadHold::ReadHold(const std::string& path) : handle_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

ReadHold::~ReadHold() {
  if (held()) close(static_cast<int>(handle_));
}

bool flushFile(const std::string& path) {
  const int file = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  const bool flushed = file >= 0 && fsync(file) == 0;
  if (file >= 0) close(file);
  // The name is the folder's entry: the folder is flushed too. Nothing
  // allocated: it runs after the replace, which nothing may undo.
  char dir[4096] = ".";
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash + 1 < sizeof dir) {
    path.copy(dir, slash + 1);
    dir[slash + 1] = '\0';
  }
  const int folder = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return flushed;
}

void dateBack(const std::string& path) {
  struct timeval now {};
  gettimeofday(&now, nullptr);
  now.tv_sec -= 3;
  const struct timeval times[2] = {now, now};
  utimes(path.c_str(), times);
}

ReplaceError systemReplace(const std::string& to, const std::string& from,
                           const std::string& backup) {
  // The old file keeps a second name, the backup, until the new one is in place.
  if (fileState(to) != FileState::Missing && link(to.c_str(), backup.c_str()) != 0)
    return ReplaceError::Other;
  if (rename(from.c_str(), to.c_str()) != 0) return ReplaceError::Other;
  unlink(backup.c_str());
  return ReplaceError::None;
}

bool moveFile(const std::string& from, const std::string& to) {
  return link(from.c_str(), to.c_str()) == 0 && unlink(from.c_str()) == 0;  // never over a file
}

namespace {

// Whether the name itself is a plain file: lstat never follows a link, and
// a second name (a hard link) makes the file another's as much as ours.
bool plainStat(const struct stat& st) {
  return S_ISREG(st.st_mode) && st.st_nlink == 1;
}

}  // namespace

bool isPlainPath(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && plainStat(st);
}

bool discardFile(const std::string& path) {
#ifdef O_PATH
  const int flags = O_PATH | O_NOFOLLOW | O_CLOEXEC;
#else
  const int flags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC;
#endif
  const int fd = open(path.c_str(), flags);
  if (fd < 0) return false;
  struct stat held {
  }, named{};
  // The file checked is the one the name still leads to when it goes.
  const bool plain = fstat(fd, &held) == 0 && plainStat(held) && lstat(path.c_str(), &named) == 0 &&
                     named.st_dev == held.st_dev && named.st_ino == held.st_ino;
  close(fd);
  if (!plain) errno = EPERM;
  return plain && unlink(path.c_str()) == 0;
}

bool isReadOnlyFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR);
}

bool isHeldByAnother(unsigned long /*error*/) {
  return false;  // no sharing modes here
}

bool isNameTaken(unsigned long error) {
  return error == EEXIST;
}

unsigned long currentProcessId() {
  return static_cast<unsigned long>(getpid());
}

unsigned long lastSystemError() {
  return static_cast<unsigned long>(errno);
}

std::vector<FileBeside> filesBeside(const std::string& fileName) {
  const size_t slash = fileName.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : fileName.substr(0, slash);
  const std::string start = fileName.substr(slash == std::string::npos ? 0 : slash + 1) + ".";
  std::vector<FileBeside> files;
  const std::unique_ptr<DIR, int (*)(DIR*)> d(opendir(dir.c_str()), closedir);
  if (!d) return files;
  while (const dirent* e = readdir(d.get())) {
    const std::string name = e->d_name;
    if (name.size() <= start.size() || !sameFileName(name.substr(0, start.size()), start)) continue;
    std::string path = dir;
    path += '/';
    path += name;
    struct stat st {};
    // A folder is listed too: its name is taken, though it is never a copy.
    if (lstat(path.c_str(), &st) == 0)
      files.push_back({std::move(path),
                       static_cast<unsigned long long>(st.st_mtim.tv_sec) * 1000000000ull +
                           static_cast<unsigned long long>(st.st_mtim.tv_nsec),
                       !S_ISDIR(st.st_mode) && plainStat(st)});
  }
  return files;
}
