// Unit1.h: the main window TForm1: its controls, its handlers, the launch of
// the client and the notification-area icon.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "Raii.h"

// The message the notification-area icon sends the window.
constexpr UINT WM_TRAYICON = WM_USER + 100;

class TForm1 {
 public:
  // Creates the window (hidden); FormCreate runs during the creation.
  static TForm1* Create(HINSTANCE Instance);
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

  // Handlers.
  void FormCreate();
  void FormShow();
  void FormClose();
  void FormKeyDown(WORD Key);
  void edtSQLPlusChange();
  void edtUserChange();
  void btnFileOpenClick();
  void lstLoginClick();
  void lstLoginDblClick();
  void btnInsertClick();
  void btnDeleteClick();
  void btnShellClick();
  void btnShortCutClick();

  // Methods.
  void Chage_Btn_Enabled();
  void Insert_ListBox();
  void Delete_List(int Index);
  void Init_lstLogin();
  void Shell_SQL();

  // Notification-area icon.
  bool TrayIconShown = false;
  NOTIFYICONDATAA TrayIconData{};
  void AddTrayIcon();
  void RemoveTrayIcon();
  void HideToTray();
  void AppMinimize();

  UINT Dpi() const { return dpi_; }

 private:
  TForm1() = default;
  static LRESULT CALLBACK StaticWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam);
  LRESULT handle(UINT Msg, WPARAM WParam, LPARAM LParam);
  void onCommand(int Id, int Code);
  void onTrayIcon(UINT MouseMsg);
  bool previewKey(MSG& Msg);
  void createControls();
  void applyLayout(UINT Dpi);
  void saveOnExit();

  UINT dpi_ = 96;
  UniqueFont font_;
  HWND lastFocus_ = nullptr;
  std::wstring lastOpenFile_;  // the file chosen last in this run, offered again
  UINT taskbarCreated_ = 0;
  bool saved_ = false;
};

extern TForm1* Form1;
