// Files.cpp: the portable half of Files.h: a file's identity as text, and a
// replace that keeps a whole file.
#include "Files.h"

#include "FileSystem.h"

std::string identityText(const FileId& id) {
  return std::to_string(id.volume) + ":" + std::to_string(id.index);
}

std::string fileIdentity(const std::string& path) {
  const std::optional<FileId> id = fileId(path);
  return id ? identityText(*id) : "";
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

Replaced replaceFile(const std::string& from, const std::string& to, const std::string& backup,
                     unsigned long& systemError) {
  FileSystem& fs = fileSystem();
  const ReplaceError error = fs.replace(to, from, backup);
  if (error == ReplaceError::None) return Replaced::New;
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
    return Replaced::New;
  }
  if (fileState(backup) != FileState::Missing && fs.move(backup, to)) return Replaced::Old;
  return Replaced::Both;
}
