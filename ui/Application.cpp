// Application.cpp: see Application.h.
#include "Application.h"

namespace Application {

std::wstring Title = L"Vostrelk";
HWND MainWindow = nullptr;
std::function<bool(MSG&)> KeyPreview;

namespace {

HWND boxOwner() {
  return MainWindow && IsWindowVisible(MainWindow) ? MainWindow : nullptr;
}

}  // namespace

void ShowMessage(const std::wstring& Text) {
  MessageBoxW(boxOwner(), Text.c_str(), Title.c_str(), MB_OK);
}

std::wstring ErrorBoxText(std::wstring Message) {
  if (!Message.empty() && Message.back() > L'.') Message += L'.';
  return Message;
}

void ShowErrorBox(std::wstring Message) {
  MessageBoxW(boxOwner(), ErrorBoxText(std::move(Message)).c_str(), Title.c_str(),
              MB_OK | MB_ICONSTOP);
}

void ProcessMessage(MSG& Msg) {
  const bool forMain = MainWindow && (Msg.hwnd == MainWindow || IsChild(MainWindow, Msg.hwnd));
  if (forMain) {
    if ((Msg.message == WM_KEYDOWN || Msg.message == WM_SYSKEYDOWN) && KeyPreview &&
        KeyPreview(Msg))
      return;
    if (IsDialogMessageW(MainWindow, &Msg)) return;
  }
  TranslateMessage(&Msg);
  DispatchMessageW(&Msg);
}

void ShowMainWindow(HWND MainWnd, int ShowCommand) {
  switch (ShowCommand) {
    case SW_SHOWMINNOACTIVE:
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_FORCEMINIMIZE:
      // The window's own minimise handling hides it to the tray icon.
      ShowWindow(MainWnd, SW_SHOWMINNOACTIVE);
      break;
    case SW_SHOWMAXIMIZED:
    case SW_SHOWNOACTIVATE:
    case SW_SHOWNA:
      ShowWindow(MainWnd, ShowCommand);
      break;
    default:
      ShowWindow(MainWnd, SW_SHOWNORMAL);
      break;
  }
  UpdateWindow(MainWnd);
}

int Run(HWND MainWnd, int ShowCommand) {
  ShowMainWindow(MainWnd, ShowCommand);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) ProcessMessage(msg);
  return static_cast<int>(msg.wParam);
}

}  // namespace Application
