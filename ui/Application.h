// Application.h: the application object: its title, its message loop with
// key preview and dialog keyboard handling, its message and error boxes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// A system call the program cannot do without failed (a window class or a
// control that could not be made): its error, for the error box.
struct SystemFailure {
  unsigned long error;
};

namespace Application {

// DLLs loaded by name come from the system folder only, never from the
// program's own folder (Downloads, a share) or the current one. The first
// thing the program does.
void loadSystemDllsOnly();

extern std::wstring title;

// The main window as the message loop and the boxes see it, for as long as
// the window holds this object: dialog keys work among its controls (Tab,
// access keys, and Enter without Shift, Ctrl or Alt clicks a focused push
// button), keyPreview sees every other key press for it before its controls
// do (true: dealt with completely), and the boxes are its own. One at a time.
class MainWindow {
 public:
  MainWindow(HWND wnd, std::function<bool(MSG&)> keyPreview);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // WM_ACTIVATE: as in a dialog, the focus returns to the control that had
  // it when the window was last active (or to focus, once given).
  void activated(WPARAM state);

  HWND wnd;
  std::function<bool(MSG&)> keyPreview;
  HWND focus = nullptr;
  // showMainWindow has put it on the screen (it may be in the tray since):
  // from then on a box brings it back, to own the box.
  bool placed = false;
};

// Runs a handler's work; an error it raises is shown in the error box, here
// and nowhere else. False when it raised one.
bool guarded(const std::function<void()>& work);

// The boxes below are the main window's own, the window brought back
// first where it is hidden (to the tray): disabled under the box, it takes
// nothing until the box is answered. (A box while the window is being
// made, before it was ever shown, has no owner.)

// The message dialog: no icon, the title as caption, one OK button.
void showMessage(const std::wstring& text);
// A question in a warning box with はい and いいえ, いいえ the default; whether
// the answer was はい.
[[nodiscard]] bool askYesNo(const std::wstring& text);
// The error box: stop icon, the title as caption; a period is added when the
// message's last character sorts above the period.
void showErrorBox(std::wstring message);
// What showErrorBox shows for Message.
std::wstring errorBoxText(std::wstring message);
// Whether one of the boxes above is up.
[[nodiscard]] bool boxShown();

// Handles one message as the loop does: key preview, dialog keys, dispatch.
void processMessage(MSG& msg);
// Shows the main window as the process was told to: minimised (the window
// then hides to its tray icon), maximised, or without taking the activation.
void showMainWindow(HWND mainWnd, int showCommand);
// showMainWindow, then the loop until the main window is gone. Returns the exit code.
int run(HWND mainWnd, int showCommand);

}  // namespace Application
