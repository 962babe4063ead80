// FileKeeper.h: the settings file's protocol, in one owner. It promises that
// the file on disk is always one whole version: a save is written to a copy
// beside the file, read back and put in its place in one step, under a lock
// that keeps two copies' saves (also two PCs') one after the other; a save
// cut off is put back at the next open or commit, under that lock, by what
// the program wrote into its copies' names; only the program's own copies
// are ever removed; and a file that was not read whole is never written.
//
// The folder's states, as a save of generation g passes through them (F is
// the settings file, copies are named as SaveCopies.h says):
//   CLEAN      F readable, no copy of the program's beside it (or no F and
//              no copy: a first start). Where every open and commit ends.
//   WORKING    under the lock: F, and F.vksave-g.tmp being written and read
//              back. Cut here: F stands; the .tmp goes at the next start.
//   SEALED     under the lock: F, and F.vksave-g.new, flushed and read back
//              whole. Cut here: F stands (the save was never said to be
//              done); the .new goes at the next start.
//   REPLACING  inside the replace: no F; F.vksave-g.bak (the old file) and
//              F.vksave-g.new. Cut here: the next open or commit puts back
//              the latest copy that reads whole (the .new, else the .bak).
//   REPLACED   F is the new version, flushed; the .bak goes. Only now is the
//              save Saved.
//   UNREADABLE F there but not to be read (held, a folder): nothing beside it
//              is touched, and nothing is written.
// Copies left beside a readable F by a cut save (or held by another program)
// are STALE: the next open or commit that takes the lock removes them.
//
// The invariants, in every state and after every step:
//   I1  A whole version is always on disk: under F, or (F missing after a
//       cut) under a .new or .bak that the recovery puts back.
//   I2  Only plain files (no link of any kind) named as the program names
//       its copies are ever moved or removed, and nothing is removed beside
//       an F that is missing or cannot be read.
//   I3  A .new is written, flushed and read back in full before it has that
//       name; a .tmp is never put back; a copy that does not read whole is
//       never put back over a whole one, nor removed: it is kept aside.
//   I4  A save's generation is above that of every .new and .bak beside F,
//       and is one the program reads back from the name.
//   I5  A save holds the lock, its name still leading to the file it holds,
//       from its read of F to its replace.
//   I6  Saved means F holds the new version on disk and no copy of that save
//       is left beside it; after any open or commit that took the lock
//       with F readable, the folder is CLEAN but for copies another program
//       holds (beside a missing F, the copies wait for the next one).
// folderState says which state a folder is in at rest; the tests check it
// after every step.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "Deadline.h"
#include "Files.h"
#include "Logon.h"
#include "CarefulRead.h"  // LoadResult
#include "SettingsFile.h"

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
    Replace,  // the copy could not take the file's place, or not on disk
    Memory,   // out of memory
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

  SaveResult() = default;
  SaveResult(Status s) : status(s) {}  // NOLINT(google-explicit-constructor): a bare outcome

  bool operator==(Status s) const { return status == s; }
  bool operator!=(Status s) const { return status != s; }
};

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

// What a saved store becomes: what the file holds now, and the store's next
// path and slots, made before the replace (nothing after it may fail).
struct Committed {
  Snapshot file;
  std::string path;
  std::vector<Logon> slots;
};

// The state of F's folder at rest (no save under way): CLEAN, STALE (F
// readable, the program's copies beside it), CUT (F missing, a copy beside
// it the recovery would try), UNREADABLE, or FIRST (no F, no copy).
enum class FolderState { Clean, Stale, Cut, Unreadable, First };
[[nodiscard]] FolderState folderState(const std::string& file);

// The settings file's protocol: open and commit, each under the lock.
class FileKeeper {
 public:
  explicit FileKeeper(std::string file = "", SaveSettings settings = {});

  const std::string& file() const { return file_; }
  const SaveSettings& settings() const { return settings_; }
  SaveSettings& settings() { return settings_; }

  // Takes the lock (waiting lockTimeout when copies lie beside the file,
  // kOpenLockWait otherwise), puts back a cut save, and reads the file whole
  // and still, no wait past the deadline. What it holds goes to snapshot; a
  // file that cannot be loaded gives a snapshot that is never written.
  [[nodiscard]] LoadResult open(Snapshot& snapshot, const Deadline& deadline) const;

  // Reads the file as it is now, to follow another copy's saves: without
  // the lock, and nothing put back, moved or written, as a load that could
  // not take the lock reads (readCarefully). now gets what the file holds
  // when it reads whole (there, still, its "COUNT" readable); otherwise
  // false: a file missing, cut, held or between another copy's renames is
  // no news.
  [[nodiscard]] bool look(const Deadline& deadline, Snapshot& now) const;

  // Writes path and slots over what base says the file held, under the lock,
  // every wait (the lock, a file held, a file that does not hold still)
  // ended by the deadline, after putting back a cut save: only what
  // differs, merged with another copy's changes where the file was
  // rewritten since. next is what the file holds once it is Saved. Nothing
  // changed: the file is not opened for writing, and without copies beside
  // it no lock is taken (a read-only share stays quiet).
  [[nodiscard]] SaveResult commit(const Snapshot& base, const std::string& path,
                                  const std::vector<Logon>& slots, const Deadline& deadline,
                                  Committed& next) const;

 private:
  struct Recovered {
    std::string restored;  // the copy put back; empty when none
    std::string failed;    // the copy that could not be put back
    unsigned long error = 0;
    std::vector<std::string> keptAside;  // copies that did not read whole
  };
  Recovered recover(const Deadline& deadline) const;

  std::string file_;
  SaveSettings settings_;
};

// The settings file key by key through the profile functions: the save's
// way when the system reads the bytes made in memory otherwise.
class FileTarget : public SettingsTarget {
 public:
  explicit FileTarget(std::string file) : file_(std::move(file)) {}
  bool write(const std::string& section, const std::string& key, const std::string& value) override;
  std::vector<std::string> sectionNames() override;
  bool addSection(const std::string& section,
                  const std::vector<std::pair<std::string, std::string>>& keys) override;
  bool removeSection(const std::string& section) override;

 private:
  std::string file_;
};
