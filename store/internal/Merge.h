// Merge.h: what a save does when another copy of the program rewrote the
// settings file since this copy read it: a three-way merge of the two
// copies' changes, as a pure function of three values.
#pragma once

#include <string>
#include <vector>

#include "Logon.h"

// The client path and the listed logons (a logon is its whole triple: an
// edit is a delete and an add).
struct StoreState {
  std::string path;
  std::vector<Logon> logons;

  bool operator==(const StoreState& other) const {
    return path == other.path && logons == other.logons;
  }
  bool operator!=(const StoreState& other) const { return !(*this == other); }
};

// base: what this copy loaded or last saved; mine: this copy now; theirs:
// the file now. The result is mine's logons in its order without those the
// other copy deleted (in base, not in theirs), then theirs' logons that
// neither base nor mine holds, in the file's order; no logon twice. A logon
// deleted on either side stays deleted. The path is mine's when this copy
// changed it, otherwise theirs.
StoreState mergeStores(const StoreState& base, const StoreState& mine, const StoreState& theirs);
