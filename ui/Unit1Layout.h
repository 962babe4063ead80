// Unit1Layout.h: the main window's layout as data: its frame, and its
// controls in tab order with their places at 96 pixels per inch; the places,
// font and icons at any DPI, which need no window to compute; and the
// controls made and placed in a window from the table.
#pragma once

#include <windows.h>

#include "Raii.h"

namespace layout {

constexpr wchar_t kClassName[] = L"TForm1";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;
constexpr int kClientWidth = 368, kClientHeight = 206;
constexpr int kLeft = 192, kTop = 107;

// Registers the window class kClassName: the button-face background, the
// program's icon. Registering it again (a test makes a second window) is no
// failure; any other throws SystemFailure.
void registerWindowClass(HINSTANCE instance, WNDPROC windowProc);

// A control at 96 pixels per inch. Its place is within its group box (group:
// the box's ID), or within the window's client area (group 0). Controls are
// siblings in the window (a group box does not pass on its children's
// notifications), in tab order, each label just before its box: a screen
// reader names a box after the label that precedes it.
struct Control {
  int id;
  int group;
  const wchar_t* className;
  const wchar_t* text;
  DWORD style;
  DWORD exStyle;
  int left, top, width, height;
};
extern const Control kControls[16];

int scale(int value, UINT dpi);
// Where control id stands in the window's client area at dpi.
RECT controlRect(int id, UINT dpi);
// The window's outer size for its client area at dpi.
SIZE frameSize(UINT dpi);
// Creates the controls of the table in parent, in tab order; a control that
// cannot be made throws SystemFailure.
void createControls(HWND parent);
// Places parent's controls for dpi, with font. Labels grow leftwards to fit
// their text, keeping their right edge, so that a substitute font a little
// wider than the original is not cut.
void placeControls(HWND parent, UINT dpi, HFONT font);

// A box drawn in the button-face colour (the read-only path box): sets dc's
// colours and returns the brush for its background.
HBRUSH buttonFaceColours(HDC dc);

// The controls' font and the list's item height at dpi.
UniqueFont createFont(UINT dpi);
int itemHeight(UINT dpi);

// The program's icon drawn for dpi (not a 32-pixel one shrunk): the title
// bar's and the tray's, and Alt+Tab's.
struct Icons {
  UniqueIcon small, big;
};
Icons loadIcons(HINSTANCE instance, UINT dpi);

// What a window laid out for a DPI keeps alive: its controls' font and its icons.
struct Applied {
  UniqueFont font;
  Icons icons;
};
// Lays out window, whose controls createControls made, for dpi: the font,
// the places, the list's item height, the window's icons and its size. The
// icons and font it held before go only when the caller lets go of them.
[[nodiscard]] Applied applyLayout(HWND window, UINT dpi);

}  // namespace layout
