// FileKeeperRecovery.cpp: see FileKeeper.h. The recovery under the lock:
// which copy a save cut off left is put back (the latest that reads whole),
// which are kept aside, which go; and the folder's state at rest.
#include <cstdint>

#include "CarefulRead.h"
#include "Common.h"
#include "FileKeeper.h"
#include "FileSystem.h"
#include "IniEngine.h"
#include "Invariants.h"
#include "Paths.h"
#include "SaveCopies.h"

namespace {

// Whether a copy beside the file reads whole, as the load would read it: its
// "COUNT" readable, and a whole copy (written and read back in full before
// it got its name) with every slot up to "COUNT", each with its keys, and
// its last line ended. A copy cut short fails one of them.
// Unknown: the copy could not be read (held, the deadline over): nothing is
// decided about it.
enum class Whole { Yes, No, Unknown };
Whole readsWhole(const Candidate& copy, const Deadline& deadline, unsigned long& error) {
  const CarefulRead read = readCarefully(copy.path, true, deadline);
  if (read.result.status == LoadResult::Unreadable) {
    error = read.result.error;
    return Whole::Unknown;
  }
  if (!read.result.ok() || !read.bytes) return Whole::No;
  if (copy.kind != CopyKind::Whole) return Whole::Yes;
  if (read.bytes->empty() || read.bytes->back() != '\n') return Whole::No;
  for (int32_t i = 0; i <= read.view.highest; ++i) {
    const auto at = read.view.slots.find(i);
    if (at == read.view.slots.end()) return Whole::No;
    for (const Value& key : at->second)
      if (!key) return Whole::No;
  }
  return Whole::Yes;
}

// Moves a copy that does not read whole to a name of its own, which no
// recovery puts back or removes: it may hold logons no whole copy has.
std::string keepAside(const std::string& copy, const std::vector<FileBeside>& files) {
  // Above every name taken; a few more tries for one taken since the listing.
  const unsigned first = nextKeptAside(copy, files);
  for (unsigned n = first; n < first + 10; ++n)
    if (fileSystem().move(copy, keptAsidePath(copy, n))) return keptAsidePath(copy, n);
  return "";
}

}  // namespace

FolderState folderState(const std::string& file) {
  const FileState state = fileState(file);
  const std::vector<FileBeside> files = fileSystem().list(file);
  switch (state) {
    case FileState::Unreadable:
      return FolderState::Unreadable;
    case FileState::Readable:
      return hasCopies(file, files) ? FolderState::Stale : FolderState::Clean;
    case FileState::Missing:
      break;
  }
  if (!planRecovery(file, state, files).candidates.empty()) return FolderState::Cut;
  return hasCopies(file, files) ? FolderState::Stale : FolderState::First;
}

FileKeeper::Recovered FileKeeper::recover(const Deadline& deadline) const {
  Recovered recovered;
  FileSystem& fs = fileSystem();
  const std::vector<FileBeside> files = fs.list(file_);
  const Recovery plan = planRecovery(file_, fileState(file_), files);
  for (const Candidate& copy : plan.candidates) {
    VK_INVARIANT(copy.kind != CopyKind::Working && copy.kind != CopyKind::Kept, "I3, I7");
    const Whole whole = readsWhole(copy, deadline, recovered.error);
    if (whole == Whole::Unknown) {
      recovered.failed = copy.path;
      return recovered;
    }
    if (whole == Whole::No) {
      const std::string aside = keepAside(copy.path, files);
      // One that cannot be moved aside stops the recovery: an older copy put
      // back would make it a stale copy, which goes beside a readable file.
      if (aside.empty()) {
        recovered.failed = copy.path;
        recovered.error = lastSystemError();
        return recovered;
      }
      recovered.keptAside.push_back(aside);
      continue;
    }
    if (!fs.move(copy.path, file_)) {
      recovered.failed = copy.path;
      recovered.error = lastSystemError();
      return recovered;
    }
    recovered.restored = copy.path;
    refreshIniFile(file_);
    break;
  }
  // Copies go only beside a whole file: while it is missing or cannot be
  // read, one of them may be the last whole version.
  if (fileState(file_) != FileState::Readable) return recovered;
  for (const std::string& copy : plan.discard) {
    const CopyKind kind = copyName(fileNameOf(copy), fileNameOf(file_)).kind;
    VK_INVARIANT(kind != CopyKind::None && kind != CopyKind::Kept, "I2, I7");
    if (copy != recovered.restored) fs.discard(copy);
  }
  return recovered;
}

std::string FileKeeper::keep(const KeptChange& change, const Deadline& deadline,
                             unsigned long& error) const {
  FileSystem& fs = fileSystem();
  // Made without the lock (another copy may hold it: that is why the save
  // failed): a name another copy took meanwhile is passed over.
  for (int tries = 0; tries < 3 && !deadline.over(); ++tries) {
    const unsigned long long g = nextGeneration(file_, fs.list(file_));
    if (!g) return "";
    const std::string working = copyPath(file_, g, CopyKind::Working);
    std::string kept = copyPath(file_, g, CopyKind::Kept);
    if (!fs.create(file_, working, keptChangeBytes(change))) {
      error = lastSystemError();
      if (isNameTaken(error)) continue;
      if (fileState(working) != FileState::Missing) fs.discard(working);
      return "";
    }
    if (fs.flush(working) && fs.move(working, kept)) return kept;
    error = lastSystemError();
    fs.discard(working);
    return "";
  }
  return "";
}

FileKeeper::Resumed FileKeeper::resume(StoreState& state, const Deadline& deadline) const {
  Resumed resumed;
  FileSystem& fs = fileSystem();
  const std::vector<FileBeside> files = fs.list(file_);
  for (const std::string& path : keptChanges(file_, files)) {
    std::string bytes;
    unsigned long error = 0;
    const FileState read = readHeld(path, bytes, error, deadline);
    if (read == FileState::Missing) continue;  // merged and removed by another start meanwhile
    if (read == FileState::Unreadable) {
      resumed.unread.push_back(path);
      continue;
    }
    const std::optional<KeptChange> change = readKeptChange(bytes);
    if (!change) {
      // Cut short or damaged: it may still hold what was typed, never merged
      // in part, never removed.
      const std::string aside = keepAside(path, files);
      (aside.empty() ? resumed.unread : resumed.keptAside).push_back(aside.empty() ? path : aside);
      continue;
    }
    state = mergeStores(change->base, change->mine, state);
    resumed.merged.push_back(path);
  }
  return resumed;
}

#ifdef VK_CHECK_INVARIANTS
#include <cstdio>
#include <cstdlib>

void invariantBroken(const char* name, const char* file, int line) {
  std::fprintf(stderr, "invariant %s broken at %s:%d\n", name, file, line);
  std::abort();
}
#endif
