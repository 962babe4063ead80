// Launch.h: what the program starts and writes outside itself: the client
// with a logon, the desktop shortcut that starts it, and the file dialog
// that chooses the client. Each takes what it needs and reports an outcome;
// the window puts it into words.
#pragma once

#include <windows.h>

#include <string>

#include "Logon.h"

enum class LaunchOutcome { Started, PathUnusable, Failed };
// Starts the client at path with logon as its one argument, in a console
// window whose title names the logon without its password. Neither waits
// for the client nor keeps a handle to it.
[[nodiscard]] LaunchOutcome launchClient(const std::string& path, const Logon& logon);

enum class ShortcutOutcome { Created, PathUnusable, Failed };
// Places a shortcut on the desktop that starts the client at path with logon.
[[nodiscard]] ShortcutOutcome createLogonShortcut(const std::string& path, const Logon& logon);

struct ClientChoice {
  enum Status { Chosen, Cancelled, DialogUnavailable, NotInCodePage };
  Status status = Cancelled;
  std::string path;   // Chosen: as ANSI text (a short name where the long one does not fit)
  std::wstring file;  // the file the dialog gave
};
// The file dialog for the client's executable, owned by owner, offering
// offered (the file chosen last).
[[nodiscard]] ClientChoice chooseClient(HWND owner, const std::wstring& offered);
