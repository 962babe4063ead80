// Save.cpp: SaveIniFile, the save as one transaction: under the lock beside
// the settings file it reads the file, makes the new file's bytes in memory
// (editSettings), writes them once to a copy beside the file, has the system
// read the copy back, and puts the copy in the file's place.
#include <new>

#include "Common.h"
#include "Files.h"
#include "SaveLock.h"
#include "SettingsFile.h"
#include "Store.h"
#include "StoreState.h"

std::chrono::milliseconds saveLockTimeout = kSaveLockTimeout;
unsigned savesWrittenKeyByKey = 0;
std::chrono::nanoseconds saveReadBackTime{0};

namespace {

// A save's copy of the settings file, beside it under a name of its own (this
// process, this save). It removes itself unless it took the file's place: a
// save that fails or throws half way leaves no copy of the passwords behind.
class TempCopy {
 public:
  explicit TempCopy(const std::string& file)
      : file_(file),
        stem_(file + "." + std::to_string(currentProcessId()) + "-" + std::to_string(++saves_) +
              ".") {}
  ~TempCopy() {
    if (!kept_) discardFile(path());
  }
  TempCopy(const TempCopy&) = delete;
  TempCopy& operator=(const TempCopy&) = delete;

  std::string path() const { return stem_ + kSaveCopySuffix; }
  [[nodiscard]] bool create(const std::string& bytes) {
    refreshIniFile(path());
    return createFileCopy(file_, path(), bytes);
  }
  // Whether the copy took the file's place. A replace that could put neither
  // file back under the file's name keeps both: the old one under the
  // backup name, the new one under the copy's.
  [[nodiscard]] bool commit() {
    const Replaced replaced = replaceFile(path(), file_, stem_ + kSaveBackupSuffix);
    refreshIniFile(file_);
    kept_ = replaced != Replaced::Old;
    return replaced == Replaced::New;
  }

 private:
  static inline unsigned saves_ = 0;
  std::string file_, stem_;
  bool kept_ = false;
};

// Copies left by a save that was killed or lost its power hold every
// password, deleted ones too. Only under the lock (another copy's save may
// be writing its own just now), and backups only beside a whole file.
void removeLeftovers() {
  for (const std::string& name : filesNamedLike(IniFileName, kSaveCopySuffix)) discardFile(name);
  if (fileState(IniFileName) == FileState::Readable)
    for (const std::string& name : filesNamedLike(IniFileName, kSaveBackupSuffix))
      discardFile(name);
}

// Whether the system reads from copy every value the save wrote, as the
// load reads them.
bool readsBack(const std::string& copy, const Edited& edited) {
  // Wine's profile functions read a file written in the last two seconds
  // again at every call: thousands of reads of a large file.
  dateBack(copy);
  refreshIniFile(copy);
  const auto is = [&](const std::string& section, const std::string& key,
                      const std::string& expected) {
    return readIniValue(copy, section, key) == expected;
  };
  if (!is(kPathSection, "Path", edited.path) ||
      !is(kListSection, "COUNT", std::to_string(static_cast<int>(edited.slots.size()) - 1)))
    return false;
  for (size_t i = 0; i < edited.slots.size(); ++i) {
    const Logon& l = edited.slots[i];
    const std::string section = std::to_string(i);
    if (!is(section, kSlotKeys[0], l.User) || !is(section, kSlotKeys[1], l.Pass) ||
        !is(section, kSlotKeys[2], l.Host))
      return false;
  }
  return true;
}

// The save of a changed store, under the lock. The copy starts from exactly
// the bytes the comparison (and a merge) read, not from a second read.
SaveResult saveLocked() {
  std::string bytes;
  const FileState state = readFileBytes(IniFileName, bytes);
  if (state == FileState::Unreadable) return SaveResult::Failed;
  const std::optional<std::string> disk =
      state == FileState::Readable ? std::optional<std::string>(bytes) : std::nullopt;
  const std::optional<Edited> edited = editSettings(disk, loaded, SQLPlusPath, storeLogons());
  if (!edited) return SaveResult::Failed;
  std::optional<TempCopy> copy(std::in_place, IniFileName);
  if (!copy->create(edited->bytes)) return SaveResult::Failed;
  std::string written = edited->bytes;
  const auto readBackStart = std::chrono::steady_clock::now();
  const bool readBack = readsBack(copy->path(), *edited);
  saveReadBackTime += std::chrono::steady_clock::now() - readBackStart;
  if (!readBack) {
    // A file the engine reads otherwise than the system: the edits go
    // through the system's own writes, on a copy of the file as it was.
    ++savesWrittenKeyByKey;
    copy.emplace(IniFileName);
    FileTarget target(copy->path());
    if (!copy->create(bytes) || !writeChanges(target, edited->view, edited->path, edited->slots))
      return SaveResult::Failed;
    refreshIniFile(copy->path());
    if (readFileBytes(copy->path(), written) != FileState::Readable) return SaveResult::Failed;
  }
  // The store takes what the file holds only once it is there, and nothing
  // after the replace may fail: all of it is made before. A failed save
  // leaves the store, and the list that shows it, as they were.
  Loaded next{false, edited->path, edited->slots, FileView{}, digestOf(written)};
  next.view.path = edited->path;
  next.view.count = std::to_string(static_cast<int>(edited->slots.size()) - 1);
  std::vector<std::string> users, passes, hosts;
  for (size_t i = 0; i < edited->slots.size(); ++i) {
    const Logon& l = edited->slots[i];
    next.view.slots[static_cast<int32_t>(i)] = {l.User, l.Pass, l.Host};
    users.push_back(l.User);
    passes.push_back(l.Pass);
    hosts.push_back(l.Host);
  }
  std::string path = edited->path;
  if (!copy->commit()) return SaveResult::Failed;
  SQLPlusPath.swap(path);
  Users.swap(users);
  Passes.swap(passes);
  Hosts.swap(hosts);
  loaded = std::move(next);
  return SaveResult::Saved;
}

}  // namespace

bool storeChanged() {
  return SQLPlusPath != loaded.path || storeLogons() != loaded.slots;
}

SaveResult SaveIniFile() {
  try {
    const bool leftovers = !filesNamedLike(IniFileName, kSaveCopySuffix).empty() ||
                           !filesNamedLike(IniFileName, kSaveBackupSuffix).empty();
    const bool changed = storeChanged();
    // Nothing to save: the file is not opened for writing and, without
    // leftovers, no lock is taken (a read-only folder stays quiet).
    if (!changed && (loaded.failed || fileState(IniFileName) == FileState::Readable)) {
      std::optional<SaveLock> lock;
      if (leftovers &&
          SaveLock::acquire(IniFileName, saveLockTimeout, lock) == SaveLock::Outcome::Locked)
        removeLeftovers();
      return SaveResult::Unchanged;
    }
    if (loaded.failed) return SaveResult::NotLoaded;
    bool storable = isStorableValue(SQLPlusPath);
    for (int i = 0; storable && i < storeCount(); ++i)
      storable =
          isStorableValue(Users[i]) && isStorableValue(Passes[i]) && isStorableValue(Hosts[i]);
    if (!storable) return SaveResult::Failed;
    std::optional<SaveLock> lock;
    if (SaveLock::acquire(IniFileName, saveLockTimeout, lock) != SaveLock::Outcome::Locked)
      return SaveResult::Failed;
    removeLeftovers();
    return saveLocked();
  } catch (const std::bad_alloc&) {
    return SaveResult::Failed;  // the copy has removed itself
  }
}
