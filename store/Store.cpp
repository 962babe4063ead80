// Store.cpp: see Store.h: the store's state, its load and its list. The
// save is in Save.cpp. Every read of the settings file goes through
// ReadIniString, so the store runs on either settings engine.
#include "Store.h"

#include <new>
#include <thread>

#include "Common.h"
#include "Files.h"
#include "SaveLock.h"
#include "StoreState.h"

std::string IniFileName;
std::string SQLPlusPath;
std::vector<std::string> Users, Passes, Hosts;
Loaded loaded;

std::vector<Logon> storeLogons() {
  std::vector<Logon> logons;
  logons.reserve(Users.size());
  for (int i = 0; i < storeCount(); ++i) logons.push_back(logonAt(i));
  return logons;
}

namespace {

void setSlotCount(size_t n) {
  Users.resize(n);
  Passes.resize(n);
  Hosts.resize(n);
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

}  // namespace

Value readIniValue(const std::string& file, const std::string& section, const std::string& key) {
  std::string value = kAbsentKey;
  ReadIniString(file, section, key, value);
  return valueRead(std::move(value));
}

namespace {

std::optional<size_t> fileDigest(const std::string& file) {
  std::string bytes;
  if (readFileBytes(file, bytes) != FileState::Readable) return std::nullopt;
  return digestOf(bytes);
}

LoadResult readSettings(const std::string& file, FileView& view) {
  LoadResult result;
  view = FileView{};
  refreshIniFile(file);
  // The profile functions read a locked file as an empty one; the store would
  // then overwrite the user's logons with nothing at exit.
  if (fileState(file) == FileState::Unreadable) {
    result.status = LoadResult::Unreadable;
    result.detail = file;
    return result;
  }
  std::string countText;
  const ViewStatus status =
      readView([&](const std::string& section,
                   const std::string& key) { return readIniValue(file, section, key); },
               readIniSectionNames(file), view, countText);
  if (status == ViewStatus::Ok) return result;
  result.status =
      status == ViewStatus::NotAnInteger ? LoadResult::NotAnInteger : LoadResult::RangeError;
  result.detail = countText;
  return result;
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
    const std::string stamp = fileStamp(IniFileName);
    digest = fileDigest(IniFileName);
    result = readSettings(IniFileName, view);
    const bool still = fileDigest(IniFileName) == digest && fileStamp(IniFileName) == stamp;
    // Wine's ReplaceFileW moves the old file aside before the new one takes
    // its place: while another copy saves (its lock file is there), a file
    // that is missing may be one between the two. Looked for again a while.
    const bool between = !digest && fileState(saveLockFile(IniFileName)) != FileState::Missing;
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
