// ShortcutWin.cpp: special folders through the shell's item lists, shortcut
// files through the shell link object (IShellLinkA, IPersistFile).
#include "Shortcut.h"

#include <windows.h>
#include <shlobj.h>

#include "Raii.h"

const int ShowCmdTable[3] = {SW_SHOWNORMAL, SW_MINIMIZE, SW_SHOWMAXIMIZED};

bool GetSpecialFolder(int FolderId, std::string& Path) {
  UniqueCoTaskMem<ITEMIDLIST> items;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, FolderId, items.put())) || !items) return false;
  char buf[MAX_PATH + 1] = {};
  if (!SHGetPathFromIDListA(items.get(), buf) || buf[0] == '\0') return false;
  Path = buf;
  // The last byte decides, as the path is ANSI text: a path whose last
  // double-byte character ends in 0x5C gets no second backslash.
  if (Path.back() != '\\') Path += '\\';
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

  const int n = MultiByteToWideChar(CP_ACP, 0, LinkFile.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, LinkFile.c_str(), -1, wide.data(), n);
  return file->Save(wide.c_str(), FALSE) == S_OK;
}
