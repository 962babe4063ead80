// CodePage.cpp: the portable half of CodePage.h: walks over text by the
// platform's rule of which bytes pair.
#include "CodePage.h"

#include <cstring>

namespace codepage {

size_t charLength(const std::string& text, size_t at) {
  if (at + 1 < text.size() && isLeadByte(static_cast<unsigned char>(text[at])) &&
      isPair(static_cast<unsigned char>(text[at]), static_cast<unsigned char>(text[at + 1])))
    return 2;
  return 1;
}

bool isText(const std::string& text) {
  for (size_t i = 0; i < text.size(); i += charLength(text, i))
    if (isLeadByte(static_cast<unsigned char>(text[i])) && charLength(text, i) == 1) return false;
  return systemTakes(text);
}

std::string lowerCase(std::string text) {
  for (size_t i = 0; i < text.size(); i += charLength(text, i))
    if (charLength(text, i) == 1 && text[i] >= 'A' && text[i] <= 'Z')
      text[i] = static_cast<char>(text[i] - 'A' + 'a');
  return text;
}

bool holdsChar(const std::string& text, const char* chars) {
  for (size_t i = 0; i < text.size(); i += charLength(text, i))
    if (charLength(text, i) == 1 && text[i] != '\0' && std::strchr(chars, text[i])) return true;
  return false;
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
    if (isSeparator(text[i])) found = i;
  return found;
}

}  // namespace codepage
