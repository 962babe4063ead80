// Logon.cpp: see Logon.h.
#include "Logon.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "CodePage.h"

namespace {

// Whether text holds one of chars as a character of its own: a byte that
// ends a double-byte character is part of that character.
bool holdsChar(const std::string& text, const char* chars) {
  for (size_t i = 0; i < text.size(); i += codepage::charLength(text, i))
    if (codepage::charLength(text, i) == 1 && std::strchr(chars, text[i]) && text[i] != '\0')
      return true;
  return false;
}

bool isUsable(const std::string& value) {
  return isStorableValue(value) && !holdsChar(value, "\"") && codepage::isText(value);
}

// SQL*Plus takes the logon apart at the first '/' and the first '@', and the
// command line at blanks; a password in its double quotes keeps its own.
bool passNeedsQuotes(const std::string& pass) {
  return holdsChar(pass, "@/ \t");
}

}  // namespace

bool isStorableValue(const std::string& value) {
  return value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

std::optional<Logon::Field> Logon::firstUnusable() const {
  if (!isUsable(User) || (!User.empty() && (User[0] == '@' || User[0] == '-'))) return Field::User;
  if (!isUsable(Pass)) return Field::Pass;
  if (!isUsable(Host)) return Field::Host;
  return std::nullopt;
}

std::string logonArgument(const Logon& logon) {
  std::string arg = logon.User;
  if (!logon.Pass.empty())
    arg += "/" + (passNeedsQuotes(logon.Pass) ? "\"" + logon.Pass + "\"" : logon.Pass);
  if (!logon.Host.empty()) arg += "@" + logon.Host;
  return arg;
}

// The rules CommandLineToArgvW and the C runtime share: a quote is written
// \", the backslashes just before a quote (or before the closing quote) are
// doubled, and an argument with a blank or a tab is put in quotes. Other
// backslashes stand for themselves. The text is read by characters of the
// code page the program runs under: in 932, 表 and ソ end in the byte of a
// backslash, but the client's runtime reads them whole (and
// CommandLineToArgvW reads UTF-16), so that byte is never doubled; in 1252
// or UTF-8 the same first byte is a letter of its own and the backslash
// after it is one.
std::string clientArguments(const Logon& logon) {
  const std::string arg = logonArgument(logon);
  const bool wrap = holdsChar(arg, " \t");
  std::string out = wrap ? "\"" : "";
  size_t backslashes = 0;
  for (size_t i = 0; i < arg.size();) {
    const size_t len = codepage::charLength(arg, i);
    if (len == 1 && arg[i] == '\\') {
      ++backslashes;
      ++i;
      continue;
    }
    if (len == 1 && arg[i] == '"') backslashes = backslashes * 2 + 1;
    out.append(backslashes, '\\');
    backslashes = 0;
    out.append(arg, i, len);
    i += len;
  }
  out.append(wrap ? backslashes * 2 : backslashes, '\\');
  if (wrap) out += '"';
  return out;
}

bool isUsableClientPath(const std::string& path) {
  return !holdsChar(path, "\"") && isStorableValue(path);
}

namespace {

using codepage::isSeparator;

// path without the dots and blanks at its end, which the file system drops:
// "run.bat. " opens run.bat.
std::string withoutTrailingDots(std::string path) {
  while (!path.empty() && (path.back() == '.' || path.back() == ' ')) path.pop_back();
  return path;
}

// The last part of path, as the file system takes it.
std::string lastName(const std::string& path) {
  const size_t sep = codepage::lastSeparator(path);
  return withoutTrailingDots(sep == std::string::npos ? path : path.substr(sep + 1));
}

bool endsWithNoCase(const std::string& text, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return text.size() >= n && std::equal(text.end() - static_cast<std::ptrdiff_t>(n), text.end(),
                                        suffix, [](char a, char b) {
                                          return std::tolower(static_cast<unsigned char>(a)) == b;
                                        });
}

}  // namespace

ClientPath classifyClientPath(const std::string& path) {
  if (!isUsableClientPath(path) || path.empty()) return ClientPath::Unusable;
  const bool hasDrive =
      path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
  const std::string name = lastName(hasDrive ? path.substr(2) : path);
  // A ':' in the name is a stream of a file ("x.exe:y", "run.bat::$DATA") or
  // a device, never a client.
  if (name.empty() || name.find(':') != std::string::npos) return ClientPath::Unusable;
  // The system runs these through cmd.exe, which reads the whole command
  // line by rules of its own: a logon's & | < > ^ % would act.
  if (endsWithNoCase(name, ".bat") || endsWithNoCase(name, ".cmd")) return ClientPath::BatchFile;
  const bool drive = hasDrive && path.size() >= 3 && isSeparator(path[2]);
  const bool unc =
      path.size() >= 3 && isSeparator(path[0]) && isSeparator(path[1]) && !isSeparator(path[2]);
  if (drive || unc) return ClientPath::Full;
  return codepage::lastSeparator(path) == std::string::npos && !hasDrive ? ClientPath::Bare
                                                                         : ClientPath::Relative;
}

std::string startedFile(const std::string& path) {
  const std::string file = withoutTrailingDots(path);
  return lastName(file).find('.') == std::string::npos ? file + ".exe" : file;
}

std::string findOnPath(const std::string& name, const std::string& pathList,
                       const std::function<bool(const std::string&)>& isFile) {
  const std::string file = startedFile(name);
  for (size_t from = 0; from <= pathList.size();) {
    const size_t end = std::min(pathList.find(';', from), pathList.size());
    std::string dir = pathList.substr(from, end - from);
    from = end + 1;
    if (dir.size() >= 2 && dir.front() == '"' && dir.back() == '"')
      dir = dir.substr(1, dir.size() - 2);
    // A folder given relatively ("." or "bin") is one in the current folder:
    // passed over like the current folder itself.
    if (classifyClientPath(dir + "\\x") != ClientPath::Full) continue;
    std::string candidate = dir;
    if (!codepage::endsWithChar(dir, '\\') && !codepage::endsWithChar(dir, '/')) candidate += '\\';
    candidate += file;
    if (isFile(candidate)) return candidate;
  }
  return "";
}

std::string quotedClientPath(const std::string& path) {
  return holdsChar(path, " \t") ? "\"" + path + "\"" : path;
}

std::string clientCommandLine(const std::string& path, const Logon& logon) {
  return quotedClientPath(path) + " " + clientArguments(logon);
}

std::string consoleTitle(const Logon& logon) {
  return logon.Host.empty() ? logon.User : logon.User + "@" + logon.Host;
}

std::string shortcutFileName(const Logon& logon) {
  // The full-width forms in code page 932, in the order of kRefused.
  static const char kRefused[] = "\\/:*?<>|";
  static const char* const kFullWidth[] = {"\x81\x5F", "\x81\x5E", "\x81\x46", "\x81\x96",
                                           "\x81\x48", "\x81\x83", "\x81\x84", "\x81\x62"};
  const std::string name = logon.User + "_" + logon.Pass + "@" + logon.Host;
  std::string out;
  for (size_t i = 0; i < name.size();) {
    const size_t len = codepage::charLength(name, i);
    const char* refused = len == 1 && name[i] != '\0' ? std::strchr(kRefused, name[i]) : nullptr;
    // Code page 932's full-width forms; where the code page has none, '_'.
    if (refused)
      out += codepage::isLeadByte(0x81) ? kFullWidth[refused - kRefused] : "_";
    else
      out.append(name, i, len);
    i += len;
  }
  return out + ".lnk";
}

bool isValidFileName(const std::string& name) {
  if (name.empty()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (codepage::charLength(name, i) == 2) {
      ++i;  // a double-byte character whose second byte is 0x5C is no separator
      continue;
    }
    if (c < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr) return false;
  }
  return true;
}
