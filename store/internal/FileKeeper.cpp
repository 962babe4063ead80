// FileKeeper.cpp: see FileKeeper.h. The open: lock, recovery, careful read.
// The commit: lock, recovery, the new file's bytes made in memory
// (editSettings), written once to a working copy beside the file, read
// back, named whole and put in the file's place. Every read of the file's
// values goes through ReadIniString, so the keeper runs on either settings
// engine.
#include "FileKeeper.h"

#include <new>
#include <set>

#include "CodePage.h"
#include "Common.h"
#include "FileSystem.h"
#include "IniEngine.h"
#include "Invariants.h"
#include "Paths.h"
#include "CarefulRead.h"
#include "SaveCopies.h"
#include "SaveLock.h"

bool FileTarget::write(const std::string& section, const std::string& key,
                       const std::string& value) {
  // Each write is a rewrite of the file: the save ends by its deadline.
  if (late_ || (late_ = deadline_.over())) return false;
  return fileSystem().writeKey(file_, section, key, value);
}

std::vector<std::string> FileTarget::sectionNames() {
  return readIniSectionNames(file_);
}

bool FileTarget::addSection(const std::string& section,
                            const std::vector<std::pair<std::string, std::string>>& keys) {
  if (late_ || (late_ = deadline_.over())) return false;
  return fileSystem().addKeys(file_, section, keys);
}

bool FileTarget::removeSection(const std::string& section) {
  return fileSystem().removeKeys(file_, section);
}

// ---- The keeper -----------------------------------------------------------

FileKeeper::FileKeeper(std::string file, SaveSettings settings)
    : file_(std::move(file)), settings_(settings) {}

namespace {

LoadResult refused(LoadResult::Status status, std::string detail, unsigned long error = 0) {
  LoadResult result;
  result.status = status;
  result.detail = std::move(detail);
  result.error = error;
  return result;
}

// What the store holds of a careful read: its view, and the logons it lists.
Snapshot snapshotOf(CarefulRead& read) {
  Snapshot snapshot;
  snapshot.read = read.result.ok();
  // Shown even when the logons cannot be loaded.
  snapshot.path = read.view.path.value_or("");
  if (read.result.ok()) {
    snapshot.slots = listedLogons(read.view);
    // A file without logons keeps its one empty slot, as it was written.
    if (snapshot.slots.empty() && read.view.highest >= 0)
      snapshot.slots.push_back(placeholderOf(read.view));
  }
  snapshot.view = std::move(read.view);
  if (read.bytes) snapshot.digest = digestOf(*read.bytes);
  return snapshot;
}

}  // namespace

SaveLock::Outcome FileKeeper::lockToOpen(const Deadline& deadline, std::optional<SaveLock>& lock,
                                         unsigned long& error) const {
  // Copies beside the file: a save was cut off, or is under way in another
  // copy. Whether one is put back is decided only under the lock, worth
  // waiting for then as a save would.
  const bool copies = hasCopies(file_, fileSystem().list(file_));
  const SaveLock::Outcome outcome = SaveLock::acquire(
      file_, deadline.within(copies ? settings_.lockTimeout : kOpenLockWait), lock, &error);
  // The short wait ran out while another copy saves: between its replace's
  // renames the file is missing with its copies beside it, which only the
  // lock tells from a cut save. Worth the long wait then, as above.
  if (outcome == SaveLock::Outcome::TimedOut && !copies &&
      !planRecovery(file_, fileState(file_), fileSystem().list(file_)).candidates.empty())
    return SaveLock::acquire(file_, deadline.within(settings_.lockTimeout), lock, &error);
  return outcome;
}

LoadResult FileKeeper::beforeRead(SaveLock::Outcome lock, unsigned long lockError,
                                  const Deadline& deadline) const {
  LoadResult result;
  if (lock == SaveLock::Outcome::Locked) {
    Recovered recovered = recover(deadline);
    if (!recovered.failed.empty())
      return refused(LoadResult::Unrecovered, recovered.failed, recovered.error);
    result.recovered = recovered.restored;
    result.keptAside = std::move(recovered.keptAside);
  } else {
    // Without the lock nothing is put back; but a missing file with a
    // whole version beside it is never taken for an empty list. Not another
    // copy's save but a lock file that cannot be made (a read-only folder):
    // the system's words say why.
    const Recovery plan = planRecovery(file_, fileState(file_), fileSystem().list(file_));
    if (!plan.candidates.empty())
      return refused(LoadResult::Unrecovered, plan.candidates.front().path,
                     lock == SaveLock::Outcome::Failed ? lockError : 0);
  }
  // Beside a missing file, a copy that may hold a version but is a link
  // (or a folder) is never followed: the start says what it found rather
  // than show an empty list that the close would write over it.
  if (fileState(file_) == FileState::Missing) {
    const std::vector<std::string> unusable = unusableCopies(file_, fileSystem().list(file_));
    if (!unusable.empty()) {
      LoadResult failed = refused(LoadResult::UnusableCopy, unusable.front());
      failed.keptAside = std::move(result.keptAside);
      return failed;
    }
  }
  return result;
}

