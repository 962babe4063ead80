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

void showMessage(const std::wstring& text) {
  MessageBoxW(boxOwner(), text.c_str(), title.c_str(), MB_OK);
}

bool askYesNo(const std::wstring& text) {
  return MessageBoxW(boxOwner(), text.c_str(), title.c_str(),
                     MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

std::wstring errorBoxText(std::wstring message) {
  if (!message.empty() && message.back() > L'.') message += L'.';
  return message;
}

void showErrorBox(std::wstring message) {
  MessageBoxW(boxOwner(), errorBoxText(std::move(message)).c_str(), title.c_str(),
              MB_OK | MB_ICONSTOP);
}

void processMessage(MSG& msg) {
  const bool forMain = mainWindow && (msg.hwnd == mainWindow || IsChild(mainWindow, msg.hwnd));
  if (forMain) {
    if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && keyPreview &&
        keyPreview(msg))
      return;
    if (IsDialogMessageW(mainWindow, &msg)) return;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void showMainWindow(HWND mainWnd, int showCommand) {
  switch (showCommand) {
    case SW_SHOWMINNOACTIVE:
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_FORCEMINIMIZE:
      // The window's own minimise handling hides it to the tray icon.
      ShowWindow(mainWnd, SW_SHOWMINNOACTIVE);
      break;
    case SW_SHOWMAXIMIZED:
    case SW_SHOWNOACTIVATE:
    case SW_SHOWNA:
      ShowWindow(mainWnd, showCommand);
      break;
    default:
      ShowWindow(mainWnd, SW_SHOWNORMAL);
      break;
  }
  UpdateWindow(mainWnd);
}

int run(HWND mainWnd, int showCommand) {
  showMainWindow(mainWnd, showCommand);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) processMessage(msg);
  return static_cast<int>(msg.wParam);
}

}  // namespace Application
