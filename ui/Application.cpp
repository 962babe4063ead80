// Application.cpp: see Application.h.
#include "Application.h"

#include "AppName.h"

namespace Application {

std::wstring title = kAppNameW;
HWND mainWindow = nullptr;
std::function<bool(MSG&)> keyPreview;

namespace {

HWND boxOwner() {
  return mainWindow && IsWindowVisible(mainWindow) ? mainWindow : nullptr;
}

}  // namespace

void loadSystemDllsOnly() {
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void showMessage(const std::wstring& Text) {
  MessageBoxW(boxOwner(), Text.c_str(), title.c_str(), MB_OK);
}

std::wstring errorBoxText(std::wstring Message) {
  if (!Message.empty() && Message.back() > L'.') Message += L'.';
  return Message;
}

void showErrorBox(std::wstring Message) {
  MessageBoxW(boxOwner(), errorBoxText(std::move(Message)).c_str(), title.c_str(),
              MB_OK | MB_ICONSTOP);
}

void processMessage(MSG& Msg) {
  const bool forMain = mainWindow && (Msg.hwnd == mainWindow || IsChild(mainWindow, Msg.hwnd));
  if (forMain) {
    if ((Msg.message == WM_KEYDOWN || Msg.message == WM_SYSKEYDOWN) && keyPreview &&
        keyPreview(Msg))
      return;
    if (IsDialogMessageW(mainWindow, &Msg)) return;
  }
  TranslateMessage(&Msg);
  DispatchMessageW(&Msg);
}

void showMainWindow(HWND MainWnd, int ShowCommand) {
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

int run(HWND MainWnd, int ShowCommand) {
  showMainWindow(MainWnd, ShowCommand);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) processMessage(msg);
  return static_cast<int>(msg.wParam);
}

}  // namespace Application
