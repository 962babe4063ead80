// IntText.h: text-to-integer conversion with the rules of the runtime the
// settings file was first written for: leading blanks, a sign, then decimal
// digits or a hexadecimal number after "$", "x", "X" or "0x".
#pragma once

#include <cstdint>
#include <string>

// True and value set when text is a 32-bit integer by those rules. Decimal
// text must fit in the signed range; hexadecimal text may use all 32 bits
// ("$FFFFFFFF" is -1).
[[nodiscard]] bool parseInt32(const std::string& text, int32_t& value);
