// Logon.h: one logon (user, password, host) and the texts made from it: the
// argument the client takes, its command line, and the shortcut's file name.
// One place for each, shared by the launch and the shortcut.
#pragma once

#include <optional>
#include <string>

struct Logon {
  std::string User, Pass, Host;

  // The three fields, in box order (and the settings file's key order).
  enum class Field { User, Pass, Host };
  static constexpr Field kFields[] = {Field::User, Field::Pass, Field::Host};
  static constexpr size_t kFieldCount = 3;
  const std::string& operator[](Field f) const {
    return f == Field::User ? User : f == Field::Pass ? Pass : Host;
  }
  std::string& operator[](Field f) {
    return f == Field::User ? User : f == Field::Pass ? Pass : Host;
  }

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

// The logon as SQL*Plus takes it, username[/password][@connect_identifier]:
// user + "/" + password + "@" + host, the password and its '/' left out when
// it is empty (the client then asks for it), the host and its '@' when it is
// empty; "/@alias" for a wallet. A password holding '@', '/', a blank or a
// tab stands in the client's own double quotes: scott/"p@ss"@orcl.
std::string logonArgument(const Logon& logon);

// The logon argument as it stands on a command line: one argument by the
// rules of CommandLineToArgvW and of the C runtime, whatever it holds.
std::string clientArguments(const Logon& logon);

// The client path as it must stand at the start of a command line: a path
// with a blank is put in quotes (unquoted, the system may start C:\Program.exe).
std::string quotedClientPath(const std::string& path);

// The command line that starts the client: the path, one blank, the logon argument.
std::string clientCommandLine(const std::string& path, const Logon& logon);

// The title of the client's console window: the logon without its password,
// user + "@" + host, or the user alone when the host is empty.
std::string consoleTitle(const Logon& logon);

// user + "_" + password + "@" + host + ".lnk", each character the file system
// refuses (\ / : * ? < > |) in its full-width form: db1:1521/orcl becomes
// db1：1521／orcl.
std::string shortcutFileName(const Logon& logon);

// Whether name can be a file name as it stands: no control characters and
// none of \ / : * ? " < > | (a 0x5C that ends a double-byte character is
// part of that character, not a separator).
[[nodiscard]] bool isValidFileName(const std::string& name);
