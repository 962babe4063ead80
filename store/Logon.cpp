// Logon.cpp: see Logon.h.
#include "Logon.h"

#include <cstring>

#include "CodePage.h"

namespace {

bool isCodePageText(const std::string& Text) {
  for (size_t i = 0; i < Text.size(); i += codepage::charLength(Text, i))
    if (codepage::isLeadByte(static_cast<unsigned char>(Text[i])) &&
        codepage::charLength(Text, i) == 1)
      return false;  // a first byte without its second
  return true;
}

bool isUsable(const std::string& Value) {
  return Value.find_first_of(std::string("\r\n\0\"", 4)) == std::string::npos &&
         isCodePageText(Value);
}

// SQL*Plus takes the logon apart at the first '/' and the first '@', and the
// command line at blanks; a password in its double quotes keeps its own.
bool passNeedsQuotes(const std::string& Pass) {
  return Pass.find_first_of("@/ \t") != std::string::npos;
}

}  // namespace

std::optional<Logon::Field> Logon::firstUnusable() const {
  if (!isUsable(User) || (!User.empty() && (User[0] == '@' || User[0] == '-'))) return Field::User;
  if (!isUsable(Pass)) return Field::Pass;
  if (!isUsable(Host)) return Field::Host;
  return std::nullopt;
}

std::string logonArgument(const Logon& L) {
  const std::string pass = passNeedsQuotes(L.Pass) ? "\"" + L.Pass + "\"" : L.Pass;
  return L.User + "/" + pass + "@" + L.Host;
}

// The rules CommandLineToArgvW and the C runtime share: a quote is written
// \", the backslashes just before a quote (or before the closing quote) are
// doubled, and an argument with a blank or a tab is put in quotes. Other
// backslashes stand for themselves.
std::string clientArguments(const Logon& L) {
  const std::string arg = logonArgument(L);
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

std::string quotedClientPath(const std::string& Path) {
  const bool quoted = Path.size() >= 2 && Path.front() == '"' && Path.back() == '"';
  if (quoted || Path.find_first_of(" \t") == std::string::npos) return Path;
  return "\"" + Path + "\"";
}

std::string clientCommandLine(const std::string& Path, const Logon& L) {
  return quotedClientPath(Path) + " " + clientArguments(L);
}

std::string shortcutFileName(const Logon& L) {
  // The full-width forms in code page 932, in the order of kRefused.
  static const char kRefused[] = "\\/:*?<>|";
  static const char* const kFullWidth[] = {"\x81\x5F", "\x81\x5E", "\x81\x46", "\x81\x96",
                                           "\x81\x48", "\x81\x83", "\x81\x84", "\x81\x62"};
  const std::string name = L.User + "_" + L.Pass + "@" + L.Host;
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

bool isValidFileName(const std::string& Name) {
  if (Name.empty()) return false;
  for (size_t i = 0; i < Name.size(); ++i) {
    const auto c = static_cast<unsigned char>(Name[i]);
    if (codepage::charLength(Name, i) == 2) {
      ++i;  // a double-byte character whose second byte is 0x5C is no separator
      continue;
    }
    if (c < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr) return false;
  }
  return true;
}
