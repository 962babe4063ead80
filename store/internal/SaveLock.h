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
  // Whether the lock file's name still leads to the file this lock holds:
  // one deleted or moved away meanwhile lets another copy take a lock of
  // its own, and a save must not go on beside it.
  [[nodiscard]] bool stillHeld() const;
  // Lets go; the lock file goes with its last holder, but only while its
  // name still leads to it: whatever else bears the name now (a newer lock
  // file, a user's file or folder) is left alone.
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
// The name a lock file takes while its holder lets go (Windows: moved
// aside, then removed as the handle closes): <lock file>.<process>.<tick>.old.
// A holder killed between the two leaves it; the recovery tidies it.
inline std::string saveLockAside(const std::string& fileName, unsigned long process,
                                 unsigned long long tick) {
  return saveLockFile(fileName) + "." + std::to_string(process) + "." + std::to_string(tick) +
         ".old";
}
// Whether name (without its folder) is one saveLockAside gives for baseName.
inline bool isSaveLockAside(const std::string& name, const std::string& baseName) {
  const std::string start = saveLockFile(baseName) + ".", end = ".old";
  if (name.size() <= start.size() + end.size() || name.compare(0, start.size(), start) != 0 ||
      name.compare(name.size() - end.size(), end.size(), end) != 0)
    return false;
  const std::string middle = name.substr(start.size(), name.size() - start.size() - end.size());
  const size_t dot = middle.find('.');
  const auto digits = [](const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
  };
  return dot != std::string::npos && digits(middle.substr(0, dot)) &&
         digits(middle.substr(dot + 1));
}
