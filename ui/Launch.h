// Launch.h: what the program starts and writes outside itself: the client
// with a logon, the desktop shortcut that starts it, and the file dialog
// that chooses the client. Each takes what it needs and reports an Outcome;
// the window puts it into words (messages::outcomeText).
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <functional>
#include <string>
#include <utility>

#include "FolderReach.h"
#include "Logon.h"

struct Outcome {
  enum Kind {
    Done,
    Cancelled,      // the file dialog: nothing chosen; the shortcut: not wanted where it goes
    NoClient,       // the client path is empty
    PathUnusable,   // the client path has a quote, a line break or a stream's name
    BatchClient,    // the client path names a .bat or .cmd
    NotFullPath,    // the client path is relative to some folder
    NotOnPath,      // a bare client name that no folder of PATH holds
    NotInCodePage,  // the file dialog: a path the code page cannot hold, even in short
    Failed,         // the system refused: error says why
  };
  Outcome(Kind k = Done, unsigned long e = 0, std::wstring d = {})
      : kind(k), error(e), detail(std::move(d)) {}

  Kind kind;
  // Failed: the system's error (GetLastError, an HRESULT, or for the file
  // dialog CommDlgExtendedError).
  unsigned long error;
  std::wstring detail;  // the name NotOnPath looked for, the file NotInCodePage got
};

// The file the client path names, as the launch and the shortcut start it:
// a full path as it stands (".exe" added to a name without an extension, as
// the system adds it), a bare name from the folders of PATH; nothing else.
[[nodiscard]] Outcome resolveClient(const std::string& path, std::string& file);

// Starts the client at path with logon as its one argument, in a console
// window whose title names the logon without its password. Neither waits
// for the client nor keeps a handle to it.
[[nodiscard]] Outcome launchClient(const std::string& path, const Logon& logon);

// Asked before a shortcut whose name and arguments hold a password is
// written to a desktop folder whose files leave this PC: the folder, and
// where its files go. True: write it.
using AskBeforeItLeaves = std::function<bool(const std::string& folder, FolderReach reach)>;
// Places a shortcut on the desktop that starts the client at path with
// logon; Cancelled, with nothing written, when ask says no.
[[nodiscard]] Outcome createLogonShortcut(const std::string& path, const Logon& logon,
                                          const AskBeforeItLeaves& ask);

struct ClientChoice {
  Outcome outcome{Outcome::Cancelled};
  std::string path;   // Done: as ANSI text (a short name where the long one does not fit)
  std::wstring file;  // the file the dialog gave
};
// The file dialog's two functions, from comdlg32.dll loaded from the system
// folder; tests give ones of their own, which fail as Windows can.
struct FileDialog {
  decltype(&GetOpenFileNameW) open;
  decltype(&CommDlgExtendedError) error;
};
// The file dialog for the client's executable, owned by owner, offering
// offered (the file chosen last), its files shown through filter (the
// dialog's name and pattern pairs, each ended by a NUL: the window's words).
// A dialog that could not open is Failed with its own error
// (CommDlgExtendedError), never taken for Cancel.
[[nodiscard]] ClientChoice chooseClient(HWND owner, const std::wstring& offered,
                                        const wchar_t* filter, const FileDialog* dialog = nullptr);
