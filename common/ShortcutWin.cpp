// ShortcutWin.cpp: special folders through the shell's item lists, shortcut
// files through the shell link object (IShellLinkA, IPersistFile).
#include "Shortcut.h"

#include <windows.h>
#include <shlobj.h>

#include "CodePage.h"
#include "Raii.h"

const int ShowCmdTable[3] = {SW_SHOWNORMAL, SW_MINIMIZE, SW_SHOWMAXIMIZED};

bool GetSpecialFolder(int FolderId, std::string& Path) {
  UniqueCoTaskMem<ITEMIDLIST> items;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, FolderId, items.put())) || !items) return false;
  char buf[MAX_PATH + 1] = {};
  if (!SHGetPathFromIDListA(items.get(), buf) || buf[0] == '\0') return false;
  Path = buf;
  // The last character decides, not the last byte: a folder whose name ends
  // in a double-byte character with 0x5C as its second byte needs its separator.
  if (!codepage::endsWithChar(Path, '\\')) Path += '\\';
  return true;
}

bool GetDesktopFolder(std::string& Path) {
  return GetSpecialFolder(CSIDL_DESKTOPDIRECTORY, Path);
}

bool CreateShortcut(const std::string& LinkFile, const std::string& Target,
                    const std::string& Arguments, const std::string& WorkDir, WindowState ShowState,
                    long* Result) {
  HRESULT hr = S_OK;
  // Each step only when the one before succeeded; hr keeps the first failure.
  const auto step = [&](HRESULT r) {
    hr = r == S_OK ? S_OK : (FAILED(r) ? r : E_FAIL);
    return r == S_OK;
  };
  ComPtr<IShellLinkA> link;
  ComPtr<IPersistFile> file;
  const bool ok = step(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IShellLinkA, link.putVoid())) &&
                  step(link->SetPath(Target.c_str())) &&
                  step(link->SetArguments(Arguments.c_str())) &&
                  step(link->SetWorkingDirectory(WorkDir.c_str())) &&
                  step(link->SetShowCmd(ShowCmdTable[static_cast<int>(ShowState)])) &&
                  step(link->QueryInterface(IID_IPersistFile, file.putVoid())) &&
                  step(file->Save(fromAnsi(LinkFile).c_str(), FALSE));
  if (Result) *Result = hr;
  return ok;
}
