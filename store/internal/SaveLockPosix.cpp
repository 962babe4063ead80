// SaveLockPosix.cpp: SaveLock and the file names of SaveLock.h on POSIX
// systems: an fcntl lock, which also reaches NFS servers.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE  // F_OFD_SETLK
#endif
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "Files.h"
#include "SaveLock.h"

struct SaveLock::Impl {
  int fd = -1;
  std::string name;
};

namespace {

bool nameLeadsTo(const std::string& name, int fd) {
  const std::optional<FileId> held = openFileId(fd);
  return held && held == fileId(name);
}

bool lockByte(int fd, short type) {
  struct flock f {};
  f.l_type = type;
  f.l_whence = SEEK_SET;
  f.l_start = 0;
  f.l_len = 1;
#ifdef F_OFD_SETLK
  // Held by the open file, as on Windows: two locks of one process exclude
  // each other too, and closing another descriptor of the file keeps it.
  return fcntl(fd, F_OFD_SETLK, &f) == 0;
#else
  return fcntl(fd, F_SETLK, &f) == 0;
#endif
}

}  // namespace

SaveLock::Outcome SaveLock::acquire(const std::string& fileName, const Deadline& deadline,
                                    std::optional<SaveLock>& lock, unsigned long* error) {
  lock.reset();
  // Everything that may throw comes before the descriptor: a lock that is
  // taken must never be lost on the way to its owner.
  auto impl = std::make_unique<Impl>(Impl{-1, saveLockFile(fileName)});
  const std::string& name = impl->name;
  for (;;) {
    const int fd = open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (error) *error = static_cast<unsigned long>(errno);
      return Outcome::Failed;
    }
    if (lockByte(fd, F_WRLCK)) {
      // A holder that let go took the name away: this file is no lock any more.
      if (nameLeadsTo(name, fd)) {
        impl->fd = fd;
        lock.emplace(SaveLock(std::move(impl)));
        return Outcome::Locked;
      }
    }
    close(fd);
    if (!deadline.wait()) return Outcome::TimedOut;
  }
}

SaveLock::SaveLock(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SaveLock::SaveLock(SaveLock&&) noexcept = default;
SaveLock& SaveLock::operator=(SaveLock&&) noexcept = default;

bool SaveLock::stillHeld() const {
  return impl_ && impl_->fd >= 0 && nameLeadsTo(impl_->name, impl_->fd);
}

SaveLock::~SaveLock() {
  if (!impl_ || impl_->fd < 0) return;
  // While still locked (see nameLeadsTo), and only the file this lock holds.
  if (nameLeadsTo(impl_->name, impl_->fd)) unlink(impl_->name.c_str());
  close(impl_->fd);
}
