// Unit1Tray.cpp: TForm1's notification-area icon: registered once, removed
// once, and the window hidden to it and brought back from it.
#include "Application.h"
#include "Unit1.h"

void TForm1::AddTrayIcon() {
  if (TrayIconShown) return;
  TrayIconData = NOTIFYICONDATAA{};
  TrayIconData.cbSize = NOTIFYICONDATAA_V1_SIZE;  // the first layout
  TrayIconData.hWnd = Handle;
  TrayIconData.uID = 1;
  TrayIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  TrayIconData.uCallbackMessage = WM_TRAYICON;
  TrayIconData.hIcon = reinterpret_cast<HICON>(GetClassLongPtrW(Handle, GCLP_HICON));
  lstrcpynA(TrayIconData.szTip, "Vostrelk", 64);
  Shell_NotifyIconA(NIM_ADD, &TrayIconData);
  TrayIconShown = true;  // follows the call made, whatever the shell answered
}

void TForm1::RemoveTrayIcon() {
  if (!TrayIconShown) return;
  TrayIconData.cbSize = NOTIFYICONDATAA_V1_SIZE;
  TrayIconData.hWnd = Handle;
  TrayIconData.uID = 1;
  Shell_NotifyIconA(NIM_DELETE, &TrayIconData);
  TrayIconShown = false;
}

void TForm1::HideToTray() {
  AddTrayIcon();
  ShowWindow(Handle, SW_HIDE);
}

void TForm1::AppMinimize() {
  HideToTray();
}

void TForm1::onTrayIcon(UINT MouseMsg) {
  switch (MouseMsg) {
    case WM_LBUTTONDOWN:
      ShowWindow(Handle, SW_SHOW);
      if (IsIconic(Handle)) ShowWindow(Handle, SW_RESTORE);
      SetForegroundWindow(Handle);
      break;
    case WM_RBUTTONDOWN:
      HideToTray();
      break;
    default:
      break;  // moves, releases, double clicks, the middle button
  }
}
