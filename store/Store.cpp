// Store.cpp: see Store.h. Every file access goes through ReadIniString and
// WriteIniString, so the store runs on either settings engine.
#include "Store.h"

#include <algorithm>
#include <new>

#include "Common.h"
#include "IntText.h"

std::string IniFileName;
std::string SQLPlusPath;
std::vector<std::string> Users, Passes, Hosts;

namespace {

bool loadFailed = false;

// The store as the load left it; a save compares against it.
struct Snapshot {
  std::string path;
  std::vector<std::string> users, passes, hosts;
};
Snapshot loaded;

void takeSnapshot() {
  loaded = Snapshot{SQLPlusPath, Users, Passes, Hosts};
}

const char kPathSection[] = "SQL*Plus";
const char kListSection[] = "List";

void setSlotCount(size_t n) {
  Users.resize(n);
  Passes.resize(n);
  Hosts.resize(n);
}

// The slot numbers present in the file, up to Highest, in increasing order.
// Only sections named by a number in plain decimal are slots.
std::vector<int32_t> slotSections(int32_t Highest) {
  std::vector<int32_t> slots;
  for (const auto& name : readIniSectionNames(IniFileName)) {
    if (name.empty() || name.size() > 10 || (name.size() > 1 && name[0] == '0')) continue;
    if (!std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    const long long n = std::stoll(name);
    if (n <= Highest) slots.push_back(static_cast<int32_t>(n));
  }
  std::sort(slots.begin(), slots.end());
  slots.erase(std::unique(slots.begin(), slots.end()), slots.end());
  return slots;
}

LoadResult loadFile() {
  LoadResult result;
  refreshIniFile(IniFileName);
  // The profile functions read a locked file as an empty one; the store would
  // then overwrite the user's logons with nothing at exit.
  if (iniFileState(IniFileName) == IniFile::Unreadable) {
    result.status = LoadResult::Unreadable;
    result.detail = IniFileName;
    return result;
  }
  ReadIniString(IniFileName, kPathSection, "Path", SQLPlusPath);

  std::string countText;
  ReadIniString(IniFileName, kListSection, "COUNT", countText);
  if (countText.empty()) countText = "0";
  int32_t highest = 0;
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
    // nothing.
    setSlotCount(0);
    std::string placeholderPass, placeholderHost;
    for (const int32_t i : slotSections(highest)) {
      const std::string section = std::to_string(i);
      std::string user, pass, host;
      ReadIniString(IniFileName, section, "User", user);
      ReadIniString(IniFileName, section, "Pass", pass);
      ReadIniString(IniFileName, section, "Host", host);
      if (!user.empty()) {
        Users.push_back(std::move(user));
        Passes.push_back(std::move(pass));
        Hosts.push_back(std::move(host));
      } else if (i == 0) {
        placeholderPass = std::move(pass);
        placeholderHost = std::move(host);
      }
    }
    // A file without logons keeps its one empty slot, as it was written.
    if (Users.empty() && highest >= 0) {
      Users.emplace_back();
      Passes.push_back(std::move(placeholderPass));
      Hosts.push_back(std::move(placeholderHost));
    }
  } catch (const std::bad_alloc&) {
    setSlotCount(0);
    result.status = LoadResult::OutOfMemory;
    result.detail = countText;
  }
  return result;
}

}  // namespace

LoadResult LoadIniFile() {
  LoadResult result = loadFile();
  // A file that could not be loaded is never written: the user's logons are in it.
  loadFailed = !result.ok();
  takeSnapshot();
  return result;
}

bool storeChanged() {
  return SQLPlusPath != loaded.path || Users != loaded.users || Passes != loaded.passes ||
         Hosts != loaded.hosts;
}

bool isStorableValue(const std::string& Value) {
  return Value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

SaveResult SaveIniFile() {
  if (!storeChanged() && (loadFailed || iniFileState(IniFileName) == IniFile::Readable))
    return SaveResult::Unchanged;
  if (loadFailed) return SaveResult::NotLoaded;
  bool storable = isStorableValue(SQLPlusPath);
  for (int i = 0; storable && i < storeCount(); ++i)
    storable = isStorableValue(Users[i]) && isStorableValue(Passes[i]) && isStorableValue(Hosts[i]);
  if (!storable) return SaveResult::Failed;
  const std::string copy = IniFileName + ".new";
  bool ok = copyIniFile(IniFileName, copy);
  ok = ok && WriteIniString(copy, kPathSection, "Path", SQLPlusPath);
  ok = ok && WriteIniString(copy, kListSection, "COUNT", std::to_string(storeCount() - 1));
  for (int i = 0; ok && i < storeCount(); ++i) {
    const std::string section = std::to_string(i);
    ok = WriteIniString(copy, section, "User", Users[i]) &&
         WriteIniString(copy, section, "Pass", Passes[i]) &&
         WriteIniString(copy, section, "Host", Hosts[i]);
  }
  ok = ok && replaceIniFile(copy, IniFileName);
  if (!ok) {
    discardIniFile(copy);
    return SaveResult::Failed;
  }
  takeSnapshot();
  return SaveResult::Saved;
}

std::string displayTextOf(const std::string& User, const std::string& Pass,
                          const std::string& Host) {
  return User + " / " + Pass + " @ " + Host;
}

std::string displayText(int i) {
  return displayTextOf(Users[i], Passes[i], Hosts[i]);
}

std::vector<std::string> listTexts() {
  std::vector<std::string> texts;
  for (int i = 0; i < storeCount(); ++i)
    if (!Users[i].empty()) texts.push_back(displayText(i));
  return texts;
}

std::optional<int> storeInsert(const std::string& User, const std::string& Pass,
                               const std::string& Host) {
  if (User.empty()) return std::nullopt;
  for (int i = 0; i < storeCount(); ++i)  // the same triple, byte for byte: already stored
    if (Users[i] == User && Hosts[i] == Host && Passes[i] == Pass) return std::nullopt;
  if (!isStorableValue(User) || !isStorableValue(Pass) || !isStorableValue(Host))
    return std::nullopt;
  const int k = storeIsEmpty() ? 0 : storeCount();
  setSlotCount(static_cast<size_t>(k) + 1);
  Users[k] = User;
  Passes[k] = Pass;
  Hosts[k] = Host;
  return k;
}

void storeDelete(int Index) {
  if (Index < 0 || Index >= storeCount()) return;
  Users.erase(Users.begin() + Index);
  Passes.erase(Passes.begin() + Index);
  Hosts.erase(Hosts.begin() + Index);
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
  loadFailed = false;
  takeSnapshot();
}
