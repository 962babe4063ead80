// Logon.h: one logon (user, password, host) and the texts made from it: the
// argument the client takes, its command line, and the shortcut's file name.
// One place for each, shared by the launch and the shortcut.
#pragma once

#include <functional>
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

// Whether value can stand in the settings file: a line break would end the
// value and start another key, a NUL would cut it short.
[[nodiscard]] bool isStorableValue(const std::string& value);

// The logon as SQL*Plus takes it, username[/password][@connect_identifier]:
// user + "/" + password + "@" + host, the password and its '/' left out when
// it is empty (the client then asks for it), the host and its '@' when it is
// empty; "/@alias" for a wallet. A password holding '@', '/', a blank or a
// tab stands in the client's own double quotes: scott/"p@ss"@orcl.
std::string logonArgument(const Logon& logon);

// The logon argument as it stands on a command line: one argument by the
// rules of CommandLineToArgvW and of the C runtime, whatever it holds.
std::string clientArguments(const Logon& logon);

// Whether path can stand as the client's path on a command line: a '"' in
// it would end the quotes around it and make the rest arguments (a start
// script), and a line break cannot be stored.
[[nodiscard]] bool isUsableClientPath(const std::string& path);

// What a client path is to the launch and the shortcut.
enum class ClientPath {
  Full,       // a drive and its root, or a share (\\server\share): started as it stands
  Bare,       // a name alone: looked up in the folders of PATH only
  Relative,   // relative to a folder (bin\sqlplus.exe, C:sqlplus.exe, \bin\x.exe): refused
  BatchFile,  // a .bat or .cmd: cmd.exe would act on what the logon holds, refused
  Unusable,   // empty, a quote or a line break in it, or a stream's name
};
// A bare or relative name would be looked for in the program's own folder
// and the current one first, where anyone may have put a copy of their own.
[[nodiscard]] ClientPath classifyClientPath(const std::string& path);
// The file the system starts for path: without the dots and blanks at its
// end, and with ".exe" when its name has no extension.
std::string startedFile(const std::string& path);
// Where the system finds a bare name in the folders of pathList (PATH, ';'
// between folders; ".exe" added to a name without an extension): the first
// folder given by its full path in which isFile finds it, or "" when none.
// Folders given relatively (the current folder) are passed over.
std::string findOnPath(const std::string& name, const std::string& pathList,
                       const std::function<bool(const std::string&)>& isFile);

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
