// CarefulRead.h: the settings file read whole and still, the load's way and
// the way a save reads a file another copy rewrote.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "Deadline.h"
#include "Files.h"
#include "SettingsFile.h"
#include "Store.h"  // LoadResult, the limits

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

// The bytes of file, waiting up to kHeldWait (and the deadline) while
// another program holds it for a moment. error: the system's error of an
// Unreadable file.
FileState readHeld(const std::string& file, std::string& bytes, unsigned long& error,
                   const Deadline& deadline);

// A value of file through ReadIniString, or nothing when the key is absent.
Value readIniValue(const std::string& file, const std::string& section, const std::string& key);
