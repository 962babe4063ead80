// FileSystem.cpp: see FileSystem.h. The system's steps are the platform's
// calls of Files.h.
#include "FileSystem.h"

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
