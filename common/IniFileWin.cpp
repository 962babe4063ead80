// IniFileWin.cpp: settings-file access through the system's profile functions.
#include <windows.h>

#include <cstring>

#include "Common.h"
#include "IniEngine.h"

void ReadIniString(const std::string& FileName, const std::string& Section, const std::string& Key,
                   std::string& Value) {
  // The function cuts a value that does not fit and then returns less than
  // size: size - 1, or size - 2 where it stripped the quotes of a value it
  // had cut (the closing quote was cut off, and a character went in its
  // place), and a byte less where a double-byte character stood across the
  // edge. The buffer grows until the value is well inside it, so that long
  // values load whole.
  std::string buf(256, '\0');
  for (;;) {
    const DWORD n =
        GetPrivateProfileStringA(Section.c_str(), Key.c_str(), Value.c_str(), buf.data(),
                                 static_cast<DWORD>(buf.size()), FileName.c_str());
    if (n + 3 < buf.size()) {
      buf.resize(n);
      break;
    }
    if (buf.size() >= (1u << 30)) {  // a gigabyte value is not a logon: take what fits
      buf.resize(n);
      break;
    }
    buf.resize(buf.size() * 4);
  }
  Value = std::move(buf);
}

bool WriteIniString(const std::string& FileName, const std::string& Section, const std::string& Key,
                    const std::string& Value) {
  const std::string stored = ini::protectValue(Value);
  return WritePrivateProfileStringA(Section.c_str(), Key.c_str(), stored.c_str(),
                                    FileName.c_str()) != FALSE;
}

std::vector<std::string> readIniSectionNames(const std::string& fileName) {
  std::string buf(4096, '\0');
  DWORD n = 0;
  for (;;) {
    n = GetPrivateProfileSectionNamesA(buf.data(), static_cast<DWORD>(buf.size()),
                                       fileName.c_str());
    // A list that was cut gives size - 2, and less by a double-byte
    // character that stood across the edge.
    if (n + 3 < buf.size() || buf.size() >= (1u << 30)) break;
    buf.resize(buf.size() * 4);
  }
  std::vector<std::string> names;
  for (size_t i = 0; i < n && buf[i] != '\0';) {
    const size_t len = strlen(buf.c_str() + i);
    names.emplace_back(buf, i, len);
    i += len + 1;
  }
  return names;
}

bool addIniSection(const std::string& fileName, const std::string& section,
                   const std::vector<std::pair<std::string, std::string>>& keys) {
  std::string lines;  // key=value, each ended by a NUL, the list by another
  for (const auto& [key, value] : keys) lines += key + "=" + ini::protectValue(value) + '\0';
  lines += '\0';
  return WritePrivateProfileSectionA(section.c_str(), lines.c_str(), fileName.c_str()) != FALSE;
}

bool removeIniSection(const std::string& fileName, const std::string& section) {
  return WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, fileName.c_str()) != FALSE;
}

// The profile functions keep files they have read in a cache; releasing it
// makes the next call read the file as it is on disk.
void refreshIniFile(const std::string& fileName) {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, fileName.c_str());
}
