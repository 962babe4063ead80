// IniFilePortable.cpp: settings-file access through the portable INI engine,
// for systems without profile functions (and for comparing the two engines).
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

void refreshIniFile(const std::string&) {}  // every call reads the file anew

std::vector<std::string> readIniSectionNames(const std::string& fileName) {
  return ini::sectionNames(fileName);
}

bool addIniSection(const std::string& fileName, const std::string& section,
                   const std::vector<std::pair<std::string, std::string>>& keys) {
  return ini::addSection(fileName, section, ini::protectedKeys(keys));
}

bool removeIniSection(const std::string& fileName, const std::string& section) {
  return ini::removeSection(fileName, section);
}
