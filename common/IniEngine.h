// IniEngine.h: a portable reader and writer of INI files that behaves like the
// system's profile functions for the files this program writes and the files a
// user may edit by hand. Used where those functions do not exist.
#pragma once

#include <optional>
#include <unordered_map>
#include <string>
#include <utility>
#include <vector>

namespace ini {

struct Key {
  std::string name;
  std::optional<std::string> value;  // empty optional: a line without '='

  bool operator==(const Key& other) const { return name == other.name && value == other.value; }
};

struct Section {
  std::string name;  // the first section has no name: lines before any header
  std::vector<Key> keys;

  bool operator==(const Section& other) const { return name == other.name && keys == other.keys; }
};

// The parsed form of one file. Text is kept as bytes in code page 932.
class Profile {
 public:
  static Profile parse(const std::string& bytes);
  std::string serialize() const;

  // The value of Key in Section (first match of each, letter case ignored),
  // or Default; surrounding quotes are stripped from either.
  std::string get(const std::string& section, const std::string& key,
                  const std::string& defaultValue) const;
  // Sets a value, adding the section or the key after the existing ones.
  // Returns whether anything changed.
  bool set(const std::string& section, const std::string& key, const std::string& value);
  std::vector<std::string> sectionNames() const;
  // Every section in file order, the lines before the first header first.
  const std::vector<Section>& sections() const { return sections_; }
  // Adds a section that is not there yet, with its keys in order.
  void addSection(const std::string& section, const std::vector<Key>& keys);
  // Removes the first section of that name with its keys; whether there was one.
  bool removeSection(const std::string& section);

 private:
  const Key* find(const std::string& section, const std::string& key) const;
  // Where the first section of a name (trimmed, letter case ignored) stands,
  // or npos: looked up, not searched for, so that reading every key of a
  // file of thousands of sections costs no more than the file.
  size_t sectionAt(const std::string& name) const;

  bool utf8Bom_ = false;
  std::vector<Section> sections_{Section{}};
  mutable std::unordered_map<std::string, size_t> index_;  // by codepage::lowerCase(name)
  mutable bool indexed_ = false;
};

// File-level calls, each a complete read (and, for a write, rewrite) of the file.
std::string readString(const std::string& path, const std::string& section, const std::string& key,
                       const std::string& defaultValue);
[[nodiscard]] bool writeString(const std::string& path, const std::string& section,
                               const std::string& key, const std::string& value);
std::vector<std::string> sectionNames(const std::string& path);
[[nodiscard]] bool removeSection(const std::string& path, const std::string& section);
[[nodiscard]] bool addSection(const std::string& path, const std::string& section,
                              const std::vector<Key>& keys);

// Whether value can stand in a file as a key's value: a line break would end
// the value and start another key, a NUL would cut it short.
[[nodiscard]] bool isStorableValue(const std::string& value);

// The form in which Value must be written so that it reads back unchanged:
// the system drops blanks at either end of a value and a pair of quotes around
// it, so such a value is written inside one more pair of quotes.
std::string protectValue(const std::string& value);
// Keys and values as lines of a section, each value in its protected form.
std::vector<Key> protectedKeys(const std::vector<std::pair<std::string, std::string>>& keys);

}  // namespace ini
