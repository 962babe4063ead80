// Save.h: the settings file on disk: the save as one transaction, what a
// save cut off left and how it is put back, and a value read through the
// profile functions (the load's way and the read-back's).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Files.h"
#include "Store.h"

// The save of store under its lock (waiting for it up to lockWait): from
// what the file holds now, what the store loaded and the store now, the new
// file is made and put in place. When it is saved, next is the store's new
// state: the path and slots written (another copy's merged in), and the file
// as they left it.
struct SaveNext {
  std::string path;
  std::vector<Logon> slots;
  Loaded loaded;
};
SaveResult saveStore(const Store& store, std::chrono::milliseconds lockWait, SaveStats& stats,
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
