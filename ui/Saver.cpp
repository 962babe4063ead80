// Saver.cpp: see Saver.h.
#include "Saver.h"

#include "Application.h"
#include "Messages.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace {

using State = Saver::State;

bool isClosing(State s) {
  return s == State::LoadClosing || s == State::Closing || s == State::CloseSaving ||
         s == State::Telling || s == State::Closed;
}

// The transitions: from each state, the states it may go to.
bool allowed(State from, State to) {
  switch (from) {
    case State::Loading:
      return to == State::Idle || to == State::LoadClosing;
    case State::LoadClosing:
      return to == State::Telling || to == State::Closed;
    case State::Idle:
      return to == State::Following || to == State::Saving || to == State::CloseSaving;
    case State::Following:
    case State::Saving:
      return to == State::Idle || to == State::Closing;
    case State::Closing:
      return to == State::CloseSaving;
    case State::CloseSaving:
      return to == State::Telling || to == State::Closed;
    case State::Telling:
      // いいえ gives the window back, with a save under way where the
      // session's end started one under the question.
      return to == State::Closed || to == State::Idle || to == State::Saving;
    case State::Closed:
      return false;
  }
  return false;
}

}  // namespace

// Every change of state passes here, and what the window sees of it: the
// list says that the close waits, and gives the window back; the window
// goes. A transition the saver does not know is its own fault, raised.
void Saver::to(State next) {
  if (!allowed(state_, next))
    throw std::logic_error("Saver: no way from state " + std::to_string(static_cast<int>(state_)) +
                           " to " + std::to_string(static_cast<int>(next)));
  const bool wasClosing = isClosing(state_);
  state_ = next;
  if (next == State::Closed) {
    window_.closed();
    return;
  }
  if (isClosing(next) == wasClosing) return;
  if (wasClosing) {
    window_.closing(false);
    return;
  }
  stopTimer();
  window_.closing(true);
}

bool Saver::closing() const {
  return isClosing(state_);
}

void Saver::load(const std::string& file, const SaveSettings& settings) {
  worker_.load(file, settings, kLoadDeadline);
}

void Saver::changed() {
  if (!unsaved_) unsaved_ = Unsaved{std::chrono::steady_clock::now()};
  SetTimer(owner_, kSaveChangesTimer, kDelayMs, nullptr);
}

bool Saver::onTimer(UINT_PTR id) {
  if (id == kFollowTimer) {
    follow();
    return true;
  }
  if (id != kSaveChangesTimer) return false;
  stopTimer();
  // One job at a time: a change made while one runs is saved once it has
  // ended (onDone looks).
  if (state_ == State::Idle) startSave(kChangeSaveDeadline);
  return true;
}

void Saver::stopTimer() {
  KillTimer(owner_, kSaveChangesTimer);
}

void Saver::startSave(std::chrono::milliseconds within) {
  // Changes made after a failed load wait for the close's question.
  if (store_.loadFailed()) return;
  worker_.save(store_.saveRequest(), within);
  to(State::Saving);
}

void Saver::startCloseSave() {
  worker_.save(store_.saveRequest(), store_.settings().lockTimeout);
  to(State::CloseSaving);
}

// A follow tick: another copy's save is read once the folder's notice says
// something changed there (or, without a notice, every kPollTicks ticks),
// while nothing else runs. Not while a change waits for its save either:
// the save merges the file in as it saves, and shows it.
void Saver::follow() {
  if (state_ != State::Idle || unsaved_ || store_.loadFailed()) return;
  if (watch_ && watch_->watching()) {
    if (!watch_->changed()) return;
  } else if (++ticks_ < kPollTicks) {
    return;
  }
  ticks_ = 0;
  worker_.follow(store_.followRequest(), kFollowDeadline);
  to(State::Following);
}

