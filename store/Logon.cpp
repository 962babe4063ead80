// Logon.cpp: see Logon.h.
#include "Logon.h"

#include <cstring>

#include "CodePage.h"

namespace {

bool isCodePageText(const std::string& text) {
  for (size_t i = 0; i < text.size(); i += codepage::charLength(text, i))
    if (codepage::isLeadByte(static_cast<unsigned char>(text[i])) &&
        codepage::charLength(text, i) == 1)
      return false;  // a first byte without its second
  return true;
}

bool isUsable(const std::string& value) {
  return isStorableValue(value) && value.find('"') == std::string::npos && isCodePageText(value);
}

// SQL*Plus takes the logon apart at the first '/' and the first '@', and the
// command line at blanks; a password in its double quotes keeps its own.
bool passNeedsQuotes(const std::string& pass) {
  return pass.find_first_of("@/ \t") != std::string::npos;
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
  const std::string pass = passNeedsQuotes(logon.Pass) ? "\"" + logon.Pass + "\"" : logon.Pass;
  return logon.User + "/" + pass + "@" + logon.Host;
}

// The rules CommandLineToArgvW and the C runtime share: a quote is written
// \", the backslashes just before a quote (or before the closing quote) are
// doubled, and an argument with a blank or a tab is put in quotes. Other
// backslashes stand for themselves.
std::string clientArguments(const Logon& logon) {
  const std::string arg = logonArgument(logon);
  const bool wrap = arg.find_first_of(" \t") != std::string::npos;
  std::string out = wrap ? "\"" : "";
  size_t backslashes = 0;
  for (const char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') backslashes = backslashes * 2 + 1;
    out.append(backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(wrap ? backslashes * 2 : backslashes, '\\');
  if (wrap) out += '"';
  return out;
}

std::string quotedClientPath(const std::string& path) {
  const bool quoted = path.size() >= 2 && path.front() == '"' && path.back() == '"';
  if (quoted || path.find_first_of(" \t") == std::string::npos) return path;
  return "\"" + path + "\"";
}

std::string clientCommandLine(const std::string& path, const Logon& logon) {
  return quotedClientPath(path) + " " + clientArguments(logon);
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
    if (refused)
      out += kFullWidth[refused - kRefused];
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
