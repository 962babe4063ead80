// Paths.cpp: see Paths.h.
#include "Paths.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "CodePage.h"
#include "IniEngine.h"

bool isUsableClientPath(const std::string& path) {
  return !codepage::holdsChar(path, "\"") && ini::isStorableValue(path);
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
  return withoutTrailingDots(fileNameOf(path));
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

std::string folderOf(const std::string& path) {
  const size_t sep = codepage::lastSeparator(path);
  return sep == std::string::npos ? "" : path.substr(0, sep + 1);
}

std::string fileNameOf(const std::string& path) {
  return path.substr(folderOf(path).size());
}

bool isAbsolute(const std::string& path) {
  return (path.size() >= 2 && path[1] == ':') ||
         (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

std::wstring folderKey(std::wstring folder) {
  for (wchar_t& c : folder)
    if (c == L'/') c = L'\\';
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

bool sameFileName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && codepage::lowerCase(a) == codepage::lowerCase(b);
}