void Saver::onDone() {
  std::optional<StoreWorker::Result> result =
      ended_ ? std::exchange(ended_, std::nullopt) : worker_.take();
  if (!result) return;  // still running, or taken already
  if (result->loaded) {
    loadEnded(*result->loaded);
    return;
  }
  const std::optional<SaveResult> saved =
      result->saved ? std::optional<SaveResult>(result->saved->done.result) : std::nullopt;
  take(*result);
  switch (state_) {
    case State::Following:
      to(State::Idle);
      if (unsaved_) SetTimer(owner_, kSaveChangesTimer, kDelayMs, nullptr);  // made meanwhile
      return;
    case State::Saving:
      if (saved) {
        saveEnded(*saved);
      } else {
        to(State::Idle);
      }
      return;
    case State::Closing:  // the job under way at the close has ended: now the close's own save
      startCloseSave();
      return;
    case State::CloseSaving:
      closeSaved(saved.value_or(SaveResult::Unchanged));
      return;
    default:  // a save the session's end started under the close's question: taken
      return;
  }
}

// An ended job's result into the store, the list shown again where it
// changed (before any box: the window may be brought back while one is up),
// unless the close has it say that the close waits. What the job put back
// or kept aside waits in untold_ for a box.
void Saver::take(StoreWorker::Result& result) {
  if (result.saved) {
    const SaveResult& outcome = result.saved->done.result;
    if (!outcome.recovered.empty() || !outcome.keptAside.empty())
      untold_.push_back(messages::recoveredNotice(outcome.recovered, outcome.keptAside));
    // Saved all the same: told once, never written again for it.
    if (outcome.unconfirmed && !std::exchange(unconfirmedTold_, true))
      untold_.push_back(messages::savedUnconfirmed(outcome));
    const bool saved = outcome == SaveResult::Saved || outcome == SaveResult::Unchanged;
    const bool differs = store_.takeSaved(result.saved->request, std::move(result.saved->done));
    if (saved && unsaved_) {
      unsaved_->told = false;
      if (!store_.changed()) unsaved_.reset();
    }
    if (differs && !closing()) window_.shown();
  }
  if (result.followed && store_.takeFollowed(std::move(*result.followed)) && !closing())
    window_.shown();
}

void Saver::loadEnded(StoreWorker::Loaded& loaded) {
  store_ = std::move(loaded.store);
  watch_ = std::move(loaded.watch);
  if (state_ == State::LoadClosing) {
    // Stopped by the close: nothing can have changed, but what the load
    // had put back or kept aside is told before the window goes.
    const LoadResult& result = loaded.result;
    if (!result.recovered.empty() || !result.keptAside.empty()) {
      untold_.push_back(messages::recoveredNotice(result.recovered, result.keptAside));
      to(State::Telling);
      tellUntold();
    }
    to(State::Closed);
    return;
  }
  to(State::Idle);
  if (!store_.loadFailed()) SetTimer(owner_, kFollowTimer, kFollowMs, nullptr);
  window_.loaded(loaded.result);
  // Changes a session's end kept, merged by the load: saved, which also
  // removes them (they hold the passwords).
  if (!store_.keptChanges().empty()) changed();
}

void Saver::saveEnded(const SaveResult& result) {
  to(State::Idle);
  std::wstring told;
  if (result == SaveResult::Failed &&
      (result.step == SaveResult::Step::ReadBack || result.step == SaveResult::Step::Link)) {
    // Trying again reads the same value back, or meets the same link: told
    // at once, tried again at the next change.
    if (unsaved_) unsaved_->told = true;
    told = messages::saveOutcome(result);
  } else if (result == SaveResult::Failed) {
    // Whatever failed may pass (a lock, a file held, a full disk freed):
    // tried again until it is saved, and told once when it has waited long.
    SetTimer(owner_, kSaveChangesTimer, kRetryMs, nullptr);
    if (unsaved_ && !unsaved_->told &&
        std::chrono::steady_clock::now() - unsaved_->since >= kTellAfter) {
      unsaved_->told = true;  // before the box: its loop runs this timer meanwhile
      told = messages::notSavedYet(result);
    }
  } else if (store_.changed()) {
    SetTimer(owner_, kSaveChangesTimer, kDelayMs, nullptr);
  }
  tellUntold();
  if (!told.empty()) Application::showMessage(told);
}

