// TrayIcon.cpp: the notification-area icon's owner; see TrayIcon.h.
#include "TrayIcon.h"

#include "AppName.h"
#include "Text.h"

#include <utility>

TrayIcon::~TrayIcon() {
  remove();
}

void TrayIcon::attach(HWND owner) {
  owner_ = owner;
  taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
}

bool TrayIcon::onMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TRAYICON) {
    switch (LOWORD(lParam)) {
      case WM_LBUTTONDOWN:
        ShowWindow(owner_, SW_SHOW);
        if (IsIconic(owner_)) ShowWindow(owner_, SW_RESTORE);
        SetForegroundWindow(owner_);
        break;
      case WM_RBUTTONDOWN:
        hideOwner();
        break;
      default:
        break;  // moves, releases, double clicks, the middle button
    }
    return true;  // never passed on
  }
  if (msg == WM_TIMER && wParam == kRetryTimer) {
    retry();
    return true;
  }
  if (msg == WM_TRAYBALLOON) {
    showBalloon();
    return true;
  }
  if (msg != taskbarCreated_ || taskbarCreated_ == 0) return false;
  // The shell restarted and forgot the icon; a hidden window's only way back is it.
  shellRestarted();
  return true;
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

void TrayIcon::hideOwner() {
  if (add())
    ShowWindow(owner_, SW_HIDE);
  else if (IsWindowVisible(owner_) && !IsIconic(owner_))
    ShowWindow(owner_, SW_MINIMIZE);
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

void TrayIcon::balloon(const std::wstring& text) {
  balloon_ = text;
  PostMessageW(owner_, WM_TRAYBALLOON, 0, 0);
}

void TrayIcon::showBalloon() {
  const std::wstring text = std::exchange(balloon_, std::wstring());
  if (!shown_ || text.empty()) return;
  NOTIFYICONDATAA info = data_;
  // The layout that carries a balloon, understood from Windows 2000 on.
  info.cbSize = NOTIFYICONDATAA_V2_SIZE;
  info.uFlags = NIF_INFO;
  info.dwInfoFlags = NIIF_WARNING;
  lstrcpynA(info.szInfo, toAnsi(text).c_str(), sizeof info.szInfo);
  lstrcpynA(info.szInfoTitle, kAppName, sizeof info.szInfoTitle);
  shell_(NIM_MODIFY, &info);
}

void TrayIcon::shellRestarted() {
  if (!wanted_) return;
  shown_ = false;
  if (!tryRegister()) startRetrying();
}
