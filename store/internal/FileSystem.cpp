// FileSystem.cpp: see FileSystem.h. The system's steps are the platform's
// calls of Files.h.
#include "FileSystem.h"

#include "Common.h"

FileState FileSystem::read(const std::string& path, std::string& bytes) {
  return readFileBytes(path, bytes);
}

std::vector<FileBeside> FileSystem::list(const std::string& fileName) {
  return filesBeside(fileName);
}

bool FileSystem::create(const std::string& like, const std::string& copy,
                        const std::string& bytes) {
  return createFileCopy(like, copy, bytes);
}

bool FileSystem::flush(const std::string& path) {
  return flushFile(path);
}

bool FileSystem::move(const std::string& from, const std::string& to) {
  return moveFile(from, to);
}

ReplaceError FileSystem::replace(const std::string& to, const std::string& from,
                                 const std::string& backup) {
  return systemReplace(to, from, backup);
}

bool FileSystem::discard(const std::string& path) {
  return discardFile(path);
}

bool FileSystem::writeKey(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) {
  return WriteIniString(file, section, key, value);
}

bool FileSystem::addKeys(const std::string& file, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& keys) {
  return addIniSection(file, section, keys);
}

bool FileSystem::removeKeys(const std::string& file, const std::string& section) {
  return removeIniSection(file, section);
}

namespace {

FileSystem& systemFiles() {
  static FileSystem system;
  return system;
}

FileSystem* inUse = nullptr;

}  // namespace

FileSystem& fileSystem() {
  return inUse ? *inUse : systemFiles();
}

UseFileSystem::UseFileSystem(FileSystem& fs) : before_(inUse) {
  inUse = &fs;
}

UseFileSystem::~UseFileSystem() {
  inUse = before_;
}

namespace {

// Once the new file is in place nothing may undo the outcome: a backup that
// cannot go now (out of memory) goes with the next save's leftovers.
void discardAfter(const std::string& backup) noexcept {
  try {
    fileSystem().discard(backup);
  } catch (...) {
  }
}

}  // namespace

namespace {

// The new file under to's name, on disk before the save says so.
Replaced flushed(const std::string& to, unsigned long& systemError) {
  if (fileSystem().flush(to)) return Replaced::New;
  systemError = lastSystemError();
  return Replaced::Unflushed;
}

}  // namespace

Replaced replaceFile(const std::string& from, const std::string& to, const std::string& backup,
                     unsigned long& systemError) {
  FileSystem& fs = fileSystem();
  const ReplaceError error = fs.replace(to, from, backup);
  if (error == ReplaceError::None) return flushed(to, systemError);
  systemError = lastSystemError();
  // Under to's name stands a whole file: the old one (the new one failed to
  // move). A backup beside it is a copy of the same.
  if (fileState(to) != FileState::Missing) {
    if (error != ReplaceError::UnableToMoveReplacement2) fs.discard(backup);
    return Replaced::Old;
  }
  // To's file went to the backup name and the copy could not follow: put
  // the new one in place, else the old one back; never remove either.
  if (fs.move(from, to)) {
    discardAfter(backup);
    return flushed(to, systemError);
  }
  if (fileState(backup) != FileState::Missing && fs.move(backup, to)) return Replaced::Old;
  return Replaced::Both;
}
