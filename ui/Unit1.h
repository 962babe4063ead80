// Unit1.h: the main window TForm1: its controls and its handlers, which call
// the launch (Launch.h), the notification-area icon (TrayIcon.h) and the host
// box's suggestions (HostSuggestions.h).
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "Application.h"
#include "HostSuggestions.h"
#include "Logon.h"
#include "Messages.h"
#include "Raii.h"
#include "Saver.h"
#include "Store.h"
#include "TrayIcon.h"
#include "Unit1Layout.h"

class TForm1 {
 public:
  // Creates the window (hidden); FormCreate runs during the creation. shell
  // registers the notification-area icon.
  static std::unique_ptr<TForm1> create(HINSTANCE instance,
                                        TrayIcon::ShellFn shell = Shell_NotifyIconA);
  // Only create() makes one: the window procedure holds a pointer to it.
  class PassKey {
    friend class TForm1;
    PassKey() {}  // user-provided: no one else can brace-initialise it
  };
  TForm1(PassKey, TrayIcon::ShellFn shell) : tray(shell) {}
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  HWND Handle = nullptr;

  // Controls, in tab order within their parents.
  HWND gpbSQLPlus = nullptr, edtSQLPlus = nullptr, btnFileOpen = nullptr;
  HWND gpbLogin = nullptr, lblUser = nullptr, lblPass = nullptr, lblHost = nullptr;
  HWND edtUser = nullptr, edtPass = nullptr, edtHost = nullptr;
  HWND gpbList = nullptr, lstLogin = nullptr;
  HWND btnInsert = nullptr, btnShell = nullptr, btnDelete = nullptr, btnShortCut = nullptr;

  void FormCreate();
  void FormShow();
  // The close: the window goes once its save has ended (Saver::close).
  void FormClose() { saver.close(); }
  void FormKeyDown(WORD key);
  void edtSQLPlusChange();
  void edtUserChange();
  void edtHostEnter();
  void btnFileOpenClick();
  void lstLoginClick();
  void lstLoginDblClick() { Shell_SQL(); }
  void btnInsertClick() { Insert_ListBox(); }
  void btnDeleteClick();
  void btnShellClick() { Shell_SQL(); }
  void btnShortCutClick();

  void Chage_Btn_Enabled();
  void Insert_ListBox();
  void Delete_List(int Index);
  void Init_lstLogin();
  void Shell_SQL();

  // Notification-area icon.
  TrayIcon tray;
  void RemoveTrayIcon() { tray.remove(); }
  void HideToTray() { tray.hideOwner(); }
  void AppMinimize() { HideToTray(); }

  // The host box's suggestions: the client's net service names.
  HostSuggestions hosts;

  // The settings file, the client path and the logons, from FormCreate on.
  Store store;
  // The settings file's work, off the window's thread: the load, a save a
  // moment after each change, the close's and the session end's.
  Saver saver{store,
              {[this] { showStore(); }, [this](const LoadResult& r) { storeLoaded(r); },
               [this](bool waiting) { showClosing(waiting); }, [this] { closed(); },
               [this](const std::wstring& text) { tray.balloon(text); }}};
  // Whether the settings file is still being read: the list says so, and
  // nothing can be changed that the loaded store would then replace.
  bool loading() const { return saver.loading(); }

  UINT dpi() const { return dpi_; }

 private:
  static LRESULT CALLBACK StaticWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
  void onCreate();
  void onDpiChanged(UINT dpi, const RECT& suggested);
  LRESULT onNcDestroy(WPARAM wParam, LPARAM lParam);
  void onCommand(int id, int code);
  bool previewKey(MSG& msg);
  void createControls();
  void applyLayout(UINT dpi);
  void showStore();
  void storeLoaded(const LoadResult& loaded);
  void showClosing(bool waiting);
  void closed();
  std::optional<Logon> readLogon();
  void report(messages::Action action, const Outcome& outcome);

  UINT dpi_ = 96;
  layout::Applied applied_;    // the font, and the title bar's, tray's and Alt+Tab's icons
  std::wstring lastOpenFile_;  // the file chosen last in this run, offered again
  // The path box's text as last seen: setting the box to the text it holds is no change.
  std::wstring lastSQLPlus_;
  std::optional<Application::MainWindow> mainWindow_;  // from WM_CREATE to WM_NCDESTROY
  // edtSQLPlus shows SQLPlusPath (FormCreate is done): its changes are the store's.
  bool showsStore_ = false;
};
