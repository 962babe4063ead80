// Unit1Layout.h: the main window's frame at 96 pixels per inch, shared by
// its creation (Unit1.cpp) and its layout (Unit1Layout.cpp).
#pragma once

#include <windows.h>

namespace layout {

constexpr wchar_t kClassName[] = L"TForm1";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;
constexpr int kClientWidth = 368, kClientHeight = 206;
constexpr int kLeft = 192, kTop = 107;

}  // namespace layout
