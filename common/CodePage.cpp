// CodePage.cpp: the portable half of CodePage.h.
#include "CodePage.h"

namespace codepage {

bool isLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool isTrailByte(unsigned char c) {
  return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

size_t charLength(const std::string& Text, size_t At) {
  if (At + 1 < Text.size() && isLeadByte(static_cast<unsigned char>(Text[At])) &&
      isTrailByte(static_cast<unsigned char>(Text[At + 1])))
    return 2;
  return 1;
}

bool endsWithChar(const std::string& Text, char C) {
  // Walked from the front: going back from the end cannot tell a trail byte
  // 0x5C from a backslash.
  size_t last = std::string::npos;
  for (size_t i = 0; i < Text.size(); i += charLength(Text, i)) last = i;
  return last != std::string::npos && last + 1 == Text.size() && Text[last] == C;
}

size_t lastSeparator(const std::string& Text) {
  size_t found = std::string::npos;
  for (size_t i = 0; i < Text.size(); i += charLength(Text, i))
    if (Text[i] == '\\' || Text[i] == '/') found = i;
  return found;
}

}  // namespace codepage
