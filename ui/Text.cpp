// Text.cpp: see Text.h.
#include "Text.h"

std::wstring windowText(HWND wnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(wnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(wnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

bool getTextExact(HWND wnd, std::string& text) {
  return toAnsiExact(windowText(wnd), text);
}

void setTextA(HWND wnd, const std::string& text) {
  SetWindowTextW(wnd, fromAnsi(text).c_str());
}
