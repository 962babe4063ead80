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
                    const std::string& Arguments, const std::string& WorkDir,
                    WindowState ShowState) {
  ComPtr<IShellLinkA> link;
  if (CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                       link.putVoid()) != S_OK)
    return false;
  if (link->SetPath(Target.c_str()) != S_OK) return false;
  if (link->SetArguments(Arguments.c_str()) != S_OK) return false;
  if (link->SetWorkingDirectory(WorkDir.c_str()) != S_OK) return false;
  if (link->SetShowCmd(ShowCmdTable[static_cast<int>(ShowState)]) != S_OK) return false;
  ComPtr<IPersistFile> file;
  if (link->QueryInterface(IID_IPersistFile, file.putVoid()) != S_OK) return false;

  return file->Save(fromAnsi(LinkFile).c_str(), FALSE) == S_OK;
}
