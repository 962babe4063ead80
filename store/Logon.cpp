// Logon.cpp: see Logon.h.
#include "Logon.h"

#include <cstring>

#include "CodePage.h"
#include "IniEngine.h"

namespace {

using codepage::holdsChar;

bool isUsable(const std::string& value) {
  // A code the system reads back as another could never be read as saved.
  return ini::isStorableValue(value) && !holdsChar(value, "\"") && codepage::isText(value) &&
         codepage::systemKeeps(value);
}

// SQL*Plus takes the logon apart at the first '/' and the first '@', and the
// command line at blanks; a password in its double quotes keeps its own.
bool passNeedsQuotes(const std::string& pass) {
  return holdsChar(pass, "@/ \t");
}

}  // namespace

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
