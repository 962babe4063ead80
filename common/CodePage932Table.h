// CodePage932Table.h: the codes of code page 932 that the system reads as
// another code of the same character, for the build without a system to
// ask (CodePage932.cpp) and for the test that holds the two together.
#pragma once

#include <cstdint>

namespace codepage {

// Every pair of the code page within each range: NEC row 13's symbols that
// JIS row 2 has too, NEC's selection of IBM's extensions (read as IBM's
// own, or as JIS's or NEC's for a few symbols), and IBM's Roman numerals
// and symbols that NEC's row 13 has.
inline bool rewrittenIn932(unsigned char lead, unsigned char trail) {
  struct Range {
    uint16_t first, last;
  };
  static constexpr Range kRewritten[] = {
      {0x8790, 0x8792}, {0x8795, 0x8797}, {0x879A, 0x879C}, {0xED40, 0xEEEC},
      {0xEEEF, 0xEEFC}, {0xFA4A, 0xFA54}, {0xFA58, 0xFA5B},
  };
  const auto code = static_cast<uint16_t>(lead << 8 | trail);
  for (const Range& r : kRewritten)
    if (code >= r.first && code <= r.last) return true;
  return false;
}

}  // namespace codepage
