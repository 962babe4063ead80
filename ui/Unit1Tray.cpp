// Unit1Tray.cpp: the notification-area icon (TrayIcon), and TForm1's hiding
// to it and coming back from it.
#include "Unit1Tray.h"

#include "AppName.h"
#include "Unit1.h"

TrayIcon::~TrayIcon() {
  remove();
}

bool TrayIcon::add() {
  wanted_ = true;
  if (shown_) return true;
  data_ = NOTIFYICONDATAA{};
  data_.cbSize = NOTIFYICONDATAA_V1_SIZE;  // the first layout, understood by every shell
  data_.hWnd = owner_;
  data_.uID = 1;
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data_.uCallbackMessage = WM_TRAYICON;
  data_.hIcon = icon_;
  lstrcpynA(data_.szTip, kAppName, sizeof data_.szTip);
  if (tryRegister()) return true;
  startRetrying();
  return false;
}

void TrayIcon::setIcon(HICON icon) {
  icon_ = icon;
  data_.hIcon = icon;
  if (shown_) shell_(NIM_MODIFY, &data_);
}

bool TrayIcon::tryRegister() {
  // A busy shell may time out on NIM_ADD and add the icon all the same: when
  // the add fails but the icon can be modified, it is there.
  shown_ = shell_(NIM_ADD, &data_) || shell_(NIM_MODIFY, &data_);
  if (shown_) stopRetrying();
  return shown_;
}

void TrayIcon::startRetrying() {
  retriesLeft_ = kRetries;
  SetTimer(owner_, kRetryTimer, kRetryMs, nullptr);
}

void TrayIcon::stopRetrying() {
  if (owner_) KillTimer(owner_, kRetryTimer);
  retriesLeft_ = 0;
}

// The timer runs only while the icon is wanted and missing; after the last
// try the shell's "TaskbarCreated" is the next chance.
void TrayIcon::retry() {
  if (!tryRegister() && --retriesLeft_ <= 0) stopRetrying();
}

void TrayIcon::remove() {
  wanted_ = false;
  stopRetrying();
  if (!shown_) return;
  shell_(NIM_DELETE, &data_);
  shown_ = false;
}

void TrayIcon::shellRestarted() {
  if (!wanted_) return;
  shown_ = false;
  if (!tryRegister()) startRetrying();
}

bool TForm1::AddTrayIcon() {
  return tray.add();
}

void TForm1::RemoveTrayIcon() {
  tray.remove();
}

void TForm1::HideToTray() {
  if (AddTrayIcon()) {
    ShowWindow(Handle, SW_HIDE);
    return;
  }
  // Hidden without an icon, the window could not be brought back: it goes to
  // the taskbar instead (once the loop has put it on screen).
  if (IsWindowVisible(Handle) && !IsIconic(Handle)) ShowWindow(Handle, SW_MINIMIZE);
}

void TForm1::AppMinimize() {
  HideToTray();
}

void TForm1::onTrayIcon(UINT mouseMsg) {
  switch (mouseMsg) {
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
