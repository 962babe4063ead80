// Text.h: the text of windows and controls as the program's ANSI text.
#pragma once

#include <windows.h>

#include <string>

#include "CodePage.h"

// The whole text of a window or control.
std::wstring windowText(HWND wnd);
// False when the text has a character the code page cannot hold exactly.
[[nodiscard]] bool getTextExact(HWND wnd, std::string& text);
void setTextA(HWND wnd, const std::string& text);
