// CodePage932.cpp: the lead and trail bytes of code page 932, where no
// system says which code page the program runs under.
#include "CodePage.h"
#include "CodePage932Table.h"

namespace codepage {

bool isLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool isPair(unsigned char lead, unsigned char trail) {
  return isLeadByte(lead) && ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC));
}

bool systemTakes(const std::string&) {
  return true;
}

bool systemKeeps(const std::string& text) {
  for (size_t i = 0; i < text.size(); i += charLength(text, i)) {
    if (charLength(text, i) != 2) continue;
    if (rewrittenIn932(static_cast<unsigned char>(text[i]),
                       static_cast<unsigned char>(text[i + 1])))
      return false;
  }
  return true;
}

std::string systemReading(const std::string& text) {
  return text;
}

}  // namespace codepage
