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
  Result failed;
  failed.loaded.emplace(Loaded{Store(std::move(file), settings), LoadResult{}, nullptr});
  failed.loaded->result.status = LoadResult::Unexpected;
  start(
      std::move(failed),
      [](Result& r, const Deadline& deadline) {
        Loaded& loaded = *r.loaded;
        loaded.result = loaded.store.LoadIniFile(deadline);
        // Made here, not on the owner's thread: on a file server, even the
        // folder's opening waits on the network.
        loaded.watch = std::make_unique<FolderWatch>(loaded.store.IniFileName());
      },
      within);
}

void StoreWorker::save(SaveRequest request, Clock::duration within) {
  Result failed;
  failed.saved.emplace(Saved{std::move(request), SaveDone{}});
  failed.saved->done.result = SaveResult::Failed;
  failed.saved->done.result.step = SaveResult::Step::Unexpected;
  start(
      std::move(failed),
      [](Result& r, const Deadline& deadline) {
        r.saved->done = Store::save(r.saved->request, deadline);
      },
      within);
}

void StoreWorker::follow(Follow follow, Clock::duration within) {
  Result failed;  // a look that failed found nothing
  failed.followed.emplace(std::move(follow));
  start(
      std::move(failed),
      [](Result& r, const Deadline& deadline) { Store::follow(*r.followed, deadline); }, within);
}

void StoreWorker::start(Result failed, Job job, Clock::duration within) {
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    stop_ = std::make_shared<StopSignal>();
    deadline_.emplace(within, stop_);
    job_ = std::move(job);
    result_ = std::move(failed);
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
    Job job;
    Result result;
    std::optional<Deadline> deadline;
    {
      std::unique_lock<std::mutex> hold(mutex_);
      changed_.wait(hold, [this] { return quit_ || job_; });
      if (!job_) return;  // quit
      job = std::exchange(job_, nullptr);
      result = std::move(*result_);
      result_.reset();
      deadline = deadline_;
    }
    try {
      job(result, *deadline);
    } catch (...) {  // NOLINT(bugprone-empty-catch)
      // The result says the job failed, as it was made to: the owner takes
      // an outcome, never a job that seems to run for ever. (The store's
      // own calls turn what they raise into outcomes with its words.)
    }
    {
      const std::lock_guard<std::mutex> hold(mutex_);
      result_ = std::move(result);
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
  const std::lock_guard<std::mutex> hold(mutex_);
  if (running_ || !busy_) return std::nullopt;
  busy_ = false;
  return std::exchange(result_, std::nullopt);
}
