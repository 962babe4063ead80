// WindowTestUtils.h: a user's actions on a real window, sent as the messages
// Windows sends for them, a catcher for the modal boxes they open, and PATH
// set for a while.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Application.h"
#include "Common.h"

namespace ui_test {

// Handles every message waiting, as the program's loop does; with Ms, keeps
// at it for that long.
inline void pump(DWORD ms = 0) {
  const DWORD until = GetTickCount() + ms;
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) Application::processMessage(msg);
    if (ms) Sleep(10);
  } while (ms && static_cast<LONG>(until - GetTickCount()) > 0);
}

inline void click(HWND button) {
  SendMessageW(button, BM_CLICK, 0, 0);
  pump();
}

// Replaces the text of an edit box as typing would (the box reports the change).
inline void typeInto(HWND edit, const std::wstring& text) {
  SetFocus(edit);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, WM_CLEAR, 0, 0);
  for (wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 1);
  pump();
}

inline POINT itemCentre(HWND list, int index) {
  RECT r{};
  SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

inline void clickItem(HWND list, int index) {
  const POINT p = itemCentre(list, index);
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
  pump();
}

inline void doubleClickItem(HWND list, int index) {
  const POINT p = itemCentre(list, index);
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
  SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
  pump();
}

// A key press on the focused control, through the program's message loop.
inline void pressKey(HWND target, WPARAM key) {
  const UINT scan = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
  PostMessageW(target, WM_KEYDOWN, key, 1 | (scan << 16));
  PostMessageW(target, WM_KEYUP, key, 1 | (scan << 16) | 0xC0000000u);
  pump();
}

// Alt with a letter, as the system posts it for an access key.
inline void pressAltKey(HWND target, wchar_t letter) {
  PostMessageW(target, WM_SYSKEYDOWN, VK_MENU, 0x20000001);
  PostMessageW(target, WM_SYSKEYDOWN, static_cast<WPARAM>(towupper(letter)), 0x20000001);
  PostMessageW(target, WM_SYSCHAR, static_cast<WPARAM>(letter), 0x20000001);
  PostMessageW(target, WM_SYSKEYUP, static_cast<WPARAM>(towupper(letter)), 0xE0000001u);
  PostMessageW(target, WM_KEYUP, VK_MENU, 0xC0000001u);
  pump();
}

struct CaughtBox {
  std::wstring caption, text;
  bool hasIcon = false;
  int defaultButton = 0;
  RECT rect{};
  HWND owner = nullptr;
};

// Catches the modal boxes (#32770 windows) this thread opens while it lives,
// records each one and answers it with Answer.
class DialogCatcher {
 public:
  using Answer = std::function<void(HWND)>;

  explicit DialogCatcher(Answer a) : answer_(std::move(a)) {
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
  static BOOL CALLBACK onWindow(HWND wnd, LPARAM) {
    DialogCatcher* self = current();
    wchar_t cls[32] = {};
    GetClassNameW(wnd, cls, 32);
    if (!self || lstrcmpW(cls, L"#32770") != 0 || !IsWindowVisible(wnd)) return TRUE;
    for (HWND seen : self->handled_)
      if (seen == wnd) return TRUE;
    self->handled_.push_back(wnd);
    CaughtBox box;
    wchar_t buf[1024] = {};
    GetWindowTextW(wnd, buf, 1024);
    box.caption = buf;
    buf[0] = 0;
    GetDlgItemTextW(wnd, 0xFFFF, buf, 1024);
    box.text = buf;
    if (HWND icon = GetDlgItem(wnd, 0x440))
      box.hasIcon = SendMessageW(icon, STM_GETICON, 0, 0) != 0 && IsWindowVisible(icon);
    GetWindowRect(wnd, &box.rect);
    box.owner = GetWindow(wnd, GW_OWNER);
    for (int id : {IDOK, IDCANCEL, IDYES, IDNO})  // the button drawn as the default
      if (HWND b = GetDlgItem(wnd, id);
          b && (GetWindowLongW(b, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
        box.defaultButton = id;
    self->boxes.push_back(box);
    self->answer_(wnd);
    return TRUE;
  }

  Answer answer_;
  UINT_PTR timer_ = 0;
  std::vector<HWND> handled_;
};

// The boxes action opens, each answered with button (IDYES, IDNO...).
inline std::vector<CaughtBox> answeredWith(int button, const std::function<void()>& action) {
  DialogCatcher catcher(
      [button](HWND dlg) { PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); });
  action();
  pump(300);
  return catcher.boxes;
}

// The message boxes action opens, each answered with OK.
inline std::vector<CaughtBox> boxesFrom(const std::function<void()>& action) {
  return answeredWith(IDOK, action);
}

// The text of the one message dialog action opens: no icon, the program's
// caption, one OK button. Anything else is described instead.
inline std::wstring messageFrom(const std::function<void()>& action) {
  const std::vector<CaughtBox> boxes = boxesFrom(action);
  if (boxes.size() != 1) return std::to_wstring(boxes.size()) + L" boxes";
  const CaughtBox& b = boxes[0];
  return b.caption == L"Vostrelk" && !b.hasIcon ? b.text : L"(" + b.caption + L", icon) " + b.text;
}

// PATH for as long as it lives, then PATH as it was.
class PathVariable {
 public:
  explicit PathVariable(const std::string& value) : old_(environmentVariable("PATH")) {
    SetEnvironmentVariableA("PATH", value.c_str());
  }
  ~PathVariable() { SetEnvironmentVariableA("PATH", old_.c_str()); }
  PathVariable(const PathVariable&) = delete;
  PathVariable& operator=(const PathVariable&) = delete;

 private:
  std::string old_;
};

}  // namespace ui_test
