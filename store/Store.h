// Store.h: the connection store: the settings file's name, the client path
// and the numbered logons, loaded from the settings file and saved back to
// it, as one object its owner holds. Portable: no window system is needed
// to build or exercise it.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Deadline.h"
#include "Logon.h"

// What a load found: the outcome, and what it put back first.
struct LoadResult {
  enum Status {
    Ok,
    NotAnInteger,
    RangeError,
    OutOfMemory,
    Unreadable,  // the file is there but cannot be read (locked, a folder)
    // The file is missing, a cut save's copy lies beside it, and another
    // copy of the program holds the lock: it could not be put back.
    Unrecovered,
    // The file is missing, and beside it a name of the program's copies that
    // may hold a version is a link or a folder: never followed, never passed
    // over for an empty list. detail is that name.
    UnusableCopy,
    // An error the program does not expect was raised: detail is its own words.
    Unexpected,
  };
  Status status = Ok;
  // The "COUNT" text that could not be loaded, the file, or the copy that
  // could not be put back.
  std::string detail;
  // The system's error of an Unreadable file; 0 when it has none: the file
  // did not hold still, or the system could not read it whole.
  unsigned long error = 0;
  // The copy a save cut off had left, put back under the file's name
  // before the load; empty when there was nothing to put back.
  std::string recovered;
  // Copies a save cut off had left that did not read whole: kept aside
  // under names of their own (keptAsidePath), never put back or removed.
  std::vector<std::string> keptAside;
  // Changes a session's end had kept beside the file, merged into the store
  // (Store::LoadIniFile): the kept changes, and what they brought back.
  std::vector<std::string> resumed;
  std::vector<Logon> cameBack, goneAgain;  // logons added and deleted by them
  bool pathCameBack = false;               // the client path was theirs
  // Kept changes that did not read whole: kept aside (keptAsidePath), not merged.
  std::vector<std::string> resumedAside;

  bool ok() const { return status == Ok; }
};

struct SaveResult {
  enum Status {
    Saved,
    Unchanged,  // the file holds what the store holds: not touched at all
    Failed,     // a step failed, or a value cannot be stored: the old file stays
    NotLoaded,  // the file could not be loaded: the store's changes were not written
  };
  // The step a failed save stopped at.
  enum class Step {
    None,
    Value,     // a value holds a line break or NUL
    LockBusy,  // another copy (another PC) holds the lock still: detail is the lock file
    Lock,      // the lock file cannot be made or opened, or its name was taken from
               // this save's lock meanwhile: detail is the lock file
    Recover,   // a cut save's copy could not be put back: detail is the copy
    ReadOnly,  // the settings file is read-only: detail is the file
    Read,      // the settings file cannot be read
    Count,     // another copy rewrote the file with a "COUNT" that cannot be read
    Copy,      // the copy beside the file cannot be made: detail is the copy
    Write,     // the system's writes to the copy failed: detail is the copy
    // The system read a value of the copy otherwise than it was written:
    // section and key say which; detail is the file.
    ReadBack,
    Replace,  // the copy could not take the file's place
    Memory,   // out of memory
    // The settings file is a link (symbolic, a junction, or a file with a
    // second name): a replace would move or split what it leads to, so it is
    // never replaced. detail is the file.
    Link,
    // The deadline came while the system read or wrote the file value by
    // value (a large file in forms the engine leaves to it): tried again.
    TimeUp,
    // An error the program does not expect was raised: detail is its own words.
    Unexpected,
  };
  Status status = Saved;
  Step step = Step::None;
  unsigned long error = 0;  // the system's error of the step; 0 when it has none
  std::string detail;
  std::string section, key;            // the value a ReadBack step read otherwise
  std::string recovered;               // as LoadResult's: a save cut off, put back first
  std::vector<std::string> keptAside;  // as LoadResult's
  // Saved, and the new file stands under the file's name, but the system
  // could not confirm it reached the disk (error says why): told, never a
  // reason to write it again.
  bool unconfirmed = false;
  // A failed save of a request that asked for it (keepIfUnsaved): the kept
  // change that holds it for the next start; empty when none could be made.
  std::string kept;

  SaveResult() = default;
  SaveResult(Status s) : status(s) {}  // NOLINT(google-explicit-constructor): a bare outcome

