// Text.cpp: see Text.h.
#include "Text.h"

std::wstring windowText(HWND wnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(wnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(wnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

bool textChanged(HWND wnd, std::wstring& last) {
  std::wstring now = windowText(wnd);
  if (now == last) return false;
  last = std::move(now);
  return true;
}

bool getTextExact(HWND wnd, std::string& text) {
  return toAnsiExact(windowText(wnd), text);
}

std::optional<Logon::Field> readLogonBoxes(const HWND (&boxes)[Logon::kFieldCount], Logon& logon) {
  std::optional<Logon::Field> bad;
  for (size_t i = 0; !bad && i < Logon::kFieldCount; ++i)
    if (!getTextExact(boxes[i], logon[Logon::kFields[i]])) bad = Logon::kFields[i];
  // The boxes before the first one the code page refused may hold what the
  // client would misread: the first box in order is named.
  if (const auto misread = logon.firstUnusable(); misread && (!bad || *misread < *bad))
    bad = misread;
  return bad;
}

void setTextA(HWND wnd, const std::string& text) {
  SetWindowTextW(wnd, fromAnsi(text).c_str());
}
