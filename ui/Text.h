// Text.h: conversions at the edge between the window system's UTF-16 and the
// program's ANSI text (the system's code page), and UTF-8 source literals.
#pragma once

#include <windows.h>

#include <string>

std::string ToAnsi(const std::wstring& Text);
// False, and Ansi unchanged, when a character has no equivalent in the code page.
bool ToAnsiExact(const std::wstring& Text, std::string& Ansi);
std::wstring FromAnsi(const std::string& Text);
std::wstring FromUtf8(const std::string& Text);

// The whole text of a window or control, as ANSI text.
std::string GetTextA(HWND Wnd);
void SetTextA(HWND Wnd, const std::string& Text);
