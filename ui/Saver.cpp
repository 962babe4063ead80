// Saver.cpp: see Saver.h.
#include "Saver.h"

#include "Application.h"
#include "Messages.h"

#include <algorithm>
#include <utility>

void Saver::load(const std::string& file, const SaveSettings& settings) {
  loading_ = true;
  worker_.load(file, settings, kLoadDeadline);
}

void Saver::changed() {
  if (!since_) since_ = std::chrono::steady_clock::now();
  SetTimer(owner_, kSaveChangesTimer, kDelayMs, nullptr);
}

bool Saver::onTimer(UINT_PTR id) {
  if (id != kSaveChangesTimer) return false;
  stopTimer();
  save(kChangeSaveDeadline);
  return true;
}

void Saver::stopTimer() {
  KillTimer(owner_, kSaveChangesTimer);
}

void Saver::save(std::chrono::milliseconds within) {
  // One save at a time: a change made meanwhile goes into the next.
  if (worker_.busy()) {
    again_ = true;
    return;
  }
  // Changes made after a failed load wait for the close's question.
  if (loading_ || (store_.loadFailed() && !closing_)) return;
  worker_.save(store_.saveRequest(), within);
}

void Saver::onDone() {
  std::optional<StoreWorker::Result> result = worker_.take();
  if (!result) return;  // taken already (the session's end), or still running
  if (result->loaded) {
    loading_ = false;
    store_ = std::move(result->loaded->store);
    if (closing_) {  // the load was stopped: nothing can have changed
      window_.closed();
      return;
    }
    window_.loaded(result->loaded->result);
    // Changes a session's end kept, merged by the load: saved, which also
    // removes them (they hold the passwords).
    if (!store_.keptChanges().empty()) changed();
    return;
  }
  if (result->saved) saved(*result->saved);
}

void Saver::saved(StoreWorker::Saved& saved) {
  const SaveResult result = saved.done.result;
  // Another copy's changes merged in: the list shows the file, before any
  // box (the window may be brought back while one is up).
  if (store_.takeSaved(saved.request, std::move(saved.done))) window_.shown();
  if (result == SaveResult::Saved || result == SaveResult::Unchanged) {
    told_ = false;
    if (!store_.changed()) since_.reset();
  }
  if (closing_) {
    if (std::exchange(closeSave_, false))
      closeSaved(result);
    else
      close();  // the save under way at the close has ended: now the close's own
    return;
  }
  if (!result.recovered.empty() || !result.keptAside.empty())
    Application::showMessage(messages::recoveredNotice(result.recovered, result.keptAside));
  // Saved all the same: told once, never written again for it.
  if (result.unconfirmed && !std::exchange(unconfirmedTold_, true))
    Application::showMessage(messages::savedUnconfirmed(result));
  if (result == SaveResult::Failed && (result.step == SaveResult::Step::ReadBack ||
                                       result.step == SaveResult::Step::Link)) {
    // Trying again reads the same value back: told at once, tried again at
    // the next change.
    told_ = true;
    Application::showMessage(messages::saveOutcome(result));
  } else if (result == SaveResult::Failed) {
    // Whatever failed may pass (a lock, a file held, a full disk freed):
    // tried again until it is saved, and told once when it has waited long.
    SetTimer(owner_, kSaveChangesTimer, kRetryMs, nullptr);
    if (!told_ && since_ && std::chrono::steady_clock::now() - *since_ >= kTellAfter) {
      told_ = true;  // before the box: its loop runs this timer meanwhile
      Application::showMessage(messages::notSavedYet(result));
    }
  } else if (std::exchange(again_, false) || store_.changed()) {
    SetTimer(owner_, kSaveChangesTimer, kDelayMs, nullptr);
  }
}

void Saver::close() {
  if (!closing_) {
    closing_ = true;
    stopTimer();
    window_.closing(true);
  }
  if (loading_) {
    // Nothing can have changed yet: the load is stopped, and the window
    // goes when it has ended.
    worker_.stop();
    return;
  }
  if (worker_.busy()) return;  // its end starts the close's save
  closeSave_ = true;
  again_ = false;
  worker_.save(store_.saveRequest(), store_.settings().lockTimeout);
}

void Saver::closeSaved(const SaveResult& result) {
  if (!result.recovered.empty() || !result.keptAside.empty())
    Application::showMessage(messages::recoveredNotice(result.recovered, result.keptAside));
  const std::wstring question = messages::closeWithoutSaving(result);
  if (question.empty() || Application::askYesNo(question)) {
    window_.closed();
    return;
  }
  // The user kept the window: a change not yet on disk is tried again as before.
  closing_ = false;
  window_.closing(false);
  if (store_.changed() && !store_.loadFailed()) changed();
}

void Saver::sessionEnd() {
  const auto until = std::chrono::steady_clock::now() + kSessionEndDeadline;
  stopTimer();
  // A load under way holds no change: left to end as ever, for the session
  // may go on, and a load stopped half way would be a failed one.
  if (loading_) return;
  worker_.stop();
  if (!worker_.waitUntil(until)) {
    if (since_ && !told_) window_.notify(messages::sessionEndUnfinished());
    return;
  }
  if (std::optional<StoreWorker::Result> ended = worker_.take(); ended && ended->saved) {
    if (store_.takeSaved(ended->saved->request, std::move(ended->saved->done))) window_.shown();
  }
  closeSave_ = false;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      until - kSessionEndWorkMargin - std::chrono::steady_clock::now());
  // What this save cannot write is kept beside the file for the next start.
  SaveRequest request = store_.saveRequest();
  request.keepIfUnsaved = true;
  worker_.save(std::move(request), std::max(left, std::chrono::milliseconds(0)));
  if (!worker_.waitUntil(until)) {
    if (since_ && !told_) window_.notify(messages::sessionEndUnfinished());
    return;  // its end comes as WM_STOREDONE, should the session go on
  }
  std::optional<StoreWorker::Result> ended = worker_.take();
  if (!ended || !ended->saved) return;
  const SaveResult result = ended->saved->done.result;
  // The session may go on after all: the list shows what the save merged in.
  if (store_.takeSaved(ended->saved->request, std::move(ended->saved->done))) window_.shown();
  if (result == SaveResult::Saved || result == SaveResult::Unchanged) {
    since_.reset();
    told_ = false;
    if (closing_) window_.closed();  // the close it cut short is done too
    return;
  }
  if (closing_) {  // the close it cut short gives the window back, as a failed one does
    closing_ = false;
    window_.closing(false);
  }
  if (!result.kept.empty()) {
    window_.notify(messages::sessionEndKept(result));
  } else if (!told_) {
    const std::wstring message = messages::saveOutcome(result);
    if (!message.empty()) window_.notify(message);
  }
}
