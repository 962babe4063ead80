// Text.h: the text of windows and controls as the program's ANSI text.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "CodePage.h"
#include "Logon.h"

// The whole text of a window or control.
std::wstring windowText(HWND wnd);
// Whether the text of wnd differs from last, which then becomes it.
bool textChanged(HWND wnd, std::wstring& last);
// False when the text has a character the code page cannot hold exactly.
[[nodiscard]] bool getTextExact(HWND wnd, std::string& text);
void setTextA(HWND wnd, const std::string& text);
// Reads logon from its boxes (user, password, host) exactly as typed. The
// first box in that order whose text the code page cannot hold exactly
// (the conversion would put a look-alike or a '?' in its place) or the
// client would misread: its field; nothing when all can be used.
std::optional<Logon::Field> readLogonBoxes(const HWND (&boxes)[Logon::kFieldCount], Logon& logon);
