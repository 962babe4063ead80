// CarefulRead.cpp: see CarefulRead.h.
#include "CarefulRead.h"

#include "Common.h"
#include "FileSystem.h"
#include "IniEngine.h"
#include "SaveLock.h"

namespace {

LoadResult unreadable(const std::string& file, unsigned long error) {
  LoadResult result;
  result.status = LoadResult::Unreadable;
  result.detail = file;
  result.error = error;
  return result;
}

// The file through the profile functions. sections: how many sections the
// system found.
LoadResult readBySystem(const std::string& file, FileView& view, size_t& sections,
                        const Deadline& deadline) {
  view = FileView{};
  sections = 0;
  refreshIniFile(file);
  // The profile functions read a locked file as an empty one; the store would
  // then overwrite the user's logons with nothing at exit.
  if (fileState(file) == FileState::Unreadable) return unreadable(file, lastSystemError());
  std::string countText;
  const std::vector<std::string> names = readIniSectionNames(file);
  sections = names.size();
  // Each value is a scan of the file: a large one takes seconds, and the
  // read must end by the deadline all the same (the session's end).
  bool late = false;
  const ViewStatus status = readView(
      [&](const std::string& section, const std::string& key) -> Value {
        if (late || (late = deadline.over())) return std::nullopt;
        return readIniValue(file, section, key);
      },
      names, view, countText);
  if (late) return unreadable(file, 0);
  LoadResult result;
  if (status == ViewStatus::Ok) return result;
  result.status =
      status == ViewStatus::NotAnInteger ? LoadResult::NotAnInteger : LoadResult::RangeError;
  result.detail = countText;
  return result;
}

// One look at the file, held open for reading meanwhile: what it holds,
// and whether that reading is whole (not one another program cut short by
// holding the file) and still (the same bytes and stamp after it).
struct Look {
  CarefulRead read;
  FileState state = FileState::Missing;
  bool whole = true, still = false;
};
Look lookAt(const std::string& file, const std::optional<FileView>& before, const Deadline& limit) {
  Look look;
  CarefulRead& read = look.read;
  const ReadHold hold(file);
  // The stamp too: a file rewritten and then written back with its old
  // bytes during the reads has the old digest again, but not the old stamp.
  const std::string stamp = fileStamp(file);
  std::string bytes;
  look.state = fileSystem().read(file, bytes);
  const unsigned long error = look.state == FileState::Unreadable ? lastSystemError() : 0;
  if (look.state == FileState::Readable) read.bytes = std::move(bytes);
  if (look.state == FileState::Unreadable) {
    read.result = unreadable(file, error);
    look.whole = !isHeldByAnother(error);
  } else if (read.bytes) {
    const ini::Profile profile = ini::Profile::parse(*read.bytes);
    if (std::optional<FileView> plain = plainView(*read.bytes, profile)) {
      read.view = std::move(*plain);
    } else {
      size_t sections = 0;
      read.result = readBySystem(file, read.view, sections, limit);
      // Not held, the file may have been taken for a moment during the reads.
      look.whole = !read.result.ok() || hold.held();
      if (read.result.ok()) {
        // A file the system saw no section of, while its bytes hold some,
        // was not read at all, however often.
        const bool seen = sections > 0 || profile.sectionNames().empty();
        look.whole =
            look.whole && (engineView(profile) == read.view || (seen && before == read.view));
      } else if (read.result.status == LoadResult::Unreadable) {
        look.whole = !isHeldByAnother(read.result.error);
      }
    }
  }
  std::string after;
  look.still =
      look.state != FileState::Unreadable && fileStamp(file) == stamp &&
      (fileSystem().read(file, after) == FileState::Readable ? read.bytes == after : !read.bytes);
  return look;
}

}  // namespace

CarefulRead readCarefully(const std::string& file, bool locked, const Deadline& deadline) {
  const Deadline limit = deadline.within(kLoadTimeLimit);
  const Deadline held = deadline.within(kHeldWait);
  std::optional<FileView> before;  // the last try's view, when it held still
  for (;;) {
    Look look = lookAt(file, before, limit);
    const bool heldNow = look.state == FileState::Unreadable;
    // Wine's ReplaceFileW moves the old file aside before the new one takes
    // its place: while another copy saves (its lock file is there), a file
    // that is missing may be one between the two. Looked for again a while.
    const bool between = !locked && look.state == FileState::Missing &&
                         fileState(saveLockFile(file)) != FileState::Missing;
    if ((look.still || heldNow) && !between && look.whole) return std::move(look.read);
    // A file held the whole time is as the system says it is.
    if (heldNow && held.over()) return std::move(look.read);
    if (limit.over()) {
      if (look.state == FileState::Missing && look.still)
        return std::move(look.read);  // no file yet
      CarefulRead none;
      none.result = unreadable(file, 0);
      return none;
    }
    before = look.still && look.read.result.ok() ? std::optional<FileView>(look.read.view)
                                                 : std::nullopt;
    // A file held, one between another copy's renames or caught half way:
    // looked at again a moment later; one that changed, at once.
    if (between || !look.whole || !look.still) limit.wait();
  }
}

FileState readHeld(const std::string& file, std::string& bytes, unsigned long& error,
                   const Deadline& deadline) {
  return deadline.within(kHeldWait).retry(
      [&] {
        const FileState state = fileSystem().read(file, bytes);
        error = state == FileState::Unreadable ? lastSystemError() : 0;
        return state;
      },
      [&](FileState state) { return state == FileState::Unreadable && isHeldByAnother(error); });
}

Value readIniValue(const std::string& file, const std::string& section, const std::string& key) {
  std::string value = kAbsentKey;
  ReadIniString(file, section, key, value);
  return valueRead(std::move(value));
}
