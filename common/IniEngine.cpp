// IniEngine.cpp: the portable INI engine. Every rule here mirrors what the
// system's profile functions do, so that a file written by either engine reads
// the same through the other.
#include "IniEngine.h"

#include "CodePage.h"

namespace ini {

namespace {

using codepage::charLength;

// White space as the system sees it: the C blanks, ^Z (DOS end of file) and
// U+001C..U+001F. The ideographic space (0x81 0x40) is text. Every such byte
// is below 0x40, so it is never the second byte of a double-byte character
// and the ends of a text can be trimmed byte by byte.
bool isSpace(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A || (c >= 0x1C && c <= 0x1F);
}

std::string trim(const std::string& s, bool front = true, bool back = true) {
  size_t begin = 0, end = s.size();
  if (front)
    while (begin < end && isSpace(s[begin])) ++begin;
  if (back)
    while (end > begin && isSpace(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

char foldAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Letter case is ignored for single-byte letters; double-byte characters
// compare exactly.
bool equalsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size();) {
    const size_t len = charLength(a, i);
    if (len == 2) {
      if (a.compare(i, 2, b, i, 2) != 0) return false;
    } else if (foldAscii(a[i]) != foldAscii(b[i]) || charLength(b, i) != 1) {
      return false;
    }
    i += len;
  }
  return true;
}

// Position of the last ']' that is a character of its own, or npos.
size_t lastCloseBracket(const std::string& s) {
  size_t found = std::string::npos;
  for (size_t i = 0; i < s.size(); i += charLength(s, i))
    if (s[i] == ']') found = i;
  return found;
}

std::string stripQuotes(const std::string& v) {
  if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0])
    return v.substr(1, v.size() - 2);
  return v;
}

void cutAtNul(std::string& s) {
  const size_t nul = s.find('\0');
  if (nul != std::string::npos) s.resize(nul);
}

const char kUtf8Bom[] = "\xEF\xBB\xBF";

}  // namespace

Profile Profile::parse(const std::string& bytes) {
  Profile p;
  size_t pos = 0;
  if (bytes.compare(0, 3, kUtf8Bom) == 0) {
    p.utf8Bom_ = true;
    pos = 3;
  }
  while (pos < bytes.size()) {
    // CR, LF and CR LF all end a line.
    size_t nl = bytes.find_first_of("\r\n", pos);
    if (nl == std::string::npos) nl = bytes.size();
    const std::string line = trim(bytes.substr(pos, nl - pos));
    pos = nl + 1;
    if (line.empty()) continue;

    if (line[0] == '[') {
      const size_t close = lastCloseBracket(line);
      if (close != std::string::npos) {
        // "[ 1 ]" is section "1": the system drops the blanks inside the brackets.
        std::string name = trim(line.substr(1, close - 1));
        cutAtNul(name);
        p.sections_.push_back(Section{std::move(name), {}});
        continue;
      }
    }
    Key key;
    const size_t eq = line.find('=');  // '=' is never the second byte of a character
    if (eq == std::string::npos) {
      key.name = line;
    } else {
      key.name = trim(line.substr(0, eq), false, true);
      key.value = trim(line.substr(eq + 1), true, false);
    }
    // Names and values end at a NUL byte, as C strings do in the system.
    cutAtNul(key.name);
    if (key.value) cutAtNul(*key.value);
    if (key.name.empty() && !key.value) continue;  // nothing before a NUL: a blank line
    auto& keys = p.sections_.back().keys;
    // Consecutive lines with an empty name collapse into one, as the system does.
    if (key.name.empty() && !keys.empty() && keys.back().name.empty()) continue;
    keys.push_back(std::move(key));
  }
  return p;
}

std::string Profile::serialize() const {
  std::string out;
  if (utf8Bom_) out += kUtf8Bom;
  for (const auto& section : sections_) {
    if (!section.name.empty()) out += "[" + section.name + "]\r\n";
    for (const auto& key : section.keys) {
      out += key.name;
      if (key.value) out += "=" + *key.value;
      out += "\r\n";
    }
  }
  return out;
}

size_t Profile::sectionAt(const std::string& name) const {
  // Letter case as equalsNoCase ignores it: single-byte letters only.
  if (!indexed_) {
    index_.clear();
    for (size_t i = 0; i < sections_.size(); ++i)
      index_.emplace(codepage::lowerCase(sections_[i].name), i);  // the first of a name
    indexed_ = true;
  }
  const auto at = index_.find(codepage::lowerCase(name));
  return at == index_.end() ? std::string::npos : at->second;
}

const Key* Profile::find(const std::string& section, const std::string& key) const {
  // An empty section name finds the lines before the first header; only
  // the first section of a name counts.
  const size_t at = sectionAt(trim(section));
  if (at == std::string::npos) return nullptr;
  const std::string k = trim(key);
  for (const auto& candidate : sections_[at].keys)
    if (equalsNoCase(candidate.name, k)) return &candidate;
  return nullptr;
}

std::string Profile::get(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const {
  const Key* found = find(section, key);
  if (found && found->value) return stripQuotes(*found->value);
  std::string def = defaultValue;
  while (!def.empty() && def.back() == ' ') def.pop_back();
  return stripQuotes(def);
}

bool Profile::set(const std::string& section, const std::string& key, const std::string& value) {
  const std::string s = trim(section, true, false), k = trim(key, true, false);
  const std::string v = trim(value);
  const size_t at = sectionAt(trim(section));
  if (at == std::string::npos) {
    sections_.push_back(Section{s, {}});
    indexed_ = false;
  }
  Section* target = at == std::string::npos ? &sections_.back() : &sections_[at];
  for (auto& candidate : target->keys)
    if (equalsNoCase(candidate.name, trim(key))) {
      if (candidate.value && *candidate.value == v) return false;
      candidate.value = v;
      return true;
    }
  target->keys.push_back(Key{k, v});
  return true;
}

std::vector<std::string> Profile::sectionNames() const {
  std::vector<std::string> names;
  for (const auto& sec : sections_)
    if (!sec.name.empty()) names.push_back(sec.name);
  return names;
}

void Profile::addSection(const std::string& section, const std::vector<Key>& keys) {
  sections_.push_back(Section{trim(section), keys});
  if (indexed_) index_.emplace(codepage::lowerCase(sections_.back().name), sections_.size() - 1);
}

bool Profile::removeSection(const std::string& section) {
  const std::string name = trim(section);
  const size_t at = name.empty() ? std::string::npos : sectionAt(name);
  if (at == std::string::npos) return false;
  sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(at));
  indexed_ = false;  // the sections after it moved
  return true;
}

std::vector<Key> protectedKeys(const std::vector<std::pair<std::string, std::string>>& keys) {
  std::vector<Key> lines;
  lines.reserve(keys.size());
  for (const auto& [key, value] : keys) lines.push_back(Key{key, protectValue(value)});
  return lines;
}

bool isStorableValue(const std::string& value) {
  return value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

std::string protectValue(const std::string& value) {
  if (value.empty()) return value;
  if (trim(value) != value || stripQuotes(value) != value) return '"' + value + '"';
  return value;
}

}  // namespace ini
