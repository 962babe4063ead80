// Paths.h: what a path is to the program: the client's path as the launch
// and the shortcut take it (the file the system starts, where a bare name is
// looked for), and the folders of paths as tnsnames.ora's reader and the
// registry give them. Portable: text in the code page, '\' or '/' between
// folders.
#pragma once

#include <functional>
#include <string>

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

// The folder of path with its separator, in the path's own style; empty
// when path names no folder.
std::string folderOf(const std::string& path);
// The last part of path, after its folder.
std::string fileNameOf(const std::string& path);
// Whether two file names are one name to the file system: letter case
// ignored, as Windows ignores it (the single-byte letters; a double-byte
// character compared as it is). The one comparison of names beside the
// settings file.
bool sameFileName(const std::string& a, const std::string& b);
// Whether path starts at a drive or a root ("C:x", "\x", "/x"), not at the
// folder it is read from.
bool isAbsolute(const std::string& path);
// A folder as the registry and the user write it, for comparing: '/' as
// '\', without the separator at its end (a drive's root keeps its own).
std::wstring folderKey(std::wstring folder);
