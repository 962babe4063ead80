// Text.cpp: see Text.h.
#include "Text.h"

std::wstring windowText(HWND Wnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(Wnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(Wnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::string getTextA(HWND Wnd) {
  return toAnsi(windowText(Wnd));
}

bool getTextExact(HWND Wnd, std::string& Text) {
  return toAnsiExact(windowText(Wnd), Text);
}

void setTextA(HWND Wnd, const std::string& Text) {
  SetWindowTextW(Wnd, fromAnsi(Text).c_str());
}
