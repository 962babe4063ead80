// Saver.cpp: see Saver.h.
#include "Saver.h"

#include "Application.h"
#include "Messages.h"

void Saver::changed() {
  if (!since_) since_ = std::chrono::steady_clock::now();
  SetTimer(owner_, kSaveChangesTimer, kDelayMs, nullptr);
}

bool Saver::onTimer(UINT_PTR id) {
  if (id != kSaveChangesTimer) return false;
  save();
  return true;
}

void Saver::stop() {
  KillTimer(owner_, kSaveChangesTimer);
}

void Saver::save() {
  stop();
  // Changes made after a failed load wait for the close's question.
  if (store_.loadFailed()) return;
  const std::vector<Logon> shown = store_.logons();
  // The window never waits for the lock: another copy's save is retried a
  // little later, and the close waits.
  const SaveResult result = store_.SaveIniFile(std::chrono::milliseconds(0));
  if (result != SaveResult::Failed) {
    since_.reset();
    told_ = false;
    // Another copy's changes merged in: the list shows the file, before any
    // box (the window may be brought back while one is up).
    if (store_.logons() != shown) shown_();
  }
  if (!result.recovered.empty() || !result.keptAside.empty())
    Application::showMessage(messages::recoveredNotice(result.recovered, result.keptAside));
  if (result == SaveResult::Failed && result.step == SaveResult::Step::ReadBack) {
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
  }
}

std::wstring Saver::close() {
  stop();
  SaveResult result = store_.SaveIniFile();
  if (!result.recovered.empty() || !result.keptAside.empty()) {
    shown_();  // the list as the file now is, before the box
    Application::showMessage(messages::recoveredNotice(result.recovered, result.keptAside));
    // The window can be brought back from the tray while the box is up: a
    // change made then goes to disk too, or the close asks.
    stop();
    if (store_.changed()) result = store_.SaveIniFile();
  }
  if (result == SaveResult::Saved || result == SaveResult::Unchanged) {
    since_.reset();
    told_ = false;
  }
  return messages::closeWithoutSaving(result);
}

void Saver::closeCancelled() {
  if (store_.changed() && !store_.loadFailed()) changed();
}

void Saver::sessionEnd() {
  stop();
  const SaveResult result = store_.SaveIniFile(kSessionEndLockWait);
  if (!result.recovered.empty() || !result.keptAside.empty())
    Application::showMessage(messages::recoveredNotice(result.recovered, result.keptAside));
  if (result == SaveResult::Saved || result == SaveResult::Unchanged) {
    since_.reset();
    told_ = false;
    shown_();  // the session may go on after all: the list shows what the save merged in
    return;
  }
  if (!told_) {
    const std::wstring message = messages::saveOutcome(result);
    if (!message.empty()) Application::showMessage(message);
  }
}
