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

}  // namespace

CarefulRead readCarefully(const std::string& file, bool locked, const Deadline& deadline) {
  const Deadline limit = deadline.within(kLoadTimeLimit);
  const Deadline held = deadline.within(kHeldWait);
  CarefulRead read;
  std::optional<FileView> before;  // the last try's view, when it held still
  for (;;) {
    const ReadHold hold(file);
    // The stamp too: a file rewritten and then written back with its old
    // bytes during the reads has the old digest again, but not the old stamp.
    const std::string stamp = fileStamp(file);
    std::string bytes;
    const FileState state = fileSystem().read(file, bytes);
    const unsigned long error = state == FileState::Unreadable ? lastSystemError() : 0;
    read.bytes = state == FileState::Readable ? std::optional<std::string>(bytes) : std::nullopt;
    read.view = FileView{};
    read.result = LoadResult{};
    bool whole = true;
    if (state == FileState::Unreadable) {
      read.result = unreadable(file, error);
      whole = !isHeldByAnother(error);
    } else if (read.bytes) {
      const ini::Profile profile = ini::Profile::parse(*read.bytes);
      if (std::optional<FileView> plain = plainView(*read.bytes, profile)) {
        read.view = std::move(*plain);
      } else {
        size_t sections = 0;
        read.result = readBySystem(file, read.view, sections, limit);
        // Not held, the file may have been taken for a moment during the reads.
        whole = !read.result.ok() || hold.held();
        if (read.result.ok()) {
          // A file the system saw no section of, while its bytes hold some,
          // was not read at all, however often.
          const bool seen = sections > 0 || profile.sectionNames().empty();
          whole = whole && (engineView(profile) == read.view || (seen && before == read.view));
        } else if (read.result.status == LoadResult::Unreadable) {
          whole = !isHeldByAnother(read.result.error);
        }
      }
    }
    std::string after;
    const bool still =
        state != FileState::Unreadable && fileStamp(file) == stamp &&
        (fileSystem().read(file, after) == FileState::Readable ? read.bytes == after : !read.bytes);
    // Wine's ReplaceFileW moves the old file aside before the new one takes
    // its place: while another copy saves (its lock file is there), a file
    // that is missing may be one between the two. Looked for again a while.
    const bool between = !locked && state == FileState::Missing &&
                         fileState(saveLockFile(file)) != FileState::Missing;
    if ((still || state == FileState::Unreadable) && !between && whole) return read;
    // A file held the whole time is as the system says it is.
    if (state == FileState::Unreadable && held.over()) return read;
    if (limit.over()) {
      if (state == FileState::Missing && still) return read;  // no file yet
      CarefulRead none;
      none.result = unreadable(file, 0);
      return none;
    }
    before = still && read.result.ok() ? std::optional<FileView>(read.view) : std::nullopt;
    // A file held, one between another copy's renames or caught half way:
    // looked at again a moment later; one that changed, at once.
    if (between || !whole || !still) limit.wait();
  }
}

Value readIniValue(const std::string& file, const std::string& section, const std::string& key) {
  std::string value = kAbsentKey;
  ReadIniString(file, section, key, value);
  return valueRead(std::move(value));
}
