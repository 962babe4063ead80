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
constexpr size_t kMaxFileBytes = 4 << 20;  // a tnsnames.ora is a few kilobytes

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
  const ReadFile& read;
  std::vector<std::string> names;
  std::set<std::string> seenNames, seenFiles;

  void add(const std::string& name) {
    if (isName(name) && seenNames.insert(lower(name)).second) names.push_back(name);
  }

  void file(const std::string& path, int depth) {
    if (depth > kMaxIncludeDepth || !seenFiles.insert(lower(path)).second) return;
    std::string bytes;
    if (!read(path, bytes) || bytes.size() > kMaxFileBytes) return;
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

std::vector<std::string> readNames(const std::string& file, const ReadFile& read) {
  Reader reader{read, {}, {}, {}};
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
