// WindowIds.h: the ids of the main window's timers and of the messages the
// program's own pieces send it, each kind in one enum, so that no two pieces
// pick the same value for the one window they share.
#pragma once

#include <windows.h>

// SetTimer's ids on the main window.
enum TimerId : UINT_PTR {
  kTrayRetryTimer = 1,  // TrayIcon: the next try at registering the icon
  kSaveChangesTimer,    // Saver: a change saved a moment later, or retried
  kFollowTimer,         // Saver: a look at the settings file's folder for another copy's save
};

// Messages to the main window from the program itself.
enum AppMessage : UINT {
  // The notification-area icon's callback (TrayIcon), the value the icon
  // has been registered with from the first release (0x464).
  WM_TRAYICON = WM_USER + 100,
  // Posted when a read has found the host box's names: the suggestions take
  // them (HostSuggestions::onNamesRead).
  WM_HOSTNAMESREAD = WM_APP + 1,
  // Posted when the worker's job on the settings file (a load, a save, a
  // look) has ended: the window takes its result (Saver::onDone).
  WM_STOREDONE,
  // Posted for a balloon from the icon: shown once the window's thread is
  // free (TrayIcon::balloon).
  WM_TRAYBALLOON,
};
