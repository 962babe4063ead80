// minimal.cpp: the floor for any windowed program here: one window, its loop.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(w, m, wp, lp);
  };
  wc.hInstance = instance;
  wc.lpszClassName = L"Minimal";
  RegisterClassW(&wc);
  HWND wnd = CreateWindowW(L"Minimal", L"Minimal", WS_OVERLAPPEDWINDOW, 192, 107, 384, 245, nullptr,
                           nullptr, instance, nullptr);
  ShowWindow(wnd, show);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
