// Logon.cpp: see Logon.h.
#include "Logon.h"

#include <cstring>

#include "CodePage.h"

std::string logonString(const std::string& User, const std::string& Pass, const std::string& Host) {
  return User + "/" + Pass + "@" + Host;
}

std::string quotedClientPath(const std::string& Path) {
  const bool quoted = Path.size() >= 2 && Path.front() == '"' && Path.back() == '"';
  if (quoted || Path.find_first_of(" \t") == std::string::npos) return Path;
  return "\"" + Path + "\"";
}

std::string clientCommandLine(const std::string& Path, const std::string& User,
                              const std::string& Pass, const std::string& Host) {
  return quotedClientPath(Path) + " " + logonString(User, Pass, Host);
}

std::string shortcutFileName(const std::string& User, const std::string& Pass,
                             const std::string& Host) {
  return User + "_" + Pass + "@" + Host + ".lnk";
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
