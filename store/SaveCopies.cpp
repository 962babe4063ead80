// SaveCopies.cpp: see SaveCopies.h.
#include "SaveCopies.h"

#include <algorithm>
#include <optional>
#include <tuple>
#include <utility>

#include "FileSystem.h"
#include "Paths.h"

namespace {

constexpr char kMarker[] = "vksave-";
constexpr char kWorking[] = "tmp", kWhole[] = "new", kBackup[] = "bak";

// Decimal digits without a leading zero, as the program writes numbers.
std::optional<unsigned long long> plainNumber(const std::string& s) {
  if (s.empty() || s.size() > 18 || (s.size() > 1 && s[0] == '0') ||
      !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return std::stoull(s);
}

CopyKind kindOf(const std::string& suffix) {
  if (suffix == kWorking) return CopyKind::Working;
  if (suffix == kWhole) return CopyKind::Whole;
  if (suffix == kBackup) return CopyKind::Backup;
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
    case CopyKind::None:
    case CopyKind::OldCopy:
      break;
  }
  return "";
}

}  // namespace

CopyName copyName(const std::string& name, const std::string& baseName) {
  CopyName copy;
  if (name.size() <= baseName.size() + 1 || name.compare(0, baseName.size(), baseName) != 0 ||
      name[baseName.size()] != '.')
    return copy;
  const std::string rest = name.substr(baseName.size() + 1);
  if (rest == kWhole) return {CopyKind::OldCopy, true, 0, 0, 0};
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
    if (const CopyName c = copyName(fileNameOf(f.path), base); c.kind != CopyKind::None)
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
  const FileBeside* best = nullptr;
  std::tuple<bool, unsigned long long, bool, unsigned long long, unsigned long long,
             unsigned long long>
      bestRank{};
  for (const auto& [file, c] : programCopies(fileName, files)) {
    const FileBeside& f = *file;
    plan.discard.push_back(f.path);
    if (state != FileState::Missing || (c.kind != CopyKind::Whole && c.kind != CopyKind::Backup))
      continue;
    const auto rank = std::make_tuple(!c.legacy, c.generation, c.kind == CopyKind::Whole,
                                      c.legacy ? f.written : 0ULL, c.process, c.count);
    if (!best || rank > bestRank) {
      best = &f;
      bestRank = rank;
    }
  }
  if (best) plan.restore = best->path;
  return plan;
}

unsigned long long nextGeneration(const std::string& file) {
  unsigned long long generation = 0;
  const std::string base = fileNameOf(file);
  for (const FileBeside& f : fileSystem().list(file))
    generation = std::max(generation, copyName(fileNameOf(f.path), base).generation);
  return generation + 1;
}
