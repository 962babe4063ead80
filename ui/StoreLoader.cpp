// StoreLoader.cpp: see StoreLoader.h.
#include "StoreLoader.h"

#include <system_error>
#include <utility>

#include "WindowIds.h"

StoreLoader::~StoreLoader() {
  if (thread_.joinable()) thread_.join();
}

void StoreLoader::start(HWND owner, const std::string& file, const SaveSettings& settings) {
  store_ = Store(file, settings);
  pending_ = true;
  const auto load = [this, owner] {
    try {
      result_ = store_.LoadIniFile();
    } catch (...) {
      failure_ = std::current_exception();  // raised again on the window's thread
    }
    PostMessageW(owner, WM_STORELOADED, 0, 0);
  };
  try {
    thread_ = std::thread(load);
  } catch (const std::system_error&) {
    load();  // no thread to be had: the window waits, as it did before
  }
}

Store StoreLoader::take(LoadResult& result) {
  if (thread_.joinable()) thread_.join();
  pending_ = false;
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  result = std::move(result_);
  return std::move(store_);
}
