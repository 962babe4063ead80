// Files.cpp: the portable half of Files.h: a file's identity from its stamp,
// and a replace that keeps a whole file.
#include "Files.h"

std::string fileIdentity(const std::string& path) {
  std::string identity;
  fileStamp(path, &identity);
  return identity;
}

namespace {

// Once the new file is in place nothing may undo the outcome: a backup that
// cannot go now (out of memory) goes with the next save's leftovers.
void discardAfter(const std::string& backup) noexcept {
  try {
    discardFile(backup);
  } catch (...) {
  }
}

}  // namespace

Replaced replaceFile(const std::string& from, const std::string& to, const std::string& backup,
                     const ReplaceStep& replace, unsigned long& systemError) {
  const ReplaceError error = replace(to, from, backup);
  if (error == ReplaceError::None) return Replaced::New;
  systemError = lastSystemError();
  // Under to's name stands a whole file: the old one (the new one failed to
  // move). A backup beside it is a copy of the same.
  if (fileState(to) != FileState::Missing) {
    if (error != ReplaceError::UnableToMoveReplacement2) discardFile(backup);
    return Replaced::Old;
  }
  // To's file went to the backup name and the copy could not follow: put
  // the new one in place, else the old one back; never remove either.
  if (moveFile(from, to)) {
    discardAfter(backup);
    return Replaced::New;
  }
  if (fileState(backup) != FileState::Missing && moveFile(backup, to)) return Replaced::Old;
  return Replaced::Both;
}
