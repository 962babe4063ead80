// Vostrelk.cpp: the program entry: one instance per session, then the main
// window and its message loop; the store is saved by the window as it closes.
#include <windows.h>

#include "AppName.h"
#include "Application.h"
#include "Raii.h"
#include "Unit1.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  Application::loadSystemDllsOnly();
  // Another copy holds the mutex: end silently, telling it nothing.
  if (UniqueHandle other{OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kAppName)}) return 0;
  UniqueHandle mutex{CreateMutexA(nullptr, FALSE, kAppName)};
  // Two copies started at once can both miss the other's mutex when opening
  // it; only one of them creates it.
  if (GetLastError() == ERROR_ALREADY_EXISTS) return 0;

  ComInit com;
  // Creation that fails has said why (the error box) and touched no file.
  const std::unique_ptr<TForm1> Form1 = TForm1::create(instance);
  if (!Form1) return 1;
  // The mutex was never owned (created so): closing its handle at the end lets it go.
  return Application::run(Form1->Handle, showCommand);
}
