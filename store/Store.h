// Store.h: the connection store: the settings file's name, the client path
// and the numbered logons, loaded from the settings file and saved back to
// it, as one object its owner holds. Portable: no window system is needed
// to build or exercise it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "Deadline.h"
#include "FileKeeper.h"
#include "Logon.h"
#include "SettingsFile.h"

// A save handed to whoever runs it (the window's worker): the file, its
// settings, and what the store held when it was asked for, copied, so that
// the store can change meanwhile.
struct SaveRequest {
  FileKeeper keeper;
  Snapshot base;
  std::string path;
  std::vector<Logon> slots;
};

// What a save came to, and what the file holds once it is Saved.
struct SaveDone {
  SaveResult result;
  Committed next;
};

// A look at the file for another copy's saves, handed to whoever runs it
// (the window's worker) and filled in by Store::follow: the file, the
// digest of the bytes the store's base came from, the file's stamp at the
// last look that read it, and what this look found.
struct Follow {
  FileKeeper keeper;
  std::optional<size_t> digest;
  std::string stamp;
  std::optional<Snapshot> file;  // the file now, read whole, where it is not the base
};

class Store {
 public:
  explicit Store(std::string iniFileName = "", SaveSettings settings = {});

  // Full path of the settings file.
  const std::string& IniFileName() const { return keeper_.file(); }
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
  // Whether the load failed: the store is then never written.
  [[nodiscard]] bool loadFailed() const { return !loaded_.loaded(); }

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
  const Snapshot& loaded() const { return loaded_; }
  const SaveSettings& settings() const { return keeper_.settings(); }
  SaveSettings& settings() { return keeper_.settings(); }

 private:
  std::vector<std::string> fieldOf(Logon::Field field) const;

  FileKeeper keeper_;
  std::string path_;
  std::vector<Logon> logons_;
  Snapshot loaded_;
  std::string followed_;  // the file's stamp at the last look that read it
};

// The text the list box shows for a logon: "user / pass @ host".
std::string displayTextOf(const Logon& logon);
