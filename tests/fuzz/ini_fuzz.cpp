// ini_fuzz.cpp: libFuzzer target for the portable INI engine. Whatever the
// bytes, parsing and writing never crash, a file once written reads back to
// the same text, and a value written in its protected form reads back whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "CodePage.h"
#include "IniEngine.h"

namespace {

void require(bool ok) {
  if (!ok) std::abort();
}

// Whether every byte belongs to a valid code page 932 character: each lead
// byte paired (the program's rule, isText), and none of the single bytes
// that 932 leaves unassigned. The system replaces invalid bytes when it
// rewrites a file; the engine keeps them, so the settling of such files is
// not compared.
bool validCp932(const std::string& s) {
  for (const char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (b == 0x80 || b == 0xA0 || b >= 0xFD) return false;
  }
  return codepage::isText(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // The first line names a section, a key and a value; the rest is the file.
  const size_t nl = input.find('\n');
  const std::string head = nl == std::string::npos ? input : input.substr(0, nl);
  const std::string file = nl == std::string::npos ? std::string() : input.substr(nl + 1);

  ini::Profile p = ini::Profile::parse(file);
  // Written text settles: the first rewrite may still change (a NUL byte cuts
  // a name after its blanks were trimmed, as in the system), the second not.
  // Files the system itself changes in meaning when it rewrites them are left
  // out of the checks: invalid bytes (replaced), NUL bytes (a NUL cuts a name
  // after its blanks were trimmed), and a byte-order mark that a rewrite
  // brings to the front of the file, where it becomes a mark.
  const bool ordinary = validCp932(file) && file.find('\0') == std::string::npos &&
                        file.find("\xEF\xBB\xBF", 1) == std::string::npos;
  const std::string twice = ini::Profile::parse(p.serialize()).serialize();
  if (ordinary) require(ini::Profile::parse(twice).serialize() == twice);

  const size_t a = head.find('\t'), b = a == std::string::npos ? a : head.find('\t', a + 1);
  if (b == std::string::npos) return 0;
  const std::string section = head.substr(0, a), key = head.substr(a + 1, b - a - 1),
                    value = head.substr(b + 1);
  (void)p.get(section, key, value);
  (void)p.sectionNames();
  // A value without line ends or NUL bytes survives a write and a read.
  if (!ordinary || value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return 0;
  // Names the system itself could not find again are not the program's.
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7F; };
  for (const std::string& name : {section, key})
    if (name.empty() || name.find_first_of(std::string("\r\n\0[]=;", 7)) != std::string::npos ||
        blank(name.front()) || blank(name.back()))
      return 0;
  if (static_cast<unsigned char>(section.back()) >= 0x81) return 0;  // could join with ']'
  ini::Profile q = ini::Profile::parse(file);
  q.set(section, key, ini::protectValue(value));
  require(ini::Profile::parse(q.serialize()).get(section, key, "") == value);
  return 0;
}
