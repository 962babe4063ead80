// Launch.cpp: see Launch.h.
#include "Launch.h"

#include <commdlg.h>

#include "CodePage.h"
#include "Common.h"
#include "Paths.h"
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

bool isFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

Outcome resolveClient(const std::string& path, std::string& file) {
  if (path.empty()) return {Outcome::NoClient};
  switch (classifyClientPath(path)) {
    case ClientPath::Unusable:
      return {Outcome::PathUnusable};
    case ClientPath::BatchFile:
      return {Outcome::BatchClient};
    case ClientPath::Relative:
      return {Outcome::NotFullPath};
    case ClientPath::Bare:
      // Never the program's folder or the current one, where the system would look first.
      file = findOnPath(path, environmentVariable("PATH"), isFile);
      if (file.empty()) return {Outcome::NotOnPath, 0, fromAnsi(path)};
      return {};
    case ClientPath::Full:
      file = startedFile(path);
      return {};
  }
  return {Outcome::PathUnusable};
}

Outcome launchClient(const std::string& path, const Logon& logon) {
  std::string file;
  if (Outcome resolved = resolveClient(path, file); resolved.kind != Outcome::Done) return resolved;
  std::string line = clientCommandLine(file, logon);  // CreateProcessA may write into it
  std::string title = consoleTitle(logon);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOW;
  // Several client windows look alike: each says which logon it holds.
  si.lpTitle = title.data();
  PROCESS_INFORMATION pi{};
  // The file itself, named: the system searches nothing and reads no
  // program's name out of the command line.
  if (!CreateProcessA(file.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi))
    return {Outcome::Failed, GetLastError()};
  const UniqueHandle process{pi.hProcess}, thread{pi.hThread};  // not watched: let go at once
  return {};
}

Outcome createLogonShortcut(const std::string& path, const Logon& logon,
                            const AskBeforeItLeaves& ask) {
  std::string file;
  if (Outcome resolved = resolveClient(path, file); resolved.kind != Outcome::Done) return resolved;
  const std::string name = shortcutFileName(logon);
  // A name the file system would still take apart (a control character)
  // fails before anything is written.
  if (!isValidFileName(name)) return {Outcome::Failed, ERROR_INVALID_NAME};
  std::string dir;
  if (!GetDesktopFolder(dir)) return {Outcome::Failed, ERROR_PATH_NOT_FOUND};
  // The password is in the file's name and its arguments: where the desktop
  // is copied to a server, writing the file puts it there at once.
  if (!logon.Pass.empty()) {
    const FolderReach reach = folderReach(dir, folderFacts(dir));
    if (reach != FolderReach::ThisPC && !ask(dir, reach)) return {Outcome::Cancelled};
  }
  long result = S_OK;
  if (!CreateShortcut(dir + name, file, clientArguments(logon), "C:\\", WindowState::Normal,
                      &result))
    return {Outcome::Failed, static_cast<unsigned long>(result)};
  return {};
}

ClientChoice chooseClient(HWND owner, const std::wstring& offered, const wchar_t* filter,
                          const FileDialog* dialog) {
  ClientChoice choice;
  std::wstring file = offered;
  file.resize(32768, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
  // The dialog's library is loaded when it is first needed (linked to the
  // program, it slows every start for a button used once), and only from the
  // system folder: a comdlg32.dll planted beside the program (in Downloads,
  // on a share) must never run in it.
  UniqueModule dialogs;
  FileDialog system{};
  if (!dialog) {
    dialogs.reset(LoadLibraryExW(L"comdlg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!dialogs) {
      choice.outcome = {Outcome::Failed, GetLastError()};
      return choice;
    }
    const auto procedure = [&](const char* name) {
      return reinterpret_cast<void*>(GetProcAddress(dialogs.get(), name));
    };
    system = {reinterpret_cast<decltype(&GetOpenFileNameW)>(procedure("GetOpenFileNameW")),
              reinterpret_cast<decltype(&CommDlgExtendedError)>(procedure("CommDlgExtendedError"))};
    if (!system.open || !system.error) {
      choice.outcome = {Outcome::Failed, ERROR_PROC_NOT_FOUND};
      return choice;
    }
    dialog = &system;
  }
  if (!dialog->open(&ofn)) {
    // Cancel leaves no error; a dialog that could not open does.
    if (const DWORD error = dialog->error()) choice.outcome = {Outcome::Failed, error};
    return choice;
  }
  file.resize(wcslen(file.c_str()));
  choice.file = file;
  choice.outcome =
      toAnsiPath(file, choice.path) ? Outcome{} : Outcome{Outcome::NotInCodePage, 0, file};
  return choice;
}
