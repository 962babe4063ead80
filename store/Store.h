// Store.h: the connection store: the client path and the numbered logons,
// loaded from the settings file and saved back to it. Portable: no window
// system is needed to build or exercise it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "Logon.h"

// Program-wide state, alive from window creation to process exit.
extern std::string IniFileName;                        // full path of the settings file
extern std::string SQLPlusPath;                        // full path of the client executable
extern std::vector<std::string> Users, Passes, Hosts;  // parallel, one entry per slot

// How long a save waits for another copy's save to end: well above the
// longest save measured (5,000 logons, every slot rewritten and read back:
// see docs/performance.md). A lock held longer belongs to a copy that hangs.
constexpr std::chrono::milliseconds kSaveLockTimeout{30'000};
extern std::chrono::milliseconds saveLockTimeout;  // kSaveLockTimeout; tests shorten it
// A save writes its copy of the settings file beside it as
// "<file>.<process>-<save>.new" (1.1.0 wrote "<file>.new"), and the file's
// old bytes pass through "<file>.<process>-<save>.bak" while it is replaced.
constexpr char kSaveCopySuffix[] = "new";
constexpr char kSaveBackupSuffix[] = "bak";
// How many saves of this process the system read back otherwise than the
// bytes made in memory, and so went through its own writes key by key.
extern unsigned savesWrittenKeyByKey;
// The time this process's saves spent having the system read their copies
// back (for the benchmark).
extern std::chrono::nanoseconds saveReadBackTime;

struct LoadResult {
  // Unreadable: the file is there but cannot be read (locked, a folder).
  enum Status { Ok, NotAnInteger, RangeError, OutOfMemory, Unreadable };
  Status status = Ok;
  std::string detail;  // the "COUNT" text that could not be loaded, or the file

  bool ok() const { return status == Ok; }
};

enum class SaveResult {
  Saved,
  Unchanged,  // the file holds what the store holds: not touched at all
  Failed,     // a write failed, or a value cannot be stored: the old file stays
  NotLoaded,  // the file could not be loaded: the store's changes were not written
};

// Fills SQLPlusPath and the slots from IniFileName. A file whose "COUNT"
// cannot be loaded, or that is there but cannot be read, is reported, and from
// then on never written by SaveIniFile: the user's logons are still in it. Slots with an
// empty user are dropped while loading (but for the one placeholder slot of a
// file without logons), so that the listed item i is always slot i.
[[nodiscard]] LoadResult LoadIniFile();

// Writes the store to IniFileName, unless the file is there and the store is
// as the load (or the last save) left it: a settings file on a read-only
// share is then never opened for writing. A save holds the lock beside the
// file from its read to its replace, so that two copies' saves run one after
// the other, and removes the copies interrupted saves left (a close with
// nothing to save too, when there are any). Only what differs from what the
// file holds is written, and numbered sections beyond the last slot are
// removed, so that a deleted password leaves nothing behind. When another
// copy of the program rewrote the file meanwhile, the two copies' changes
// are merged (mergeStores); a file gone since the load is written whole.
// Failed when the lock did not come or any write failed: the old file and
// the store are then left as they were.
[[nodiscard]] SaveResult SaveIniFile();
// Whether the path or a slot differs from what the load produced.
[[nodiscard]] bool storeChanged();

// The text the list box shows for a logon: "user / pass @ host".
std::string displayTextOf(const Logon& logon);
// The logon in slot i.
Logon logonAt(int i);
// The display text of slot i.
std::string displayText(int i);
// The display texts of every slot with a user, in slot order.
std::vector<std::string> listTexts();

// Stores a logon unless User is empty, the triple is already stored (exact
// byte comparison) or a value cannot be stored. Returns the slot that received it.
[[nodiscard]] std::optional<int> storeInsert(const Logon& logon);
// Removes slot Index, closing the gap; an index outside the store is ignored.
void storeDelete(int index);
// Empty: no slots, or only the placeholder slot with an empty user.
bool storeIsEmpty();
int storeCount();

// Back to the state at program start (no slots, empty path, loaded fine).
void resetStore();
