// Merge.cpp: see Merge.h.
#include "Merge.h"

#include <set>
#include <tuple>

namespace {

struct ByValue {
  bool operator()(const Logon& a, const Logon& b) const {
    return std::tie(a.User, a.Pass, a.Host) < std::tie(b.User, b.Pass, b.Host);
  }
};
// Lists of thousands of logons: looked up by value, not by a scan each.
using LogonSet = std::set<Logon, ByValue>;

}  // namespace

StoreState mergeStores(const StoreState& base, const StoreState& mine, const StoreState& theirs) {
  const LogonSet inBase(base.logons.begin(), base.logons.end());
  const LogonSet inMine(mine.logons.begin(), mine.logons.end());
  const LogonSet inTheirs(theirs.logons.begin(), theirs.logons.end());
  StoreState merged;
  merged.path = mine.path != base.path ? mine.path : theirs.path;
  LogonSet added;
  const auto add = [&](const Logon& l) {
    if (added.insert(l).second) merged.logons.push_back(l);
  };
  for (const Logon& l : mine.logons)
    if (!inBase.count(l) || inTheirs.count(l)) add(l);
  for (const Logon& l : theirs.logons)
    if (!inBase.count(l) && !inMine.count(l)) add(l);
  return merged;
}
