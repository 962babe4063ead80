// save_fuzz.cpp: libFuzzer target for the save's bytes made in memory
// (editSettings): random file bytes, a random loaded state and store. The
// result reads back, through the INI engine, as the path and slots it says
// it holds (the merge's result), and every section the store does not own
// stays as it was, key for key.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "CodePage.h"
#include "IniEngine.h"
#include "SettingsFile.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

// Codes the system reads as another code of the same character: NEC's
// selection of IBM's extensions, NEC's row 13, IBM's own.
const char* const kTwoEncodings[] = {"\xED\x40", "\x87\x90", "\xFA\x4A", "\xEE\xF9"};

// Texts of the store's values, lengths at the edges of the system's
// buffers among them (what a quote or a double-byte character there does).
const std::string kTexts[] = {"",
                              "a",
                              " b ",
                              "\"q\"",
                              "'s'",
                              "x=y",
                              "\x95\x5C",
                              "\x83\x5D]",
                              "[0]",
                              "\x81\x40w\x81\x40",
                              kTwoEncodings[0],
                              std::string("p") + kTwoEncodings[1] + kTwoEncodings[2],
                              kTwoEncodings[3],
                              std::string(254, 'p') + "Z",
                              " " + std::string(253, 'p') + "\x82\xA0"};
constexpr size_t kTextCount = sizeof kTexts / sizeof kTexts[0];

// Whether text holds one of kTwoEncodings as a character of its own.
bool holdsTwoEncodings(const std::string& text) {
  for (size_t i = 0; i < text.size(); i += codepage::charLength(text, i))
    for (const char* code : kTwoEncodings)
      if (text.compare(i, 2, code) == 0 && codepage::charLength(text, i) == 2) return true;
  return false;
}

// The sections the store writes: its two and the numbered slots.
bool owned(const std::string& name) {
  const std::string lower = codepage::lowerCase(name);
  return slotNumber(name) || lower == codepage::lowerCase(kPathSection) ||
         lower == codepage::lowerCase(kListSection);
}

std::vector<ini::Section> notOwned(const ini::Profile& profile) {
  std::vector<ini::Section> kept;
  for (const ini::Section& s : profile.sections())
    if (!s.name.empty() && !owned(s.name)) kept.push_back(s);
  return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t split = 2 + (data[0] * (size - 2)) / 256;
  // Without NUL bytes: the profile functions take one for the end of the text.
  std::string bytes(reinterpret_cast<const char*>(data) + 2,
                    reinterpret_cast<const char*>(data) + split);
  bytes.erase(std::remove(bytes.begin(), bytes.end(), '\0'), bytes.end());
  const ini::Profile before = ini::Profile::parse(bytes);
  // Only files whose lines stay in their sections when written again: a
  // header whose name is all blanks ("[\f]") is dropped by a rewrite, the
  // system's as the engine's, and its keys join the section above. What such
  // a file reads after a save is the system's read-back's to judge.
  if (ini::Profile::parse(before.serialize()).sections() != before.sections()) return 0;
  FileView view;  // the load's, as the engine reads it
  std::string countText;
  const auto read = [&](const std::string& section, const std::string& key) -> Value {
    return valueRead(before.get(section, key, kAbsentKey));
  };
  if (readView(read, before.sectionNames(), view, countText) != ViewStatus::Ok) return 0;
  // The loaded state is this file, or one another copy has rewritten since.
  const Snapshot loaded{true, view.path.value_or(""), listedLogons(view), view,
                        (data[1] & 1) ? digestOf(bytes) : 0};
  std::vector<Logon> slots;  // the rest: this copy's slots, three texts each
  for (size_t i = split; i + 3 <= size && slots.size() < 8; i += 3)
    slots.push_back({"u" + kTexts[data[i] % kTextCount], kTexts[data[i + 1] % kTextCount],
                     kTexts[data[i + 2] % kTextCount]});
  const std::string path =
      (data[1] & 2) ? loaded.path : std::string("C:\\") + kTexts[data[1] % kTextCount];

  const std::optional<Edited> edited = editSettings(bytes, loaded, path, slots);
  check(edited.has_value());
  const ini::Profile after = ini::Profile::parse(edited->bytes);
  check(after.get(kPathSection, "Path", kAbsentKey) == edited->path);
  check(after.get(kListSection, "COUNT", kAbsentKey) ==
        std::to_string(static_cast<int>(edited->slots.size()) - 1));
  for (size_t s = 0; s < edited->slots.size(); ++s) {
    const Logon& l = edited->slots[s];
    const std::string name = std::to_string(s);
    check(after.get(name, "User", kAbsentKey) == l.User &&
          after.get(name, "Pass", kAbsentKey) == l.Pass &&
          after.get(name, "Host", kAbsentKey) == l.Host);
  }
  check(notOwned(after) == notOwned(before));
  // The gate of a load by the engine alone: bytes the engine calls its own
  // read back, through the engine, as the store; a file with an odd form (a
  // byte order mark, LF alone, a line without '=', a value in quotes) is
  // never its own, nor one holding a code the system reads as another.
  if (isPlainFile(edited->bytes))
    check(engineView(edited->bytes) == viewOf(edited->path, edited->slots));
  bool odd = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
  for (size_t at = 0; at < bytes.size(); ++at) {
    odd = odd || (bytes[at] == '\n' && (at == 0 || bytes[at - 1] != '\r'));
    odd = odd || (bytes[at] == '=' && at + 1 < bytes.size() && bytes[at + 1] == '"');
  }
  for (size_t line = 0; line < bytes.size();) {
    const size_t end = std::min(bytes.find('\n', line), bytes.size());
    const std::string text = bytes.substr(line, end - line);
    odd = odd ||
          (!text.empty() && text != "\r" && text[0] != '[' && text.find('=') == std::string::npos);
    line = end + 1;
  }
  if (odd || holdsTwoEncodings(bytes)) check(!isPlainFile(bytes));
  if (holdsTwoEncodings(edited->bytes)) check(!isPlainFile(edited->bytes));
  return 0;
}
