// TnsNames.cpp: see TnsNames.h.
#include "TnsNames.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "CodePage.h"
#include "Paths.h"

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

bool isOneOf(char c, const char* set) {
  return c != '\0' && std::strchr(set, c) != nullptr;
}

// Walks text a character at a time (a double-byte one whole, '\\' with the
// character it escapes), minding quotes: only a character that stands
// outside them unescaped, plain(), means anything (( ) = , and #).
class Walk {
 public:
  explicit Walk(const std::string& text) : text_(text) {}
  bool done() const { return at_ >= text_.size(); }
  size_t at() const { return at_; }
  // The character at at() when it is plain, else '\0' (a NUL byte is none).
  char plain() const { return length() == 1 && quote_ == 0 ? text_[at_] : '\0'; }
  void next() {
    const size_t n = length();
    const char c = text_[at_];
    if (n == 1 && (c == '"' || c == '\'')) {
      if (quote_ == 0)
        quote_ = c;
      else if (quote_ == c)
        quote_ = 0;
    }
    at_ += n;
  }

 private:
  size_t length() const {
    size_t n = codepage::charLength(text_, at_);
    if (n == 1 && text_[at_] == '\\' && at_ + 1 < text_.size())
      n += codepage::charLength(text_, at_ + 1);
    return n;
  }

  const std::string& text_;
  size_t at_ = 0;
  char quote_ = 0;
};

// The line without its comment: '#' starts one, unless it is escaped (\#)
// or quoted. A quote left open ends with its line.
std::string withoutComment(const std::string& line) {
  for (Walk w(line); !w.done(); w.next())
    if (w.plain() == '#') return line.substr(0, w.at());
  return line;
}

// One entry's text as the client reads it, a token at a time: literals
// (escapes and quotes kept as written, blanks around them dropped), and
// ( ) = , outside them. Nothing is gathered: an entry of four million '('
// costs no more memory than its text.
struct Token {
  char kind = '\0';  // '(', ')', '=', ',', 'L' for a literal, '\0' at the end
  std::string text;
};

class Tokens {
 public:
  explicit Tokens(const std::string& entry) : entry_(entry), walk_(entry) { next(); }

  const Token& peek() const { return token_; }
  char kind() const { return token_.kind; }
  // Takes the next token when it is of kind k.
  bool take(char k) { return kind() == k && (next(), true); }

  void next() {
    token_ = Token{};
    const size_t begin = walk_.at();
    for (; !walk_.done(); walk_.next()) {
      const char c = walk_.plain();
      if (!isOneOf(c, "()=,")) continue;
      if (literal(begin, walk_.at())) return;  // the mark is the next token
      token_.kind = c;
      walk_.next();
      return;
    }
    literal(begin, walk_.at());
  }

 private:
  // Makes the token the literal between begin and end, if it is not blank.
  bool literal(size_t begin, size_t end) {
    std::string text = trim(entry_.substr(begin, end - begin));
    if (text.empty()) return false;
    token_ = Token{'L', std::move(text)};
    return true;
  }

  const std::string& entry_;
  Walk walk_;
  Token token_;
};

// Reads an entry's descriptor the way the client parses it:
//   value := literal | pair...        pair := ( literal [= [value | list]] )
// where list is literals separated by commas. Nesting is bounded: a file
// of a million '(' must not take the stack.
class Descriptor {
 public:
  explicit Descriptor(Tokens& t) : t_(t) {}

  // Whether the tokens left are one whole value, nothing left over.
  bool wholeValue() {
    if (!t_.take('L')) {
      if (t_.kind() != '(') return false;
      while (t_.kind() == '(')
        if (!pair(0)) return false;
    }
    return t_.kind() == '\0';
  }

 private:
  static constexpr int kMaxDepth = 64;

  bool pair(int depth) {
    if (depth > kMaxDepth || !t_.take('(') || !t_.take('L')) return false;
    if (t_.take('=')) {
      if (t_.take('L')) {
        while (t_.take(','))
          if (!t_.take('L')) return false;
      } else {
        while (t_.kind() == '(')
          if (!pair(depth + 1)) return false;
      }
    }
    return t_.take(')');
  }

  Tokens& t_;
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
  int filesLeft = kMaxFiles;
  size_t bytesLeft = kMaxBytes;

  // NAME[, NAME...] = descriptor, or IFILE = path. An entry that breaks
  // these rules defines nothing, and hides nothing after it.
  void entry(const std::string& text, const std::string& path, int depth) {
    Tokens t(text);
    std::vector<std::string> entryNames;
    for (;;) {
      if (t.kind() != 'L' || !isName(t.peek().text)) return;
      entryNames.push_back(t.peek().text);
      t.next();
      if (!t.take(',')) break;
    }
    if (!t.take('=')) return;
    if (entryNames.size() == 1 && codepage::lowerCase(entryNames[0]) == "ifile") {
      if (t.kind() != 'L') return;
      const std::string included = unquoted(t.peek().text);
      if (!Descriptor(t).wholeValue()) return;
      file(isAbsolute(included) ? included : folderOf(path) + included, depth + 1);
      return;
    }
    if (!Descriptor(t).wholeValue()) return;
    for (const std::string& name : entryNames)
      if (seenNames.insert(codepage::lowerCase(name)).second) names.push_back(name);
  }

  void file(const std::string& path, int depth) {
    // Every include counts, read or not: a file of a hundred thousand lines
    // "IFILE = tnsnames.ora" or "IFILE = missing" would otherwise ask the
    // file system as many times (on a share, each may wait for the network).
    if (filesLeft == 0) return;
    --filesLeft;
    if (depth > kMaxIncludeDepth || isDeviceName(path)) return;
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
  // \??\ is the object manager's own prefix: it reaches files and pipes alike.
  if (path.size() >= 4 && sep(path[0]) && path[1] == '?' && path[2] == '?' && sep(path[3]))
    return true;
  if (path.size() >= 4 && sep(path[0]) && sep(path[1]) && (path[2] == '.' || path[2] == '?') &&
      sep(path[3])) {
    // \\?\C:\x and \\?\UNC\srv\x are files; everything else there is a device.
    const std::string rest = path.substr(4);
    const bool drive = rest.size() >= 3 && std::isalpha(static_cast<unsigned char>(rest[0])) &&
                       rest[1] == ':' && sep(rest[2]);
    return path[2] == '.' || !(drive || codepage::lowerCase(rest.substr(0, 4)) == "unc\\");
  }
  // The reserved names, in any folder (C:NUL too), with any extension and a
  // colon after them: CON, NUL.txt, COM1:.
  const size_t slash = codepage::lastSeparator(path);
  std::string name = slash != std::string::npos           ? path.substr(slash + 1)
                     : path.size() >= 2 && path[1] == ':' ? path.substr(2)
                                                          : path;
  name = codepage::lowerCase(trim(name.substr(0, name.find_first_of(".:"))));
  if (name == "con" || name == "prn" || name == "aux" || name == "nul" || name == "conin$" ||
      name == "conout$" || name == "clock$")
    return true;
  return name.size() == 4 && (name.compare(0, 3, "com") == 0 || name.compare(0, 3, "lpt") == 0) &&
         std::isdigit(static_cast<unsigned char>(name[3]));
}

std::vector<std::string> readNames(const std::string& file, const FileAccess& files) {
  Reader reader{files, {}, {}, {}, kMaxFiles, kMaxBytes};
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
