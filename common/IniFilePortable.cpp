// IniFilePortable.cpp: settings-file access through the portable INI engine,
// for systems without profile functions (and for comparing the two engines).
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

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

std::string iniFileStamp(const std::string& fileName) {
  struct stat st {};
  if (stat(fileName.c_str(), &st) != 0) return "";
#ifdef _WIN32
  const long nanoseconds = 0;  // the C runtime's stat has whole seconds only
#else
  const long nanoseconds = st.st_mtim.tv_nsec;
#endif
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
         std::to_string(st.st_mtime) + ":" + std::to_string(nanoseconds) + ":" +
         std::to_string(st.st_size);
}

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

bool createIniCopy(const std::string&, const std::string& copy, const std::string& bytes) {
  std::error_code ec;
  if (fs::exists(copy, ec) || ec) return false;
  std::ofstream out(copy, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
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
