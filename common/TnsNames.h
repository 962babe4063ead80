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

// What one read of the names reads at most: so many files asked for (every
// include counts, read or not), so many bytes in all. A tnsnames.ora is a
// few kilobytes.
constexpr int kMaxFiles = 64;
constexpr size_t kMaxBytes = 4 << 20;

// Whether path names a device, not a file (\\.\..., \\?\ not followed by a
// drive or UNC, \??\..., CON, NUL, NUL:, COM1, LPT1...): never opened.
[[nodiscard]] bool isDeviceName(const std::string& path);

// The names a tnsnames.ora defines, once each (letter case ignored, the
// first spelling kept), in file order, read by the client's rules: a line
// that starts in the first column starts an entry, one that starts with a
// blank or a parenthesis goes on with it; an entry is NAME[, NAME...] =
// descriptor, the names without blanks, the descriptor whole and its
// parentheses closed, else it defines nothing and hides nothing after it;
// '#' starts a comment unless escaped (\#) or quoted. IFILE = path includes
// another file, relative to the including one, to a depth of 4, each file
// once however its path is spelt, within kMaxFiles and kMaxBytes, never a
// device; past the budget the includes are passed over and the rest still
// gives its names. The memory a read takes stays near the bytes it read.
std::vector<std::string> readNames(const std::string& file, const FileAccess& files);

// What the registry key of the client's Oracle home says
// (HKEY_LOCAL_MACHINE\SOFTWARE\ORACLE\KEY_<home name>); empty when unset.
struct HomeKey {
  std::string tnsAdmin;  // TNS_ADMIN
  std::string baseHome;  // ORACLE_BASE_HOME: a read-only home's own files
};

// The Oracle home of a client in its bin folder (the folder above it, with
// no separator at the end); empty for any other client (Instant Client).
std::string oracleHomeOf(const std::string& clientPath);

// Where the client looks for its tnsnames.ora, the first found wins. When
// TNS_ADMIN is set, in the environment (tnsAdmin) or else in the home's key,
// there and nowhere else. Otherwise network\admin under the base home of a
// read-only home, then under the Oracle home, then beside the client (an
// Instant Client's own network\admin).
std::vector<std::string> candidateFiles(const std::string& clientPath, const std::string& tnsAdmin,
                                        const HomeKey& key = {});

// The same for the client at clientPath on this system, its environment and
// its registry (TnsNamesWin.cpp).
std::vector<std::string> clientFiles(const std::string& clientPath);
// The key of the Oracle home at home, in the registry's 64-bit view or else
// its 32-bit one (a 32-bit client's); empty when no key names it.
HomeKey homeKey(const std::string& home);

}  // namespace tns
