// Text.h: the text of windows and controls as the program's ANSI text.
#pragma once

#include <windows.h>

#include <string>

#include "CodePage.h"

// The whole text of a window or control.
std::wstring windowText(HWND Wnd);
// The same as ANSI text, converted as the system converts it.
std::string getTextA(HWND Wnd);
// False when the text has a character the code page cannot hold exactly.
[[nodiscard]] bool getTextExact(HWND Wnd, std::string& Text);
void setTextA(HWND Wnd, const std::string& Text);
