// FolderReach.cpp: see FolderReach.h.
#include "FolderReach.h"

#include "CodePage.h"

namespace {

// A folder's path for comparing: letters in lower case, '/' as '\', no
// separator at its end.
std::string comparable(const std::string& path) {
  std::string out = codepage::lowerCase(path);
  for (size_t at = 0; at < out.size(); at += codepage::charLength(out, at))
    if (out[at] == '/') out[at] = '\\';
  while (codepage::endsWithChar(out, '\\')) out.pop_back();
  return out;
}

// Whether folder is root or a folder below it. Both are whole texts, so the
// byte after root's length in folder starts a character.
bool isInside(const std::string& folder, const std::string& root) {
  const std::string f = comparable(folder), r = comparable(root);
  return !r.empty() && f.compare(0, r.size(), r) == 0 &&
         (f.size() == r.size() || f[r.size()] == '\\');
}

bool isShare(const std::string& path) {
  return path.size() >= 2 && codepage::isSeparator(path[0]) && codepage::isSeparator(path[1]);
}

}  // namespace

FolderReach folderReach(const std::string& folder, const FolderFacts& facts) {
  bool synced = facts.inSyncRoot;
  for (const std::string& root : facts.syncedFolders) synced = synced || isInside(folder, root);
  // A synced folder on a share: the sync client's server is the one to name.
  if (synced) return FolderReach::Synchronised;
  return isShare(folder) || facts.networkDrive ? FolderReach::Network : FolderReach::ThisPC;
}
