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

extern std::wstring Title;
// The main window: dialog keys (Tab, access keys) work among its controls.
extern HWND MainWindow;
// Sees every key press for the main window before its controls do; returns
// true when it has dealt with the message completely.
extern std::function<bool(MSG&)> KeyPreview;

// The message dialog: no icon, the title as caption, one OK button.
void ShowMessage(const std::wstring& Text);
// The error box: stop icon, the title as caption; a period is added when the
// message's last character sorts above the period.
void ShowErrorBox(std::wstring Message);
// What ShowErrorBox shows for Message.
std::wstring ErrorBoxText(std::wstring Message);

// Handles one message as the loop does: key preview, dialog keys, dispatch.
void ProcessMessage(MSG& Msg);
// Shows the main window as the process was told to: minimised (the window
// then hides to its tray icon), maximised, or without taking the activation.
void ShowMainWindow(HWND MainWnd, int ShowCommand);
// ShowMainWindow, then the loop until the main window is gone. Returns the exit code.
int Run(HWND MainWnd, int ShowCommand);

}  // namespace Application
