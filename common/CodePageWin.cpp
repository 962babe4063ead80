// CodePageWin.cpp: the code page's rules and conversions of CodePage.h
// through the system, for whichever ANSI code page it runs under.
#include <windows.h>

#include <array>
#include <bitset>

#include "CodePage.h"

namespace codepage {

bool isLeadByte(unsigned char c) {
  return IsDBCSLeadByteEx(CP_ACP, c) != FALSE;
}

// Which second bytes make a character with each first byte: asked of the
// system once, as the program's code page has it.
bool isPair(unsigned char lead, unsigned char trail) {
  static const auto pairs = [] {
    std::array<std::bitset<256>, 256> table{};
    wchar_t wide[2];
    for (unsigned l = 0x80; l < 256; ++l) {
      if (!IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(l))) continue;
      for (unsigned t = 1; t < 256; ++t) {
        const char bytes[2] = {static_cast<char>(l), static_cast<char>(t)};
        table[l][t] = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, 2, wide, 2) == 1;
      }
    }
    return table;
  }();
  return pairs[lead][trail];
}

bool systemTakes(const std::string& text) {
  return text.empty() || MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(),
                                             static_cast<int>(text.size()), nullptr, 0) > 0;
}

}  // namespace codepage

namespace {

std::wstring toWide(UINT codePage, const std::string& text) {
  if (text.empty()) return {};
  const int len = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(codePage, 0, text.data(), len, nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), len, out.data(), n);
  return out;
}

std::string convertToAnsi(const std::wstring& text, DWORD flags, BOOL* usedDefault) {
  if (text.empty()) return {};
  const int len = static_cast<int>(text.size());
  const int n =
      WideCharToMultiByte(CP_ACP, flags, text.data(), len, nullptr, 0, nullptr, usedDefault);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, flags, text.data(), len, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

// What the system's profile functions read: the bytes through UTF-16 and back.
bool codepage::systemKeeps(const std::string& text) {
  return convertToAnsi(toWide(CP_ACP, text), 0, nullptr) == text;
}

std::string codepage::systemReading(const std::string& text) {
  return convertToAnsi(toWide(CP_ACP, text), 0, nullptr);
}

bool toAnsiExact(const std::wstring& text, std::string& ansi) {
  BOOL usedDefault = FALSE;
  std::string converted = convertToAnsi(text, WC_NO_BEST_FIT_CHARS, &usedDefault);
  // The way back must give the same text: a character the code page maps to
  // another one (a look-alike) is as lost as one it has no byte for.
  if (usedDefault || toWide(CP_ACP, converted) != text) return false;
  ansi = std::move(converted);
  return true;
}

std::string toAnsi(const std::wstring& text) {
  return convertToAnsi(text, 0, nullptr);
}

std::wstring fromAnsi(const std::string& text) {
  return toWide(CP_ACP, text);
}

std::wstring fromUtf8(const std::string& text) {
  return toWide(CP_UTF8, text);
}
