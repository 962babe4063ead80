// HostSuggestions.h: the host box's drop-down list of the net service names
// the client knows (its tnsnames.ora), as Windows' own boxes offer
// suggestions. Nothing is read or loaded at the start: the first time the
// box gets the focus, and again at a later focus when the file or one it
// includes has changed (its stamp). Files are read off the window's thread,
// so that a share that does not answer never holds the window up.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "WindowIds.h"

class HostSuggestions {
 public:
  HostSuggestions();
  ~HostSuggestions();
  HostSuggestions(const HostSuggestions&) = delete;
  HostSuggestions& operator=(const HostSuggestions&) = delete;

  // The host box got the focus: the first time, the list is attached to it;
  // the names of the client at clientPath are read when their files have
  // changed since the last read (owner is told).
  void boxFocused(HWND owner, HWND box, const std::string& clientPath);
  // The client's path changed: its names are looked for again (once attached).
  void clientChanged(const std::string& clientPath);
  // WM_HOSTNAMESREAD: the list shows the names just read from now on.
  void onNamesRead();
  // Whether the drop-down list is open: Enter then takes a name and does
  // nothing else.
  [[nodiscard]] bool dropDownOpen() const;
  // The names the list offers now (for tests).
  [[nodiscard]] std::vector<std::wstring> names() const;

  // Starts a read on a thread of its own, detached: a file on a share that
  // does not answer may hold that thread, never the window, and the process
  // does not wait for it at its end. Tests give one that cannot start.
  std::function<void(std::function<void()>)> startReader = [](std::function<void()> work) {
    std::thread(std::move(work)).detach();
  };

  struct State;

 private:
  void read(const std::string& clientPath);

  HWND owner_ = nullptr;
  std::shared_ptr<State> state_;
  struct Com;
  std::unique_ptr<Com> com_;
};
