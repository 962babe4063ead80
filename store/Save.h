// Save.h: the settings file on disk: the save as one transaction, what a
// save cut off left and how it is put back, and a value read through the
// profile functions (the load's way and the read-back's).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <chrono>

#include "Files.h"
#include "Logon.h"
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
    Lock,      // the lock file cannot be made or opened: detail is the lock file
    Read,      // the settings file cannot be read
    Count,     // another copy rewrote the file with a "COUNT" that cannot be read
    Copy,      // the copy beside the file cannot be made: detail is the copy
    Write,     // the system's writes to the copy failed: detail is the copy
    Replace,   // the copy could not take the file's place
    Memory,    // out of memory
  };
  Status status = Saved;
  Step step = Step::None;
  unsigned long error = 0;  // the system's error of the step; 0 when it has none
  std::string detail;
  std::string recovered;  // as LoadResult's: a save cut off, put back first

  SaveResult() = default;
  SaveResult(Status s) : status(s) {}  // NOLINT(google-explicit-constructor): a bare outcome

  bool operator==(Status s) const { return status == s; }
  bool operator!=(Status s) const { return status != s; }
};

// How long a save waits for another copy's save to end: well above the
// longest save measured (5,000 logons, every slot rewritten and read back:
// see docs/performance.md). A lock held longer belongs to a copy that hangs.
constexpr std::chrono::milliseconds kSaveLockTimeout{30'000};

// What the store's saves are given.
struct SaveSettings {
  std::chrono::milliseconds lockTimeout = kSaveLockTimeout;
  ReplaceStep replace = systemReplace;  // tests give one that fails
};

// What the saves measured, for the tests and the benchmark.
struct SaveStats {
  // Saves the system read back otherwise than the bytes made in memory,
  // which then went through its own writes key by key.
  unsigned writtenKeyByKey = 0;
  // Saves whose copy the system read back value by value.
  unsigned readBackWhole = 0;
  // The time the read-backs took, through the system or byte for byte.
  std::chrono::nanoseconds readBack{0};
};

// What a save writes and where: the store as it stands, and what it
// loaded (or last saved).
struct SaveInput {
  const std::string& file;
  const Loaded& loaded;
  const std::string& path;
  const std::vector<Logon>& slots;
  const SaveSettings& settings;
};
// The store's next state after a save: the path and slots written (another
// copy's merged in), and the file as they left it.
struct SaveNext {
  std::string path;
  std::vector<Logon> slots;
  Loaded loaded;
};
// The save of a store under its lock (waiting for it up to lockWait): from
// what the file holds now, what the store loaded and the store now, the new
// file is made and put in place; next is filled when it is saved.
SaveResult saveStore(const SaveInput& input, std::chrono::milliseconds lockWait, SaveStats& stats,
                     SaveNext& next);

// The copies a save makes beside the settings file, known by their names
// alone (the settings file's name, a '.', then):
//   <process>-<save>.tmp  Working: being written; never put back
//   <process>-<save>.new  Whole: written, flushed and read back in full
//   <process>-<save>.bak  Backup: the old file, renamed whole by the replace
//   new                   OldCopy: 1.1.0's copy, of unknown state; never put back
// Anything else (a user's own Vostrelk.ini.bak) is not the program's.
enum class CopyKind { None, Working, Whole, Backup, OldCopy };
CopyKind copyKind(const std::string& name, const std::string& baseName);
// The copy to put back under fileName when the file is missing: the newest
// whole copy, else the newest backup; empty when there is neither.
std::string versionToRestore(const std::string& fileName, const std::vector<FileBeside>& files);
// Whether any of files is one of the program's copies of fileName.
bool hasCopies(const std::string& fileName, const std::vector<FileBeside>& files);

// Under the lock: puts back the version a save cut off left when the file
// is missing (the copy's path, or empty when nothing was put back), then
// removes the program's copies, but only while the file stands whole and
// readable: never the last whole version.
std::string recoverAndTidy(const std::string& fileName);

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

// A value of file through ReadIniString, or nothing when the key is absent.
Value readIniValue(const std::string& file, const std::string& section, const std::string& key);
