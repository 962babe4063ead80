// FolderReachWin.cpp: FolderReach.h's questions to Windows: OneDrive's
// environment variables, the drive's kind and the Cloud Files API.
#include <windows.h>

#include "CodePage.h"
#include "Common.h"
#include "FolderReach.h"
#include "Raii.h"

namespace {

// Whether a cloud provider (OneDrive, and any other that uses the Cloud
// Files API) has registered a sync root that holds folder. Systems before
// Windows 10 1709, and Wine, have no cldapi.dll: nothing is reported there.
bool inCloudSyncRoot(const std::string& folder) {
  const UniqueModule cldapi(LoadLibraryExW(L"cldapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  if (!cldapi) return false;
  // CfGetSyncRootInfoByPath with CF_SYNC_ROOT_INFO_BASIC (0), whose record
  // is the root's file id; it fails for a folder under no sync root.
  using GetSyncRootInfo = HRESULT(WINAPI*)(LPCWSTR, int, void*, DWORD, DWORD*);
  const auto get = reinterpret_cast<GetSyncRootInfo>(
      reinterpret_cast<void*>(GetProcAddress(cldapi.get(), "CfGetSyncRootInfoByPath")));
  if (!get) return false;
  LARGE_INTEGER rootId{};
  DWORD length = 0;
  return get(fromAnsi(folder).c_str(), 0, &rootId, sizeof rootId, &length) == S_OK;
}

}  // namespace

FolderFacts folderFacts(const std::string& folder) {
  FolderFacts facts;
  for (const char* name : {"OneDrive", "OneDriveCommercial", "OneDriveConsumer"})
    facts.syncedFolders.push_back(environmentVariable(name));
  if (folder.size() >= 2 && folder[1] == ':')
    facts.networkDrive = GetDriveTypeA((folder.substr(0, 2) + "\\").c_str()) == DRIVE_REMOTE;
  facts.inSyncRoot = inCloudSyncRoot(folder);
  return facts;
}
