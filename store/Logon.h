// Logon.h: the texts built from a logon (user, password, host): the logon
// string the client takes, its command line, and the shortcut's file name.
// One place for each, shared by the launch and the shortcut.
#pragma once

#include <string>

// user + "/" + password + "@" + host; both separators always present.
std::string logonString(const std::string& User, const std::string& Pass, const std::string& Host);

// The client path as it must stand at the start of a command line: a path
// with a blank is put in quotes (unquoted, the system may start C:\Program.exe);
// a path already in quotes, or without blanks, is left as it is.
std::string quotedClientPath(const std::string& Path);

// The command line that starts the client: the path, one blank, the logon string.
std::string clientCommandLine(const std::string& Path, const std::string& User,
                              const std::string& Pass, const std::string& Host);

// user + "_" + password + "@" + host + ".lnk"
std::string shortcutFileName(const std::string& User, const std::string& Pass,
                             const std::string& Host);

// Whether Name can be a file name as it stands: no control characters and
// none of \ / : * ? " < > | (a 0x5C that ends a double-byte character is
// part of that character, not a separator).
[[nodiscard]] bool isValidFileName(const std::string& Name);
