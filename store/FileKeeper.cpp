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
#include "CarefulRead.h"
#include "SaveCopies.h"
#include "SaveLock.h"

bool FileTarget::write(const std::string& section, const std::string& key,
                       const std::string& value) {
  return WriteIniString(file_, section, key, value);
}

std::vector<std::string> FileTarget::sectionNames() {
  return readIniSectionNames(file_);
}

bool FileTarget::addSection(const std::string& section,
                            const std::vector<std::pair<std::string, std::string>>& keys) {
  return addIniSection(file_, section, keys);
}

bool FileTarget::removeSection(const std::string& section) {
  return removeIniSection(file_, section);
}

// ---- The keeper -----------------------------------------------------------

FileKeeper::FileKeeper(std::string file, SaveSettings settings)
    : file_(std::move(file)), settings_(settings) {}

namespace {

// What a careful read found, as the program keeps it.
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

LoadResult FileKeeper::open(Snapshot& snapshot, const Deadline& deadline) const {
  const auto notLoaded = [&](LoadResult result) {
    snapshot = Snapshot{};
    return result;
  };
  try {
    // Copies beside the file: a save was cut off, or is under way in another
    // copy. Whether one is put back is decided only under the lock, worth
    // waiting for then as a save would.
    const bool copies = hasCopies(file_, fileSystem().list(file_));
    std::optional<SaveLock> lock;
    unsigned long lockError = 0;
    SaveLock::Outcome outcome = SaveLock::acquire(
        file_, deadline.within(copies ? settings_.lockTimeout : kOpenLockWait), lock, &lockError);
    // The short wait ran out while another copy saves: between its replace's
    // renames the file is missing with its copies beside it, which only the
    // lock tells from a cut save. Worth the long wait then, as above.
    if (outcome == SaveLock::Outcome::TimedOut && !copies &&
        !planRecovery(file_, fileState(file_), fileSystem().list(file_)).candidates.empty())
      outcome = SaveLock::acquire(file_, deadline.within(settings_.lockTimeout), lock, &lockError);
    const bool locked = outcome == SaveLock::Outcome::Locked;
    std::string restored;
    std::vector<std::string> keptAside;
    if (locked) {
      const Recovered recovered = recover(deadline);
      if (!recovered.failed.empty()) {
        LoadResult result;
        result.status = LoadResult::Unrecovered;
        result.detail = recovered.failed;
        result.error = recovered.error;
        return notLoaded(result);
      }
      restored = recovered.restored;
      keptAside = recovered.keptAside;
    } else {
      // Without the lock nothing is put back; but a missing file with a
      // whole version beside it is never taken for an empty list.
      const Recovery plan = planRecovery(file_, fileState(file_), fileSystem().list(file_));
      if (!plan.candidates.empty()) {
        LoadResult result;
        result.status = LoadResult::Unrecovered;
        result.detail = plan.candidates.front().path;
        // Not another copy's save, but a lock file that cannot be made (a
        // read-only folder): the system's words say why.
        if (outcome == SaveLock::Outcome::Failed) result.error = lockError;
        return notLoaded(result);
      }
    }
    CarefulRead read = readCarefully(file_, locked, deadline);
    read.result.recovered = restored;
    read.result.keptAside = keptAside;
    snapshot = snapshotOf(read);
    return read.result;
  } catch (const std::bad_alloc&) {
    // However far the open came: an empty store that is never saved over the file.
    LoadResult result;
    result.status = LoadResult::OutOfMemory;
    return notLoaded(result);
  }
}

bool FileKeeper::look(const Deadline& deadline, Snapshot& now) const {
  CarefulRead read = readCarefully(file_, false, deadline);
  if (!read.result.ok() || !read.bytes) return false;
  now = snapshotOf(read);
  return true;
}

namespace {

// A save's copy of the settings file, beside it under names of its own (a
// generation no copy there has): written under the working name, named
// whole once it is on disk and read back, and put in the file's place. It
// removes itself unless it took the file's place: a save that fails or
// throws half way leaves no copy of the passwords behind.
class TempCopy {
 public:
  // Named by nextGeneration, from the names beside the file now.
  explicit TempCopy(const std::string& file)
      : file_(file), generation_(nextGeneration(file, fileSystem().list(file))) {}
  // Removes only what it made: a name it found taken is another's.
  ~TempCopy() {
    if (kept_ || !made_) return;
    fileSystem().discard(working());
    fileSystem().discard(whole());
  }
  TempCopy(const TempCopy&) = delete;
  TempCopy& operator=(const TempCopy&) = delete;

  std::string working() const { return copyPath(file_, generation_, CopyKind::Working); }
  std::string whole() const { return copyPath(file_, generation_, CopyKind::Whole); }
  std::string backup() const { return copyPath(file_, generation_, CopyKind::Backup); }
  unsigned long long generation() const { return generation_; }