bool FileKeeper::look(const Deadline& deadline, Snapshot& now) const {
  CarefulRead read = readCarefully(file_, false, deadline);
  if (!read.result.ok() || !read.bytes) return false;
  now = snapshotOf(read);
  return true;
}

LoadResult FileKeeper::open(Snapshot& snapshot, const Deadline& deadline) const {
  snapshot = Snapshot{};
  try {
    std::optional<SaveLock> lock;
    unsigned long lockError = 0;
    const SaveLock::Outcome outcome = lockToOpen(deadline, lock, lockError);
    LoadResult before = beforeRead(outcome, lockError, deadline);
    if (!before.ok()) return before;
    CarefulRead read = readCarefully(file_, lock.has_value(), deadline);
    read.result.recovered = before.recovered;
    read.result.keptAside = before.keptAside;
    snapshot = snapshotOf(read);
    return read.result;
  } catch (const std::bad_alloc&) {
    // However far the open came: an empty store that is never saved over the file.
    snapshot = Snapshot{};
    return refused(LoadResult::OutOfMemory, "");
  }
}

namespace {

// A save's copy of the settings file, beside it under names of its own (a
// generation no copy there has): written under the working name, named
// whole once it is on disk and read back, and put in the file's place. It
// removes itself unless it took the file's place: a save that fails or
// throws half way leaves no copy of the passwords behind.
class TempCopy {
 public:
  // Named by nextGeneration, from the names beside the file now; blocked
  // names the copy at the top when no generation is left above it.
  explicit TempCopy(const std::string& file) : file_(file) {
    const std::vector<FileBeside> files = fileSystem().list(file);
    generation_ = nextGeneration(file, files);
    if (!generation_) blocked_ = topCopy(file, files);
    for (const FileBeside& f : files) {
      const CopyName c = copyName(fileNameOf(f.path), fileNameOf(file));
      VK_INVARIANT(!generation_ || c.legacy || !f.plain ||
                       (c.kind != CopyKind::Whole && c.kind != CopyKind::Backup) ||
                       c.generation < generation_,
                   "I4");
    }
  }
  // Removes only what it made: a name it found taken is another's.
  ~TempCopy() {
    if (kept_ || !made_) return;
    fileSystem().discard(sealed_ ? whole() : working());
  }
  TempCopy(const TempCopy&) = delete;
  TempCopy& operator=(const TempCopy&) = delete;

  std::string working() const { return copyPath(file_, generation_, CopyKind::Working); }
  std::string whole() const { return copyPath(file_, generation_, CopyKind::Whole); }
  std::string backup() const { return copyPath(file_, generation_, CopyKind::Backup); }
  unsigned long long generation() const { return generation_; }
  // The copy whose generation left none above it; empty when one was had.
  const std::string& blocked() const { return blocked_; }

  [[nodiscard]] bool create(const std::string& bytes, unsigned long& error) {
    refreshIniFile(working());
    made_ = fileSystem().create(file_, working(), bytes);
    if (made_) return true;
    error = lastSystemError();
    // Made in part all the same (a disk full): it goes with this copy. A
    // name found taken was never this copy's, whatever stands there now.
    made_ =
        !isNameTaken(error) && fileState(working()) != FileState::Missing && isPlainPath(working());
    return false;
  }
  // The copy is on disk and was read back: only now does it get the name
  // that a recovery trusts. failed: the name the step failed on.
  [[nodiscard]] bool seal(unsigned long& error, std::string& failed) {
    FileSystem& fs = fileSystem();
    failed = working();
    if (!fs.flush(working())) {
      error = lastSystemError();
      return false;
    }
    failed = whole();
    if (!fs.move(working(), whole())) {
      error = lastSystemError();
      return false;
    }
    sealed_ = true;
    return true;
  }
  // What became of the replace. A replace that could put neither file back
  // under the file's name keeps both: the old one under the backup name,
  // the new one under the whole copy's, for the next open to put back.
  [[nodiscard]] Replaced commit(unsigned long& error) {
    const Replaced replaced = replaceFile(whole(), file_, backup(), error);
    refreshIniFile(file_);
    kept_ = replaced != Replaced::Old;
    return replaced;
  }

