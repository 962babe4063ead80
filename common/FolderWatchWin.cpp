// FolderWatchWin.cpp: FolderWatch on the system's change notices, which a
// file server gives for a shared folder too.
#include <windows.h>

#include "CodePage.h"
#include "FolderWatch.h"
#include "Paths.h"

namespace {

HANDLE handleOf(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

FolderWatch::FolderWatch(const std::string& file) {
  // The file's own name changes as a save puts its copy in its place, its
  // size and time as one writes it in place (a hand edit).
  const HANDLE watch = FindFirstChangeNotificationW(
      fromAnsi(folderOf(file)).c_str(), FALSE,
      FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE);
  if (watch != INVALID_HANDLE_VALUE) handle_ = reinterpret_cast<std::intptr_t>(watch);
}

FolderWatch::~FolderWatch() {
  if (watching()) FindCloseChangeNotification(handleOf(handle_));
}

bool FolderWatch::changed() {
  if (!watching() || WaitForSingleObject(handleOf(handle_), 0) != WAIT_OBJECT_0) return false;
  // Watched again before the caller reads: a change made during its read
  // is told at the next call.
  if (!FindNextChangeNotification(handleOf(handle_))) {
    FindCloseChangeNotification(handleOf(handle_));
    handle_ = -1;
  }
  return true;
}
