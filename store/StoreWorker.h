// StoreWorker.h: the one thread that does the settings file's work for its
// owner (the window): the load, the saves and the looks at the file for
// another copy's saves, with the merge and the recovery in them, one job at
// a time. The owner hands it a job, is told through the notice it gave (a
// posted message) when the job has ended, and takes the result on its own
// thread: it never waits on the file. Every wait of a job ends by the job's
// deadline, or at once when stopped. Every job ends with an outcome of its
// kind, an error raised in it too. Portable: the notice is the owner's.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "Deadline.h"
#include "FolderWatch.h"
#include "Store.h"

class StoreWorker {
 public:
  using Clock = Deadline::Clock;

  // What an ended job came to: a load's store (and the watch on its
  // file's folder), a save's request and outcome, or a look.
  struct Loaded {
    Store store;
    LoadResult result;
    std::unique_ptr<FolderWatch> watch;
  };
  struct Saved {
    SaveRequest request;
    SaveDone done;
  };
  struct Result {
    std::optional<Loaded> loaded;
    std::optional<Saved> saved;
    std::optional<Follow> followed;
  };

  // ended is called on the worker's thread each time a job has ended.
  explicit StoreWorker(std::function<void()> ended) : ended_(std::move(ended)) {}
  // Stops the job under way and waits for the thread.
  ~StoreWorker();
  StoreWorker(const StoreWorker&) = delete;
  StoreWorker& operator=(const StoreWorker&) = delete;

  // Start a job when none is under way or untaken (busy() false). Where no
  // thread can be had, the job runs at once on the caller's thread.
  void load(std::string file, SaveSettings settings, Clock::duration within);
  void save(SaveRequest request, Clock::duration within);
  void follow(Follow follow, Clock::duration within);

  // Whether a job was started and its result not taken yet.
  [[nodiscard]] bool busy() const;
  // Ends every wait of the job under way: it ends soon, with what it has.
  void stop();
  // Waits for the job under way to end, up to until; whether it has.
  bool waitUntil(Clock::time_point until);
  // The ended job's result, once; nothing while it runs.
  std::optional<Result> take();

 private:
  // A job fills in its result, which was made, before it ran, as a failure
  // of its kind: what the owner takes should the job raise an error.
  using Job = std::function<void(Result&, const Deadline&)>;
  void start(Result failed, Job job, Clock::duration within);
  void run(bool ownThread);

  std::function<void()> ended_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  Job job_;  // the next job, until the thread takes it
  std::optional<Deadline> deadline_;
  std::shared_ptr<StopSignal> stop_;  // the job under way's
  std::optional<Result> result_;      // the next job's made result, then the ended job's
  bool busy_ = false, running_ = false, quit_ = false;
  std::thread thread_;
};
