// Text.cpp: see Text.h.
#include "Text.h"

namespace {

std::wstring toWide(UINT codePage, const std::string& text) {
  if (text.empty()) return {};
  const int n =
      MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

}  // namespace

namespace {

// Text in the system's code page; Lossy, when given, tells whether a character
// had no equivalent there (no best-fit look-alikes are taken then).
std::string toAnsi(const std::wstring& text, BOOL* lossy) {
  if (text.empty()) return {};
  const DWORD flags = lossy ? WC_NO_BEST_FIT_CHARS : 0;
  const int len = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_ACP, flags, text.data(), len, nullptr, 0, nullptr, lossy);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, flags, text.data(), len, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

std::string ToAnsi(const std::wstring& Text) {
  return toAnsi(Text, nullptr);
}

bool ToAnsiExact(const std::wstring& Text, std::string& Ansi) {
  BOOL lossy = FALSE;
  std::string converted = toAnsi(Text, &lossy);
  if (lossy) return false;
  Ansi = std::move(converted);
  return true;
}

std::wstring FromAnsi(const std::string& Text) {
  return toWide(CP_ACP, Text);
}
std::wstring FromUtf8(const std::string& Text) {
  return toWide(CP_UTF8, Text);
}

std::string GetTextA(HWND Wnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(Wnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(Wnd, text.data(), static_cast<int>(text.size()))));
  return ToAnsi(text);
}

void SetTextA(HWND Wnd, const std::string& Text) {
  SetWindowTextW(Wnd, FromAnsi(Text).c_str());
}
