// where.cpp: tells the end-to-end scripts where the main window's controls
// stand on the screen, by asking the window itself: a line for each control,
// its ID and its screen rectangle (left top right bottom), for a list box
// its item height (0 for the others), and whether it is enabled (the list
// is not while the settings file is read).
#include <windows.h>

#include <cstdio>

namespace {

BOOL CALLBACK report(HWND control, LPARAM) {
  RECT r{};
  GetWindowRect(control, &r);
  wchar_t cls[16] = {};
  GetClassNameW(control, cls, 16);
  const LRESULT itemHeight =
      lstrcmpiW(cls, L"ListBox") == 0 ? SendMessageW(control, LB_GETITEMHEIGHT, 0, 0) : 0;
  std::printf("%d %ld %ld %ld %ld %ld %d\n", GetDlgCtrlID(control), r.left, r.top, r.right,
              r.bottom, static_cast<long>(itemHeight), IsWindowEnabled(control) ? 1 : 0);
  return TRUE;
}

}  // namespace

int main() {
  const HWND window = FindWindowW(L"TForm1", L"Vostrelk");
  if (!window) return 1;
  EnumChildWindows(window, report, 0);
  return 0;
}
