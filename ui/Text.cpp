// Text.cpp: see Text.h.
#include "Text.h"

namespace {

std::wstring textOf(HWND wnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(wnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(wnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace

std::string GetTextA(HWND Wnd) {
  return ToAnsi(textOf(Wnd));
}

bool GetTextExact(HWND Wnd, std::string& Text) {
  return ToAnsiExact(textOf(Wnd), Text);
}

void SetTextA(HWND Wnd, const std::string& Text) {
  SetWindowTextW(Wnd, FromAnsi(Text).c_str());
}
