// KeptChange.h: a change the session's end could not write to the settings
// file (another program held it, another PC's save outlasted the time
// Windows gives), kept beside it as a copy of the program's own
// (vksave-<generation>.kept, SaveCopies.h) until the next start merges it.
// It holds what the change was made on (base) and the change (mine), so
// that the start merges it three ways with whatever the file holds by then,
// as a save merges another copy's changes: none of another PC's logons
// lost, none it deleted brought back. Pure functions of the bytes.
#pragma once

#include <optional>
#include <string>

#include "Merge.h"

struct KeptChange {
  StoreState base, mine;
  bool operator==(const KeptChange& o) const { return base == o.base && mine == o.mine; }
};

// The bytes of a kept change: INI text the engine writes and reads alone,
// ended by a section of its own, so that a copy cut short never reads whole.
std::string keptChangeBytes(const KeptChange& kept);
// The change, or nothing when bytes do not read whole.
std::optional<KeptChange> readKeptChange(const std::string& bytes);