 private:
  std::string file_;
  unsigned long long generation_ = 1;
  std::string blocked_;
  bool made_ = false;
  bool sealed_ = false;
  bool kept_ = false;
};

// Whether the copy holds what the save made. Where the engine reads the new
// bytes as the store, the copy is read back byte for byte: what a write cut
// short or altered would change, the bytes show, and the differential test
// holds the system's reading of the engine's own forms to the engine's. The
// store's sections in other forms (odd: a comment, a value in quotes...)
// have the system read their values as well, so that a hand-edited file's
// saves cost the sections it edited, not the file. Without odd (the engine
// reads the bytes otherwise, or the whole file is in another form) the
// system reads every value, as the load does.
struct ReadBack {
  bool whole = true;
  std::string section, key;  // the first value read otherwise; empty: the bytes differ
  bool late = false;         // the deadline came first: nothing was decided
};
ReadBack readsBack(const std::string& copy, const std::string& path,
                   const std::vector<Logon>& slots, const std::string& bytes,
                   const std::optional<std::set<std::string>>& odd, SaveStats* stats,
                   const Deadline& deadline) {
  if (odd) {
    std::string onDisk;
    if (fileSystem().read(copy, onDisk) != FileState::Readable || onDisk != bytes)
      return ReadBack{false, "", ""};
  }
  struct Expected {
    std::string section;
    const char* key;
    std::string value;
  };
  std::vector<Expected> reads;
  const auto expect = [&](std::string section, const char* key, std::string value) {
    if (!odd || odd->count(codepage::lowerCase(section)))
      reads.push_back({std::move(section), key, std::move(value)});
  };
  expect(kPathSection, "Path", path);
  expect(kListSection, "COUNT", countText(slots.size()));
  for (size_t i = 0; i < slots.size(); ++i)
    for (const Logon::Field f : Logon::kFields) expect(std::to_string(i), slotKey(f), slots[i][f]);
  if (reads.empty()) return {};
  if (stats) stats->valuesReadBack += static_cast<unsigned>(reads.size());
  // Wine's profile functions read a file written in the last two seconds
  // again at every call: thousands of reads of a large file.
  dateBack(copy);
  refreshIniFile(copy);
  for (const Expected& e : reads) {
    // Each value is a scan of the copy: the save ends by its deadline.
    if (deadline.over()) return ReadBack{false, "", "", true};
    if (readIniValue(copy, e.section, e.key) != e.value) return ReadBack{false, e.section, e.key};
  }
  return {};
}

SaveResult failed(SaveResult::Step step, unsigned long error = 0, std::string detail = "") {
  SaveResult result;
  result.status = SaveResult::Failed;
  result.step = step;
  result.error = error;
  result.detail = std::move(detail);
  return result;
}

// The save of a changed store, under the lock. The copy starts from exactly
// the bytes the comparison (and a merge) read, not from a second read.
// The file as a save starts from: its bytes (disk, none when missing) and,
// when another copy rewrote it since base, its view read as carefully as a
// load reads it (held, still, confirmed): a merge on a view caught half way
// through (another program holding it, an editor writing it) would take
// every logon it lacks for one the other copy deleted. A failure, or none.
std::optional<SaveResult> readForSave(const std::string& file, const Snapshot& base,
                                      const Deadline& deadline, std::optional<std::string>& disk,
                                      std::optional<FileView>& theirs) {
  std::string bytes;
  unsigned long error = 0;
  const FileState state = readHeld(file, bytes, error, deadline);
  if (state == FileState::Unreadable) return failed(SaveResult::Step::Read, error, file);
  if (state == FileState::Missing) return std::nullopt;
  // The file the snapshot was taken of: its view is the snapshot's.
  if (digestOf(bytes) == base.digest) {
    disk = std::move(bytes);
    return std::nullopt;
  }
  CarefulRead now = readCarefully(file, true, deadline);
  if (now.result.status == LoadResult::Unreadable)
    return failed(SaveResult::Step::Read, now.result.error, file);
  if (!now.result.ok()) return failed(SaveResult::Step::Count, 0, file);
  if (!now.bytes) return failed(SaveResult::Step::Read, 0, file);
  disk = std::move(now.bytes);
  theirs = std::move(now.view);
  return std::nullopt;
}

// The save's copy for a file the engine reads otherwise than the system:
// the edits go through the system's own writes, on a copy of the file as it
// was (disk), and that copy is read back through the system too. written:
// the copy's bytes.
std::optional<SaveResult> writeKeyByKey(const std::string& file, const std::string& disk,
                                        const Edited& edited, const Deadline& deadline,
                                        SaveStats* stats, std::optional<TempCopy>& copy,
                                        std::string& written) {
  if (stats) ++stats->writtenKeyByKey;
  copy.reset();
  copy.emplace(file);
  unsigned long error = 0;
  if (!copy->blocked().empty()) return failed(SaveResult::Step::Copy, 0, copy->blocked());
  if (!copy->create(disk, error)) return failed(SaveResult::Step::Copy, error, copy->working());
  FileTarget target(copy->working(), deadline);
  if (!writeChanges(target, edited.view, edited.path, edited.slots))
    return target.late() ? failed(SaveResult::Step::TimeUp, 0, file)
                         : failed(SaveResult::Step::Write, lastSystemError(), copy->working());
  refreshIniFile(copy->working());
  if (fileSystem().read(copy->working(), written) != FileState::Readable)
    return failed(SaveResult::Step::Write, lastSystemError(), copy->working());
  const ReadBack readBack =
      readsBack(copy->working(), edited.path, edited.slots, written, std::nullopt, stats, deadline);
  if (readBack.late) return failed(SaveResult::Step::TimeUp, 0, file);
  if (readBack.whole) return std::nullopt;
  // Not the copy's fault: the system reads a value otherwise than the store
  // holds it, and will at every try.
  SaveResult result = failed(SaveResult::Step::ReadBack, 0, file);
  result.section = readBack.section;
  result.key = readBack.key;
  return result;
}

// The sections of the new bytes whose values the system must read back, or
// none where it must read them all. Where the engine reads the new bytes as
// the store, the copy is read back byte for byte, also where the file
// before was hand-edited, and the system reads only the values of the
// store's sections in other forms. A code the system reads as another (a 髙
// kept from the file) is judged as the system will read it: the bytes
// converted as it converts them.
std::optional<std::set<std::string>> sectionsToReadBack(const std::string& written,
                                                        const FileView& made) {
  const std::string seen = codepage::isText(written) ? codepage::systemReading(written) : written;
  const ini::Profile parsed = ini::Profile::parse(seen);
  return engineView(parsed) == made ? oddSections(seen, parsed) : std::nullopt;
}

// The save of a changed store, under the lock. The copy starts from exactly
// the bytes the comparison (and a merge) read, not from a second read.
SaveResult saveLocked(const std::string& file, const Snapshot& base, const std::string& path,
                      const std::vector<Logon>& slots, const SaveSettings& settings,
                      const Deadline& deadline, const SaveLock& lock, Committed& next) {
  std::optional<std::string> disk;
  std::optional<FileView> theirs;
  if (auto failure = readForSave(file, base, deadline, disk, theirs)) return *failure;
  const std::optional<Edited> edited = editSettings(disk, base, path, slots, theirs);
  if (!edited) return failed(SaveResult::Step::Count, 0, file);
  auto copy = std::make_optional<TempCopy>(file);
  unsigned long error = 0;
  if (!copy->blocked().empty()) return failed(SaveResult::Step::Copy, 0, copy->blocked());
  if (!copy->create(edited->bytes, error))
    return failed(SaveResult::Step::Copy, error, copy->working());
  std::string written = edited->bytes;
  const FileView made = viewOf(edited->path, edited->slots);
  SaveStats* stats = settings.observer;
  const auto readBackStart = std::chrono::steady_clock::now();
  const ReadBack readBack = readsBack(copy->working(), edited->path, edited->slots, written,
                                      sectionsToReadBack(written, made), stats, deadline);
  if (readBack.late) return failed(SaveResult::Step::TimeUp, 0, file);
  if (!readBack.whole) {
    if (auto failure =
            writeKeyByKey(file, disk.value_or(""), *edited, deadline, stats, copy, written))
      return *failure;
  }
  if (stats) stats->readBack += std::chrono::steady_clock::now() - readBackStart;
  if (std::string at; !copy->seal(error, at)) return failed(SaveResult::Step::Copy, error, at);
  // The store takes what the file holds only once it is there, and nothing
  // after the replace may fail: all of it is made before. A failed save
  // leaves the store, and the list that shows it, as they were.
  Committed saved{Snapshot{true, edited->path, edited->slots, made, digestOf(written)},
                  edited->path, edited->slots};
  // The lock file deleted or moved meanwhile: another copy may hold a lock
  // of its own and save now. This save fails, to be tried again.
  if (!lock.stillHeld()) return failed(SaveResult::Step::Lock, 0, saveLockFile(file));
  const Replaced replaced = copy->commit(error);
  if (replaced == Replaced::Old || replaced == Replaced::Both)
    return failed(SaveResult::Step::Replace, error, file);
  // The new file stands under the name: it is what the file holds now,
  // whatever the flush said, and the next save compares with it.
  std::swap(next, saved);
  SaveResult result;
  if (replaced == Replaced::Unflushed) {
    result.unconfirmed = true;
    result.error = error;
    result.detail = file;
  }
  return result;
}

}  // namespace

