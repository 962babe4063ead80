// Saver.h: when the window's store goes to disk: a moment after each change,
// again and again while it cannot, the user told once when a change has
// not reached the disk for a while, the close's save and the session end's,
// within the time Windows gives.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "Store.h"
#include "WindowIds.h"

class Saver {
 public:
  // A moment's grace gathers quick changes into one save.
  static constexpr UINT kDelayMs = 500;
  // A save that could not be made (another copy's lock, a file held) is
  // tried again this often, without waiting for the lock: the window stays
  // responsive.
  static constexpr UINT kRetryMs = 2000;
  // A change not on disk this long after it was made is told, once: long
  // enough for another copy's save of thousands of logons to end, short
  // enough that the user still knows what was changed.
  static constexpr std::chrono::seconds kTellAfter{10};
  // Windows lets a program hold up the session's end for 5 seconds after
  // WM_ENDSESSION before it offers to end it ("Shutdown Changes for Windows
  // Vista"): the save waits for another copy's lock 2 of them, and the save
  // itself has the rest.
  static constexpr std::chrono::milliseconds kSessionEndLockWait{2000};

  // shown: the list shows the store again (a save merged another copy's changes in).
  Saver(Store& store, std::function<void()> shown) : store_(store), shown_(std::move(shown)) {}
  void attach(HWND owner) { owner_ = owner; }

  // A change to the store: saved kDelayMs later.
  void changed();
  // WM_TIMER: whether the timer was the saver's.
  bool onTimer(UINT_PTR id);
  // The close's save, waiting for another copy's: the question to ask when it
  // did not happen (empty when it did). A cut save put back is told.
  [[nodiscard]] std::wstring close();
  // The user kept the window after the close's question: a change not yet
  // on disk is tried again as before.
  void closeCancelled();
  // WM_ENDSESSION: saved within the time Windows gives; a failure the user
  // was told of already is not told again.
  void sessionEnd();
  // Whether a change is not on disk yet.
  bool pending() const { return since_.has_value(); }

 private:
  void save();
  void stop();

  Store& store_;
  std::function<void()> shown_;
  HWND owner_ = nullptr;
  // When the oldest change not yet on disk was made.
  std::optional<std::chrono::steady_clock::time_point> since_;
  bool told_ = false;  // that change's failure was told
};
