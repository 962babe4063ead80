// SettingsFile.cpp: see SettingsFile.h.
#include "SettingsFile.h"

#include <algorithm>
#include <set>

#include "CodePage.h"
#include "IniEngine.h"
#include "IntText.h"
#include "Merge.h"

const char kPathSection[] = "SQL*Plus";
const char kListSection[] = "List";

const char* slotKey(Logon::Field field) {
  switch (field) {
    case Logon::Field::User:
      return "User";
    case Logon::Field::Pass:
      return "Pass";
    case Logon::Field::Host:
      return "Host";
  }
  return "";
}

std::string countText(size_t slots) {
  return std::to_string(static_cast<long long>(slots) - 1);
}

FileView viewOf(const std::string& path, const std::vector<Logon>& slots) {
  FileView view;
  view.path = path;
  view.count = countText(slots.size());
  view.highest = static_cast<int32_t>(slots.size()) - 1;
  for (size_t i = 0; i < slots.size(); ++i)
    for (const Logon::Field f : Logon::kFields)
      view.slots[static_cast<int32_t>(i)][static_cast<size_t>(f)] = slots[i][f];
  return view;
}

std::optional<int64_t> slotNumber(const std::string& name) {
  if (name.empty() || (name.size() > 1 && name[0] == '0')) return std::nullopt;
  if (!std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return name.size() > 10 ? INT64_MAX : std::stoll(name);
}

Logon logonOf(const SlotValues& keys) {
  Logon logon;
  for (const Logon::Field f : Logon::kFields) logon[f] = keys[static_cast<size_t>(f)].value_or("");
  return logon;
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
    for (const Logon::Field f : Logon::kFields)
      keys[static_cast<size_t>(f)] = read(std::to_string(i), slotKey(f));
  return ViewStatus::Ok;
}

std::optional<std::set<std::string>> oddSections(const std::string& bytes,
                                                 const ini::Profile& profile) {
  // Byte order marks: the system reads such a file as UTF-8 or UTF-16.
  for (const char* mark : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"})
    if (bytes.rfind(mark, 0) == 0) return std::nullopt;
  // A code the system reads as another code of the same character: the
  // engine would keep bytes that every read through the system changes.
  if (!codepage::isText(bytes) || !codepage::systemKeeps(bytes)) return std::nullopt;
  for (const char c : bytes)
    if (static_cast<unsigned char>(c) < 0x20 && c != '\r' && c != '\n') return std::nullopt;
  if (profile.serialize() != bytes) return std::nullopt;
  std::set<std::string> odd, seen;
  for (const ini::Section& section : profile.sections()) {
    const std::string name = codepage::lowerCase(section.name);
    // Lines before the first header are a section of their own, never read.
    if (&section == &profile.sections().front() && !section.keys.empty()) odd.insert(name);
    if (!seen.insert(name).second) odd.insert(name);
    std::set<std::string> keys;
    for (const ini::Key& key : section.keys) {
      const std::string& v = key.value.value_or("");
      if (!key.value || key.name.empty() || key.name[0] == ';' ||
          !keys.insert(codepage::lowerCase(key.name)).second ||
          (!v.empty() &&
           (v.front() == '"' || v.front() == '\'' || v.back() == '"' || v.back() == '\'')))
        odd.insert(name);
    }
  }
  return odd;
}

namespace {

bool isPlain(const std::string& bytes, const ini::Profile& profile) {
  const std::optional<std::set<std::string>> odd = oddSections(bytes, profile);
  return odd && odd->empty();
}

std::optional<FileView> viewIn(const ini::Profile& profile) {
  FileView view;
  std::string countText;
  const auto read = [&](const std::string& section, const std::string& key) {
    return valueRead(profile.get(section, key, kAbsentKey));
  };
  if (readView(read, profile.sectionNames(), view, countText) != ViewStatus::Ok)
    return std::nullopt;
  return view;
}

}  // namespace

bool isPlainFile(const std::string& bytes) {
  return isPlain(bytes, ini::Profile::parse(bytes));
}

std::optional<FileView> engineView(const std::string& bytes) {
  return viewIn(ini::Profile::parse(bytes));
}

std::optional<FileView> engineView(const ini::Profile& profile) {
  return viewIn(profile);
}

std::optional<FileView> plainView(const std::string& bytes) {
  return plainView(bytes, ini::Profile::parse(bytes));
}

std::optional<FileView> plainView(const std::string& bytes, const ini::Profile& profile) {
  if (isPlain(bytes, profile)) return viewIn(profile);
  // Codes the system reads as other codes of the same character (one 髙 in
  // a value): the system converts the whole file to UTF-16 and back before
  // it reads, so its reading is the engine's reading of the bytes so
  // converted. One conversion instead of a scan of the file per value.
  if (!codepage::isText(bytes)) return std::nullopt;
  const std::string seen = codepage::systemReading(bytes);
  if (seen == bytes) return std::nullopt;
  const ini::Profile converted = ini::Profile::parse(seen);
  return isPlain(seen, converted) ? viewIn(converted) : std::nullopt;
}

bool writeChanges(SettingsTarget& target, const FileView& view, const std::string& path,
                  const std::vector<Logon>& slots) {
  if (view.path != path && !target.write(kPathSection, "Path", path)) return false;
  const auto n = static_cast<int>(slots.size());
  const std::string count = countText(slots.size());
  if (view.count != count && !target.write(kListSection, "COUNT", count)) return false;
  const std::vector<std::string> sections = target.sectionNames();
  std::set<int64_t> present;
  for (const auto& name : sections)
    if (const auto k = slotNumber(name)) present.insert(*k);
  for (int i = 0; i < n; ++i) {
    const std::string section = std::to_string(i);
    // A slot the file has no section for is written in one go.
    if (!present.count(i)) {
      std::vector<std::pair<std::string, std::string>> keys;
      for (const Logon::Field f : Logon::kFields) keys.emplace_back(slotKey(f), slots[i][f]);
      if (!target.addSection(section, keys)) return false;
      continue;
    }
    const auto at = view.slots.find(i);
    for (const Logon::Field f : Logon::kFields) {
      const bool same = at != view.slots.end() && at->second[static_cast<size_t>(f)] == slots[i][f];
      if (!same && !target.write(section, slotKey(f), slots[i][f])) return false;
    }
  }
  // Every occurrence: a name may stand twice, and each removal takes the first.
  for (const auto& name : sections)
    if (const auto k = slotNumber(name); k && *k >= n && !target.removeSection(name)) return false;
  return true;
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

std::optional<Edited> editSettings(const std::optional<std::string>& bytes, const Snapshot& loaded,
                                   const std::string& path, const std::vector<Logon>& slots,
                                   const std::optional<FileView>& theirs) {
  Edited edited{"", path, slots, FileView{}};
  FileView& view = edited.view;  // a file gone since the load is written whole
  if (bytes) {
    if (digestOf(*bytes) == loaded.digest) {
      view = loaded.view;
    } else {
      // Another copy rewrote the file: its changes and this copy's, merged.
      const std::optional<FileView> other = theirs ? theirs : engineView(*bytes);
      if (!other) return std::nullopt;
      view = *other;
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
