// FolderReach.h: whether the files written into a folder stay on this PC:
// the answer from what the system tells of the folder (portable,
// FolderReach.cpp), and the system asked (Windows, FolderReachWin.cpp).
#pragma once

#include <string>
#include <vector>

// Where the files written into a folder go.
enum class FolderReach {
  ThisPC,        // this PC's own disks, and nowhere else
  Synchronised,  // a folder a sync client copies to a server (OneDrive's, or another's)
  Network,       // a share on another computer: a \\server\share path, a network drive
};

// What the system tells of a folder.
struct FolderFacts {
  // The folders OneDrive keeps in step with its server (its environment
  // variables' values; an unset one is empty).
  std::vector<std::string> syncedFolders;
  bool networkDrive = false;  // its drive letter stands for a share
  bool inSyncRoot = false;    // the system names it part of a cloud provider's sync root
};

// Where the files written into folder (a full path in the code page) go.
// Inside a synced folder means the folder itself or one below it, letter
// case ignored.
[[nodiscard]] FolderReach folderReach(const std::string& folder, const FolderFacts& facts);

// What the system tells of folder now (Windows).
[[nodiscard]] FolderFacts folderFacts(const std::string& folder);
