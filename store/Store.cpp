// Store.cpp: see Store.h. Every file access goes through ReadIniString and
// WriteIniString, so the store runs on either settings engine.
#include "Store.h"

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <new>
#include <set>
#include <thread>

#include "Common.h"
#include "IntText.h"
#include "Merge.h"
#include "SaveLock.h"

std::string IniFileName;
std::string SQLPlusPath;
std::vector<std::string> Users, Passes, Hosts;
std::chrono::milliseconds saveLockTimeout = kSaveLockTimeout;

namespace {

const char kPathSection[] = "SQL*Plus";
const char kListSection[] = "List";
const char* const kSlotKeys[] = {"User", "Pass", "Host"};

// A key's value, or nothing when the key is absent.
using Value = std::optional<std::string>;

// The settings file as the profile functions read it, and as far as the store
// reads it: a save writes only what differs from this.
struct FileView {
  Value path, count;
  int32_t highest = 0;                            // the slot number "COUNT" gives
  std::map<int32_t, std::array<Value, 3>> slots;  // by section number: User, Pass, Host
};

Logon logonOf(const std::array<Value, 3>& keys) {
  return Logon{keys[0].value_or(""), keys[1].value_or(""), keys[2].value_or("")};
}

// The slots with a user, in slot order: what the list shows and what two
// copies compare.
std::vector<Logon> listedOf(const std::vector<Logon>& slots) {
  std::vector<Logon> listed;
  for (const Logon& l : slots)
    if (!l.User.empty()) listed.push_back(l);
  return listed;
}

std::vector<Logon> listedLogons(const FileView& view) {
  std::vector<Logon> slots;
  for (const auto& [i, keys] : view.slots) slots.push_back(logonOf(keys));
  return listedOf(slots);
}

// Slot 0 of a file without logons: kept as it was written.
Logon placeholderOf(const FileView& view) {
  const auto at = view.slots.find(0);
  return at == view.slots.end() ? Logon{} : logonOf(at->second);
}

// What the store compares with to know what changed and whether another copy
// rewrote the file: the store as the load (or the last save) left it, and the
// file then.
struct Loaded {
  bool failed = false;  // the file could not be loaded: never written
  std::string path;
  std::vector<Logon> slots;
  FileView view;
  std::optional<size_t> digest;  // of the bytes view came from; none: there was no file
};
Loaded loaded;

void setSlotCount(size_t n) {
  Users.resize(n);
  Passes.resize(n);
  Hosts.resize(n);
}

std::vector<Logon> storeLogons() {
  std::vector<Logon> logons;
  logons.reserve(Users.size());
  for (int i = 0; i < storeCount(); ++i) logons.push_back(logonAt(i));
  return logons;
}

void setStore(const std::vector<Logon>& logons) {
  setSlotCount(0);
  for (auto* v : {&Users, &Passes, &Hosts}) v->reserve(logons.size());
  for (const Logon& l : logons) {
    Users.push_back(l.User);
    Passes.push_back(l.Pass);
    Hosts.push_back(l.Host);
  }
}

// The slot number a section name stands for: a number in plain decimal
// (no sign, blank or leading zero). Names too long for 32 bits count as
// beyond every slot.
std::optional<int64_t> slotNumber(const std::string& name) {
  if (name.empty() || (name.size() > 1 && name[0] == '0')) return std::nullopt;
  if (!std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return name.size() > 10 ? INT64_MAX : std::stoll(name);
}

// No value read from the file holds a line break: it marks a key that is absent.
Value readValue(const std::string& file, const std::string& section, const std::string& key) {
  std::string value = "\n";
  ReadIniString(file, section, key, value);
  if (value == "\n") return std::nullopt;
  return value;
}

std::optional<size_t> fileDigest(const std::string& file) {
  std::string bytes;
  if (readIniFileBytes(file, bytes) != IniFile::Readable) return std::nullopt;
  return std::hash<std::string>{}(bytes);
}

LoadResult readSettings(const std::string& file, FileView& view) {
  LoadResult result;
  view = FileView{};
  refreshIniFile(file);
  // The profile functions read a locked file as an empty one; the store would
  // then overwrite the user's logons with nothing at exit.
  if (iniFileState(file) == IniFile::Unreadable) {
    result.status = LoadResult::Unreadable;
    result.detail = file;
    return result;
  }
  view.path = readValue(file, kPathSection, "Path");
  view.count = readValue(file, kListSection, "COUNT");
  std::string countText = view.count.value_or("");
  if (countText.empty()) countText = "0";
  int32_t& highest = view.highest;
  if (!parseInt32(countText, highest)) {
    result.status = LoadResult::NotAnInteger;
  } else if (highest < -1 || highest == INT32_MAX) {
    result.status = LoadResult::RangeError;  // no slot count fits
  }
  if (!result.ok()) {
    result.detail = countText;
    return result;
  }
  // Slots whose section is absent would read as empty and be dropped, so
  // only the sections present are read: a "COUNT" far above them costs
  // nothing. Only sections named by a number in plain decimal are slots.
  for (const auto& name : readIniSectionNames(file))
    if (const auto n = slotNumber(name); n && *n <= highest) view.slots[static_cast<int32_t>(*n)];
  for (auto& [i, keys] : view.slots)
    for (size_t k = 0; k < 3; ++k) keys[k] = readValue(file, std::to_string(i), kSlotKeys[k]);
  return result;
}

// Another copy rewrote the file (theirs) since this one read it: the slots
// and the path the save writes.
std::vector<Logon> mergedSlots(const FileView& disk, std::string& path) {
  const std::vector<Logon> mine = storeLogons(), listed = listedOf(mine);
  const StoreState merged =
      mergeStores({loaded.path, listedOf(loaded.slots)}, {SQLPlusPath, listed},
                  {disk.path.value_or(""), listedLogons(disk)});
  path = merged.path;
  // Nothing left to list: this copy's placeholder (or no slot) as it stands.
  if (merged.logons.empty() && listed.empty()) return mine;
  return merged.logons;
}

// A save's copy of the settings file, beside it under a name of its own (this
// process, this save). It removes itself unless it took the file's place: a
// save that fails or throws half way leaves no copy of the passwords behind.
class TempCopy {
 public:
  explicit TempCopy(const std::string& file)
      : file_(file),
        path_(file + "." + std::to_string(currentProcessId()) + "-" + std::to_string(++saves_) +
              "." + kSaveCopySuffix) {}
  ~TempCopy() {
    if (!committed_) discardIniFile(path_);
  }
  TempCopy(const TempCopy&) = delete;
  TempCopy& operator=(const TempCopy&) = delete;

  const std::string& path() const { return path_; }
  [[nodiscard]] bool create(const std::string& bytes) { return createIniCopy(file_, path_, bytes); }
  [[nodiscard]] bool commit() { return committed_ = replaceIniFile(path_, file_); }

 private:
  static inline unsigned saves_ = 0;
  std::string file_, path_;
  bool committed_ = false;
};

// Copies left by a save that was killed or lost its power hold every
// password, deleted ones too. Only under the lock: another copy's save may
// be writing its own just now.
void removeLeftovers() {
  for (const std::string& name : filesNamedLike(IniFileName, kSaveCopySuffix)) discardIniFile(name);
}

// Writes the store to file (a copy of the settings file) where it differs
// from view, and removes every slot section beyond the last slot.
bool writeChanges(const std::string& file, const FileView& view, const std::string& path,
                  const std::vector<Logon>& slots) {
  if (view.path != path && !WriteIniString(file, kPathSection, "Path", path)) return false;
  const auto n = static_cast<int>(slots.size());
  const std::string count = std::to_string(n - 1);
  if (view.count != count && !WriteIniString(file, kListSection, "COUNT", count)) return false;
  const std::vector<std::string> sections = readIniSectionNames(file);
  std::set<int64_t> present;
  for (const auto& name : sections)
    if (const auto n = slotNumber(name)) present.insert(*n);
  for (int i = 0; i < n; ++i) {
    const std::string* values[] = {&slots[i].User, &slots[i].Pass, &slots[i].Host};
    // A slot the file has no section for is written in one go: each write
    // rewrites the whole file.
    if (!present.count(i)) {
      if (!addIniSection(
              file, std::to_string(i),
              {{kSlotKeys[0], *values[0]}, {kSlotKeys[1], *values[1]}, {kSlotKeys[2], *values[2]}}))
        return false;
      continue;
    }
    const auto at = view.slots.find(i);
    for (size_t k = 0; k < 3; ++k) {
      const bool same = at != view.slots.end() && at->second[k] == *values[k];
      if (!same && !WriteIniString(file, std::to_string(i), kSlotKeys[k], *values[k])) return false;
    }
  }
  // Every occurrence: a name may stand twice, and each removal takes the first.
  for (const auto& name : sections) {
    if (const auto k = slotNumber(name); k && *k >= n && !removeIniSection(file, name))
      return false;
  }
  return true;
}

// The values and the digest must come from the same bytes: a file rewritten
// between the two would pair one logon's password with another's user. Read
// again until the file held still; one that never does is being rewritten
// all the time, and is not loaded.
LoadResult loadSettings(FileView& view) {
  constexpr int kTries = 20;
  std::optional<size_t> digest;
  LoadResult result;
  for (int tries = 1;; ++tries) {
    // The stamp too: a file rewritten and then written back with its old
    // bytes during the reads has the old digest again, but not the old stamp.
    const std::string stamp = iniFileStamp(IniFileName);
    digest = fileDigest(IniFileName);
    result = readSettings(IniFileName, view);
    const bool still = fileDigest(IniFileName) == digest && iniFileStamp(IniFileName) == stamp;
    // Wine's ReplaceFileW moves the old file aside before the new one takes
    // its place: while another copy saves (its lock file is there), a file
    // that is missing may be one between the two. Looked for again a while.
    const bool between = !digest && iniFileState(saveLockFile(IniFileName)) != IniFile::Missing;
    if (still && !between) break;
    if (tries == kTries) {
      if (still) break;  // missing all along: no file yet
      view = FileView{};
      result.status = LoadResult::Unreadable;
      result.detail = IniFileName;
      break;
    }
    if (between) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  setSlotCount(0);
  SQLPlusPath = view.path.value_or("");  // shown even when the logons cannot be loaded
  if (result.ok()) {
    std::vector<Logon> logons = listedLogons(view);
    // A file without logons keeps its one empty slot, as it was written.
    if (logons.empty() && view.highest >= 0) logons.push_back(placeholderOf(view));
    setStore(logons);
  }
  // A file that could not be loaded is never written: the user's logons are in it.
  loaded = Loaded{!result.ok(), SQLPlusPath, storeLogons(), std::move(view), digest};
  return result;
}

// The save of a changed store, under the lock. The copy starts from exactly
// the bytes the comparison (and a merge) read, not from a second read.
SaveResult saveLocked() {
  std::string bytes;
  const IniFile state = readIniFileBytes(IniFileName, bytes);
  if (state == IniFile::Unreadable) return SaveResult::Failed;
  TempCopy copy(IniFileName);
  if (!copy.create(bytes)) return SaveResult::Failed;
  FileView view;  // a file gone since the load is written whole
  std::string path = SQLPlusPath;
  std::vector<Logon> slots = storeLogons();
  if (state == IniFile::Readable) {
    if (std::hash<std::string>{}(bytes) == loaded.digest) {
      view = loaded.view;
    } else {
      if (!readSettings(copy.path(), view).ok()) return SaveResult::Failed;
      slots = mergedSlots(view, path);
    }
  }
  if (!writeChanges(copy.path(), view, path, slots)) return SaveResult::Failed;
  // The store takes what the file holds only once it is there, and nothing
  // after the replace may fail: all of it is made before. A failed save
  // leaves the store, and the list that shows it, as they were.
  Loaded next{false, path, slots, FileView{}, fileDigest(copy.path())};
  next.view.path = path;
  next.view.count = std::to_string(static_cast<int>(slots.size()) - 1);
  std::vector<std::string> users, passes, hosts;
  for (size_t i = 0; i < slots.size(); ++i) {
    next.view.slots[static_cast<int32_t>(i)] = {slots[i].User, slots[i].Pass, slots[i].Host};
    users.push_back(slots[i].User);
    passes.push_back(slots[i].Pass);
    hosts.push_back(slots[i].Host);
  }
  if (!copy.commit()) return SaveResult::Failed;
  SQLPlusPath.swap(path);
  Users.swap(users);
  Passes.swap(passes);
  Hosts.swap(hosts);
  loaded = std::move(next);
  return SaveResult::Saved;
}

}  // namespace

LoadResult LoadIniFile() {
  FileView view;
  try {
    return loadSettings(view);
  } catch (const std::bad_alloc&) {
    // However far the load came: an empty store that is never saved over the file.
    setSlotCount(0);
    SQLPlusPath.clear();
    loaded = Loaded{};
    loaded.failed = true;
    LoadResult result;
    result.status = LoadResult::OutOfMemory;
    return result;
  }
}

bool storeChanged() {
  return SQLPlusPath != loaded.path || storeLogons() != loaded.slots;
}

SaveResult SaveIniFile() {
  try {
    const bool leftovers = !filesNamedLike(IniFileName, kSaveCopySuffix).empty();
    const bool changed = storeChanged();
    // Nothing to save: the file is not opened for writing and, without
    // leftovers, no lock is taken (a read-only folder stays quiet).
    if (!changed && (loaded.failed || iniFileState(IniFileName) == IniFile::Readable)) {
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

std::string displayTextOf(const Logon& logon) {
  return logon.User + " / " + logon.Pass + " @ " + logon.Host;
}

Logon logonAt(int i) {
  return Logon{Users[i], Passes[i], Hosts[i]};
}

std::string displayText(int i) {
  return displayTextOf(logonAt(i));
}

std::vector<std::string> listTexts() {
  std::vector<std::string> texts;
  for (int i = 0; i < storeCount(); ++i)
    if (!Users[i].empty()) texts.push_back(displayText(i));
  return texts;
}

std::optional<int> storeInsert(const Logon& logon) {
  if (logon.User.empty()) return std::nullopt;
  for (int i = 0; i < storeCount(); ++i)  // the same triple, byte for byte: already stored
    if (logonAt(i) == logon) return std::nullopt;
  if (!isStorableValue(logon.User) || !isStorableValue(logon.Pass) || !isStorableValue(logon.Host))
    return std::nullopt;
  const int k = storeIsEmpty() ? 0 : storeCount();
  setSlotCount(static_cast<size_t>(k) + 1);
  Users[k] = logon.User;
  Passes[k] = logon.Pass;
  Hosts[k] = logon.Host;
  return k;
}

void storeDelete(int index) {
  if (index < 0 || index >= storeCount()) return;
  Users.erase(Users.begin() + index);
  Passes.erase(Passes.begin() + index);
  Hosts.erase(Hosts.begin() + index);
}

bool storeIsEmpty() {
  return Users.empty() || (Users.size() == 1 && Users[0].empty());
}

int storeCount() {
  return static_cast<int>(Users.size());
}

void resetStore() {
  SQLPlusPath.clear();
  setSlotCount(0);
  loaded = Loaded{};
}
