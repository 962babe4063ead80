// SettingsFile.h: the settings file's content as the store sees it, and the
// edits a save makes to it: as a pure function on the file's bytes (through
// the portable INI engine, written once), or key by key on a target the
// caller gives.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Logon.h"

namespace ini {
class Profile;
}

// A key's value, or nothing when the key is absent.
using Value = std::optional<std::string>;
// A read's default that no value read from the file can be (none holds a
// line break): given back, it tells an absent key.
constexpr char kAbsentKey[] = "\n";
inline Value valueRead(std::string text) {
  return text == kAbsentKey ? Value{} : Value{std::move(text)};
}

// The settings file as the profile functions read it, and as far as the store
// reads it: a save writes only what differs from this.
// A slot's keys, by Logon::Field.
using SlotValues = std::array<Value, Logon::kFieldCount>;
struct FileView {
  Value path, count;
  int32_t highest = 0;                  // the slot number "COUNT" gives
  std::map<int32_t, SlotValues> slots;  // by section number

  bool operator==(const FileView& o) const {
    return path == o.path && count == o.count && highest == o.highest && slots == o.slots;
  }
};

// What the file holds, as far as the program knows it: the store as the
// load (or the last save) left it, the file's view then and a digest of
// the bytes it came from. A save compares with it to know what changed and
// whether another copy rewrote the file.
struct Snapshot {
  // A file that could not be loaded gives a store that holds nothing of
  // it: it is never written.
  bool read = false;
  std::string path;
  std::vector<Logon> slots;
  FileView view;
  std::optional<size_t> digest;  // of the bytes view came from; none: there was no file

  bool loaded() const { return read; }
};

extern const char kPathSection[], kListSection[];
// The key of a logon's field in its slot's section: "User", "Pass", "Host".
const char* slotKey(Logon::Field field);
// What "COUNT" says for so many slots: the highest slot number, -1 for none.
std::string countText(size_t slots);
// The view of a file that holds exactly path and slots, as a save writes it.
FileView viewOf(const std::string& path, const std::vector<Logon>& slots);

// The slot number a section name stands for: a number in plain decimal (no
// sign, blank or leading zero). Names too long for 32 bits count as beyond
// every slot.
std::optional<int64_t> slotNumber(const std::string& name);
Logon logonOf(const SlotValues& keys);
// The slots with a user, in slot order: what the list shows and what two
// copies compare.
std::vector<Logon> listedOf(const std::vector<Logon>& slots);
std::vector<Logon> listedLogons(const FileView& view);
// Slot 0 of a file without logons: kept as it was written.
Logon placeholderOf(const FileView& view);
size_t digestOf(const std::string& bytes);

// Whether bytes hold only forms the engine writes itself, each of which the
// differential test holds against the system's reading on random files: the
// engine's own layout (CR LF, no blanks around '=' or at the ends of a line,
// no blank line), no byte order mark, text of the code page without control
// characters or a code the system reads as another (codepage::systemKeeps),
// and no section in another form (oddSections).
bool isPlainFile(const std::string& bytes);

// The sections of bytes that hold a form the engine does not write itself,
// by name in lower case: a line without '=' or with no name, a comment, a
// key twice, a value in quotes, a name that stands twice, and any line
// before the first section (under the name ""). The differential test holds
// the keys of every other section, as the system reads them, to the
// engine's reading (for the store's own names: the engine folds the letter
// case of ASCII letters alone, the system also that of full-width ones).
// Nothing where a form of the whole file (a byte order mark of UTF-8 or
// UTF-16, bytes not text of the code page or that the system reads as other
// bytes, control characters, another layout than the engine's) may change
// the system's reading of every section.
std::optional<std::set<std::string>> oddSections(const std::string& bytes,
                                                 const ini::Profile& profile);

enum class ViewStatus { Ok, NotAnInteger, RangeError };
// Reads the view through read (a key's value or nothing) and the file's
// section names: only sections present are read, so a "COUNT" far above
// them costs nothing. countText: the "COUNT" text converted.
using ReadValue = std::function<Value(const std::string& section, const std::string& key)>;
ViewStatus readView(const ReadValue& read, const std::vector<std::string>& sectionNames,
                    FileView& view, std::string& countText);
// The view as the INI engine reads bytes (or their parse); nothing when
// "COUNT" cannot be read.
std::optional<FileView> engineView(const std::string& bytes);
std::optional<FileView> engineView(const ini::Profile& profile);
// The same, for bytes the engine calls its own (isPlainFile) alone, or that
// are its own once converted as the system converts a file before it reads
// it (codes the system reads as other codes: codepage::systemReading), read
// so converted; with profile, the engine's parse of bytes that the caller
// made already.
std::optional<FileView> plainView(const std::string& bytes);
std::optional<FileView> plainView(const std::string& bytes, const ini::Profile& profile);

// Where a save's edits go: the file's bytes in memory, or a file key by key.
class SettingsTarget {
 public:
  virtual ~SettingsTarget() = default;
  [[nodiscard]] virtual bool write(const std::string& section, const std::string& key,
                                   const std::string& value) = 0;
  virtual std::vector<std::string> sectionNames() = 0;
  [[nodiscard]] virtual bool addSection(
      const std::string& section, const std::vector<std::pair<std::string, std::string>>& keys) = 0;
  [[nodiscard]] virtual bool removeSection(const std::string& section) = 0;
};

// Writes path and slots where they differ from view: changed keys in
// place, "COUNT", a new slot's section after the existing ones, and every
// slot section beyond the last slot removed; everything else stays.
[[nodiscard]] bool writeChanges(SettingsTarget& target, const FileView& view,
                                const std::string& path, const std::vector<Logon>& slots);

// What a save writes: the file's new bytes, and the path and slots they hold.
struct Edited {
  std::string bytes;
  std::string path;
  std::vector<Logon> slots;
  FileView view;  // the file as the edits found it
};
// The save as a pure function: from the bytes read under the lock (none: no
// file), what was loaded and the store now. When another copy rewrote the
// file since the load, the two copies' changes are merged (mergeStores); a
// file gone is written whole. Nothing when the file's "COUNT" cannot be read.
// theirs: the file as the system reads it, where it is not in the engine's
// own forms (the engine's reading is taken otherwise).
std::optional<Edited> editSettings(const std::optional<std::string>& bytes, const Snapshot& loaded,
                                   const std::string& path, const std::vector<Logon>& slots,
                                   const std::optional<FileView>& theirs = std::nullopt);
