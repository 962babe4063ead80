// Store.cpp: see Store.h: the list and its rules; the file's protocol is
// the keeper's (FileKeeper.cpp).
#include "Store.h"

#include <exception>
#include <new>
#include <utility>

#include "IniEngine.h"
#include "Merge.h"

namespace {

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
    : keeper_(std::move(iniFileName), settings) {}

LoadResult Store::LoadIniFile() {
  return LoadIniFile(Deadline(kLoadDeadline));
}

LoadResult Store::LoadIniFile(const Deadline& deadline) {
  try {
    LoadResult result = keeper_.open(loaded_, deadline);
    path_ = loaded_.path;
    logons_ = loaded_.slots;
    return result;
  } catch (...) {
    // However far the load came: an empty store that is never saved over the file.
    loaded_ = Snapshot{};
    path_.clear();
    logons_.clear();
    LoadResult result;
    result.status = outOfMemory(result.detail) ? LoadResult::OutOfMemory : LoadResult::Unexpected;
    return result;
  }
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
  return SaveRequest{keeper_, loaded_, path_, logons_};
}

SaveDone Store::save(const SaveRequest& request, const Deadline& deadline) {
  SaveDone done;
  try {
    done.result =
        request.keeper.commit(request.base, request.path, request.slots, deadline, done.next);
  } catch (...) {
    // The commit leaves no copy of its own behind, whatever stopped it.
    done.result = SaveResult::Failed;
    done.result.step =
        outOfMemory(done.result.detail) ? SaveResult::Step::Memory : SaveResult::Step::Unexpected;
  }
  return done;
}

bool Store::takeSaved(const SaveRequest& request, SaveDone&& done) {
  if (done.result != SaveResult::Saved) return false;
  Committed& next = done.next;
  // Made before any swap: the store is never half new.
  if (path_ != request.path || logons_ != request.slots) {
    StoreState merged =
        mergeStores({request.path, request.slots}, {path_, logons_}, {next.path, next.slots});
    next.path.swap(merged.path);
    next.slots.swap(merged.logons);
  }
  const bool differs = next.path != path_ || next.slots != logons_;
  path_.swap(next.path);
  logons_.swap(next.slots);
  std::swap(loaded_, next.file);
  return differs;
}

Follow Store::followRequest() const {
  return Follow{keeper_, loaded_.digest, followed_, std::nullopt};
}

void Store::follow(Follow& follow, const Deadline& deadline) {
  follow.file.reset();
  // Nothing there, or nothing rewritten since the last look read it.
  const std::string stamp = fileStamp(follow.keeper.file());
  if (stamp.empty() || stamp == follow.stamp) return;
  Snapshot now;
  if (!follow.keeper.look(deadline, now)) return;  // no news: the next look reads again
  follow.stamp = stamp;
  if (now.digest != follow.digest) follow.file = std::move(now);
}

bool Store::takeFollowed(Follow&& follow) {
  if (loadFailed() || follow.digest != loaded_.digest) return false;
  followed_ = std::move(follow.stamp);
  if (!follow.file) return false;
  Snapshot& file = *follow.file;
  // Made before any swap: the store is never half new.
  StoreState merged =
      mergeStores({loaded_.path, loaded_.slots}, {path_, logons_}, {file.path, file.slots});
  const bool differs = merged.path != path_ || merged.logons != logons_;
  path_.swap(merged.path);
  logons_.swap(merged.logons);
  std::swap(loaded_, file);
  return differs;
}

bool Store::changed() const {
  return path_ != loaded_.path || logons_ != loaded_.slots;
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
