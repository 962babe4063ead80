// Common.h: the program's shared helpers (unit Common): where the program
// lives, its environment, and how the settings file is read and written. Text is ANSI text in
// the system's code page.
#pragma once

#include <string>
#include <utility>
#include <vector>

// The directory of the running executable, with its trailing separator.
std::string GetExeDir();
// The value of the process's environment variable name; empty when unset.
std::string environmentVariable(const char* name);

// Reads one value; a missing file, section or key leaves Value as it was.
// Values of any length are read whole.
void ReadIniString(const std::string& FileName, const std::string& Section, const std::string& Key,
                   std::string& Value);

// Writes one value; an empty Value keeps the key with nothing after '='.
// Returns false when the file could not be written.
[[nodiscard]] bool WriteIniString(const std::string& FileName, const std::string& Section,
                                  const std::string& Key, const std::string& Value);

// Makes the next read see the file as it is on disk now: the system keeps
// files it has read in a cache that does not always notice a change.
void refreshIniFile(const std::string& fileName);

// The names of the file's sections, in file order.
std::vector<std::string> readIniSectionNames(const std::string& fileName);
// Writes a section the file does not hold yet, with its keys and values in
// order, in one rewrite of the file instead of one for each key.
[[nodiscard]] bool addIniSection(const std::string& fileName, const std::string& section,
                                 const std::vector<std::pair<std::string, std::string>>& keys);
// Removes the first section of that name, with its keys; true when the file
// holds no such section (any more). False when the file could not be written.
[[nodiscard]] bool removeIniSection(const std::string& fileName, const std::string& section);
