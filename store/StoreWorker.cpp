// StoreWorker.cpp: see StoreWorker.h.
#include "StoreWorker.h"

#include <system_error>
#include <utility>

StoreWorker::~StoreWorker() {
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    quit_ = true;
    if (stop_) stop_->stop();
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void StoreWorker::load(std::string file, SaveSettings settings, Clock::duration within) {
  start(
      [file = std::move(file), settings](const Deadline& deadline) {
        Result r;
        r.loaded.emplace(Loaded{Store(file, settings), LoadResult{}});
        r.loaded->result = r.loaded->store.LoadIniFile(deadline);
        return r;
      },
      within);
}

void StoreWorker::save(SaveRequest request, Clock::duration within) {
  start(
      [request = std::move(request)](const Deadline& deadline) mutable {
        Result r;
        SaveDone done = Store::save(request, deadline);
        r.saved.emplace(Saved{std::move(request), std::move(done)});
        return r;
      },
      within);
}

void StoreWorker::start(std::function<Result(const Deadline&)> job, Clock::duration within) {
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    stop_ = std::make_shared<StopSignal>();
    deadline_.emplace(within, stop_);
    job_ = std::move(job);
    busy_ = running_ = true;
  }
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread([this] { run(true); });
    } catch (const std::system_error&) {
      run(false);  // no thread to be had: the owner waits, as it did before there was one
      return;
    }
  }
  changed_.notify_all();
}

// The thread's loop: each job as it comes, until the worker goes. Without a
// thread, one pass runs the job given.
void StoreWorker::run(bool ownThread) {
  for (;;) {
    std::function<Result(const Deadline&)> job;
    std::optional<Deadline> deadline;
    {
      std::unique_lock<std::mutex> hold(mutex_);
      changed_.wait(hold, [this] { return quit_ || job_; });
      if (!job_) return;  // quit
      job = std::exchange(job_, nullptr);
      deadline = deadline_;
    }
    std::optional<Result> result;
    std::exception_ptr failure;
    try {
      result = job(*deadline);
    } catch (...) {
      failure = std::current_exception();
    }
    {
      const std::lock_guard<std::mutex> hold(mutex_);
      result_ = std::move(result);
      failure_ = failure;
      running_ = false;
    }
    changed_.notify_all();
    if (ended_) ended_();
    if (!ownThread) return;
  }
}

bool StoreWorker::busy() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  return busy_;
}

void StoreWorker::stop() {
  const std::lock_guard<std::mutex> hold(mutex_);
  if (stop_) stop_->stop();
}

bool StoreWorker::waitUntil(Clock::time_point until) {
  std::unique_lock<std::mutex> hold(mutex_);
  return changed_.wait_until(hold, until, [this] { return !running_; });
}

std::optional<StoreWorker::Result> StoreWorker::take() {
  std::unique_lock<std::mutex> hold(mutex_);
  if (running_ || !busy_) return std::nullopt;
  busy_ = false;
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  return std::exchange(result_, std::nullopt);
}