  bool operator==(Status s) const { return status == s; }
  bool operator!=(Status s) const { return status != s; }
};

// The limits of the file's work, in one place, each with its reason. Every
// wait is bounded by the one Deadline its caller gives; these are the parts.
// How long a load goes on trying a file that does not hold still (another
// copy rewrites it, a scanner holds it for a moment) before it calls it
// unreadable: a start must end, with the window or a reason.
constexpr std::chrono::milliseconds kLoadTimeLimit{15'000};
// How long a load waits for a file another program holds without sharing
// (a backup tool, a virus scanner hold it for a second or two).
constexpr std::chrono::milliseconds kHeldWait{5'000};
// How long a save waits for another copy's save to end: well above the
// longest save measured (5,000 logons, every slot rewritten and read back:
// see docs/performance.md). A lock held longer belongs to a copy that hangs.
constexpr std::chrono::milliseconds kSaveLockTimeout{30'000};
// How long an open without copies beside the file waits for the lock: it
// reads a file that holds still when it has it, but can read without it.
// Two saves of 5,000 logons fit in it.
constexpr std::chrono::milliseconds kOpenLockWait{2'000};
// The most a load waits in all, unless its caller stops it first: what its
// steps waited each before, another copy's save and then a file that does
// not hold still.
constexpr std::chrono::milliseconds kLoadDeadline = kSaveLockTimeout + kLoadTimeLimit;
// Of a session end's deadline, what the kept change is given when the save
// could not be made: a small file written, flushed and named.
constexpr std::chrono::milliseconds kKeepReserve{1000};

// What the saves measured, for the tests and the benchmark: given in the
// settings by whoever watches.
struct SaveStats {
  // Saves the system read back otherwise than the bytes made in memory,
  // which then went through its own writes key by key.
  unsigned writtenKeyByKey = 0;
  // The values the system read back from the saves' copies: those of the
  // store's sections in forms the engine does not write itself.
  unsigned valuesReadBack = 0;
  // The time the read-backs took, through the system or byte for byte.
  std::chrono::nanoseconds readBack{0};
};

// What the keeper is given.
struct SaveSettings {
  std::chrono::milliseconds lockTimeout = kSaveLockTimeout;
  SaveStats* observer = nullptr;  // counts the saves when given
};

// A save handed to whoever runs it (the window's worker): the file, its
// settings, and what the store held when it was asked for, copied, so that
// the store can change meanwhile.
// What the file held as the store last read or wrote it: the protocol's
// own business, shared (never copied) by the store and its saves.
struct Snapshot;
// What a save wrote: the file's snapshot, and the store's next path and
// logons, all made before the replace (nothing after it may fail).
struct Committed;

struct SaveRequest {
  std::string file;
  SaveSettings settings;
  std::shared_ptr<const Snapshot> base;
  std::string path;
  std::vector<Logon> slots;
  // The kept changes the store holds merged: removed once it is on disk.
  std::vector<std::string> merged;
  // The session's end: what the save cannot write is kept beside the file
  // (FileKeeper::keep) for the next start, within the same deadline.
  bool keepIfUnsaved = false;
};

// What a save came to, and what the file holds once it is Saved.
struct SaveDone {
  SaveResult result;
  std::shared_ptr<Committed> next;  // once Saved
};

// A look at the file for another copy's saves, handed to whoever runs it
// (the window's worker) and filled in by Store::follow: the file, the
// digest of the bytes the store's base came from, the file's stamp at the
// last look that read it, and what this look found.
struct Follow {
  std::string file;
  SaveSettings settings;
  std::optional<size_t> digest;
  std::string stamp;
  std::shared_ptr<Snapshot> now;  // the file now, read whole, where it is not the base
};

class Store {
 public:
  explicit Store(std::string iniFileName = "", SaveSettings settings = {});

  // Full path of the settings file.
  const std::string& IniFileName() const { return file_; }
  // Full path of the client executable.
  const std::string& SQLPlusPath() const { return path_; }
  void setSQLPlusPath(std::string path) { path_ = std::move(path); }

  // Fills SQLPlusPath and the slots from IniFileName (FileKeeper::open). A
  // file whose "COUNT" cannot be loaded, or that is there but cannot be
  // read, is reported, and from then on never written by SaveIniFile: the
  // user's logons are still in it. Slots with an empty user are dropped
  // while loading (but for the one placeholder slot of a file without
  // logons), so that the listed item i is always slot i.
  [[nodiscard]] LoadResult LoadIniFile();
  [[nodiscard]] LoadResult LoadIniFile(const Deadline& deadline);

  // Writes the store to IniFileName (FileKeeper::commit), its waits (another
  // copy's save, a file held) bounded by within (the settings' lockTimeout
  // unless given): saveRequest, save and takeSaved in one. The store then
  // holds what the file holds, another copy's changes merged in. A failed
  // save leaves the old file and the store as they were, and says why.
  [[nodiscard]] SaveResult SaveIniFile();
  [[nodiscard]] SaveResult SaveIniFile(std::chrono::milliseconds within);

  // The save of what the store holds now.
  [[nodiscard]] SaveRequest saveRequest() const;
  // Runs a request, on any thread; every wait ends by the deadline.
  [[nodiscard]] static SaveDone save(const SaveRequest& request, const Deadline& deadline);
  // Takes what a save of request came to. Saved: the file's snapshot is the
  // store's base from now on, and the store holds the three-way merge of
  // the request (base), itself (mine: changes made while it ran) and what
  // was committed (theirs), which is what was committed when nothing
  // changed meanwhile. Otherwise the store stays as it is. Whether the path
  // or the logons changed.
  bool takeSaved(const SaveRequest& request, SaveDone&& done);

  // The look at the file for another copy's saves.
  [[nodiscard]] Follow followRequest() const;
  // Runs a look, on any thread: the file read as it is now, without the
  // lock, nothing put back or written (FileKeeper::look); a file whose
  // stamp is the last look's is not read again. Every wait ends by the
  // deadline.
  static void follow(Follow& follow, const Deadline& deadline);
  // Takes what a look found: the file's snapshot is the store's base from
  // now on, and the store holds the three-way merge of its base, itself
  // (changes not saved yet) and the file. Nothing where the store was never
  // loaded, or saved since the look was asked for. Whether the path or the
  // logons changed.
  bool takeFollowed(Follow&& follow);

  // Whether the path or a slot differs from what the load (or the last
  // save) left.
  [[nodiscard]] bool changed() const;
  // Kept changes merged at the load, or kept by a save, and not yet removed:
  // the next save that reaches the disk removes them.
  [[nodiscard]] const std::vector<std::string>& keptChanges() const { return kept_; }
  // Whether the load failed: the store is then never written.
  [[nodiscard]] bool loadFailed() const;

  // Stores a logon unless User is empty, the triple is already stored (exact
  // byte comparison) or a value cannot be stored. Returns the slot that
  // received it.
  [[nodiscard]] std::optional<int> insert(const Logon& logon);
  // Removes slot Index, closing the gap; an index outside the store is ignored.
  void remove(int Index);

  const std::vector<Logon>& logons() const { return logons_; }
  // The logon in slot i.
  const Logon& logonAt(int i) const { return logons_.at(static_cast<size_t>(i)); }
  int count() const { return static_cast<int>(logons_.size()); }
  // Empty: no slots, or only the placeholder slot with an empty user.
  bool empty() const;
  // The slots' users, passwords or hosts, in slot order.
  std::vector<std::string> Users() const { return fieldOf(Logon::Field::User); }
  std::vector<std::string> Passes() const { return fieldOf(Logon::Field::Pass); }
  std::vector<std::string> Hosts() const { return fieldOf(Logon::Field::Host); }
  // The display texts of every slot with a user, in slot order.
  std::vector<std::string> listTexts() const;

  // What the load or the last save found the file to hold.
  const Snapshot& loaded() const { return *loaded_; }
  const SaveSettings& settings() const { return settings_; }
  SaveSettings& settings() { return settings_; }

 private:
  std::vector<std::string> fieldOf(Logon::Field field) const;
  // Merges the kept changes beside the file into what the load read.
  void resume(LoadResult& result, const Deadline& deadline);

  std::string file_;
  SaveSettings settings_;
  std::string path_;
  std::vector<Logon> logons_;
  std::shared_ptr<const Snapshot> loaded_;
  std::vector<std::string> kept_;
  std::string followed_;  // the file's stamp at the last look that read it
};

// The text the list box shows for a logon: "user / pass @ host".
std::string displayTextOf(const Logon& logon);
