// IniFilePortable.cpp: settings-file access through the portable INI engine,
// for systems without profile functions (and for comparing the two engines).
#include <filesystem>

#include "Common.h"
#include "IniEngine.h"

void ReadIniString(const std::string& FileName, const std::string& Section, const std::string& Key,
                   std::string& Value) {
  Value = ini::readString(FileName, Section, Key, Value);
}

bool WriteIniString(const std::string& FileName, const std::string& Section, const std::string& Key,
                    const std::string& Value) {
  return ini::writeString(FileName, Section, Key, ini::protectValue(Value));
}

IniFile iniFileState(const std::string& fileName) {
  return ini::fileState(fileName);
}

IniFile readIniFileBytes(const std::string& fileName, std::string& bytes) {
  return ini::readFile(fileName, bytes);
}

void refreshIniFile(const std::string&) {}  // every call reads the file anew

std::vector<std::string> readIniSectionNames(const std::string& fileName) {
  return ini::sectionNames(fileName);
}

bool addIniSection(const std::string& fileName, const std::string& section,
                   const std::vector<std::pair<std::string, std::string>>& keys) {
  std::vector<ini::Key> lines;
  for (const auto& [key, value] : keys) lines.push_back(ini::Key{key, ini::protectValue(value)});
  return ini::addSection(fileName, section, lines);
}

bool removeIniSection(const std::string& fileName, const std::string& section) {
  return ini::removeSection(fileName, section);
}

namespace fs = std::filesystem;

bool copyIniFile(const std::string& from, const std::string& to) {
  std::error_code ec;
  if (!fs::exists(from, ec)) {
    fs::remove(to, ec);
    return !fs::exists(to, ec);
  }
  return fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec) && !ec;
}

bool replaceIniFile(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::rename(from, to, ec);  // replaces an existing file, also on Windows
  return !ec;
}

void discardIniFile(const std::string& fileName) {
  std::error_code ec;
  fs::remove(fileName, ec);
}
