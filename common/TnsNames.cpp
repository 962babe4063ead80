// TnsNames.cpp: see TnsNames.h.
#include "TnsNames.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "CodePage.h"

namespace tns {

namespace {

constexpr int kMaxIncludeDepth = 4;  // as deep as Oracle's own parser goes

std::string trim(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// A net service name: letters, digits and the few marks names use, and the
// code page's double-byte characters; never a blank, a quote, a parenthesis
// or '='.
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

bool isOneOf(char c, const char* set) {
  return c != '\0' && std::strchr(set, c) != nullptr;
}

// Walks text a character at a time (a double-byte one whole, '\' with the
// character it escapes), telling f where each starts, its length, and
// whether it stands outside quotes unescaped: only there do ( ) = , and #
// mean anything. f returns false to stop.
template <typename F>
void walk(const std::string& text, F f) {
  char quote = 0;
  for (size_t i = 0; i < text.size();) {
    size_t n = codepage::charLength(text, i);
    const char c = text[i];
    if (n == 1 && c == '\\' && i + 1 < text.size()) n += codepage::charLength(text, i + 1);
    const bool plain = n == 1 && quote == 0;
    if (n == 1 && (c == '"' || c == '\'')) {
      if (quote == 0)
        quote = c;
      else if (quote == c)
        quote = 0;
    }
    if (!f(i, n, plain)) return;
    i += n;
  }
}

// The line without its comment: '#' starts one, unless it is escaped (\#)
// or quoted. A quote left open ends with its line.
std::string withoutComment(const std::string& line) {
  size_t end = line.size();
  walk(line, [&](size_t at, size_t, bool plain) {
    if (!plain || line[at] != '#') return true;
    end = at;
    return false;
  });
  return line.substr(0, end);
}

// One entry's text as the client reads it: literals (escapes and quotes
// kept as written, blanks around them dropped), and ( ) = , outside them.
struct Token {
  char kind;  // '(', ')', '=', ',', or 'L' for a literal
  std::string text;
};

std::vector<Token> tokens(const std::string& entry) {
  std::vector<Token> out;
  std::string literal;
  const auto endLiteral = [&] {
    std::string text = trim(literal);
    if (!text.empty()) out.push_back({'L', std::move(text)});
    literal.clear();
  };
  walk(entry, [&](size_t at, size_t n, bool plain) {
    if (plain && isOneOf(entry[at], "()=,")) {
      endLiteral();
      out.push_back({entry[at], {}});
    } else {
      literal.append(entry, at, n);
    }
    return true;
  });
  endLiteral();
  return out;
}

// Reads an entry's descriptor the way the client parses it:
//   value := literal | pair...        pair := ( literal [= [value | list]] )
// where list is literals separated by commas. Nesting is bounded: a file
// of a million '(' must not take the stack.
class Descriptor {
 public:
  explicit Descriptor(const std::vector<Token>& t, size_t at) : t_(t), at_(at) {}

  // Whether the tokens from at are one whole value, nothing left over.
  bool wholeValue() {
    if (kind() == 'L') {
      ++at_;
    } else {
      if (kind() != '(') return false;
      while (kind() == '(')
        if (!pair(0)) return false;
    }
    return at_ == t_.size();
  }

 private:
  static constexpr int kMaxDepth = 64;

  char kind() const { return at_ < t_.size() ? t_[at_].kind : '\0'; }
  bool take(char k) { return kind() == k && (++at_, true); }

  bool pair(int depth) {
    if (depth > kMaxDepth || !take('(') || !take('L')) return false;
    if (take('=')) {
      if (take('L')) {
        while (take(','))
          if (!take('L')) return false;
      } else {
        while (kind() == '(')
          if (!pair(depth + 1)) return false;
      }
    }
    return take(')');
  }

  const std::vector<Token>& t_;
  size_t at_;
};

// An included file's path as written: quotes around it go.
std::string unquoted(std::string path) {
  if (path.size() >= 2 && (path.front() == '"' || path.front() == '\'') &&
      path.back() == path.front())
    path = path.substr(1, path.size() - 2);
  return path;
}

struct Reader {
  const FileAccess& files;
  std::vector<std::string> names;
  std::set<std::string> seenNames, seenFiles;
  size_t bytesLeft = kMaxBytes;

  // NAME[, NAME...] = descriptor, or IFILE = path. An entry that breaks
  // these rules defines nothing, and hides nothing after it.
  void entry(const std::string& text, const std::string& path, int depth) {
    const std::vector<Token> t = tokens(text);
    std::vector<std::string> entryNames;
    size_t at = 0;
    for (;; at += 2) {
      if (at >= t.size() || t[at].kind != 'L' || !isName(t[at].text)) return;
      entryNames.push_back(t[at].text);
      if (at + 1 >= t.size() || t[at + 1].kind != ',') break;
    }
    if (++at >= t.size() || t[at].kind != '=' || !Descriptor(t, ++at).wholeValue()) return;
    if (entryNames.size() == 1 && codepage::lowerCase(entryNames[0]) == "ifile") {
      if (t[at].kind != 'L') return;
      const std::string included = unquoted(t[at].text);
      file(isAbsolute(included) ? included : folderOf(path) + included, depth + 1);
      return;
    }
    for (const std::string& name : entryNames)
      if (seenNames.insert(codepage::lowerCase(name)).second) names.push_back(name);
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
    // Notepad starts a file it saves as UTF-8 with a byte order mark.
    size_t at = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    // A line that starts in the first column starts an entry; one that
    // starts with a blank or a parenthesis goes on with the entry above.
    // Lines that go on before any entry belong to none.
    std::string text;  // the entry so far, its lines joined by blanks; empty before the first
    while (at < bytes.size()) {
      size_t end = bytes.find_first_of("\r\n", at);
      if (end == std::string::npos) end = bytes.size();
      const std::string line = bytes.substr(at, end - at);
      at = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
      if (line.empty() || line[0] == '#') continue;
      if (!isOneOf(line[0], " \t()")) {
        if (!text.empty()) entry(text, path, depth);
        text = withoutComment(line) + " ";
      } else if (!text.empty()) {
        text += withoutComment(line) + " ";
      }
    }
    if (!text.empty()) entry(text, path, depth);
  }
};

}  // namespace

bool isDeviceName(const std::string& path) {
  const auto sep = codepage::isSeparator;
  if (path.size() >= 4 && sep(path[0]) && sep(path[1]) && (path[2] == '.' || path[2] == '?') &&
      sep(path[3])) {
    // \\?\C:\x and \\?\UNC\srv\x are files; everything else there is a device.
    const std::string rest = path.substr(4);
    const bool drive = rest.size() >= 3 && std::isalpha(static_cast<unsigned char>(rest[0])) &&
                       rest[1] == ':' && sep(rest[2]);
    return path[2] == '.' || !(drive || codepage::lowerCase(rest.substr(0, 4)) == "unc\\");
  }
  // The reserved names, in any folder and with any extension: CON, NUL.txt.
  const size_t slash = codepage::lastSeparator(path);
  std::string name =
      codepage::lowerCase(slash == std::string::npos ? path : path.substr(slash + 1));
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

std::string oracleHomeOf(const std::string& clientPath) {
  const std::string dir = folderOf(clientPath);  // with its separator
  if (dir.empty()) return "";
  const std::string parent = folderOf(dir.substr(0, dir.size() - 1));
  if (parent.size() < 2 ||
      codepage::lowerCase(dir.substr(parent.size(), dir.size() - parent.size() - 1)) != "bin")
    return "";
  return parent.substr(0, parent.size() - 1);
}

std::vector<std::string> candidateFiles(const std::string& clientPath, const std::string& tnsAdmin,
                                        const HomeKey& key) {
  // A file in folder, however the folder ends.
  const auto in = [](std::string folder, const char* file) {
    folder = trim(folder);
    if (codepage::endsWithChar(folder, '\\') || codepage::endsWithChar(folder, '/'))
      folder.pop_back();
    return folder + file;
  };
  if (!trim(tnsAdmin).empty()) return {in(tnsAdmin, "\\tnsnames.ora")};
  if (!trim(key.tnsAdmin).empty()) return {in(key.tnsAdmin, "\\tnsnames.ora")};
  std::vector<std::string> files;
  if (!trim(key.baseHome).empty())
    files.push_back(in(key.baseHome, "\\network\\admin\\tnsnames.ora"));
  if (const std::string home = oracleHomeOf(clientPath); !home.empty())
    files.push_back(in(home, "\\network\\admin\\tnsnames.ora"));
  if (const std::string dir = folderOf(clientPath); !dir.empty())
    files.push_back(in(dir, "\\network\\admin\\tnsnames.ora"));
  return files;
}

}  // namespace tns
