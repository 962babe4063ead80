// TnsNames.cpp: see TnsNames.h.
#include "TnsNames.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "CodePage.h"

namespace tns {

namespace {

constexpr int kMaxIncludeDepth = 5;

std::string trim(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A net service name: letters, digits and the few marks names use, and the
// code page's double-byte characters; never a blank, a parenthesis or '='.
bool isName(const std::string& s) {
  if (s.empty()) return false;
  for (size_t i = 0; i < s.size(); i += codepage::charLength(s, i)) {
    if (codepage::charLength(s, i) == 2) continue;
    const auto c = static_cast<unsigned char>(s[i]);
    if (!std::isalnum(c) && c != '.' && c != '_' && c != '-' && c != '$' && c != '#') return false;
  }
  return true;
}

// The folder of path with its separator, in the path's own style.
std::string folderOf(const std::string& path) {
  const size_t sep = codepage::lastSeparator(path);
  return sep == std::string::npos ? "" : path.substr(0, sep + 1);
}

bool isAbsolute(const std::string& path) {
  return (path.size() >= 2 && path[1] == ':') ||
         (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

struct Reader {
  const FileAccess& files;
  std::vector<std::string> names;
  std::set<std::string> seenNames, seenFiles;
  size_t bytesLeft = kMaxBytes;

  void add(const std::string& name) {
    if (isName(name) && seenNames.insert(lower(name)).second) names.push_back(name);
  }

  void file(const std::string& path, int depth) {
    if (depth > kMaxIncludeDepth || static_cast<int>(seenFiles.size()) >= kMaxFiles ||
        isDeviceName(path))
      return;
    // Known by what it is: t.ora, .\t.ora, T.ORA and d\..\t.ora are one file.
    const std::string id = files.identity(path);
    if (id.empty() || !seenFiles.insert(id).second) return;
    std::string bytes;
    if (!files.read(path, bytesLeft, bytes)) return;
    bytesLeft -= std::min(bytesLeft, bytes.size());
    int parens = 0;
    size_t at = 0;
    while (at < bytes.size()) {
      size_t end = bytes.find('\n', at);
      if (end == std::string::npos) end = bytes.size();
      std::string line = bytes.substr(at, end - at);
      at = end + 1;
      if (const size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::string rest = line;
      const bool starts = parens == 0 && !line.empty() && !std::strchr(" \t()=", line[0]);
      if (starts) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;  // no '=': not an entry
        const std::string key = trim(line.substr(0, eq));
        rest = line.substr(eq + 1);
        if (lower(key) == "ifile") {
          std::string included = trim(rest);
          if (included.size() >= 2 && included.front() == '"' && included.back() == '"')
            included = included.substr(1, included.size() - 2);
          if (!included.empty())
            file(isAbsolute(included) ? included : folderOf(path) + included, depth + 1);
          continue;
        }
        for (size_t from = 0; from <= key.size();) {
          const size_t comma = std::min(key.find(',', from), key.size());
          add(trim(key.substr(from, comma - from)));
          from = comma + 1;
        }
      }
      for (const char c : rest) {
        if (c == '(') ++parens;
        if (c == ')' && parens > 0) --parens;
      }
    }
  }
};

}  // namespace

bool isDeviceName(const std::string& path) {
  const auto sep = [](char c) { return c == '\\' || c == '/'; };
  if (path.size() >= 4 && sep(path[0]) && sep(path[1]) && (path[2] == '.' || path[2] == '?') &&
      sep(path[3])) {
    // \\?\C:\x and \\?\UNC\srv\x are files; everything else there is a device.
    const std::string rest = path.substr(4);
    const bool drive = rest.size() >= 3 && std::isalpha(static_cast<unsigned char>(rest[0])) &&
                       rest[1] == ':' && sep(rest[2]);
    return path[2] == '.' || !(drive || lower(rest.substr(0, 4)) == "unc\\");
  }
  // The reserved names, in any folder and with any extension: CON, NUL.txt.
  const size_t slash = codepage::lastSeparator(path);
  std::string name = lower(slash == std::string::npos ? path : path.substr(slash + 1));
  name = trim(name.substr(0, name.find('.')));
  if (name == "con" || name == "prn" || name == "aux" || name == "nul" || name == "conin$" ||
      name == "conout$" || name == "clock$")
    return true;
  return name.size() == 4 && (name.compare(0, 3, "com") == 0 || name.compare(0, 3, "lpt") == 0) &&
         std::isdigit(static_cast<unsigned char>(name[3]));
}

std::vector<std::string> readNames(const std::string& file, const FileAccess& files) {
  Reader reader{files, {}, {}, {}};
  reader.file(file, 0);
  return reader.names;
}

std::vector<std::string> candidateFiles(const std::string& clientPath,
                                        const std::string& tnsAdmin) {
  std::vector<std::string> files;
  if (!trim(tnsAdmin).empty()) {
    const std::string dir = trim(tnsAdmin);
    files.push_back(codepage::endsWithChar(dir, '\\') || codepage::endsWithChar(dir, '/')
                        ? dir + "tnsnames.ora"
                        : dir + "\\tnsnames.ora");
  }
  const std::string dir = folderOf(clientPath);  // with its separator
  if (dir.empty()) return files;
  files.push_back(dir + "network\\admin\\tnsnames.ora");
  const std::string parent = folderOf(dir.substr(0, dir.size() - 1));
  if (!parent.empty() && lower(dir.substr(parent.size())) == "bin\\")
    files.push_back(parent + "network\\admin\\tnsnames.ora");
  return files;
}

}  // namespace tns
