// KeptChange.cpp: see KeptChange.h.
#include "KeptChange.h"

#include <vector>

#include "IniEngine.h"
#include "SettingsFile.h"

namespace {

// A section the engine never writes in a settings file, so that a kept
// change is never taken for one: "<part>" and "<part>.<slot>".
constexpr char kBase[] = "Kept.Base", kMine[] = "Kept.Mine", kEnd[] = "Kept.End";

void add(ini::Profile& profile, const std::string& part, const StoreState& state) {
  profile.addSection(part, ini::protectedKeys({{"Path", state.path},
                                               {"COUNT", std::to_string(state.logons.size())}}));
  for (size_t i = 0; i < state.logons.size(); ++i) {
    const Logon& l = state.logons[i];
    std::vector<std::pair<std::string, std::string>> keys;
    for (const Logon::Field f : Logon::kFields) keys.emplace_back(slotKey(f), l[f]);
    profile.addSection(part + "." + std::to_string(i), ini::protectedKeys(keys));
  }
}

// A value the engine reads, or nothing when the key is absent.
std::optional<std::string> value(const ini::Profile& profile, const std::string& section,
                                 const char* key) {
  std::string v = profile.get(section, key, kAbsentKey);
  if (v == kAbsentKey) return std::nullopt;
  return v;
}

std::optional<StoreState> read(const ini::Profile& profile, const std::string& part) {
  const auto path = value(profile, part, "Path");
  const auto count = value(profile, part, "COUNT");
  if (!path || !count) return std::nullopt;
  const std::optional<int64_t> n = slotNumber(*count);
  if (!n || *n > 1'000'000) return std::nullopt;
  StoreState state{*path, {}};
  for (int64_t i = 0; i < *n; ++i) {
    const std::string section = part + "." + std::to_string(i);
    Logon l;
    for (const Logon::Field f : Logon::kFields) {
      const auto v = value(profile, section, slotKey(f));
      if (!v) return std::nullopt;
      l[f] = *v;
    }
    state.logons.push_back(std::move(l));
  }
  return state;
}

}  // namespace

std::string keptChangeBytes(const KeptChange& kept) {
  ini::Profile profile = ini::Profile::parse("");
  add(profile, kBase, kept.base);
  add(profile, kMine, kept.mine);
  profile.addSection(kEnd, ini::protectedKeys({{"Whole", "1"}}));
  return profile.serialize();
}

std::optional<KeptChange> readKeptChange(const std::string& bytes) {
  const ini::Profile profile = ini::Profile::parse(bytes);
  // Whole: the last section read is the end, and its line is ended.
  if (bytes.empty() || bytes.back() != '\n' || profile.sections().back().name != kEnd ||
      value(profile, kEnd, "Whole") != std::optional<std::string>("1"))
    return std::nullopt;
  std::optional<StoreState> base = read(profile, kBase), mine = read(profile, kMine);
  if (!base || !mine) return std::nullopt;
  return KeptChange{std::move(*base), std::move(*mine)};
}
