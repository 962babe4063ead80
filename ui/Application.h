// Application.h: the application object: its title, its message loop with
// key preview and dialog keyboard handling, its message and error boxes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// An error raised inside a handler; the window procedure shows it in the error box.
struct AppError {
  std::wstring message;
};

namespace Application {

// DLLs loaded by name come from the system folder only, never from the
// program's own folder (Downloads, a share) or the current one. The first
// thing the program does.
void loadSystemDllsOnly();

extern std::wstring title;
// The main window: dialog keys (Tab, access keys) work among its controls.
extern HWND mainWindow;
// Sees every key press for the main window before its controls do; returns
// true when it has dealt with the message completely.
extern std::function<bool(MSG&)> keyPreview;

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

// Handles one message as the loop does: key preview, dialog keys, dispatch.
void processMessage(MSG& msg);
// Shows the main window as the process was told to: minimised (the window
// then hides to its tray icon), maximised, or without taking the activation.
void showMainWindow(HWND mainWnd, int showCommand);
// showMainWindow, then the loop until the main window is gone. Returns the exit code.
int run(HWND mainWnd, int showCommand);

}  // namespace Application