  [[nodiscard]] bool create(const std::string& bytes, unsigned long& error) {
    refreshIniFile(working());
    made_ = fileSystem().create(file_, working(), bytes);
    if (made_) return true;
    error = lastSystemError();
    // Made in part all the same (a disk full): it goes with this copy.
    made_ = fileState(working()) != FileState::Missing && isPlainPath(working());
    return false;
  }
  // The copy is on disk and was read back: only now does it get the name
  // that a recovery trusts.
  [[nodiscard]] bool seal(unsigned long& error) {
    FileSystem& fs = fileSystem();
    if (fs.flush(working()) && fs.move(working(), whole())) return true;
    error = lastSystemError();
    return false;
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
  bool made_ = false;
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
};
ReadBack readsBack(const std::string& copy, const std::string& path,
                   const std::vector<Logon>& slots, const std::string& bytes,
                   const std::optional<std::set<std::string>>& odd, SaveStats* stats) {
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
  for (const Expected& e : reads)
    if (readIniValue(copy, e.section, e.key) != e.value) return ReadBack{false, e.section, e.key};
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
SaveResult saveLocked(const std::string& file, const Snapshot& base, const std::string& path,
                      const std::vector<Logon>& slots, const SaveSettings& settings,
                      const Deadline& deadline, const SaveLock& lock, Committed& next) {
  std::string bytes;
  FileState state = fileSystem().read(file, bytes);
  unsigned long error = state == FileState::Unreadable ? lastSystemError() : 0;
  // Another program holding the file for a moment (a scanner) is waited for.
  for (const Deadline held = deadline.within(kHeldWait);
       state == FileState::Unreadable && isHeldByAnother(error) && held.wait();) {
    state = fileSystem().read(file, bytes);
    error = state == FileState::Unreadable ? lastSystemError() : 0;
  }
  if (state == FileState::Unreadable) return failed(SaveResult::Step::Read, error, file);
  std::optional<std::string> disk =
      state == FileState::Readable ? std::optional<std::string>(bytes) : std::nullopt;
  // The file the snapshot was taken of: its view is the snapshot's.
  const bool same = disk && digestOf(*disk) == base.digest;
  // Another copy rewrote the file: read as carefully as a load reads it
  // (held, still, confirmed), for a merge on a view the file was caught
  // half way through (another program holding it, an editor writing it)
  // would take every logon it lacks for one the other copy deleted.
  std::optional<FileView> theirs;
  if (disk && !same) {
    CarefulRead now = readCarefully(file, true, deadline);
    if (now.result.status == LoadResult::Unreadable)
      return failed(SaveResult::Step::Read, now.result.error, file);
    if (!now.result.ok()) return failed(SaveResult::Step::Count, 0, file);
    if (!now.bytes) return failed(SaveResult::Step::Read, 0, file);
    bytes = *now.bytes;
    disk = std::move(now.bytes);
    theirs = std::move(now.view);
  }
  const std::optional<Edited> edited = editSettings(disk, base, path, slots, theirs);
  if (!edited) return failed(SaveResult::Step::Count, 0, file);
  auto copy = std::make_optional<TempCopy>(file);
  error = 0;
  if (!copy->create(edited->bytes, error))
    return failed(SaveResult::Step::Copy, error, copy->working());
  std::string written = edited->bytes;
  // Where the engine reads the new bytes as the store, the copy is read back
  // byte for byte, also where the file before was hand-edited, and the
  // system reads only the values of the store's sections in other forms.
  // One parse of the new bytes tells both their forms and what the engine
  // reads in them.
  const FileView made = viewOf(edited->path, edited->slots);
  const ini::Profile parsed = ini::Profile::parse(written);
  const std::optional<std::set<std::string>> odd =
      engineView(parsed) == made ? oddSections(written, parsed) : std::nullopt;
  SaveStats* stats = settings.observer;
  const auto readBackStart = std::chrono::steady_clock::now();
  ReadBack readBack = readsBack(copy->working(), edited->path, edited->slots, written, odd, stats);
  if (!readBack.whole) {
    // A file the engine reads otherwise than the system: the edits go
    // through the system's own writes, on a copy of the file as it was,
    // and that copy is read back through the system too.
    if (stats) ++stats->writtenKeyByKey;
    copy.reset();
    copy.emplace(file);
    if (!copy->create(bytes, error)) return failed(SaveResult::Step::Copy, error, copy->working());
    FileTarget target(copy->working());
    if (!writeChanges(target, edited->view, edited->path, edited->slots))
      return failed(SaveResult::Step::Write, lastSystemError(), copy->working());
    refreshIniFile(copy->working());
    if (fileSystem().read(copy->working(), written) != FileState::Readable)
      return failed(SaveResult::Step::Write, lastSystemError(), copy->working());
    readBack =
        readsBack(copy->working(), edited->path, edited->slots, written, std::nullopt, stats);
    if (!readBack.whole) {
      // Not the copy's fault: the system reads a value otherwise than the
      // store holds it, and will at every try.
      SaveResult result = failed(SaveResult::Step::ReadBack, 0, file);
      result.section = readBack.section;
      result.key = readBack.key;
      return result;
    }
  }
  if (stats) stats->readBack += std::chrono::steady_clock::now() - readBackStart;
  if (!copy->seal(error)) return failed(SaveResult::Step::Copy, error, copy->working());
  // The store takes what the file holds only once it is there, and nothing
  // after the replace may fail: all of it is made before. A failed save
  // leaves the store, and the list that shows it, as they were.
  Committed saved{Snapshot{true, edited->path, edited->slots, made, digestOf(written)},
                  edited->path, edited->slots};
  SaveResult result;
  // The lock file deleted or moved meanwhile: another copy may hold a lock
  // of its own and save now. This save fails, to be tried again.
  if (!lock.stillHeld()) return failed(SaveResult::Step::Lock, 0, saveLockFile(file));
  const Replaced replaced = copy->commit(error);
  if (replaced != Replaced::New) return failed(SaveResult::Step::Replace, error, file);
  std::swap(next, saved);
  return result;
}

}  // namespace

SaveResult FileKeeper::commit(const Snapshot& base, const std::string& path,
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
