// TnsNames.h: the net service names the client knows, read from its
// tnsnames.ora, for the host box's suggestions. Portable: the files are read
// through a function the caller gives.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tns {

// How the reader gets at files.
struct FileAccess {
  // Reads a whole file of at most maxBytes (its size is looked at before
  // anything is read); false when it is missing, cannot be read or is larger.
  std::function<bool(const std::string& path, size_t maxBytes, std::string& bytes)> read;
  // What the file is, the same for every spelling of its path (its volume
  // and index); empty when there is none.
  std::function<std::string(const std::string& path)> identity;
};

// What one read of the names reads at most: so many files, so many bytes in
// all. A tnsnames.ora is a few kilobytes.
constexpr int kMaxFiles = 64;
constexpr size_t kMaxBytes = 4 << 20;

// Whether path names a device, not a file (\\.\..., \\?\ not followed by a
// drive or UNC, CON, NUL, COM1, LPT1...): never opened.
[[nodiscard]] bool isDeviceName(const std::string& path);

// The names a tnsnames.ora defines, once each (letter case ignored, the
// first spelling kept), in file order. A name starts in the first column and
// is followed by '=', or by more names separated by commas and then '='; a
// descriptor in parentheses may span lines; '#' starts a comment;
// IFILE=<path> includes another file, relative to the including one, to a
// depth of 5, each file once however its path is spelt, within kMaxFiles
// and kMaxBytes, never a device. What cannot be read or makes no sense is
// passed over: the result is what could be read, or nothing.
std::vector<std::string> readNames(const std::string& file, const FileAccess& files);

// Where the client looks for its tnsnames.ora, first found wins: the folder
// TNS_ADMIN names, network\admin beside the client (Instant Client), and
// network\admin above it when it lies in a bin folder (an Oracle home).
std::vector<std::string> candidateFiles(const std::string& clientPath, const std::string& tnsAdmin);

}  // namespace tns
