// Logon.h: one logon (user, password, host) and the texts made from it: the
// argument the client takes, its command line, and the shortcut's file name.
// One place for each, shared by the launch and the shortcut.
#pragma once

#include <optional>
#include <string>

struct Logon {
  std::string User, Pass, Host;

  enum class Field { User, Pass, Host };

  bool operator==(const Logon& other) const {
    return User == other.User && Pass == other.Pass && Host == other.Host;
  }
  bool operator!=(const Logon& other) const { return !(*this == other); }

  // The first field, in box order, that cannot go to the client or the file:
  // a line break or NUL (the settings file), a '"' (the client's quoting), a
  // byte sequence that is not code page 932 text, or a user that begins with
  // '@' or '-' (the client would read a script or an option).
  [[nodiscard]] std::optional<Field> firstUnusable() const;
};

// Whether value can stand in the settings file: a line break would end the
// value and start another key, a NUL would cut it short.
[[nodiscard]] bool isStorableValue(const std::string& value);

// user + "/" + password + "@" + host, both separators always there. A
// password holding '@', '/', a blank or a tab stands in the client's own
// double quotes: scott/"p@ss"@orcl.
std::string logonArgument(const Logon& logon);

// The logon argument as it stands on a command line: one argument by the
// rules of CommandLineToArgvW and of the C runtime, whatever it holds.
std::string clientArguments(const Logon& logon);

// The client path as it must stand at the start of a command line: a path
// with a blank is put in quotes (unquoted, the system may start C:\Program.exe);
// a path already in quotes, or without blanks, is left as it is.
std::string quotedClientPath(const std::string& path);

// The command line that starts the client: the path, one blank, the logon argument.
std::string clientCommandLine(const std::string& path, const Logon& logon);

// user + "_" + password + "@" + host + ".lnk", each character the file system
// refuses (\ / : * ? < > |) in its full-width form: db1:1521/orcl becomes
// db1：1521／orcl.
std::string shortcutFileName(const Logon& logon);

// Whether name can be a file name as it stands: no control characters and
// none of \ / : * ? " < > | (a 0x5C that ends a double-byte character is
// part of that character, not a separator).
[[nodiscard]] bool isValidFileName(const std::string& name);
