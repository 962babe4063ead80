// FolderWatch.h: whether anything changed in a file's folder (a file made,
// written, renamed or removed) since the last look, as the system tells it,
// without waiting: the settings file's folder, so that the window follows
// another copy's saves, also another PC's (a file server tells its clients
// of a change in a shared folder). Where the system cannot tell (no such
// notice here, a file server that gives none), watching() is false and the
// caller looks at the file now and then instead.
#pragma once

#include <cstdint>
#include <string>

class FolderWatch {
 public:
  explicit FolderWatch(const std::string& file);
  ~FolderWatch();  // NOLINT(performance-trivially-destructible): closes the notice on Windows
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  [[nodiscard]] bool watching() const { return handle_ != -1; }
  // Whether a change came since the last call; never waits. A watch the
  // system cannot go on with says so once, and watches no more.
  [[nodiscard]] bool changed();

 private:
  std::intptr_t handle_ = -1;  // the notice's handle (INVALID_HANDLE_VALUE is -1)
};
