// Unit1Launch.cpp: what the main window starts and writes outside itself:
// the client with a logon, the desktop shortcut, and the file dialog that
// chooses the client.
#include "Unit1.h"

#include <commdlg.h>

#include "Application.h"
#include "Logon.h"
#include "Messages.h"
#include "Shortcut.h"
#include "Store.h"
#include "Text.h"

namespace {

// WinExec answers an error code (0 to 31, as the 16-bit loader did) or a
// value above 31 when the program started.
const UINT kWinExecLastError = 31;

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

void TForm1::btnFileOpenClick() {
  std::wstring file = lastOpenFile_;
  file.resize(32768, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = Handle;
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
  if (!open) throw AppError{messages::kFileDialogUnavailable};
  if (!open(&ofn)) return;  // cancelled: the path stays as it was
  file.resize(wcslen(file.c_str()));
  lastOpenFile_ = file;
  std::string path;
  if (!toAnsiPath(file, path)) throw AppError{messages::pathNotInCodePage(file)};
  SQLPlusPath = path;
  setTextA(edtSQLPlus, SQLPlusPath);
}

void TForm1::Shell_SQL() {
  const std::optional<Logon> logon = readLogon();
  if (!logon) return;
  const std::string command = clientCommandLine(getTextA(edtSQLPlus), *logon);
  if (WinExec(command.c_str(), SW_SHOW) <= kWinExecLastError)
    Application::showMessage(messages::kLaunchFailed);
}

void TForm1::btnShortCutClick() {
  const std::optional<Logon> logon = readLogon();
  if (!logon) return;
  const std::string name = shortcutFileName(*logon);
  std::string dir;
  // A name the file system would still take apart (a control character) or
  // a desktop that cannot be found fails before anything is written.
  const bool ok = isValidFileName(name) && GetDesktopFolder(dir) &&
                  CreateShortcut(dir + name, getTextA(edtSQLPlus), clientArguments(*logon), "C:\\",
                                 WindowState::Normal);
  Application::showMessage(ok ? messages::kShortcutCreated : messages::kShortcutFailed);
}
