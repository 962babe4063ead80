// WindowTestUtils.h: a user's actions on a real window, sent as the messages
// Windows sends for them, and a catcher for the modal boxes they open.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Application.h"

namespace ui_test {

// Handles every message waiting, as the program's loop does; with Ms, keeps
// at it for that long.
inline void pump(DWORD Ms = 0) {
  const DWORD until = GetTickCount() + Ms;
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) Application::processMessage(msg);
    if (Ms) Sleep(10);
  } while (Ms && static_cast<LONG>(until - GetTickCount()) > 0);
}

inline void click(HWND Button) {
  SendMessageW(Button, BM_CLICK, 0, 0);
  pump();
}

// Replaces the text of an edit box as typing would (the box reports the change).
inline void typeInto(HWND Edit, const std::wstring& Text) {
  SetFocus(Edit);
  SendMessageW(Edit, EM_SETSEL, 0, -1);
  SendMessageW(Edit, WM_CLEAR, 0, 0);
  for (wchar_t c : Text) SendMessageW(Edit, WM_CHAR, c, 1);
  pump();
}

inline POINT itemCentre(HWND List, int Index) {
  RECT r{};
  SendMessageW(List, LB_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&r));
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

inline void clickItem(HWND List, int Index) {
  const POINT p = itemCentre(List, Index);
  SendMessageW(List, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  SendMessageW(List, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
  pump();
}

inline void doubleClickItem(HWND List, int Index) {
  const POINT p = itemCentre(List, Index);
  SendMessageW(List, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  SendMessageW(List, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
  SendMessageW(List, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  SendMessageW(List, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
  pump();
}

// A key press on the focused control, through the program's message loop.
inline void pressKey(HWND Target, WPARAM Key) {
  const UINT scan = MapVirtualKeyW(static_cast<UINT>(Key), MAPVK_VK_TO_VSC);
  PostMessageW(Target, WM_KEYDOWN, Key, 1 | (scan << 16));
  PostMessageW(Target, WM_KEYUP, Key, 1 | (scan << 16) | 0xC0000000u);
  pump();
}

// Alt with a letter, as the system posts it for an access key.
inline void pressAltKey(HWND Target, wchar_t Letter) {
  PostMessageW(Target, WM_SYSKEYDOWN, VK_MENU, 0x20000001);
  PostMessageW(Target, WM_SYSKEYDOWN, static_cast<WPARAM>(towupper(Letter)), 0x20000001);
  PostMessageW(Target, WM_SYSCHAR, static_cast<WPARAM>(Letter), 0x20000001);
  PostMessageW(Target, WM_SYSKEYUP, static_cast<WPARAM>(towupper(Letter)), 0xE0000001u);
  PostMessageW(Target, WM_KEYUP, VK_MENU, 0xC0000001u);
  pump();
}

struct CaughtBox {
  std::wstring caption, text;
  bool hasIcon = false;
  RECT rect{};
};

// Catches the modal boxes (#32770 windows) this thread opens while it lives,
// records each one and answers it with Answer (OK by default).
class DialogCatcher {
 public:
  using Answer = std::function<void(HWND)>;
  static void pressOk(HWND Dlg) { PostMessageW(Dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }

  explicit DialogCatcher(Answer A = pressOk) : answer_(std::move(A)) {
    current() = this;
    timer_ = SetTimer(nullptr, 0, 100, onTimer);
  }
  ~DialogCatcher() {
    KillTimer(nullptr, timer_);
    current() = nullptr;
  }
  DialogCatcher(const DialogCatcher&) = delete;
  DialogCatcher& operator=(const DialogCatcher&) = delete;

  std::vector<CaughtBox> boxes;

 private:
  static DialogCatcher*& current() {
    static DialogCatcher* c = nullptr;
    return c;
  }
  static void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (!current()) return;
    EnumThreadWindows(GetCurrentThreadId(), onWindow, 0);
  }
  static BOOL CALLBACK onWindow(HWND Wnd, LPARAM) {
    DialogCatcher* self = current();
    wchar_t cls[32] = {};
    GetClassNameW(Wnd, cls, 32);
    if (!self || lstrcmpW(cls, L"#32770") != 0 || !IsWindowVisible(Wnd)) return TRUE;
    for (HWND seen : self->handled_)
      if (seen == Wnd) return TRUE;
    self->handled_.push_back(Wnd);
    CaughtBox box;
    wchar_t buf[1024] = {};
    GetWindowTextW(Wnd, buf, 1024);
    box.caption = buf;
    buf[0] = 0;
    GetDlgItemTextW(Wnd, 0xFFFF, buf, 1024);
    box.text = buf;
    if (HWND icon = GetDlgItem(Wnd, 0x440))
      box.hasIcon = SendMessageW(icon, STM_GETICON, 0, 0) != 0 && IsWindowVisible(icon);
    GetWindowRect(Wnd, &box.rect);
    self->boxes.push_back(box);
    self->answer_(Wnd);
    return TRUE;
  }

  Answer answer_;
  UINT_PTR timer_ = 0;
  std::vector<HWND> handled_;
};

// The message boxes Action opens, each answered with OK.
inline std::vector<CaughtBox> boxesFrom(const std::function<void()>& Action) {
  DialogCatcher catcher;
  Action();
  pump(300);
  return catcher.boxes;
}

// The text of the one message dialog Action opens: no icon, the program's
// caption, one OK button. Anything else is described instead.
inline std::wstring messageFrom(const std::function<void()>& Action) {
  const std::vector<CaughtBox> boxes = boxesFrom(Action);
  if (boxes.size() != 1) return std::to_wstring(boxes.size()) + L" boxes";
  const CaughtBox& b = boxes[0];
  return b.caption == L"Vostrelk" && !b.hasIcon ? b.text : L"(" + b.caption + L", icon) " + b.text;
}

}  // namespace ui_test
