// Unit1Layout.cpp: see Unit1Layout.h.
#include "Unit1Layout.h"

#include "Application.h"

#include "resource.h"

namespace layout {

namespace {

const int kFontHeight = 12, kItemHeight = 12;
const DWORD kEdit = WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL;
const DWORD kButton = WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON;
const DWORD kLabel = SS_RIGHT | SS_NOPREFIX;

int textWidth(HWND wnd, HFONT font, const wchar_t* text) {
  const WindowDC dc(wnd);
  const SelectedObject selected(dc.get(), font);
  SIZE size{};
  GetTextExtentPoint32W(dc.get(), text, lstrlenW(text), &size);
  return size.cx;
}

const Control* find(int id) {
  for (const Control& c : kControls)
    if (c.id == id) return &c;
  return nullptr;
}

}  // namespace

// One control a line, as in the layout table.
// clang-format off
const Control kControls[16] = {
    {IDC_GPBSQLPLUS, 0, L"BUTTON", L" Oracle SQL*Plus ", BS_GROUPBOX, 0, 4, 0, 361, 41},
    {IDC_EDTSQLPLUS, IDC_GPBSQLPLUS, L"EDIT", L"edtSQLPlus", kEdit, WS_EX_CLIENTEDGE, 12, 14, 293, 20},
    {IDC_BTNFILEOPEN, IDC_GPBSQLPLUS, L"BUTTON", L"参照...", kButton, 0, 308, 14, 45, 21},
    {IDC_GPBLOGIN, 0, L"BUTTON", L" ログオン ", BS_GROUPBOX, 0, 172, 44, 193, 97},
    {IDC_LBLUSER, IDC_GPBLOGIN, L"STATIC", L"ユーザＩＤ", kLabel, 0, 7, 20, 48, 12},
    {IDC_EDTUSER, IDC_GPBLOGIN, L"EDIT", L"edtUser", kEdit, WS_EX_CLIENTEDGE, 76, 16, 109, 20},
    {IDC_LBLPASS, IDC_GPBLOGIN, L"STATIC", L"パスワード", kLabel, 0, 7, 44, 54, 12},
    {IDC_EDTPASS, IDC_GPBLOGIN, L"EDIT", L"edtPass", kEdit, WS_EX_CLIENTEDGE, 76, 40, 109, 20},
    {IDC_LBLHOST, IDC_GPBLOGIN, L"STATIC", L"ホスト文字列", kLabel, 0, 7, 68, 66, 12},
    {IDC_EDTHOST, IDC_GPBLOGIN, L"EDIT", L"edtHost", kEdit, WS_EX_CLIENTEDGE, 76, 65, 109, 20},
    {IDC_GPBLIST, 0, L"BUTTON", L" 接続先リスト ", BS_GROUPBOX, 0, 4, 44, 165, 157},
    {IDC_LSTLOGIN, IDC_GPBLIST, L"LISTBOX", L"",
     WS_TABSTOP | WS_GROUP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE, 6, 16, 151, 133},
    {IDC_BTNINSERT, 0, L"BUTTON", L"登録(&A)", kButton, 0, 172, 144, 93, 25},
    {IDC_BTNSHELL, 0, L"BUTTON", L"起動(&E)", kButton, 0, 272, 144, 93, 25},
    {IDC_BTNDELETE, 0, L"BUTTON", L"削除(&D)", kButton, 0, 172, 176, 93, 25},
    {IDC_BTNSHORTCUT, 0, L"BUTTON", L"ｼｮｰﾄｶｯﾄ作成(&S)", kButton, 0, 272, 176, 93, 25},
};
// clang-format on

int scale(int value, UINT dpi) {
  return MulDiv(value, static_cast<int>(dpi), 96);
}

RECT controlRect(int id, UINT dpi) {
  const Control* c = find(id);
  if (!c) return RECT{};
  int left = c->left, top = c->top;
  if (const Control* g = find(c->group)) {
    left += g->left;
    top += g->top;
  }
  return RECT{scale(left, dpi), scale(top, dpi), scale(left, dpi) + scale(c->width, dpi),
              scale(top, dpi) + scale(c->height, dpi)};
}

void createControls(HWND parent) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
  for (const Control& c : kControls) {
    const RECT r = controlRect(c.id, 96);
    // A window without one of its controls is no window to work with: its
    // creation fails, with the reason in the error box.
    if (!CreateWindowExW(c.exStyle, c.className, c.text, WS_CHILD | WS_VISIBLE | c.style, r.left,
                         r.top, r.right - r.left, r.bottom - r.top, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr))
      throw SystemFailure{GetLastError()};
  }
}

void placeControls(HWND parent, UINT dpi, HFONT font) {
  for (const Control& c : kControls) {
    const HWND wnd = GetDlgItem(parent, c.id);
    RECT r = controlRect(c.id, dpi);
    if (c.style & SS_RIGHT) {
      const int needed = textWidth(wnd, font, c.text);
      if (needed > r.right - r.left) r.left = r.right - needed;
    }
    SetWindowPos(wnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
}

SIZE frameSize(UINT dpi) {
  RECT frame{0, 0, scale(kClientWidth, dpi), scale(kClientHeight, dpi)};
  AdjustWindowRectExForDpi(&frame, kWindowStyle, FALSE, kWindowExStyle, dpi);
  return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

UniqueFont createFont(UINT dpi) {
  return UniqueFont(CreateFontW(-scale(kFontHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"ＭＳ Ｐゴシック"));
}

int itemHeight(UINT dpi) {
  return scale(kItemHeight, dpi);
}

Icons loadIcons(HINSTANCE instance, UINT dpi) {
  const auto iconOf = [&](int metric) {
    const int size = GetSystemMetricsForDpi(metric, dpi);
    return UniqueIcon(static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_VOSTRELK), IMAGE_ICON, size, size, 0)));
  };
  return Icons{iconOf(SM_CXSMICON), iconOf(SM_CXICON)};
}

HBRUSH buttonFaceColours(HDC dc) {
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  return GetSysColorBrush(COLOR_BTNFACE);
}

void registerWindowClass(HINSTANCE instance, WNDPROC windowProc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_VOSTRELK), IMAGE_ICON, 0,
                                           0, LR_DEFAULTSIZE | LR_SHARED));
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_VOSTRELK), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw SystemFailure{GetLastError()};
}

Applied applyLayout(HWND window, UINT dpi) {
  Applied applied{
      createFont(dpi),
      loadIcons(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE)), dpi)};
  placeControls(window, dpi, applied.font.get());
  SendDlgItemMessageW(window, IDC_LSTLOGIN, LB_SETITEMHEIGHT, 0, itemHeight(dpi));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(applied.icons.small.get()));
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(applied.icons.big.get()));
  const SIZE frame = frameSize(dpi);
  SetWindowPos(window, nullptr, 0, 0, frame.cx, frame.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(window, nullptr, TRUE);
  return applied;
}

}  // namespace layout
