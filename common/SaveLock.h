// SaveLock.h: what keeps two copies' saves of one settings file apart, also
// copies on two PCs that share its folder: a byte-range lock on a small file
// beside it, which reaches the file server (share modes do not).
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "Deadline.h"

class SaveLock {
 public:
  enum class Outcome { Locked, TimedOut, Failed };

  // Takes the lock of fileName's saves (saveLockFile), waiting while another
  // copy holds it until the deadline (TimedOut, also when it is stopped). Failed: the lock file
  // cannot be made (a read-only folder, a missing one), or it is there and cannot be opened for
  // more than a moment (read-only, or denied to this user); error, when given, then gets the
  // system's error.
  [[nodiscard]] static Outcome acquire(const std::string& fileName, const Deadline& deadline,
                                       std::optional<SaveLock>& lock,
                                       unsigned long* error = nullptr);
  [[nodiscard]] static Outcome acquire(const std::string& fileName,
                                       std::chrono::milliseconds timeout,
                                       std::optional<SaveLock>& lock,
                                       unsigned long* error = nullptr) {
    return acquire(fileName, Deadline(timeout), lock, error);
  }
  // Lets go; the lock file goes with its last holder.
  ~SaveLock();
  SaveLock(SaveLock&&) noexcept;
  SaveLock& operator=(SaveLock&&) noexcept;
  SaveLock(const SaveLock&) = delete;
  SaveLock& operator=(const SaveLock&) = delete;

  struct Impl;

 private:
  explicit SaveLock(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// The lock file of fileName's saves: there while a copy saves (or after one
// was killed in its save).
inline std::string saveLockFile(const std::string& fileName) {
  return fileName + ".lock";
}