SaveResult FileKeeper::commit(const Snapshot& base, const std::string& path,
                              const std::vector<Logon>& slots, const Deadline& deadline,
                              Committed& next, const std::vector<std::string>& merged) const {
  SaveResult result = commitOnly(base, path, slots, deadline, next);
  // The kept changes the store merged are on disk now: they go.
  if (result == SaveResult::Saved || result == SaveResult::Unchanged)
    for (const std::string& kept : merged) fileSystem().discard(kept);
  return result;
}

SaveResult FileKeeper::commitOnly(const Snapshot& base, const std::string& path,
                                  const std::vector<Logon>& slots, const Deadline& deadline,
                                  Committed& next) const {
  try {
    const std::string& file = file_;
    const bool changed = path != base.path || slots != base.slots;
    std::optional<SaveLock> lock;
    unsigned long lockError = 0;
    const auto takeLock = [&]() -> std::optional<SaveResult> {
      switch (SaveLock::acquire(file, deadline, lock, &lockError)) {
        case SaveLock::Outcome::Locked:
          return std::nullopt;
        case SaveLock::Outcome::TimedOut:
          return failed(SaveResult::Step::LockBusy, 0, saveLockFile(file));
        case SaveLock::Outcome::Failed:
          break;
      }
      return failed(SaveResult::Step::Lock, lockError, saveLockFile(file));
    };
    // Nothing to save: the file is not opened for writing, not even while
    // another program holds it, and without copies beside it no lock is
    // taken (a read-only folder stays quiet).
    if (!changed && (!base.loaded() || fileState(file) != FileState::Missing)) {
      SaveResult result;
      result.status = SaveResult::Unchanged;
      if (hasCopies(file, fileSystem().list(file)) && !takeLock()) {
        Recovered recovered = recover(deadline);
        result.recovered = recovered.restored;
        result.keptAside = std::move(recovered.keptAside);
      }
      return result;
    }
    if (!base.loaded()) return SaveResult::NotLoaded;
    bool storable = ini::isStorableValue(path);
    for (const Logon& l : slots)
      for (const Logon::Field f : Logon::kFields) storable = storable && ini::isStorableValue(l[f]);
    if (!storable) return failed(SaveResult::Step::Value);
    if (std::optional<SaveResult> notLocked = takeLock()) return *notLocked;
    // Always, under the lock: another copy may have been cut off between its
    // renames while this one waited, and its whole copy is the file now.
    const Recovered recovered = recover(deadline);
    if (!recovered.failed.empty()) {
      SaveResult result = failed(SaveResult::Step::Recover, recovered.error, recovered.failed);
      result.keptAside = recovered.keptAside;
      return result;
    }
    // A link's target would be moved to the backup name by the replace, or a
    // second name split from the new file: never replaced.
    if (fileState(file) != FileState::Missing && !isPlainPath(file)) {
      SaveResult result = failed(SaveResult::Step::Link, 0, file);
      result.recovered = recovered.restored;
      result.keptAside = recovered.keptAside;
      return result;
    }
    if (isReadOnlyFile(file)) {
      SaveResult result = failed(SaveResult::Step::ReadOnly, 0, file);
      result.recovered = recovered.restored;
      result.keptAside = recovered.keptAside;
      return result;
    }
    SaveResult result = saveLocked(file, base, path, slots, settings_, deadline, *lock, next);
    result.recovered = recovered.restored;
    result.keptAside = recovered.keptAside;
    return result;
  } catch (const std::bad_alloc&) {
    return failed(SaveResult::Step::Memory);  // the copy has removed itself
  }
}
