// Save.cpp: the save as one transaction: under the lock beside the settings
// file it puts back a save cut off, reads the file, makes the new file's
// bytes in memory (editSettings), writes them once to a working copy beside
// the file, has the system read the copy back, names the copy whole and puts
// it in the file's place.
#include "Save.h"

#include <algorithm>
#include <new>

#include "Common.h"
#include "IniEngine.h"
#include "Paths.h"
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

Value readIniValue(const std::string& file, const std::string& section, const std::string& key) {
  std::string value = kAbsentKey;
  ReadIniString(file, section, key, value);
  return valueRead(std::move(value));
}

namespace {

constexpr char kWorking[] = "tmp", kWhole[] = "new", kBackup[] = "bak";

bool allDigits(const std::string& s, size_t from, size_t to) {
  return to > from && std::all_of(s.begin() + static_cast<std::ptrdiff_t>(from),
                                  s.begin() + static_cast<std::ptrdiff_t>(to),
                                  [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

CopyKind copyKind(const std::string& name, const std::string& baseName) {
  if (name.size() <= baseName.size() + 1 || name.compare(0, baseName.size(), baseName) != 0 ||
      name[baseName.size()] != '.')
    return CopyKind::None;
  const std::string rest = name.substr(baseName.size() + 1);
  if (rest == kWhole) return CopyKind::OldCopy;
  // <digits>-<digits>.<suffix>
  const size_t dash = rest.find('-'), dot = rest.find('.');
  if (dash == std::string::npos || dot == std::string::npos || dot < dash ||
      !allDigits(rest, 0, dash) || !allDigits(rest, dash + 1, dot))
    return CopyKind::None;
  const std::string suffix = rest.substr(dot + 1);
  if (suffix == kWorking) return CopyKind::Working;
  if (suffix == kWhole) return CopyKind::Whole;
  if (suffix == kBackup) return CopyKind::Backup;
  return CopyKind::None;
}

std::string versionToRestore(const std::string& fileName, const std::vector<FileBeside>& files) {
  const std::string base = fileNameOf(fileName);
  // The newest of a kind; of two written at the same moment, the later name.
  const auto newest = [&](CopyKind kind) {
    const FileBeside* best = nullptr;
    for (const FileBeside& f : files)
      if (copyKind(fileNameOf(f.path), base) == kind &&
          (!best || f.written > best->written ||
           (f.written == best->written && f.path > best->path)))
        best = &f;
    return best ? best->path : std::string();
  };
  // A whole copy is newer than any backup: a backup is the file it replaced.
  std::string path = newest(CopyKind::Whole);
  return path.empty() ? newest(CopyKind::Backup) : path;
}

bool hasCopies(const std::string& fileName, const std::vector<FileBeside>& files) {
  const std::string base = fileNameOf(fileName);
  return std::any_of(files.begin(), files.end(), [&](const FileBeside& f) {
    return copyKind(fileNameOf(f.path), base) != CopyKind::None;
  });
}

std::string recoverAndTidy(const std::string& fileName) {
  std::vector<FileBeside> files = filesBeside(fileName);
  if (!hasCopies(fileName, files)) return "";
  std::string recovered;
  if (fileState(fileName) == FileState::Missing) {
    const std::string from = versionToRestore(fileName, files);
    if (!from.empty() && moveFile(from, fileName)) {
      recovered = from;
      refreshIniFile(fileName);
      files = filesBeside(fileName);
    }
  }
  // Copies go only beside a whole file: while it is missing or cannot be
  // read, one of them may be the last whole version.
  if (fileState(fileName) != FileState::Readable) return recovered;
  const std::string base = fileNameOf(fileName);
  for (const FileBeside& f : files)
    if (copyKind(fileNameOf(f.path), base) != CopyKind::None) discardFile(f.path);
  return recovered;
}

namespace {

// A save's copy of the settings file, beside it under names of its own (this
// process, a number no copy there has): written under the working name,
// named whole once it is on disk and read back, and put in the file's
// place. It removes itself unless it took the file's place: a save that
// fails or throws half way leaves no copy of the passwords behind.
class TempCopy {
 public:
  explicit TempCopy(const std::string& file) : file_(file) {
    const std::string process = file + "." + std::to_string(currentProcessId()) + "-";
    // Bounded: names the file system refuses (a path too long) are never
    // Missing; the copy's creation then fails and says why.
    for (unsigned n = 1; n <= 1000; ++n) {
      stem_ = process;
      stem_ += std::to_string(n);
      stem_ += '.';
      if (fileState(working()) == FileState::Missing && fileState(whole()) == FileState::Missing &&
          fileState(backup()) == FileState::Missing)
        break;
    }
  }
  ~TempCopy() {
    if (kept_) return;
    discardFile(working());
    discardFile(whole());
  }
  TempCopy(const TempCopy&) = delete;
  TempCopy& operator=(const TempCopy&) = delete;

  std::string working() const { return stem_ + kWorking; }
  std::string whole() const { return stem_ + kWhole; }
  std::string backup() const { return stem_ + kBackup; }

  [[nodiscard]] bool create(const std::string& bytes, unsigned long& error) {
    refreshIniFile(working());
    if (createFileCopy(file_, working(), bytes)) return true;
    error = lastSystemError();
    return false;
  }
  // The copy is on disk and was read back: only now does it get the name
  // that a recovery trusts.
  [[nodiscard]] bool seal(unsigned long& error) {
    if (flushFile(working()) && moveFile(working(), whole())) return true;
    error = lastSystemError();
    return false;
  }
  // What became of the replace. A replace that could put neither file back
  // under the file's name keeps both: the old one under the backup name,
  // the new one under the whole copy's, for the next start to put back.
  [[nodiscard]] Replaced commit(const ReplaceStep& replace, unsigned long& error) {
    const Replaced replaced = replaceFile(whole(), file_, backup(), replace, error);
    refreshIniFile(file_);
    kept_ = replaced != Replaced::Old;
    return replaced;
  }

 private:
  std::string file_, stem_;
  bool kept_ = false;
};

// Whether the copy holds what the save made. A copy in the engine's own
// forms, which the engine reads as the store, is read back byte for byte:
// the differential test holds the system's reading of those forms to the
// engine's, and what a write cut short or altered would change, the bytes
// show. Any other copy has the system read every value, as the load does.
bool readsBack(const std::string& copy, const Edited& edited, bool plain) {
  if (plain) {
    std::string onDisk;
    return readFileBytes(copy, onDisk) == FileState::Readable && onDisk == edited.bytes;
  }
  // Wine's profile functions read a file written in the last two seconds
  // again at every call: thousands of reads of a large file.
  dateBack(copy);
  refreshIniFile(copy);
  const auto is = [&](const std::string& section, const std::string& key,
                      const std::string& expected) {
    return readIniValue(copy, section, key) == expected;
  };
  if (!is(kPathSection, "Path", edited.path) ||
      !is(kListSection, "COUNT", countText(edited.slots.size())))
    return false;
  for (size_t i = 0; i < edited.slots.size(); ++i)
    for (const Logon::Field f : Logon::kFields)
      if (!is(std::to_string(i), slotKey(f), edited.slots[i][f])) return false;
  return true;
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
SaveResult saveLocked(const SaveInput& input, SaveStats& stats, SaveNext& next) {
  const std::string& file = input.file;
  std::string bytes;
  const FileState state = readFileBytes(file, bytes);
  if (state == FileState::Unreadable)
    return failed(SaveResult::Step::Read, lastSystemError(), file);
  const std::optional<std::string> disk =
      state == FileState::Readable ? std::optional<std::string>(bytes) : std::nullopt;
  const std::optional<Edited> edited = editSettings(disk, input.loaded, input.path, input.slots);
  if (!edited) return failed(SaveResult::Step::Count, 0, file);
  std::optional<TempCopy> copy(std::in_place, file);
  unsigned long error = 0;
  if (!copy->create(edited->bytes, error))
    return failed(SaveResult::Step::Copy, error, copy->working());
  std::string written = edited->bytes;
  // The engine's own forms, which the differential test holds against the
  // system's reading, in the file before (the one the load cross-checked,
  // or another copy's) and in the new bytes, and the engine reads the new
  // bytes as the store: the copy is then read back byte for byte. Any
  // other file has every value read back through the system. One parse of
  // the new bytes tells both their forms and what the engine reads in them.
  const bool before =
      !disk || (digestOf(*disk) == input.loaded.digest ? input.loaded.plain : isPlainFile(*disk));
  const FileView made = viewOf(edited->path, edited->slots);
  const std::optional<FileView> madePlain = plainView(written);
  const bool plain = before && madePlain == made;
  const auto readBackStart = std::chrono::steady_clock::now();
  const bool readBack = readsBack(copy->working(), *edited, plain);
  stats.readBack += std::chrono::steady_clock::now() - readBackStart;
  if (!plain) ++stats.readBackWhole;
  if (!readBack) {
    // A file the engine reads otherwise than the system: the edits go
    // through the system's own writes, on a copy of the file as it was.
    ++stats.writtenKeyByKey;
    copy.emplace(file);
    if (!copy->create(bytes, error)) return failed(SaveResult::Step::Copy, error, copy->working());
    FileTarget target(copy->working());
    if (!writeChanges(target, edited->view, edited->path, edited->slots))
      return failed(SaveResult::Step::Write, lastSystemError(), copy->working());
    refreshIniFile(copy->working());
    if (readFileBytes(copy->working(), written) != FileState::Readable)
      return failed(SaveResult::Step::Write, lastSystemError(), copy->working());
  }
  if (!copy->seal(error)) return failed(SaveResult::Step::Copy, error, copy->working());
  // The store takes what the file holds only once it is there, and nothing
  // after the replace may fail: all of it is made before. A failed save
  // leaves the store, and the list that shows it, as they were.
  // The next save trusts the engine where the system confirmed this one
  // whole, or the engine read it as the store, in the engine's own forms.
  // (Read back, the copy holds the bytes made, whose forms the parse above told.)
  SaveNext saved{edited->path, edited->slots,
                 Loaded{false, edited->path, edited->slots, made, digestOf(written),
                        readBack && madePlain.has_value()}};
  const Replaced replaced = copy->commit(input.settings.replace, error);
  if (replaced != Replaced::New) return failed(SaveResult::Step::Replace, error, file);
  next = std::move(saved);
  return SaveResult{};
}

}  // namespace

SaveResult saveStore(const SaveInput& input, std::chrono::milliseconds lockWait, SaveStats& stats,
                     SaveNext& next) {
  const std::string& file = input.file;
  const bool changed = input.path != input.loaded.path || input.slots != input.loaded.slots;
  const bool copies = hasCopies(file, filesBeside(file));
  std::optional<SaveLock> lock;
  unsigned long lockError = 0;
  const auto takeLock = [&]() -> std::optional<SaveResult> {
    switch (SaveLock::acquire(file, lockWait, lock, &lockError)) {
      case SaveLock::Outcome::Locked:
        return std::nullopt;
      case SaveLock::Outcome::TimedOut:
        return failed(SaveResult::Step::LockBusy, 0, saveLockFile(file));
      case SaveLock::Outcome::Failed:
        break;
    }
    return failed(SaveResult::Step::Lock, lockError, saveLockFile(file));
  };
  // Nothing to save: the file is not opened for writing and, without
  // copies beside it, no lock is taken (a read-only folder stays quiet).
  if (!changed && (input.loaded.failed || fileState(file) == FileState::Readable)) {
    SaveResult result;
    result.status = SaveResult::Unchanged;
    if (copies && !takeLock()) result.recovered = recoverAndTidy(file);
    return result;
  }
  if (input.loaded.failed) {
    SaveResult result;
    result.status = SaveResult::NotLoaded;
    return result;
  }
  bool storable = ini::isStorableValue(input.path);
  for (const Logon& l : input.slots)
    for (const Logon::Field f : Logon::kFields) storable = storable && ini::isStorableValue(l[f]);
  if (!storable) return failed(SaveResult::Step::Value);
  if (std::optional<SaveResult> notLocked = takeLock()) return *notLocked;
  const std::string recovered = copies ? recoverAndTidy(file) : "";
  SaveResult result = saveLocked(input, stats, next);
  result.recovered = recovered;
  return result;
}
