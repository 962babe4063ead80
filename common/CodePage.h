// CodePage.h: the rules of the program's text, ANSI text in the code page
// the program runs under (made for 932): which bytes make a double-byte
// character, where the last character starts, and the exact conversion to
// and from the window system's UTF-16.
#pragma once

#include <string>

namespace codepage {

// The first byte of a double-byte character. On Windows the system's ANSI
// code page decides (a byte that leads in 932 is a letter in 1252 and in
// UTF-8); elsewhere code page 932's table (CodePage932.cpp).
bool isLeadByte(unsigned char c);
// Whether lead and trail make one double-byte character: in 932 the second
// byte is 0x40..0x7E or 0x80..0xFC, so a character may end in '\' (0x5C).
bool isPair(unsigned char lead, unsigned char trail);
// Length in bytes (1 or 2) of the character that starts at text[at].
size_t charLength(const std::string& text, size_t at);
// Whether text is text of the code page: no first byte without its second,
// and nothing the system refuses to convert (systemTakes).
bool isText(const std::string& text);
// The platform's half of isText: on Windows, whether the system converts
// text without a byte it rejects (in UTF-8, a broken sequence); elsewhere
// every text.
bool systemTakes(const std::string& text);
// Whether the system reads text back as the same bytes. Code page 932
// gives some characters two codes (NEC's selection of IBM's extensions
// beside IBM's own, and a few of NEC's row 13 beside JIS symbols); the
// system's profile functions convert a file to UTF-16 and back and so
// return one of them. On Windows the system's conversion decides; elsewhere
// code page 932's table of the codes it rewrites (CodePage932.cpp).
bool systemKeeps(const std::string& text);
// text as the system's profile functions read it, which convert a file to
// UTF-16 and back: where systemKeeps, text itself. Elsewhere text itself:
// there the settings engine is the system.
std::string systemReading(const std::string& text);
// text with its single-byte letters in lower case, for comparing names with
// letter case ignored. A double-byte character stays as it is: its second
// byte may be that of a letter (0x83 0x41 is not 0x83 0x61).
std::string lowerCase(std::string text);
// Whether text holds one of chars as a character of its own: a byte that
// ends a double-byte character is part of that character.
bool holdsChar(const std::string& text, const char* chars);
// Whether the last character of text, not merely its last byte, is c.
bool endsWithChar(const std::string& text, char c);
// Whether c separates a path's folders: '\' or '/' (as a character of its
// own, not the second byte of a double-byte one).
inline bool isSeparator(char c) {
  return c == '\\' || c == '/';
}
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
