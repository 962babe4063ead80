// SaveCopies.h: the copies a save makes beside the settings file, known by
// their names alone, and what a save cut off left: which copy to put back
// and which copies go. Pure functions of the names; the keeper applies them
// under the lock.
#pragma once

#include <string>
#include <vector>

#include "Files.h"

// The copies a save makes beside the settings file, known by their names
// alone (the settings file's name, a '.', then):
//   vksave-<generation>.tmp  Working: being written; never put back
//   vksave-<generation>.new  Whole: written, flushed and read back in full
//   vksave-<generation>.bak  Backup: the old file, renamed whole by the replace
// <generation> is a number of 1 to 19 digits without a leading zero (below
// 10^19, every name 1.5.1 ever wrote among them): one more than any copy a
// recovery may put back (.new, .bak) beside the file when the save began,
// under the lock, and no generation any name there has: the higher, the
// later the save. A working copy never sets it: never put back, a planted
// or held one is only a name to avoid. Only a whole copy at the very top
// (19 nines, none the program reaches: each save removes the copies before
// it) would leave no later generation; the save then fails, naming it.
// Only a plain file (FileBeside::plain) is a copy: a link of any kind named
// like one is never followed, put back or removed. The names the lock file
// takes as its holder lets go (saveLockAside) are the program's too (OldLock). 1.4.0 named them
// <process>-<n>.<kind>, a process number (a multiple of four) and a count,
// both without leading zeros; those are still known, as older than any of
// today's (a .bak of that form only beside its save's .tmp or .new), and so
// is 1.1.0's "new" (OldCopy, of unknown state, never put back). Anything
// else (a user's own Vostrelk.ini.2024-05.bak or .12-5.bak) is not the
// program's.
// vksave-<generation>.kept holds a change a session's end could not write
// (KeptChange.h): never put back in the file's place, never removed as a
// leftover, merged by the next open and removed once that merge is saved.
enum class CopyKind { None, Working, Whole, Backup, OldCopy, OldLock, Kept };
struct CopyName {
  CopyKind kind = CopyKind::None;
  bool legacy = false;                        // 1.4.0's or 1.1.0's name
  unsigned long long generation = 0;          // today's names
  unsigned long long process = 0, count = 0;  // 1.4.0's names
};
CopyName copyName(const std::string& name, const std::string& baseName);
// Whether any of files is one of the program's copies of fileName.
bool hasCopies(const std::string& fileName, const std::vector<FileBeside>& files);
// The name of a copy of fileName for a generation and kind.
std::string copyPath(const std::string& fileName, unsigned long long generation, CopyKind kind);

// What to do with the files beside the settings file, under the lock: the
// copies that may be put back when the file is missing, latest first (by
// generation, a whole copy before the backup of its save; 1.4.0's after
// them, by their time): the keeper puts back the first that reads whole.
// And the program's copies to remove once the file stands whole and
// readable. Nothing is removed beside a file that is missing or cannot be
// read: one of them may be the last whole version.
struct Candidate {
  std::string path;
  CopyKind kind = CopyKind::None;
  bool operator==(const Candidate& o) const { return path == o.path && kind == o.kind; }
};
struct Recovery {
  std::vector<Candidate> candidates;
  std::vector<std::string> discard;
};
Recovery planRecovery(const std::string& fileName, FileState state,
                      const std::vector<FileBeside>& files);

// The generation of a save's copies made now beside fileName, among files
// (filesBeside): the rule above, the one place that picks it. 0: none is
// left above every copy a recovery would rank (topCopy names the one at
// the top), and the save must not go on.
unsigned long long nextGeneration(const std::string& fileName,
                                  const std::vector<FileBeside>& files);
std::string topCopy(const std::string& fileName, const std::vector<FileBeside>& files);
// The changes kept at sessions' ends beside fileName (plain files only),
// oldest first.
std::vector<std::string> keptChanges(const std::string& fileName,
                                     const std::vector<FileBeside>& files);
// Names of the program's copies that may hold a version (.new, .bak, a kept
// change) but are not plain files (a link, a folder): never followed, and
// never silently passed over either.
std::vector<std::string> unusableCopies(const std::string& fileName,
                                        const std::vector<FileBeside>& files);
// The name a copy in kind's stead is kept aside under when it does not read
// whole: copy's own name and ".damaged" (n > 1: "-n"), which the program
// never removes.
std::string keptAsidePath(const std::string& copy, unsigned n);
// The first n above every keptAsidePath of copy among files: however many
// are taken, a damaged copy still gets a name of its own.
unsigned nextKeptAside(const std::string& copy, const std::vector<FileBeside>& files);
