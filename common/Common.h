// Common.h: the program's shared helpers (unit Common): where the program
// lives and how the settings file is read and written. Text is ANSI text in
// the system's code page.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "IniEngine.h"

// The directory of the running executable, with its trailing separator.
std::string GetExeDir();

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

using IniFile = ini::FileState;
[[nodiscard]] IniFile iniFileState(const std::string& fileName);
// The file's bytes, read whole; empty unless Readable.
IniFile readIniFileBytes(const std::string& fileName, std::string& bytes);
// Which file the name leads to and when it was last written (its identity,
// time and size, as text); empty when there is none. A file replaced by
// another with the same bytes still gets another stamp.
std::string iniFileStamp(const std::string& fileName);

// The names of the file's sections, in file order.
std::vector<std::string> readIniSectionNames(const std::string& fileName);
// Writes a section the file does not hold yet, with its keys and values in
// order, in one rewrite of the file instead of one for each key.
[[nodiscard]] bool addIniSection(const std::string& fileName, const std::string& section,
                                 const std::vector<std::pair<std::string, std::string>>& keys);
// Removes the first section of that name, with its keys; true when the file
// holds no such section (any more). False when the file could not be written.
[[nodiscard]] bool removeIniSection(const std::string& fileName, const std::string& section);

// Saving goes through a copy beside the file, so that an interrupted save
// leaves either the old file or the new one. createIniCopy makes the copy
// (a name that must not exist yet) holding bytes, never more open than the
// file like; replaceIniFile flushes the finished copy to disk and puts it in
// the file's place in one step, the file keeping its protection and
// attributes; discardIniFile removes a copy that is not wanted.
[[nodiscard]] bool createIniCopy(const std::string& like, const std::string& copy,
                                 const std::string& bytes);
[[nodiscard]] bool replaceIniFile(const std::string& from, const std::string& to);
void discardIniFile(const std::string& fileName);
