// FileSystem.h: the seam between the settings file's protocol and the disk.
// Every step the protocol takes on a file (read, list, create, flush, move,
// replace, discard) goes through the one FileSystem in use: the system's,
// unless a test installs one of its own that records each step, ends the
// program after step k or fails step k with an error of its choice.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "Files.h"

class FileSystem {
 public:
  // What a step does; the protocol's cut points are the steps that change
  // the disk (Create onwards).
  enum class Op { Read, List, Create, Flush, Move, Replace, Discard, Write };

  virtual ~FileSystem() = default;
  // Each is the system's call of the same name in Files.h.
  virtual FileState read(const std::string& path, std::string& bytes);
  virtual std::vector<FileBeside> list(const std::string& fileName);
  [[nodiscard]] virtual bool create(const std::string& like, const std::string& copy,
                                    const std::string& bytes);
  [[nodiscard]] virtual bool flush(const std::string& path);
  [[nodiscard]] virtual bool move(const std::string& from, const std::string& to);
  virtual ReplaceError replace(const std::string& to, const std::string& from,
                               const std::string& backup);
  virtual bool discard(const std::string& path);
  // The system's own writes of a copy, key by key (WriteIniString and its
  // kin in Common.h): the save's way for a file the system reads otherwise.
  [[nodiscard]] virtual bool writeKey(const std::string& file, const std::string& section,
                                      const std::string& key, const std::string& value);
  [[nodiscard]] virtual bool addKeys(const std::string& file, const std::string& section,
                                     const std::vector<std::pair<std::string, std::string>>& keys);
  [[nodiscard]] virtual bool removeKeys(const std::string& file, const std::string& section);
};

// The file system in use.
FileSystem& fileSystem();

// Puts fs in use while it lives, then the one before (tests).
class UseFileSystem {
 public:
  explicit UseFileSystem(FileSystem& fs);
  ~UseFileSystem();
  UseFileSystem(const UseFileSystem&) = delete;
  UseFileSystem& operator=(const UseFileSystem&) = delete;

 private:
  FileSystem* before_;
};

// What became of a replace. New: the copy is in the file's place. Old: the
// file is as it was. Both: neither could be put back under the file's name;
// the old file stands under the backup name, the new one under its own.
enum class Replaced { New, Unflushed, Old, Both };
// Puts from in to's place in one step (the file system's replace, above),
// to keeping its protection and attributes; to's old bytes pass through
// backup (a name of their own beside it), which goes once the replace
// succeeded. A replace that fails half way puts a whole file back
// under to's name. error gets the system's error of a replace that failed.
// New only once the new file is on disk under to's name (flushFile): the
// system's replace is not written through, and a save the user is told of
// must outlive a power cut; Unflushed when it stands there but the flush
// failed.
[[nodiscard]] Replaced replaceFile(const std::string& from, const std::string& to,
                                   const std::string& backup, unsigned long& error);
