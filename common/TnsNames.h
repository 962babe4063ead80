// TnsNames.h: the net service names the client knows, read from its
// tnsnames.ora, for the host box's suggestions. Portable: the files are read
// through a function the caller gives.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tns {

// Reads a whole file; false when it is missing or cannot be read.
using ReadFile = std::function<bool(const std::string& path, std::string& bytes)>;

// The names a tnsnames.ora defines, once each (letter case ignored, the
// first spelling kept), in file order. A name starts in the first column and
// is followed by '=', or by more names separated by commas and then '='; a
// descriptor in parentheses may span lines; '#' starts a comment;
// IFILE=<path> includes another file, relative to the including one, to a
// depth of 5 and each file once. What cannot be read or makes no sense is
// passed over: the result is what could be read, or nothing.
std::vector<std::string> readNames(const std::string& file, const ReadFile& read);

// Where the client looks for its tnsnames.ora, first found wins: the folder
// TNS_ADMIN names, network\admin beside the client (Instant Client), and
// network\admin above it when it lies in a bin folder (an Oracle home).
std::vector<std::string> candidateFiles(const std::string& clientPath, const std::string& tnsAdmin);

}  // namespace tns
