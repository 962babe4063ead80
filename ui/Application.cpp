// Application.cpp: see Application.h.
#include "Application.h"

#include <new>

#include "AppName.h"
#include "CodePage.h"
#include "Messages.h"

namespace Application {

std::wstring title = kAppNameW;
namespace {

MainWindow* current = nullptr;  // the one the window holds now

bool isPushButton(HWND wnd) {
  wchar_t cls[16] = {};
  GetClassNameW(wnd, cls, 16);
  if (lstrcmpiW(cls, L"Button") != 0) return false;
  const LONG type = GetWindowLongW(wnd, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

// Alt shows in the message itself (a system key), Shift and Ctrl in the key state.
bool modifierDown(const MSG& msg) {
  return msg.message == WM_SYSKEYDOWN || GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0 ||
         GetKeyState(VK_MENU) < 0;
}

int boxesShown = 0;

HWND boxOwner() {
  if (!current || !current->placed) return nullptr;
  const HWND wnd = current->wnd;
  if (!IsWindowVisible(wnd)) {
    // A box without an owner left the window usable under it, to be
    // brought back from the tray and closed again: brought back here
    // instead, as the icon does.
    ShowWindow(wnd, SW_SHOW);
    if (IsIconic(wnd)) ShowWindow(wnd, SW_RESTORE);
  }
  return wnd;
}

// A box of the window's own, counted while it is up.
int box(const std::wstring& text, UINT type) {
  const HWND owner = boxOwner();
  ++boxesShown;
  const int answer = MessageBoxW(owner, text.c_str(), title.c_str(), type);
  --boxesShown;
  return answer;
}

}  // namespace

MainWindow::MainWindow(HWND w, std::function<bool(MSG&)> preview)
    : wnd(w), keyPreview(std::move(preview)) {
  current = this;
}

MainWindow::~MainWindow() {
  if (current == this) current = nullptr;
}

void MainWindow::activated(WPARAM state) {
  if (LOWORD(state) == WA_INACTIVE) {
    const HWND now = GetFocus();
    if (now && IsChild(wnd, now)) focus = now;
  } else if (focus && IsWindow(focus)) {
    SetFocus(focus);
  }
}

bool guarded(const std::function<void()>& work) {
  try {
    work();
    return true;
  } catch (const SystemFailure& e) {
    showErrorBox(messages::unexpectedSystemError(e.error));
  } catch (const std::bad_alloc&) {
    showErrorBox(messages::kOutOfMemory);
  } catch (const std::exception& e) {
    showErrorBox(messages::unexpectedError(e.what()));
  }
  return false;
}

void loadSystemDllsOnly() {
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void showMessage(const std::wstring& text) {
  box(text, MB_OK);
}

bool askYesNo(const std::wstring& text) {
  return box(text, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

bool boxShown() {
  return boxesShown > 0;
}

std::wstring errorBoxText(std::wstring message) {
  if (!message.empty() && message.back() > L'.') message += L'.';
  return message;
}

void showErrorBox(std::wstring message) {
  box(errorBoxText(std::move(message)), MB_OK | MB_ICONSTOP);
}

void processMessage(MSG& msg) {
  const MainWindow* main = current;
  if (main && (msg.hwnd == main->wnd || IsChild(main->wnd, msg.hwnd))) {
    const bool keyDown = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    // No button is the default: Enter clicks the one that has the focus.
    if (keyDown && msg.wParam == VK_RETURN && isPushButton(msg.hwnd) && !modifierDown(msg)) {
      SendMessageW(msg.hwnd, BM_CLICK, 0, 0);
      return;
    }
    if (keyDown && main->keyPreview && main->keyPreview(msg)) return;
    if (IsDialogMessageW(main->wnd, &msg)) return;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void showMainWindow(HWND mainWnd, int showCommand) {
  if (current && current->wnd == mainWnd) current->placed = true;
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
  // No UpdateWindow: the first paint waits for an empty queue, so a load
  // already done (its message is posted) fills the list before it and the
  // window is painted once, whole.
}

int run(HWND mainWnd, int showCommand) {
  showMainWindow(mainWnd, showCommand);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) processMessage(msg);
  return static_cast<int>(msg.wParam);
}

}  // namespace Application
