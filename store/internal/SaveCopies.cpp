// SaveCopies.cpp: see SaveCopies.h.
#include "SaveCopies.h"

#include <algorithm>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

#include "CodePage.h"
#include "FileSystem.h"
#include "Paths.h"
#include "SaveLock.h"

namespace {

constexpr char kMarker[] = "vksave-";
constexpr char kWorking[] = "tmp", kWhole[] = "new", kBackup[] = "bak", kKept[] = "kept";

// The most digits a generation has: every number of 19 digits fits.
constexpr size_t kGenerationDigits = 19;
constexpr unsigned long long kLastGeneration = 9'999'999'999'999'999'999ULL;

// Decimal digits without a leading zero, as the program writes numbers.
std::optional<unsigned long long> plainNumber(const std::string& s) {
  if (s.empty() || s.size() > kGenerationDigits || (s.size() > 1 && s[0] == '0') ||
      !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return std::stoull(s);
}

CopyKind kindOf(const std::string& suffix) {
  if (suffix == kWorking) return CopyKind::Working;
  if (suffix == kWhole) return CopyKind::Whole;
  if (suffix == kBackup) return CopyKind::Backup;
  if (suffix == kKept) return CopyKind::Kept;
  return CopyKind::None;
}

const char* suffixOf(CopyKind kind) {
  switch (kind) {
    case CopyKind::Working:
      return kWorking;
    case CopyKind::Whole:
      return kWhole;
    case CopyKind::Backup:
      return kBackup;
    case CopyKind::Kept:
      return kKept;
    case CopyKind::None:
    case CopyKind::OldCopy:
    case CopyKind::OldLock:
      break;
  }
  return "";
}

}  // namespace

CopyName copyName(const std::string& givenName, const std::string& givenBase) {
  CopyName copy;
  // A name is the program's exactly when Windows would say so: letter case
  // ignored, as the file system ignores it (sameFileName).
  const std::string name = codepage::lowerCase(givenName);
  const std::string baseName = codepage::lowerCase(givenBase);
  if (name.size() <= baseName.size() + 1 || name.compare(0, baseName.size(), baseName) != 0 ||
      name[baseName.size()] != '.')
    return copy;
  const std::string rest = name.substr(baseName.size() + 1);
  if (rest == kWhole) return {CopyKind::OldCopy, true, 0, 0, 0};
  if (isSaveLockAside(name, baseName)) return {CopyKind::OldLock, false, 0, 0, 0};
  const size_t dot = rest.rfind('.');
  if (dot == std::string::npos) return copy;
  const CopyKind kind = kindOf(rest.substr(dot + 1));
  const std::string stem = rest.substr(0, dot);
  if (kind == CopyKind::None) return copy;
  if (stem.compare(0, sizeof kMarker - 1, kMarker) == 0) {
    if (const auto generation = plainNumber(stem.substr(sizeof kMarker - 1)))
      return {kind, false, *generation, 0, 0};
    return copy;
  }
  if (kind == CopyKind::Kept) return copy;  // only today's names hold a kept change
  // 1.4.0's <process>-<n>: Windows numbers processes in fours, and a save
  // found a free n within its 1,000 tries. Numbers with leading zeros
  // (2024-05, 0001-0002) are a user's.
  const size_t dash = stem.find('-');
  if (dash == std::string::npos) return copy;
  const auto process = plainNumber(stem.substr(0, dash));
  const auto count = plainNumber(stem.substr(dash + 1));
  if (!process || !count || *process == 0 || *process % 4 != 0 || *count == 0 || *count > 1000)
    return copy;
  return {kind, true, 0, *process, *count};
}

namespace {

// The program's copies among files. A name in 1.4.0's form ending .bak is
// a user's own backup as often as not (Vostrelk.ini.12-5.bak, made on the
// fifth of December): it counts only beside the working or whole copy of
// the same save, which a replace cut off leaves with it.
std::vector<std::pair<const FileBeside*, CopyName>> programCopies(
    const std::string& fileName, const std::vector<FileBeside>& files) {
  const std::string base = fileNameOf(fileName);
  std::vector<std::pair<const FileBeside*, CopyName>> copies;
  for (const FileBeside& f : files)
    if (const CopyName c = copyName(fileNameOf(f.path), base); f.plain && c.kind != CopyKind::None)
      copies.emplace_back(&f, c);
  const auto paired = [&](const CopyName& bak) {
    return std::any_of(copies.begin(), copies.end(), [&](const auto& other) {
      const CopyName& c = other.second;
      return c.legacy && c.kind != CopyKind::Backup && c.kind != CopyKind::OldCopy &&
             c.process == bak.process && c.count == bak.count;
    });
  };
  std::vector<std::pair<const FileBeside*, CopyName>> kept;
  for (const auto& copy : copies)
    if (!copy.second.legacy || copy.second.kind != CopyKind::Backup || paired(copy.second))
      kept.push_back(copy);
  return kept;
}

}  // namespace

bool hasCopies(const std::string& fileName, const std::vector<FileBeside>& files) {
  return !programCopies(fileName, files).empty();
}

std::string copyPath(const std::string& fileName, unsigned long long generation, CopyKind kind) {
  return fileName + "." + kMarker + std::to_string(generation) + "." + suffixOf(kind);
}

Recovery planRecovery(const std::string& fileName, FileState state,
                      const std::vector<FileBeside>& files) {
  Recovery plan;
  if (state == FileState::Unreadable) return plan;
  // Later first: today's copies by generation, a whole copy before the
  // backup of the same save (the backup is the file it replaced); then
  // 1.4.0's, which only their times can order.
  using Rank = std::tuple<bool, unsigned long long, bool, unsigned long long, unsigned long long,
                          unsigned long long>;
  std::vector<std::pair<Rank, Candidate>> ranked;
  for (const auto& [file, c] : programCopies(fileName, files)) {
    const FileBeside& f = *file;
    // A change kept at a session's end goes only once the start that merged
    // it has saved it (keptChanges).
    if (c.kind == CopyKind::Kept) continue;
    plan.discard.push_back(f.path);
    if (state != FileState::Missing || (c.kind != CopyKind::Whole && c.kind != CopyKind::Backup))
      continue;
    ranked.emplace_back(Rank{!c.legacy, c.generation, c.kind == CopyKind::Whole,
                             c.legacy ? f.written : 0ULL, c.process, c.count},
                        Candidate{f.path, c.kind});
  }
  std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first > b.first : a.second.path < b.second.path;
  });
  for (auto& r : ranked) plan.candidates.push_back(std::move(r.second));
  return plan;
}

