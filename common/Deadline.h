// Deadline.h: the one bound every wait of the settings file's work is given
// (another copy's lock, a file another program holds, a file that does not
// hold still): an end time and a way to stop, so that whoever started the
// work can end all of its waits at once (a close, the session's end).
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

// Stops every wait of the deadlines that share it, at once, for good.
class StopSignal {
 public:
  void stop() {
    {
      const std::lock_guard<std::mutex> hold(mutex_);
      stopped_ = true;
    }
    woken_.notify_all();
  }
  [[nodiscard]] bool stopped() const {
    const std::lock_guard<std::mutex> hold(mutex_);
    return stopped_;
  }
  // Sleeps until `until` or the stop, whichever comes first; false when stopped.
  bool sleepUntil(std::chrono::steady_clock::time_point until) const {
    std::unique_lock<std::mutex> hold(mutex_);
    return !woken_.wait_until(hold, until, [this] { return stopped_; });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable woken_;
  bool stopped_ = false;
};

class Deadline {
 public:
  using Clock = std::chrono::steady_clock;
  // How often a wait looks again at what it waits for (a lock, a held file):
  // far below what a user notices, far above what costs the system anything.
  static constexpr std::chrono::milliseconds kStep{20};

  // Ends `within` from now (zero: a single try, no waiting), or at the stop.
  explicit Deadline(Clock::duration within, std::shared_ptr<const StopSignal> stop = nullptr)
      : end_(Clock::now() + within), stop_(std::move(stop)) {}

  [[nodiscard]] Clock::time_point end() const { return end_; }
  [[nodiscard]] bool stopped() const { return stop_ && stop_->stopped(); }
  // Stopped, or past due: no wait may begin.
  [[nodiscard]] bool over() const { return stopped() || Clock::now() >= end_; }
  // The sooner of this deadline and `within` from now, with the same stop: a
  // wait with a shorter limit of its own.
  [[nodiscard]] Deadline within(Clock::duration within) const {
    Deadline d = *this;
    d.end_ = std::min(end_, Clock::now() + within);
    return d;
  }
  // The one way a wait is made: attempt, then again every kStep while busy
  // says its outcome is a state that passes (another copy's lock, a file
  // held for a moment) and the deadline allows. The last outcome.
  template <class Attempt, class Busy>
  auto retry(Attempt attempt, Busy busy) const {
    auto outcome = attempt();
    while (busy(outcome) && wait()) outcome = attempt();
    return outcome;
  }
  // Sleeps step, but never past the end and not after a stop; false when
  // the wait may not go on (stopped or past due), true to look again.
  bool wait(Clock::duration step = kStep) const {
    if (over()) return false;
    const Clock::time_point until = std::min(end_, Clock::now() + step);
    if (stop_) {
      if (!stop_->sleepUntil(until)) return false;
    } else {
      std::this_thread::sleep_until(until);
    }
    return !stopped();
  }

 private:
  Clock::time_point end_;
  std::shared_ptr<const StopSignal> stop_;
};
