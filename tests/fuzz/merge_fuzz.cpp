// merge_fuzz.cpp: libFuzzer target for the three-way merge of two copies'
// logons: random base, mine and theirs over a small set of logons, so that
// they overlap. The result holds no logon twice, keeps every logon one side
// added, holds none that either side deleted, and nothing from elsewhere.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Merge.h"

namespace {

bool holds(const std::vector<Logon>& logons, const Logon& l) {
  return std::find(logons.begin(), logons.end(), l) != logons.end();
}

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Each byte: which list (two bits) and which of 16 logons (four bits); a
  // store never holds a logon twice, the file may.
  StoreState lists[3];
  for (size_t i = 0; i < size; ++i) {
    const unsigned which = (data[i] >> 4) & 3u;
    if (which == 3) continue;
    const Logon l{"u" + std::to_string(data[i] & 7u), (data[i] & 8u) ? "p" : "", ""};
    if (which == 2 || !holds(lists[which].logons, l)) lists[which].logons.push_back(l);
  }
  const auto& [base, mine, theirs] = lists;
  const StoreState merged = mergeStores(base, mine, theirs);
  const auto& r = merged.logons;
  for (size_t i = 0; i < r.size(); ++i)
    check(std::find(r.begin() + static_cast<std::ptrdiff_t>(i) + 1, r.end(), r[i]) == r.end());
  for (const Logon& l : mine.logons)
    if (!holds(base.logons, l)) check(holds(r, l));  // added here
  for (const Logon& l : theirs.logons)
    if (!holds(base.logons, l)) check(holds(r, l));  // added there
  for (const Logon& l : base.logons)
    if (!holds(mine.logons, l) || !holds(theirs.logons, l)) check(!holds(r, l));  // deleted
  for (const Logon& l : r) check(holds(mine.logons, l) || holds(theirs.logons, l));
  // This copy's logons keep their order, and come first.
  size_t at = 0;
  for (const Logon& l : mine.logons)
    if (at < r.size() && r[at] == l) ++at;
  for (; at < r.size(); ++at) check(!holds(mine.logons, r[at]));
  return 0;
}
