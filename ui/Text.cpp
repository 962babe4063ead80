// Text.cpp: see Text.h.
#include "Text.h"

namespace {

std::wstring textOf(HWND wnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(wnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(wnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace

std::string getTextA(HWND Wnd) {
  return toAnsi(textOf(Wnd));
}

bool getTextExact(HWND Wnd, std::string& Text) {
  return toAnsiExact(textOf(Wnd), Text);
}

void setTextA(HWND Wnd, const std::string& Text) {
  SetWindowTextW(Wnd, fromAnsi(Text).c_str());
}
