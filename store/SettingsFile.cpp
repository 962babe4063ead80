// SettingsFile.cpp: see SettingsFile.h.
#include "SettingsFile.h"

#include <algorithm>
#include <set>

#include "Common.h"
#include "IniEngine.h"
#include "IntText.h"
#include "Merge.h"

const char kPathSection[] = "SQL*Plus";
const char kListSection[] = "List";
const char* const kSlotKeys[3] = {"User", "Pass", "Host"};

std::optional<int64_t> slotNumber(const std::string& name) {
  if (name.empty() || (name.size() > 1 && name[0] == '0')) return std::nullopt;
  if (!std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return name.size() > 10 ? INT64_MAX : std::stoll(name);
}

Logon logonOf(const std::array<Value, 3>& keys) {
  return Logon{keys[0].value_or(""), keys[1].value_or(""), keys[2].value_or("")};
}

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

Logon placeholderOf(const FileView& view) {
  const auto at = view.slots.find(0);
  return at == view.slots.end() ? Logon{} : logonOf(at->second);
}

size_t digestOf(const std::string& bytes) {
  return std::hash<std::string>{}(bytes);
}

ViewStatus readView(const ReadValue& read, const std::vector<std::string>& sectionNames,
                    FileView& view, std::string& countText) {
  view = FileView{};
  view.path = read(kPathSection, "Path");
  view.count = read(kListSection, "COUNT");
  countText = view.count.value_or("");
  if (countText.empty()) countText = "0";
  if (!parseInt32(countText, view.highest)) return ViewStatus::NotAnInteger;
  if (view.highest < -1 || view.highest == INT32_MAX) return ViewStatus::RangeError;
  for (const auto& name : sectionNames)
    if (const auto n = slotNumber(name); n && *n <= view.highest)
      view.slots[static_cast<int32_t>(*n)];
  for (auto& [i, keys] : view.slots)
    for (size_t k = 0; k < 3; ++k) keys[k] = read(std::to_string(i), kSlotKeys[k]);
  return ViewStatus::Ok;
}

bool writeChanges(SettingsTarget& target, const FileView& view, const std::string& path,
                  const std::vector<Logon>& slots) {
  if (view.path != path && !target.write(kPathSection, "Path", path)) return false;
  const auto n = static_cast<int>(slots.size());
  const std::string count = std::to_string(n - 1);
  if (view.count != count && !target.write(kListSection, "COUNT", count)) return false;
  const std::vector<std::string> sections = target.sectionNames();
  std::set<int64_t> present;
  for (const auto& name : sections)
    if (const auto k = slotNumber(name)) present.insert(*k);
  for (int i = 0; i < n; ++i) {
    const std::string* values[] = {&slots[i].User, &slots[i].Pass, &slots[i].Host};
    // A slot the file has no section for is written in one go.
    if (!present.count(i)) {
      if (!target.addSection(
              std::to_string(i),
              {{kSlotKeys[0], *values[0]}, {kSlotKeys[1], *values[1]}, {kSlotKeys[2], *values[2]}}))
        return false;
      continue;
    }
    const auto at = view.slots.find(i);
    for (size_t k = 0; k < 3; ++k) {
      const bool same = at != view.slots.end() && at->second[k] == *values[k];
      if (!same && !target.write(std::to_string(i), kSlotKeys[k], *values[k])) return false;
    }
  }
  // Every occurrence: a name may stand twice, and each removal takes the first.
  for (const auto& name : sections)
    if (const auto k = slotNumber(name); k && *k >= n && !target.removeSection(name)) return false;
  return true;
}

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

namespace {

// The file's bytes, edited in memory by the INI engine as the profile
// functions would edit the file: the bytes change only when a value does.
class ProfileTarget : public SettingsTarget {
 public:
  explicit ProfileTarget(const std::string& bytes) : profile_(ini::Profile::parse(bytes)) {}
  bool write(const std::string& section, const std::string& key,
             const std::string& value) override {
    changed_ |= profile_.set(section, key, ini::protectValue(value));
    return true;
  }
  std::vector<std::string> sectionNames() override { return profile_.sectionNames(); }
  bool addSection(const std::string& section,
                  const std::vector<std::pair<std::string, std::string>>& keys) override {
    profile_.addSection(section, ini::protectedKeys(keys));
    changed_ = true;
    return true;
  }
  bool removeSection(const std::string& section) override {
    changed_ |= profile_.removeSection(section);
    return true;
  }
  std::string bytes(const std::string& original) const {
    return changed_ ? profile_.serialize() : original;
  }

 private:
  ini::Profile profile_;
  bool changed_ = false;
};

}  // namespace

std::optional<Edited> editSettings(const std::optional<std::string>& bytes, const Loaded& loaded,
                                   const std::string& path, const std::vector<Logon>& slots) {
  Edited edited{"", path, slots, FileView{}};
  FileView& view = edited.view;  // a file gone since the load is written whole
  if (bytes) {
    if (digestOf(*bytes) == loaded.digest) {
      view = loaded.view;
    } else {
      // Another copy rewrote the file: its changes and this copy's, merged.
      const ini::Profile profile = ini::Profile::parse(*bytes);
      std::string countText;
      const auto read = [&](const std::string& section, const std::string& key) {
        return valueRead(profile.get(section, key, kAbsentKey));
      };
      if (readView(read, profile.sectionNames(), view, countText) != ViewStatus::Ok)
        return std::nullopt;
      const std::vector<Logon> listed = listedOf(slots);
      const StoreState merged = mergeStores({loaded.path, listedOf(loaded.slots)}, {path, listed},
                                            {view.path.value_or(""), listedLogons(view)});
      edited.path = merged.path;
      // Nothing left to list: this copy's placeholder (or no slot) as it stands.
      if (!merged.logons.empty() || !listed.empty()) edited.slots = merged.logons;
    }
  }
  ProfileTarget target(bytes.value_or(""));
  if (!writeChanges(target, view, edited.path, edited.slots)) return std::nullopt;
  edited.bytes = target.bytes(bytes.value_or(""));
  return edited;
}
