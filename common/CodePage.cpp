// CodePage.cpp: the portable half of CodePage.h.
#include "CodePage.h"

namespace codepage {

bool isLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool isTrailByte(unsigned char c) {
  return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

size_t charLength(const std::string& text, size_t at) {
  if (at + 1 < text.size() && isLeadByte(static_cast<unsigned char>(text[at])) &&
      isTrailByte(static_cast<unsigned char>(text[at + 1])))
    return 2;
  return 1;
}

bool endsWithChar(const std::string& text, char c) {
  // Walked from the front: going back from the end cannot tell a trail byte
  // 0x5C from a backslash.
  size_t last = std::string::npos;
  for (size_t i = 0; i < text.size(); i += charLength(text, i)) last = i;
  return last != std::string::npos && last + 1 == text.size() && text[last] == c;
}

size_t lastSeparator(const std::string& text) {
  size_t found = std::string::npos;
  for (size_t i = 0; i < text.size(); i += charLength(text, i))
    if (text[i] == '\\' || text[i] == '/') found = i;
  return found;
}

}  // namespace codepage
