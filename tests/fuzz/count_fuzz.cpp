// count_fuzz.cpp: libFuzzer target for the "COUNT" conversion, checked
// against a separate model of its rules written with a regular expression.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>

#include "IntText.h"

namespace {

// Leading blanks, a sign, then decimal digits (signed 32-bit range) or "$",
// "x", "X" or "0x" and hexadecimal digits (32 bits, then read as signed).
bool model(const std::string& text, int32_t& value) {
  static const std::regex decimal("^ *([+-]?)([0-9]+)$");
  static const std::regex hex("^ *([+-]?)(\\$|x|X|0x)([0-9A-Fa-f]+)$");
  std::smatch m;
  if (std::regex_match(text, m, hex)) {
    const std::string digits = m[3].str();
    const size_t first = digits.find_first_not_of('0');
    if (first != std::string::npos && digits.size() - first > 8) return false;
    const auto bits = static_cast<uint32_t>(std::strtoull(digits.c_str(), nullptr, 16));
    value = static_cast<int32_t>(m[1].str() == "-" ? 0u - bits : bits);
    return true;
  }
  if (std::regex_match(text, m, decimal)) {
    const std::string digits = m[2].str();
    const size_t first = digits.find_first_not_of('0');
    if (first != std::string::npos && digits.size() - first > 10) return false;
    long long v = std::strtoll(digits.c_str(), nullptr, 10);
    if (m[1].str() == "-") v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (text.find('\0') != std::string::npos) return 0;  // values never hold NUL
  int32_t got = 0, expected = 0;
  const bool ok = parseInt32(text, got);
  if (ok != model(text, expected) || (ok && got != expected)) std::abort();
  return 0;
}
