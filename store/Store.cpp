// Store.cpp: see Store.h. Every file access goes through ReadIniString and
// WriteIniString, so the store runs on either settings engine.
#include "Store.h"

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <new>
#include <set>

#include "Common.h"
#include "IntText.h"

std::string IniFileName;
std::string SQLPlusPath;
std::vector<std::string> Users, Passes, Hosts;

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

// The slots with a user, in slot order: what the list shows.
std::vector<Logon> listedLogons(const FileView& view) {
  std::vector<Logon> logons;
  for (const auto& [i, keys] : view.slots)
    if (Logon l = logonOf(keys); !l.User.empty()) logons.push_back(std::move(l));
  return logons;
}

// Slot 0 of a file without logons: kept as it was written.
Logon placeholderOf(const FileView& view) {
  const auto at = view.slots.find(0);
  return at == view.slots.end() ? Logon{} : logonOf(at->second);
}

struct Loaded {
  bool failed = false;  // the file could not be loaded: never written
  std::string path;     // the store as the load (or the last save) left it
  std::vector<Logon> logons;
  FileView view;                 // the file then
  std::optional<size_t> digest;  // of its bytes; none: there was no file
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

std::optional<size_t> fileDigest(const std::string& file, IniFile& state) {
  std::string bytes;
  state = readIniFileBytes(file, bytes);
  if (state != IniFile::Readable) return std::nullopt;
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
  try {
    // Slots whose section is absent would read as empty and be dropped, so
    // only the sections present are read: a "COUNT" far above them costs
    // nothing. Only sections named by a number in plain decimal are slots.
    for (const auto& name : readIniSectionNames(file))
      if (const auto n = slotNumber(name); n && *n <= highest) view.slots[static_cast<int32_t>(*n)];
    for (auto& [i, keys] : view.slots)
      for (size_t k = 0; k < 3; ++k) keys[k] = readValue(file, std::to_string(i), kSlotKeys[k]);
  } catch (const std::bad_alloc&) {
    view = FileView{};
    result.status = LoadResult::OutOfMemory;
    result.detail = countText;
  }
  return result;
}

void remember(bool failed, FileView view) {
  IniFile state;
  loaded =
      Loaded{failed, SQLPlusPath, storeLogons(), std::move(view), fileDigest(IniFileName, state)};
}

bool contains(const std::vector<Logon>& logons, const Logon& logon) {
  return std::find(logons.begin(), logons.end(), logon) != logons.end();
}

// Another copy rewrote the file since this one read it: this copy's list,
// then what the file holds that this copy never saw; what this copy deleted
// stays deleted. The path is this copy's when it changed it.
void mergeWith(const FileView& disk) {
  std::vector<Logon> merged = storeLogons();
  if (merged.size() == 1 && merged[0].User.empty()) merged.clear();  // the placeholder
  for (const Logon& l : listedLogons(disk))
    if (!contains(loaded.logons, l) && !contains(merged, l)) merged.push_back(l);
  if (merged.empty()) merged.push_back(placeholderOf(disk));
  if (SQLPlusPath == loaded.path) SQLPlusPath = disk.path.value_or("");
  setStore(merged);
}

// Writes the store to file (a copy of the settings file) where it differs
// from view, and removes every slot section beyond the last slot.
bool writeChanges(const std::string& file, const FileView& view) {
  if (view.path != SQLPlusPath && !WriteIniString(file, kPathSection, "Path", SQLPlusPath))
    return false;
  const std::string count = std::to_string(storeCount() - 1);
  if (view.count != count && !WriteIniString(file, kListSection, "COUNT", count)) return false;
  const std::vector<std::string> sections = readIniSectionNames(file);
  std::set<int64_t> present;
  for (const auto& name : sections)
    if (const auto n = slotNumber(name)) present.insert(*n);
  for (int i = 0; i < storeCount(); ++i) {
    const std::string* values[] = {&Users[i], &Passes[i], &Hosts[i]};
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
    const auto n = slotNumber(name);
    if (n && *n >= storeCount() && !removeIniSection(file, name)) return false;
  }
  return true;
}

}  // namespace

LoadResult LoadIniFile() {
  FileView view;
  LoadResult result = readSettings(IniFileName, view);
  setSlotCount(0);
  SQLPlusPath = view.path.value_or("");  // shown even when the logons cannot be loaded
  if (result.ok()) {
    std::vector<Logon> logons = listedLogons(view);
    // A file without logons keeps its one empty slot, as it was written.
    if (logons.empty() && view.highest >= 0) logons.push_back(placeholderOf(view));
    setStore(logons);
  }
  // A file that could not be loaded is never written: the user's logons are in it.
  remember(!result.ok(), std::move(view));
  return result;
}

bool storeChanged() {
  return SQLPlusPath != loaded.path || storeLogons() != loaded.logons;
}

SaveResult SaveIniFile() {
  if (!storeChanged() && (loaded.failed || iniFileState(IniFileName) == IniFile::Readable))
    return SaveResult::Unchanged;
  if (loaded.failed) return SaveResult::NotLoaded;
  bool storable = isStorableValue(SQLPlusPath);
  for (int i = 0; storable && i < storeCount(); ++i)
    storable = isStorableValue(Users[i]) && isStorableValue(Passes[i]) && isStorableValue(Hosts[i]);
  if (!storable) return SaveResult::Failed;

  FileView view = loaded.view;
  IniFile state;
  const auto digest = fileDigest(IniFileName, state);
  if (state == IniFile::Unreadable) return SaveResult::Failed;
  if (state == IniFile::Missing) {
    view = FileView{};  // written whole
  } else if (digest != loaded.digest) {
    if (!readSettings(IniFileName, view).ok()) return SaveResult::Failed;
    mergeWith(view);
  }
  const std::string copy = IniFileName + ".new";
  const bool ok = copyIniFile(IniFileName, copy) && writeChanges(copy, view) &&
                  replaceIniFile(copy, IniFileName);
  if (!ok) {
    discardIniFile(copy);
    return SaveResult::Failed;
  }
  // What the file holds now is what the next save compares against.
  FileView saved;
  saved.path = SQLPlusPath;
  saved.count = std::to_string(storeCount() - 1);
  for (int i = 0; i < storeCount(); ++i) saved.slots[i] = {Users[i], Passes[i], Hosts[i]};
  remember(false, std::move(saved));
  return SaveResult::Saved;
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
