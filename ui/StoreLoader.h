// StoreLoader.h: the settings file loaded off the window's thread, so that a
// slow load (a file on a share, another copy saving, a cut save waiting for
// another copy's lock) never holds the window; the window is told by
// WM_STORELOADED and takes the store then.
#pragma once

#include <windows.h>

#include <exception>
#include <string>
#include <thread>

#include "Store.h"

class StoreLoader {
 public:
  StoreLoader() = default;
  ~StoreLoader();
  StoreLoader(const StoreLoader&) = delete;
  StoreLoader& operator=(const StoreLoader&) = delete;

  // Loads file with settings and posts WM_STORELOADED to owner when done.
  // Where no thread can be made, it loads now, and posts all the same.
  void start(HWND owner, const std::string& file, const SaveSettings& settings);
  // Whether a load was started and its store not taken yet.
  bool pending() const { return pending_; }
  // The loaded store and what the load came to, waiting for the load to end
  // (a close or the session's end cannot wait for the message). Once. An
  // error the load raised is raised here, where the window shows it.
  Store take(LoadResult& result);

 private:
  std::thread thread_;
  Store store_;
  LoadResult result_;
  std::exception_ptr failure_;
  bool pending_ = false;
};
