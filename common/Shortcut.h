// Shortcut.h: shell folders and shortcut files (unit Common, Windows only).
#pragma once

#include <string>

enum class WindowState { Normal, Minimized, Maximized };

// The show command a shortcut stores for each window state.
extern const int ShowCmdTable[3];

// Path := the file-system path of shell folder FolderId (a CSIDL value), with
// a trailing backslash. False, and Path unchanged, when the folder has none.
[[nodiscard]] bool GetSpecialFolder(int FolderId, std::string& Path);
// The current user's desktop directory.
[[nodiscard]] bool GetDesktopFolder(std::string& Path);

// Writes a shell shortcut to LinkFile; true when every step succeeded. The
// first step that failed leaves its HRESULT in *Result, when given.
[[nodiscard]] bool CreateShortcut(const std::string& LinkFile, const std::string& Target,
                                  const std::string& Arguments, const std::string& WorkDir,
                                  WindowState ShowState, long* Result = nullptr);
