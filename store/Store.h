// Store.h: the connection store: the settings file's name, the client path
// and the numbered logons, loaded from the settings file and saved back to
// it, as one object its owner holds. Portable: no window system is needed
// to build or exercise it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "Files.h"
#include "Logon.h"
#include "Save.h"
#include "SettingsFile.h"

struct LoadResult {
  // Unreadable: the file is there but cannot be read (locked, a folder).
  enum Status { Ok, NotAnInteger, RangeError, OutOfMemory, Unreadable };
  Status status = Ok;
  std::string detail;  // the "COUNT" text that could not be loaded, or the file
  // The system's error of an Unreadable file; 0 when it has none: the file
  // did not hold still, or the system could not read it whole.
  unsigned long error = 0;
  // The copy a save cut off had left, put back under the file's name
  // before the load; empty when there was nothing to put back.
  std::string recovered;

  bool ok() const { return status == Ok; }
};

class Store {
 public:
  explicit Store(std::string iniFileName = "", SaveSettings settings = {});

  std::string IniFileName;  // full path of the settings file
  std::string SQLPlusPath;  // full path of the client executable

  // Fills SQLPlusPath and the slots from IniFileName. A save cut off before
  // (the file missing, the program's whole copy beside it) is put back
  // first. A file whose "COUNT" cannot be loaded, or that is there but
  // cannot be read, is reported, and from then on never written by
  // SaveIniFile: the user's logons are still in it. Slots with an empty
  // user are dropped while loading (but for the one placeholder slot of a
  // file without logons), so that the listed item i is always slot i.
  [[nodiscard]] LoadResult LoadIniFile();

  // Writes the store to IniFileName, unless the file is there and the store
  // is as the load (or the last save) left it: a settings file on a
  // read-only share is then never opened for writing. A save holds the lock
  // beside the file from its read to its replace (waiting for it up to
  // lockWait, the settings' lockTimeout unless given), so that two copies'
  // saves run one after the other; it puts back a save cut off, and removes
  // the copies earlier saves left (a close with nothing to save too, when
  // there are any). Only what differs from what the file holds is written,
  // and numbered sections beyond the last slot are removed, so that a
  // deleted password leaves nothing behind. When another copy of the
  // program rewrote the file meanwhile, the two copies' changes are merged
  // (mergeStores); a file gone since the load is written whole. A failed
  // save leaves the old file and the store as they were, and says why.
  [[nodiscard]] SaveResult SaveIniFile();
  [[nodiscard]] SaveResult SaveIniFile(std::chrono::milliseconds lockWait);

  // Whether the path or a slot differs from what the load (or the last
  // save) left.
  [[nodiscard]] bool changed() const;
  // Whether the load failed: the store is then never written.
  [[nodiscard]] bool loadFailed() const { return loaded_.failed; }

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
  const Loaded& loaded() const { return loaded_; }
  const SaveStats& stats() const { return stats_; }
  const SaveSettings& settings() const { return settings_; }
  SaveSettings& settings() { return settings_; }

 private:
  std::vector<std::string> fieldOf(Logon::Field field) const;

  std::vector<Logon> logons_;
  Loaded loaded_;
  SaveSettings settings_;
  SaveStats stats_;
};

// The text the list box shows for a logon: "user / pass @ host".
std::string displayTextOf(const Logon& logon);