unsigned long long nextGeneration(const std::string& fileName,
                                  const std::vector<FileBeside>& files) {
  const std::string base = fileNameOf(fileName);
  std::set<unsigned long long> taken;  // by any name, a link's or a user's file's too
  unsigned long long latest = 0;       // of a copy a recovery may put back
  for (const FileBeside& f : files) {
    const CopyName c = copyName(fileNameOf(f.path), base);
    if (c.kind == CopyKind::None || c.legacy || c.kind == CopyKind::OldLock) continue;
    taken.insert(c.generation);
    if (f.plain && c.kind != CopyKind::Working) latest = std::max(latest, c.generation);
  }
  for (unsigned long long g = latest + 1; g > latest && g <= kLastGeneration; ++g)
    if (!taken.count(g)) return g;
  // Only a copy at the very top: no later one can be named, and a lower one
  // would rank below it at a recovery.
  return 0;
}

std::string topCopy(const std::string& fileName, const std::vector<FileBeside>& files) {
  const std::string base = fileNameOf(fileName);
  std::string top;
  unsigned long long latest = 0;
  for (const FileBeside& f : files) {
    const CopyName c = copyName(fileNameOf(f.path), base);
    if (c.kind == CopyKind::None || c.legacy || c.kind == CopyKind::OldLock ||
        c.kind == CopyKind::Working || !f.plain || c.generation < latest)
      continue;
    latest = c.generation;
    top = f.path;
  }
  return top;
}

std::vector<std::string> keptChanges(const std::string& fileName,
                                     const std::vector<FileBeside>& files) {
  const std::string base = fileNameOf(fileName);
  std::vector<std::pair<unsigned long long, std::string>> kept;
  for (const FileBeside& f : files)
    if (const CopyName c = copyName(fileNameOf(f.path), base); f.plain && c.kind == CopyKind::Kept)
      kept.emplace_back(c.generation, f.path);
  std::sort(kept.begin(), kept.end());
  std::vector<std::string> paths;
  paths.reserve(kept.size());
  for (auto& k : kept) paths.push_back(std::move(k.second));
  return paths;
}

std::vector<std::string> unusableCopies(const std::string& fileName,
                                        const std::vector<FileBeside>& files) {
  const std::string base = fileNameOf(fileName);
  std::vector<std::string> found;
  for (const FileBeside& f : files) {
    const CopyKind kind = copyName(fileNameOf(f.path), base).kind;
    if (!f.plain && (kind == CopyKind::Whole || kind == CopyKind::Backup ||
                     kind == CopyKind::OldCopy || kind == CopyKind::Kept))
      found.push_back(f.path);
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::string keptAsidePath(const std::string& copy, unsigned n) {
  return copy + ".damaged" + (n > 1 ? "-" + std::to_string(n) : "");
}

unsigned nextKeptAside(const std::string& copy, const std::vector<FileBeside>& files) {
  const std::string start = fileNameOf(copy) + ".damaged";
  unsigned highest = 0;
  for (const FileBeside& f : files) {
    const std::string name = fileNameOf(f.path);
    if (name.size() < start.size() || !sameFileName(name.substr(0, start.size()), start)) continue;
    const std::string rest = name.substr(start.size());
    if (rest.empty()) {
      highest = std::max(highest, 1u);
    } else if (rest[0] == '-') {
      const auto n = plainNumber(rest.substr(1));
      if (n && *n < 1'000'000'000ULL) highest = std::max(highest, static_cast<unsigned>(*n));
    }
  }
  return highest + 1;
}
