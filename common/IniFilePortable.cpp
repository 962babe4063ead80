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

IniFile iniFileState(const std::string& FileName) {
  return ini::fileState(FileName);
}

void refreshIniFile(const std::string&) {}  // every call reads the file anew

std::vector<std::string> readIniSectionNames(const std::string& FileName) {
  return ini::sectionNames(FileName);
}

bool removeIniSection(const std::string& FileName, const std::string& Section) {
  return ini::removeSection(FileName, Section);
}

namespace fs = std::filesystem;

bool copyIniFile(const std::string& From, const std::string& To) {
  std::error_code ec;
  if (!fs::exists(From, ec)) {
    fs::remove(To, ec);
    return !fs::exists(To, ec);
  }
  return fs::copy_file(From, To, fs::copy_options::overwrite_existing, ec) && !ec;
}

bool replaceIniFile(const std::string& From, const std::string& To) {
  std::error_code ec;
  fs::rename(From, To, ec);  // replaces an existing file, also on Windows
  return !ec;
}

void discardIniFile(const std::string& FileName) {
  std::error_code ec;
  fs::remove(FileName, ec);
}
