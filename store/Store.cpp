// Store.cpp: see Store.h: the list and its rules; the file's protocol is
// the keeper's (FileKeeper.cpp).
#include "Store.h"

#include <algorithm>
#include <exception>
#include <new>
#include <utility>

#include "FileKeeper.h"
#include "IniEngine.h"
#include "Merge.h"

namespace {

const std::shared_ptr<const Snapshot>& nothingRead() {
  static const auto none = std::make_shared<const Snapshot>();
  return none;
}

// What an error raised in the file's work was: out of memory (true), or
// another, whose own words go to detail.
bool outOfMemory(std::string& detail) noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return true;
  } catch (const std::exception& e) {
    try {
      detail = e.what();
    } catch (const std::bad_alloc&) {
      return true;
    }
  } catch (...) {  // NOLINT(bugprone-empty-catch): no words of its own to keep
  }
  return false;
}

}  // namespace

Store::Store(std::string iniFileName, SaveSettings settings)
    : file_(std::move(iniFileName)), settings_(settings), loaded_(nothingRead()) {}

bool Store::loadFailed() const {
  return !loaded_->loaded();
}

LoadResult Store::LoadIniFile() {
  return LoadIniFile(Deadline(kLoadDeadline));
}

LoadResult Store::LoadIniFile(const Deadline& deadline) {
  try {
    auto snapshot = std::make_shared<Snapshot>();
    LoadResult result = FileKeeper(file_, settings_).open(*snapshot, deadline);
    path_ = snapshot->path;
    logons_ = snapshot->slots;
    loaded_ = std::move(snapshot);
    kept_.clear();
    if (result.ok()) resume(result, deadline);
    return result;
  } catch (...) {
    // However far the load came: an empty store that is never saved over the file.
    loaded_ = nothingRead();
    path_.clear();
    logons_.clear();
    LoadResult result;
    result.status = outOfMemory(result.detail) ? LoadResult::OutOfMemory : LoadResult::Unexpected;
    return result;
  }
}

void Store::resume(LoadResult& result, const Deadline& deadline) {
  StoreState state{path_, logons_};
  FileKeeper::Resumed resumed = FileKeeper(file_, settings_).resume(state, deadline);
  result.resumedAside = std::move(resumed.keptAside);
  if (resumed.merged.empty()) return;
  const auto missingFrom = [](const std::vector<Logon>& from, const std::vector<Logon>& in) {
    std::vector<Logon> missing;
    for (const Logon& l : listedOf(from))
      if (std::find(in.begin(), in.end(), l) == in.end()) missing.push_back(l);
    return missing;
  };
  result.cameBack = missingFrom(state.logons, logons_);
  result.goneAgain = missingFrom(logons_, state.logons);
  result.pathCameBack = state.path != path_;
  result.resumed = resumed.merged;
  kept_ = std::move(resumed.merged);
  path_ = std::move(state.path);
  logons_ = std::move(state.logons);
}

SaveResult Store::SaveIniFile() {
  return SaveIniFile(settings().lockTimeout);
}

SaveResult Store::SaveIniFile(std::chrono::milliseconds within) {
  std::optional<SaveRequest> request;
  SaveDone done;
  try {
    request.emplace(saveRequest());
  } catch (const std::bad_alloc&) {
    SaveResult result(SaveResult::Failed);
    result.step = SaveResult::Step::Memory;
    return result;
  }
  done = save(*request, Deadline(within));
  SaveResult result = std::move(done.result);
  done.result.status = result.status;  // what takeSaved looks at; nothing is allocated
  takeSaved(*request, std::move(done));
  return result;
}

SaveRequest Store::saveRequest() const {
  return SaveRequest{file_, settings_, loaded_, path_, logons_, kept_, false};
}

namespace {

// Whether a failed save's change is worth keeping for the next start: not
// one the file will never take (a value the system reads otherwise, one
// that cannot stand in the file), nor one a failed load never read.
bool worthKeeping(const SaveResult& result) {
  if (result != SaveResult::Failed) return false;
  switch (result.step) {
    case SaveResult::Step::Value:
    case SaveResult::Step::ReadBack:
    case SaveResult::Step::None:
      return false;
    case SaveResult::Step::LockBusy:
    case SaveResult::Step::Lock:
    case SaveResult::Step::Recover:
    case SaveResult::Step::ReadOnly:
    case SaveResult::Step::Read:
    case SaveResult::Step::Count:
    case SaveResult::Step::Copy:
    case SaveResult::Step::Write:
    case SaveResult::Step::Replace:
    case SaveResult::Step::Memory:
    case SaveResult::Step::Link:
    case SaveResult::Step::TimeUp:
    case SaveResult::Step::Unexpected:
      break;
  }
  return true;
}

}  // namespace

