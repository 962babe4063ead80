// Launch.cpp: see Launch.h.
#include "Launch.h"

#include <commdlg.h>

#include "CodePage.h"
#include "Messages.h"
#include "Raii.h"
#include "Shortcut.h"

namespace {

// A chosen path as ANSI text; a name the code page cannot hold is replaced by
// its short form, which it can. False when neither fits.
bool toAnsiPath(const std::wstring& path, std::string& out) {
  if (toAnsiExact(path, out)) return true;
  std::wstring shortPath(MAX_PATH, L'\0');
  const DWORD n = GetShortPathNameW(path.c_str(), shortPath.data(), MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  shortPath.resize(n);
  return toAnsiExact(shortPath, out);
}

}  // namespace

LaunchOutcome launchClient(const std::string& path, const Logon& logon) {
  if (!isUsableClientPath(path)) return LaunchOutcome::PathUnusable;
  std::string line = clientCommandLine(path, logon);  // CreateProcessA may write into it
  std::string title = consoleTitle(logon);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOW;
  // Several client windows look alike: each says which logon it holds.
  si.lpTitle = title.data();
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return LaunchOutcome::Failed;
  const UniqueHandle process{pi.hProcess}, thread{pi.hThread};  // not watched: let go at once
  return LaunchOutcome::Started;
}

ShortcutOutcome createLogonShortcut(const std::string& path, const Logon& logon) {
  if (!isUsableClientPath(path)) return ShortcutOutcome::PathUnusable;
  const std::string name = shortcutFileName(logon);
  std::string dir;
  // A name the file system would still take apart (a control character) or
  // a desktop that cannot be found fails before anything is written.
  const bool ok =
      isValidFileName(name) && GetDesktopFolder(dir) &&
      CreateShortcut(dir + name, path, clientArguments(logon), "C:\\", WindowState::Normal);
  return ok ? ShortcutOutcome::Created : ShortcutOutcome::Failed;
}

ClientChoice chooseClient(HWND owner, const std::wstring& offered) {
  ClientChoice choice;
  std::wstring file = offered;
  file.resize(32768, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = messages::kExeFilter;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
  // The dialog's library is loaded when it is first needed (linked to the
  // program, it slows every start for a button used once), and only from the
  // system folder: a comdlg32.dll planted beside the program (in Downloads,
  // on a share) must never run in it.
  const UniqueModule dialogs{
      LoadLibraryExW(L"comdlg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)};
  const auto open = dialogs ? reinterpret_cast<decltype(&GetOpenFileNameW)>(reinterpret_cast<void*>(
                                  GetProcAddress(dialogs.get(), "GetOpenFileNameW")))
                            : nullptr;
  if (!open) {
    choice.status = ClientChoice::DialogUnavailable;
    return choice;
  }
  if (!open(&ofn)) return choice;  // cancelled
  file.resize(wcslen(file.c_str()));
  choice.file = file;
  choice.status =
      toAnsiPath(file, choice.path) ? ClientChoice::Chosen : ClientChoice::NotInCodePage;
  return choice;
}
