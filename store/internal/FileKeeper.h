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
//   KEPT       beside F (whatever its state), F.vksave-g.kept: a change the
//              session's end could not write, with what it was made on;
//              written under a .tmp name, flushed, then named. The next open
//              merges it into what it read from F (three ways, as a save
//              merges another copy's changes); the first save of that store
//              that reaches the disk removes it.
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
//   I7  A .kept is never put back in F's place nor removed as a leftover:
//       only a save (or a commit with nothing left to write) of the store
//       that merged it removes it, once that is on disk. One that does not
//       read whole is kept aside, never merged in part.
// folderState says which state a folder is in at rest; the tests check it
// after every step.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "Deadline.h"
#include "Files.h"
#include "KeptChange.h"
#include "Logon.h"
#include "CarefulRead.h"
#include "Store.h"  // LoadResult, SaveResult, the limits
#include "SaveLock.h"
#include "SettingsFile.h"

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
  // A Saved or Unchanged commit then removes the kept changes in merged:
  // the ones the store merged at its start (or kept itself), now on disk.
  [[nodiscard]] SaveResult commit(const Snapshot& base, const std::string& path,
                                  const std::vector<Logon>& slots, const Deadline& deadline,
                                  Committed& next,
                                  const std::vector<std::string>& merged = {}) const;

  // Writes a change the save could not write beside the file, as a kept
  // change (KeptChange.h): written under a working name, flushed and only
  // then named. The kept change's name, or empty with error set.
  [[nodiscard]] std::string keep(const KeptChange& change, const Deadline& deadline,
                                 unsigned long& error) const;

  // The kept changes beside the file that read whole, merged in turn over
  // state (the file as the open read it), oldest first; those that do not
  // read whole are kept aside, and those that cannot be read now are left
  // for a later start.
  struct Resumed {
    std::vector<std::string> merged;     // the kept changes folded into state
    std::vector<std::string> keptAside;  // damaged ones, moved aside
    std::vector<std::string> unread;     // held by another program: left as they are
  };
  [[nodiscard]] Resumed resume(StoreState& state, const Deadline& deadline) const;

 private:
  struct Recovered {
    std::string restored;  // the copy put back; empty when none
    std::string failed;    // the copy that could not be put back
    unsigned long error = 0;
    std::vector<std::string> keptAside;  // copies that did not read whole
  };
  Recovered recover(const Deadline& deadline) const;
  // The open's lock: a short wait, or a save's when a cut save may lie beside.
  SaveLock::Outcome lockToOpen(const Deadline& deadline, std::optional<SaveLock>& lock,
                               unsigned long& error) const;
  // What comes before the open's read: the recovery under the lock, or the
  // refusal to read beside a version it could not put back.
  LoadResult beforeRead(SaveLock::Outcome lock, unsigned long lockError,
                        const Deadline& deadline) const;
  SaveResult commitOnly(const Snapshot& base, const std::string& path,
                        const std::vector<Logon>& slots, const Deadline& deadline,
                        Committed& next) const;

  std::string file_;
  SaveSettings settings_;
};

// The settings file key by key through the profile functions: the save's
// way when the system reads the bytes made in memory otherwise.
class FileTarget : public SettingsTarget {
 public:
  FileTarget(std::string file, Deadline deadline)
      : file_(std::move(file)), deadline_(std::move(deadline)) {}
  // Whether a write was refused because the deadline had come.
  [[nodiscard]] bool late() const { return late_; }
  bool write(const std::string& section, const std::string& key, const std::string& value) override;
  std::vector<std::string> sectionNames() override;
  bool addSection(const std::string& section,
                  const std::vector<std::pair<std::string, std::string>>& keys) override;
  bool removeSection(const std::string& section) override;

 private:
  std::string file_;
  Deadline deadline_;
  bool late_ = false;
};