void Saver::close() {
  // One close at a time, and none under a box: the window goes only once
  // every box it owns has been answered.
  if (Application::boxShown()) return;
  switch (state_) {
    case State::Loading:
      // Nothing can have changed yet: the load is stopped, and the window
      // goes when it has ended.
      worker_.stop();
      to(State::LoadClosing);
      return;
    case State::Idle:
      startCloseSave();
      return;
    case State::Following:
      worker_.stop();  // of no use now
      to(State::Closing);
      return;
    case State::Saving:
      to(State::Closing);  // its end starts the close's save
      return;
    default:
      return;  // the close is under way
  }
}

void Saver::closeSaved(const SaveResult& result) {
  to(State::Telling);
  tellUntold();
  const std::wstring question = messages::closeWithoutSaving(result);
  if (question.empty() || Application::askYesNo(question)) {
    tellUntold();  // what a save the session's end made under the question put back
    to(State::Closed);
    return;
  }
  // The user kept the window: a change not yet on disk is tried again as before.
  to(worker_.busy() || ended_ ? State::Saving : State::Idle);
  tellUntold();
  if (store_.changed() && !store_.loadFailed()) changed();
}

void Saver::tellUntold() {
  while (!untold_.empty()) {
    const std::wstring text = std::move(untold_.front());
    untold_.erase(untold_.begin());
    Application::showMessage(text);
  }
}

void Saver::sessionEnd() {
  const auto until = std::chrono::steady_clock::now() + kSessionEndDeadline;
  // A load under way holds no change: left to end as ever, for the session
  // may go on, and a load stopped half way would be a failed one.
  if (loading() || state_ == State::Closed) return;
  stopTimer();
  // A save an earlier session's end made, not handled yet: the store takes
  // it before the next save is asked for.
  if (ended_) {
    StoreWorker::Result earlier = std::move(*ended_);
    ended_.reset();
    take(earlier);
  }
  worker_.stop();
  const bool untold = unsaved_ && !unsaved_->told;
  if (!worker_.waitUntil(until)) {
    if (untold) window_.notify(messages::sessionEndUnfinished());
    return;  // its end comes as WM_STOREDONE, should the session go on
  }
  if (std::optional<StoreWorker::Result> stopped = worker_.take()) take(*stopped);
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      until - kSessionEndWorkMargin - std::chrono::steady_clock::now());
  // What this save cannot write is kept beside the file for the next start.
  SaveRequest request = store_.saveRequest();
  request.keepIfUnsaved = true;
  worker_.save(std::move(request), std::max(left, std::chrono::milliseconds(0)));
  switch (state_) {
    case State::Following:
    case State::Saving:
      to(State::Idle);
      to(State::Saving);
      break;
    case State::Idle:
      to(State::Saving);
      break;
    case State::Closing:  // the close's own save it is
      to(State::CloseSaving);
      break;
    default:  // the close's save already, or a save under the close's question
      break;
  }
  if (!worker_.waitUntil(until)) {
    if (untold) window_.notify(messages::sessionEndUnfinished());
    return;  // its end comes as WM_STOREDONE, should the session go on
  }
  // Handled as any save's end by the WM_STOREDONE its end posted, once
  // this handler has returned: tried again and told should the session go
  // on, the close it cut short ended, with what it put back told first.
  ended_ = worker_.take();
  if (!ended_ || !ended_->saved) return;
  const SaveResult& result = ended_->saved->done.result;
  if (!result.kept.empty()) {
    window_.notify(messages::sessionEndKept(result));
  } else if (untold && result != SaveResult::Saved && result != SaveResult::Unchanged) {
    const std::wstring message = messages::saveOutcome(result);
    if (!message.empty()) window_.notify(message);
  }
}
