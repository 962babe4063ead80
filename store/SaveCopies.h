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
// <generation> is one more than any copy beside the file had when the save
// began (under the lock): the higher, the later the save. 1.4.0 named them
// <process>-<n>.<kind>, a process number (a multiple of four) and a count,
// both without leading zeros; those are still known, as older than any of
// today's (a .bak of that form only beside its save's .tmp or .new), and so
// is 1.1.0's "new" (OldCopy, of unknown state, never put back). Anything
// else (a user's own Vostrelk.ini.2024-05.bak or .12-5.bak) is not the
// program's.
enum class CopyKind { None, Working, Whole, Backup, OldCopy };
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
// copy to put back when the file is missing (the latest whole copy or
// backup, by generation; 1.4.0's by their time), and the program's copies
// to remove once the file stands whole and readable. Nothing is removed
// beside a file that is missing or cannot be read: one of them may be the
// last whole version.
struct Recovery {
  std::string restore;
  std::vector<std::string> discard;
};
Recovery planRecovery(const std::string& fileName, FileState state,
                      const std::vector<FileBeside>& files);

// One more than the generation of any copy beside file: a save's copies
// made now are later than each.
unsigned long long nextGeneration(const std::string& file);