SaveDone Store::save(const SaveRequest& request, const Deadline& deadline) {
  SaveDone done;
  bool committed = false;  // whatever came after, the commit's outcome stands
  try {
    const FileKeeper keeper(request.file, request.settings);
    const Snapshot& base = *request.base;
    auto next = std::make_shared<Committed>();
    // At the session's end the save stops waiting early enough for the kept
    // change to be made.
    const Deadline saveBy =
        request.keepIfUnsaved
            ? deadline.within(deadline.end() - Deadline::Clock::now() - kKeepReserve)
            : deadline;
    done.result = keeper.commit(base, request.path, request.slots, saveBy, *next, request.merged);
    committed = true;
    if (done.result == SaveResult::Saved) done.next = std::move(next);
    if (request.keepIfUnsaved && worthKeeping(done.result)) {
      unsigned long error = 0;
      done.result.kept = keeper.keep(
          KeptChange{{base.path, base.slots}, {request.path, request.slots}}, deadline, error);
    }
  } catch (...) {
    // The commit leaves no copy of its own behind, whatever stopped it; once
    // it has ended, its outcome stands.
    if (!committed) {
      done.result = SaveResult::Failed;
      done.result.step =
          outOfMemory(done.result.detail) ? SaveResult::Step::Memory : SaveResult::Step::Unexpected;
    }
  }
  return done;
}

bool Store::takeSaved(const SaveRequest& request, SaveDone&& done) {
  if (!done.result.kept.empty()) kept_.push_back(done.result.kept);
  if (done.result == SaveResult::Saved || done.result == SaveResult::Unchanged)
    for (const std::string& gone : request.merged)
      kept_.erase(std::remove(kept_.begin(), kept_.end(), gone), kept_.end());
  if (done.result != SaveResult::Saved || !done.next) return false;
  Committed& next = *done.next;
  // Made before any swap: the store is never half new. Changed while the
  // save ran: merged with what it wrote, as with another copy's changes.
  if (path_ != request.path || logons_ != request.slots) {
    StoreState merged =
        mergeStores({request.path, request.slots}, {path_, logons_}, {next.path, next.slots});
    next.path.swap(merged.path);
    next.slots.swap(merged.logons);
  }
  const bool differs = next.path != path_ || next.slots != logons_;
  path_.swap(next.path);
  logons_.swap(next.slots);
  // The snapshot stays where the save made it, shared with nothing else.
  loaded_ = std::shared_ptr<const Snapshot>(done.next, &next.file);
  return differs;
}

Follow Store::followRequest() const {
  return Follow{file_, settings_, loaded_->digest, followed_, nullptr};
}

void Store::follow(Follow& follow, const Deadline& deadline) {
  follow.now.reset();
  // Nothing there, or nothing rewritten since the last look read it.
  const std::string stamp = fileStamp(follow.file);
  if (stamp.empty() || stamp == follow.stamp) return;
  auto now = std::make_shared<Snapshot>();
  if (!FileKeeper(follow.file, follow.settings).look(deadline, *now))
    return;  // no news: the next look reads again
  follow.stamp = stamp;
  if (now->digest != follow.digest) follow.now = std::move(now);
}

bool Store::takeFollowed(Follow&& follow) {
  if (loadFailed() || follow.digest != loaded_->digest) return false;
  followed_ = std::move(follow.stamp);
  if (!follow.now) return false;
  const Snapshot& file = *follow.now;
  // Made before any swap: the store is never half new.
  StoreState merged =
      mergeStores({loaded_->path, loaded_->slots}, {path_, logons_}, {file.path, file.slots});
  const bool differs = merged.path != path_ || merged.logons != logons_;
  path_.swap(merged.path);
  logons_.swap(merged.logons);
  loaded_ = std::move(follow.now);
  return differs;
}

bool Store::changed() const {
  return path_ != loaded_->path || logons_ != loaded_->slots;
}

std::optional<int> Store::insert(const Logon& logon) {
  if (logon.User.empty()) return std::nullopt;
  for (const Logon& l : logons_)  // the same triple, byte for byte: already stored
    if (l == logon) return std::nullopt;
  for (const Logon::Field f : Logon::kFields)
    if (!ini::isStorableValue(logon[f])) return std::nullopt;
  if (empty()) logons_.clear();  // the placeholder slot takes the first logon
  logons_.push_back(logon);
  return count() - 1;
}

void Store::remove(int Index) {
  if (Index < 0 || Index >= count()) return;
  logons_.erase(logons_.begin() + Index);
}

bool Store::empty() const {
  return logons_.empty() || (logons_.size() == 1 && logons_[0].User.empty());
}

std::vector<std::string> Store::listTexts() const {
  std::vector<std::string> texts;
  for (const Logon& l : logons_)
    if (!l.User.empty()) texts.push_back(displayTextOf(l));
  return texts;
}

std::vector<std::string> Store::fieldOf(Logon::Field field) const {
  std::vector<std::string> values;
  values.reserve(logons_.size());
  for (const Logon& l : logons_) values.push_back(l[field]);
  return values;
}

std::string displayTextOf(const Logon& logon) {
  return logon.User + " / " + logon.Pass + " @ " + logon.Host;
}
