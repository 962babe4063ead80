// TrayIcon.h: the notification-area icon's one owner. It registers the icon,
// removes it, registers it again after the shell restarts, and keeps trying
// for a while when the shell does not answer (at logon it may still be
// starting). Nothing else sets the icon's state.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "WindowIds.h"

class TrayIcon {
 public:
  // The shell's entry point; tests put one in its place that fails.
  using ShellFn = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA);
  // The owner window's timer for the next attempt, every 2 s for a minute.
  static constexpr TimerId kRetryTimer = kTrayRetryTimer;
  static constexpr UINT kRetryMs = 2000;
  static constexpr int kRetries = 30;

  explicit TrayIcon(ShellFn shell) : shell_(shell) {}
  // An icon still registered goes with its owner: none is left behind.
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // The window the icon belongs to and reports to.
  void attach(HWND owner);
  // The owner's messages that are the icon's: WM_TRAYICON (a left button
  // down brings the owner back to the front, a right one hides it; other
  // mouse messages are ignored), its retry timer, its balloon and the new
  // shell's "TaskbarCreated". True when msg was one of them (dealt with).
  bool onMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  // Registers the icon and hides the owner behind it; without an icon the
  // owner could not be brought back, so it goes to the taskbar instead
  // (once it is on screen).
  void hideOwner();
  // The picture, drawn for the DPI the icon is shown at; the caller keeps it alive.
  void setIcon(HICON icon);
  // Wants the icon from now on; true when it is registered.
  bool add();
  // Wants it no more; deletes it when registered.
  void remove();
  // A balloon from the icon, with the program's name as its title: the one
  // way to tell the user something where no box may be shown (the session's
  // end). Posted, and shown once the owner's thread is free: the shell may
  // be slow to answer, and the session's end may not wait for it. Nothing
  // without an icon.
  void balloon(const std::wstring& text);
  bool TrayIconShown() const { return shown_; }
  const NOTIFYICONDATAA& TrayIconData() const { return data_; }

 private:
  // "TaskbarCreated": the new shell has none of the old one's icons.
  void shellRestarted();
  // The retry timer went off.
  void retry();
  bool tryRegister();
  void startRetrying();
  void stopRetrying();
  void showBalloon();

  ShellFn shell_;
  HWND owner_ = nullptr;
  UINT taskbarCreated_ = 0;
  bool wanted_ = false, shown_ = false;
  int retriesLeft_ = 0;
  HICON icon_ = nullptr;
  NOTIFYICONDATAA data_{};
  std::wstring balloon_;  // the balloon posted, until it is shown
};
