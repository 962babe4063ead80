// Unit1Layout.cpp: the main window's controls: the layout table, their
// creation in tab order, and their places, font and sizes at any DPI.
#include "Unit1.h"
#include "Unit1Layout.h"
#include "Text.h"
#include "resource.h"

using namespace layout;

namespace {

const int kFontHeight = 12, kItemHeight = 12;

// The layout at 96 pixels per inch. Places are within the parent: the window's
// client area, or the group box named. Controls are siblings in the window
// (a group box does not pass on its children's notifications), created in
// tab order, each label just before its box: a screen reader names a box
// after the label that precedes it.
struct ControlLayout {
  HWND TForm1::*field;
  HWND TForm1::*group;  // nullptr: placed in the window itself
  int id;
  const wchar_t* className;
  const wchar_t* text;
  DWORD style;
  DWORD exStyle;
  int left, top, width, height;
};

const DWORD kEdit = WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL;
const DWORD kButton = WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON;
const DWORD kLabel = SS_RIGHT | SS_NOPREFIX;

// One control a line, as in the layout table.
// clang-format off
const ControlLayout kLayout[] = {
    {&TForm1::gpbSQLPlus, nullptr, IDC_GPBSQLPLUS, L"BUTTON", L" Oracle SQL*Plus ", BS_GROUPBOX, 0, 4, 0, 361, 41},
    {&TForm1::edtSQLPlus, &TForm1::gpbSQLPlus, IDC_EDTSQLPLUS, L"EDIT", L"edtSQLPlus", kEdit, WS_EX_CLIENTEDGE, 12, 14, 293, 20},
    {&TForm1::btnFileOpen, &TForm1::gpbSQLPlus, IDC_BTNFILEOPEN, L"BUTTON", L"参照...", kButton, 0, 308, 14, 45, 21},
    {&TForm1::gpbLogin, nullptr, IDC_GPBLOGIN, L"BUTTON", L" ログオン ", BS_GROUPBOX, 0, 172, 44, 193, 97},
    {&TForm1::lblUser, &TForm1::gpbLogin, IDC_LBLUSER, L"STATIC", L"ユーザＩＤ", kLabel, 0, 7, 20, 48, 12},
    {&TForm1::edtUser, &TForm1::gpbLogin, IDC_EDTUSER, L"EDIT", L"edtUser", kEdit, WS_EX_CLIENTEDGE, 76, 16, 109, 20},
    {&TForm1::lblPass, &TForm1::gpbLogin, IDC_LBLPASS, L"STATIC", L"パスワード", kLabel, 0, 7, 44, 54, 12},
    {&TForm1::edtPass, &TForm1::gpbLogin, IDC_EDTPASS, L"EDIT", L"edtPass", kEdit, WS_EX_CLIENTEDGE, 76, 40, 109, 20},
    {&TForm1::lblHost, &TForm1::gpbLogin, IDC_LBLHOST, L"STATIC", L"ホスト文字列", kLabel, 0, 7, 68, 66, 12},
    {&TForm1::edtHost, &TForm1::gpbLogin, IDC_EDTHOST, L"EDIT", L"edtHost", kEdit, WS_EX_CLIENTEDGE, 76, 65, 109, 20},
    {&TForm1::gpbList, nullptr, IDC_GPBLIST, L"BUTTON", L" 接続先リスト ", BS_GROUPBOX, 0, 4, 44, 165, 157},
    {&TForm1::lstLogin, &TForm1::gpbList, IDC_LSTLOGIN, L"LISTBOX", L"",
     WS_TABSTOP | WS_GROUP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE, 6, 16, 151, 133},
    {&TForm1::btnInsert, nullptr, IDC_BTNINSERT, L"BUTTON", L"登録(&A)", kButton, 0, 172, 144, 93, 25},
    {&TForm1::btnShell, nullptr, IDC_BTNSHELL, L"BUTTON", L"起動(&E)", kButton, 0, 272, 144, 93, 25},
    {&TForm1::btnDelete, nullptr, IDC_BTNDELETE, L"BUTTON", L"削除(&D)", kButton, 0, 172, 176, 93, 25},
    {&TForm1::btnShortCut, nullptr, IDC_BTNSHORTCUT, L"BUTTON", L"ｼｮｰﾄｶｯﾄ作成(&S)", kButton, 0, 272, 176, 93, 25},
};
// clang-format on

// Where a control stands in the window's client area at 96 pixels per inch.
RECT placeOf(const ControlLayout& c) {
  int left = c.left, top = c.top;
  if (c.group) {
    for (const auto& g : kLayout)
      if (g.field == c.group) {
        left += g.left;
        top += g.top;
      }
  }
  return RECT{left, top, left + c.width, top + c.height};
}

int scale(int value, UINT dpi) {
  return MulDiv(value, static_cast<int>(dpi), 96);
}

int textWidth(HWND wnd, HFONT font, const wchar_t* text) {
  const WindowDC dc(wnd);
  const SelectedObject selected(dc.get(), font);
  SIZE size{};
  GetTextExtentPoint32W(dc.get(), text, lstrlenW(text), &size);
  return size.cx;
}

}  // namespace

void TForm1::createControls() {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(Handle, GWLP_HINSTANCE));
  for (const auto& c : kLayout) {
    const RECT r = placeOf(c);
    this->*c.field = CreateWindowExW(
        c.exStyle, c.className, c.text, WS_CHILD | WS_VISIBLE | c.style, r.left, r.top, c.width,
        c.height, Handle, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
  }
  lastUser_ = windowText(edtUser);
  lastSQLPlus_ = windowText(edtSQLPlus);
}

// Places every control, the font and the window's size for dpi pixels per inch.
void TForm1::applyLayout(UINT dpi) {
  dpi_ = dpi ? dpi : 96;
  font_.reset(CreateFontW(-scale(kFontHeight, dpi_), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                          SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                          DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"ＭＳ Ｐゴシック"));
  for (const auto& c : kLayout) {
    const RECT r = placeOf(c);
    const HWND wnd = this->*c.field;
    int left = scale(r.left, dpi_), width = scale(c.width, dpi_);
    if (c.style & SS_RIGHT) {
      // Labels size themselves to their text, keeping their right edge, so
      // that a substitute font a little wider than the original is not cut.
      const int needed = textWidth(wnd, font_.get(), c.text);
      if (needed > width) {
        left -= needed - width;
        width = needed;
      }
    }
    SetWindowPos(wnd, nullptr, left, scale(r.top, dpi_), width, scale(c.height, dpi_),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  }
  SendMessageW(lstLogin, LB_SETITEMHEIGHT, 0, scale(kItemHeight, dpi_));
  // The icons drawn for this DPI, not a 32-pixel one shrunk: the new ones are
  // in place before the old ones go.
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(Handle, GWLP_HINSTANCE));
  const auto iconOf = [&](int metric) {
    const int size = GetSystemMetricsForDpi(metric, dpi_);
    return UniqueIcon(static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_VOSTRELK), IMAGE_ICON, size, size, 0)));
  };
  UniqueIcon small = iconOf(SM_CXSMICON), big = iconOf(SM_CXICON);
  SendMessageW(Handle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
  SendMessageW(Handle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
  tray.setIcon(small.get());
  smallIcon_ = std::move(small);
  bigIcon_ = std::move(big);
  RECT frame{0, 0, scale(kClientWidth, dpi_), scale(kClientHeight, dpi_)};
  AdjustWindowRectExForDpi(&frame, kWindowStyle, FALSE, kWindowExStyle, dpi_);
  SetWindowPos(Handle, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(Handle, nullptr, TRUE);
}
