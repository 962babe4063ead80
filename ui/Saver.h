// Saver.h: the window's side of the settings file's work, all of which runs
// on one worker (StoreWorker), so that the window never waits on the file:
// the load, a save a moment after each change, again and again while it
// cannot, the user told once when a change has not reached the disk for a
// while, the list following the file when another copy saves, the close's
// save (the window answering meanwhile) and the session end's, within the
// time Windows gives. Each ended job comes back as WM_STOREDONE; every
// outcome reaches the user, whenever the close or the session's end comes.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FolderWatch.h"
#include "Store.h"
#include "StoreWorker.h"
#include "WindowIds.h"

class Saver {
 public:
  // A moment's grace gathers quick changes into one save.
  static constexpr UINT kDelayMs = 500;
  // A save that could not be made (another copy's lock, a file held) is
  // tried again this often.
  static constexpr UINT kRetryMs = 2000;
  // A change not on disk this long after it was made is told, once: long
  // enough for another copy's save of thousands of logons to end, short
  // enough that the user still knows what was changed.
  static constexpr std::chrono::seconds kTellAfter{10};
  // How long a change's save waits for another copy's save, a file another
  // program holds or a file that does not hold still: longer than a
  // scanner's hold and two saves of 5,000 logons, and short enough that a
  // failure is known, and told, by kTellAfter. The window goes on meanwhile.
  static constexpr std::chrono::milliseconds kChangeSaveDeadline{5000};
  // Windows lets a program hold up the session's end for 5 seconds after
  // WM_ENDSESSION before it offers to end it ("Shutdown Changes for Windows
  // Vista"): the handler stops the worker, saves and waits within 4 of them,
  // whatever holds the file; the rest is for returning.
  static constexpr std::chrono::milliseconds kSessionEndDeadline{4000};
  // The session end's save stops waiting this long before the handler does:
  // the save's own work after its last wait (the copy, the replace) fits.
  static constexpr std::chrono::milliseconds kSessionEndWorkMargin{500};
  // The folder's change notice is looked at this often: another copy's save
  // shows in the list within about a second.
  static constexpr UINT kFollowMs = 1000;
  // Where the system gives no notice (some file servers), the file is
  // looked at every so many of those ticks: its stamp, and its bytes only
  // when that changed.
  static constexpr int kPollTicks = 3;
  // How long a look waits for a file held or between another copy's
  // renames: the next notice looks again.
  static constexpr std::chrono::milliseconds kFollowDeadline{2000};

  // Where the saver stands: what runs on the worker, and how far the close
  // has come. Every change of state passes through to(), which knows the
  // transitions.
  enum class State {
    Loading,      // the load runs: nothing may change
    LoadClosing,  // the close came during the load: stopped, the window goes when it ends
    Idle,         // loaded; nothing on the worker
    Following,    // the worker reads the file another copy saved
    Saving,       // a change's save (or the session end's) runs
    Closing,      // the close came while a job ran: the close's own save follows its end
    CloseSaving,  // the close's save runs; the list says so
    Telling,      // the close's end is told: what was put back, its question
    Closed,       // the window goes
  };

  // What the saver tells its window.
  struct Window {
    std::function<void()> shown;                    // the store changed: the list shows it again
    std::function<void(const LoadResult&)> loaded;  // the loaded store is the window's now
    std::function<void(bool)> closing;  // the close waits for its save (true), or no more
    std::function<void()> closed;       // the close is done: the window goes
    std::function<void(const std::wstring&)> notify;  // the notification area's balloon
  };

  Saver(Store& store, Window window) : store_(store), window_(std::move(window)) {}
  void attach(HWND owner) { owner_ = owner; }

  // Loads file with settings on the worker; the store is replaced by the
  // loaded one when it has ended.
  void load(const std::string& file, const SaveSettings& settings);
  // Whether the load has not ended yet: nothing may change meanwhile.
  [[nodiscard]] bool loading() const {
    return state_ == State::Loading || state_ == State::LoadClosing;
  }
  // A change to the store: saved kDelayMs later.
  void changed();
  // WM_TIMER: whether the timer was the saver's.
  bool onTimer(UINT_PTR id);
  // WM_STOREDONE: the worker's job has ended.
  void onDone();
  // WM_CLOSE: the close's save starts (waiting for another copy's, the
  // window answering); once it has ended the window goes, or the user is
  // asked whether it may go without it. What a job put back or kept aside
  // meanwhile is told first. A close while the close is under way, or
  // under any box, does nothing.
  void close();
  // Whether the close is under way (its save, its question).
  [[nodiscard]] bool closing() const;
  // WM_ENDSESSION (TRUE): saved within kSessionEndDeadline, never a box; a
  // change that did not reach the disk is told in the notification area,
  // unless the user was told already. Its save's end is taken as any
  // save's once the handler has returned: should the session go on after
  // all, a failed one is tried again and told, and what it put back told.
  void sessionEnd();
  // Whether a change is not on disk yet.
  [[nodiscard]] bool pending() const { return unsaved_.has_value(); }

 private:
  // A change not yet on disk: when it was made, and whether its failure was told.
  struct Unsaved {
    std::chrono::steady_clock::time_point since;
    bool told = false;
  };

  void to(State next);
  void startSave(std::chrono::milliseconds within);
  void startCloseSave();
  void follow();
  void take(StoreWorker::Result& result);
  void loadEnded(StoreWorker::Loaded& loaded);
  void saveEnded(const SaveResult& result);
  void closeSaved(const SaveResult& result);
  void tellUntold();
  void stopTimer();

  Store& store_;
  Window window_;
  HWND owner_ = nullptr;
  StoreWorker worker_{[this] { PostMessageW(owner_, WM_STOREDONE, 0, 0); }};
  State state_ = State::Loading;  // from the start: load() is the first call
  std::optional<Unsaved> unsaved_;
  // What jobs put back or kept aside that the user has not been told yet:
  // told where a box may be shown, before the window goes.
  std::vector<std::wstring> untold_;
  // The session end's save, taken to see whether it saved: its end is
  // handled by the next WM_STOREDONE, as any save's.
  std::optional<StoreWorker::Result> ended_;
  std::unique_ptr<FolderWatch> watch_;  // the file's folder, from the load on
  int ticks_ = 0;                       // follow ticks since the last look, without a notice
  bool unconfirmedTold_ = false;        // a save whose flush failed was told, once a session
};
