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

std::string ToAnsi(const std::wstring& Text) {
  if (Text.empty()) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
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
