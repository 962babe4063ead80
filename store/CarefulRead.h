// CarefulRead.h: the settings file read whole and still, the load's way and
// the way a save reads a file another copy rewrote.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "Deadline.h"
#include "SettingsFile.h"

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

  bool ok() const { return status == Ok; }
};

// How long a load goes on trying a file that does not hold still (another
// copy rewrites it, a scanner holds it for a moment) before it calls it
// unreadable: a start must end, with the window or a reason.
constexpr std::chrono::milliseconds kLoadTimeLimit{15'000};
// How long a load waits for a file another program holds without sharing
// (a backup tool, a virus scanner hold it for a second or two).
constexpr std::chrono::milliseconds kHeldWait{5'000};

// What a careful read found: the view and the bytes it came from.
struct CarefulRead {
  LoadResult result;
  FileView view;
  std::optional<std::string> bytes;
};

// The values and the digest must come from the same bytes: a file rewritten
// between the two would pair one logon's password with another's user. Read
// again until the file held still, within kLoadTimeLimit and the deadline.
//
// A file in the engine's own forms is read by the engine alone, from the
// bytes read once: the differential test holds the system's reading of
// those forms to the engine's, and the profile functions cost a file scan
// for every value. Any other file is read through the system, which also
// reads a file it could not open (another program held it without sharing)
// as one without the keys it looked for, and says nothing: the file is held
// open for reading meanwhile, and what the system read must be the engine's
// reading, or else the same view twice running (where the two read a form
// otherwise). A file another program holds for a moment is tried again.
// locked: this process holds the lock, so no copy of the program is half
// way through a replace.
CarefulRead readCarefully(const std::string& file, bool locked, const Deadline& deadline);

// A value of file through ReadIniString, or nothing when the key is absent.
Value readIniValue(const std::string& file, const std::string& section, const std::string& key);
