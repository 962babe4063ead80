// Store.cpp: see Store.h: the store's load and its list. The save's
// transaction is in Save.cpp. Every read of the settings file goes through
// ReadIniString, so the store runs on either settings engine.
#include "Store.h"

#include <new>
#include <thread>

#include "Common.h"
#include "Files.h"
#include "IniEngine.h"
#include "Save.h"
#include "SaveLock.h"

namespace {

// The file's bytes, or nothing when there is no file to read; state, when
// given, gets why.
std::optional<std::string> fileBytes(const std::string& file, FileState* state = nullptr) {
  std::string bytes;
  const FileState s = readFileBytes(file, bytes);
  if (state) *state = s;
  if (s != FileState::Readable) return std::nullopt;
  return bytes;
}

LoadResult unreadable(const std::string& file, unsigned long error) {
  LoadResult result;
  result.status = LoadResult::Unreadable;
  result.detail = file;
  result.error = error;
  return result;
}

// sections: how many sections the system found.
LoadResult readSettings(const std::string& file, FileView& view, size_t& sections) {
  view = FileView{};
  sections = 0;
  refreshIniFile(file);
  // The profile functions read a locked file as an empty one; the store would
  // then overwrite the user's logons with nothing at exit.
  if (fileState(file) == FileState::Unreadable) return unreadable(file, lastSystemError());
  std::string countText;
  const std::vector<std::string> names = readIniSectionNames(file);
  sections = names.size();
  const ViewStatus status =
      readView([&](const std::string& section,
                   const std::string& key) { return readIniValue(file, section, key); },
               names, view, countText);
  LoadResult result;
  if (status == ViewStatus::Ok) return result;
  result.status =
      status == ViewStatus::NotAnInteger ? LoadResult::NotAnInteger : LoadResult::RangeError;
  result.detail = countText;
  return result;
}

// What the load read: the file's view as the system read it, its bytes, and
// whether it holds only the engine's forms and the engine reads it alike.
struct Read {
  LoadResult result;
  FileView view;
  std::optional<std::string> bytes;
  bool plain = false;
};

// The values and the digest must come from the same bytes: a file rewritten
// between the two would pair one logon's password with another's user. Read
// again until the file held still; one that never does is being rewritten
// all the time, and is not loaded.
//
// The profile functions also read a file they could not open (another
// program held it without sharing it) as one without the keys they looked
// for, and say nothing: a logon read so would be dropped, and the next save
// would write the file without it. The file is held open for reading
// meanwhile, so that no other program can take it for itself; and what the
// system read must be what the bytes hold: the engine's reading where they
// are in its own forms; in any other file, the engine's reading or else
// the same view twice running (where the two read a form otherwise).
Read readStill(const std::string& file) {
  constexpr int kTries = 20;
  Read read;
  std::optional<FileView> before;  // the last try's view, when it held still
  for (int tries = 1;; ++tries) {
    const ReadHold hold(file);
    // The stamp too: a file rewritten and then written back with its old
    // bytes during the reads has the old digest again, but not the old stamp.
    const std::string stamp = fileStamp(file);
    FileState state = FileState::Missing;
    read.bytes = fileBytes(file, &state);
    size_t sections = 0;
    read.result = readSettings(file, read.view, sections);
    const bool still = fileBytes(file) == read.bytes && fileStamp(file) == stamp;
    // Wine's ReplaceFileW moves the old file aside before the new one takes
    // its place: while another copy saves (its lock file is there), a file
    // that is missing may be one between the two. Looked for again a while.
    const bool between = !read.bytes && fileState(saveLockFile(file)) != FileState::Missing;
    // Not held, the file may have been taken for a moment during the reads.
    // (A file that could not be read at all is reported as it is.)
    bool whole = !read.result.ok() || hold.held() || state == FileState::Missing;
    read.plain = false;
    if (read.result.ok() && read.bytes) {
      const ini::Profile profile = ini::Profile::parse(*read.bytes);
      const std::optional<FileView> plain = plainView(*read.bytes, profile);
      read.plain = plain == read.view;
      // A file the system saw no section of, while its bytes hold some, was
      // not read at all, however often.
      const bool seen = sections > 0 || profile.sectionNames().empty();
      const bool confirmed =
          read.plain ||
          (!plain && (engineView(profile) == read.view || (seen && before == read.view)));
      whole = whole && confirmed;
    }
    if (still && !between && whole) return read;
    if (tries == kTries) {
      if (still && state == FileState::Missing) return read;  // no file yet
      read.view = FileView{};
      read.plain = false;
      read.result = unreadable(file, 0);
      return read;
    }
    before = still && read.result.ok() ? std::optional<FileView>(read.view) : std::nullopt;
    if (between || !whole) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace

Store::Store(std::string iniFileName, SaveSettings settings)
    : IniFileName(std::move(iniFileName)), settings_(std::move(settings)) {}

LoadResult Store::LoadIniFile() {
  try {
    // A save cut off (the program killed, the power lost) may have left the
    // file missing and its versions beside it: put back before anything
    // reads, under the lock, so that no other copy's save is half way.
    // Without copies beside the file, no lock: a read-only share stays quiet.
    std::string recovered;
    if (hasCopies(IniFileName, filesBeside(IniFileName))) {
      std::optional<SaveLock> lock;
      if (SaveLock::acquire(IniFileName, settings_.lockTimeout, lock) == SaveLock::Outcome::Locked)
        recovered = recoverAndTidy(IniFileName);
    }
    Read read = readStill(IniFileName);
    FileView& view = read.view;
    LoadResult& result = read.result;
    result.recovered = recovered;
    SQLPlusPath = view.path.value_or("");  // shown even when the logons cannot be loaded
    logons_.clear();
    if (result.ok()) {
      logons_ = listedLogons(view);
      // A file without logons keeps its one empty slot, as it was written.
      if (logons_.empty() && view.highest >= 0) logons_.push_back(placeholderOf(view));
    }
    // A file that could not be loaded is never written: the user's logons are in it.
    // The engine reads the very bytes the system just read: where it finds
    // only its own forms and what the system found, saves may trust it.
    const std::optional<size_t> digest =
        read.bytes ? std::optional<size_t>(digestOf(*read.bytes)) : std::nullopt;
    loaded_ = Loaded{!result.ok(), SQLPlusPath, logons_, std::move(view), digest, read.plain};
    return result;
  } catch (const std::bad_alloc&) {
    // However far the load came: an empty store that is never saved over the file.
    logons_.clear();
    SQLPlusPath.clear();
    loaded_ = Loaded{};
    loaded_.failed = true;
    LoadResult result;
    result.status = LoadResult::OutOfMemory;
    return result;
  }
}

SaveResult Store::SaveIniFile() {
  return SaveIniFile(settings_.lockTimeout);
}

SaveResult Store::SaveIniFile(std::chrono::milliseconds lockWait) {
  try {
    SaveNext next;
    SaveResult result =
        saveStore({IniFileName, loaded_, SQLPlusPath, logons_, settings_}, lockWait, stats_, next);
    if (result == SaveResult::Saved) {
      SQLPlusPath = std::move(next.path);
      logons_ = std::move(next.slots);
      loaded_ = std::move(next.loaded);
    }
    return result;
  } catch (const std::bad_alloc&) {
    SaveResult result;  // the copy has removed itself
    result.status = SaveResult::Failed;
    result.step = SaveResult::Step::Memory;
    return result;
  }
}

bool Store::changed() const {
  return SQLPlusPath != loaded_.path || logons_ != loaded_.slots;
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
