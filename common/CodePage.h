// CodePage.h: the rules of the program's text, ANSI text in code page 932:
// which bytes make a double-byte character, where the last character starts,
// and the exact conversion to and from the window system's UTF-16.
#pragma once

#include <string>

namespace codepage {

// The first byte of a double-byte character.
bool isLeadByte(unsigned char c);
// A byte that can follow a lead byte: 0x40..0x7E and 0x80..0xFC, so a
// double-byte character may end in '\' (0x5C) or ']' (0x5D).
bool isTrailByte(unsigned char c);
// Length in bytes (1 or 2) of the character that starts at text[at].
size_t charLength(const std::string& text, size_t at);
// Whether the last character of text, not merely its last byte, is c.
bool endsWithChar(const std::string& text, char c);
// Position of the last character of text that is '\' or '/', or npos.
size_t lastSeparator(const std::string& text);

}  // namespace codepage

// Conversions with the system's ANSI code page (Windows, CodePageWin.cpp).
// toAnsiExact fails, leaving Ansi unchanged, when a character has no exact
// equivalent: the system would otherwise put a look-alike or '?' in its place.
[[nodiscard]] bool toAnsiExact(const std::wstring& text, std::string& ansi);
std::string toAnsi(const std::wstring& text);
std::wstring fromAnsi(const std::string& text);
std::wstring fromUtf8(const std::string& text);
