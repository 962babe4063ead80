// IniEngineFile.cpp: the portable INI engine's file-level calls: each reads
// the whole file, and a write that changes something rewrites it whole, as
// the system's profile functions do.
#include <fstream>

#include "Files.h"
#include "IniEngine.h"

namespace ini {

namespace {

// Writes the profile over path when change (run on it) changed something.
template <typename F>
bool rewrite(const std::string& path, F&& change) {
  std::string bytes;
  if (readFileBytes(path, bytes) == FileState::Unreadable) return false;
  Profile profile = Profile::parse(bytes);
  if (!change(profile)) return true;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  const std::string text = profile.serialize();
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

std::string readString(const std::string& path, const std::string& section, const std::string& key,
                       const std::string& defaultValue) {
  std::string bytes;
  if (readFileBytes(path, bytes) == FileState::Unreadable) bytes.clear();
  return Profile::parse(bytes).get(section, key, defaultValue);
}

bool writeString(const std::string& path, const std::string& section, const std::string& key,
                 const std::string& value) {
  return rewrite(path, [&](Profile& p) { return p.set(section, key, value); });
}

bool addSection(const std::string& path, const std::string& section, const std::vector<Key>& keys) {
  return rewrite(path, [&](Profile& p) {
    p.addSection(section, keys);
    return true;
  });
}

bool removeSection(const std::string& path, const std::string& section) {
  return rewrite(path, [&](Profile& p) { return p.removeSection(section); });
}

std::vector<std::string> sectionNames(const std::string& path) {
  std::string bytes;
  if (readFileBytes(path, bytes) == FileState::Unreadable) bytes.clear();
  return Profile::parse(bytes).sectionNames();
}

}  // namespace ini
