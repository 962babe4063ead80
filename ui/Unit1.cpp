// Unit1.cpp: the main window TForm1: its creation and layout (from the table
// in Unit1Layout.h), message routing, the handlers that tie the controls to
// the store and to the launch (Launch.h), and its hiding to the tray icon
// (TrayIcon.h) and coming back.
#include "Unit1.h"

#include <new>
#include <tuple>

#include "AppName.h"
#include "Application.h"
#include "Common.h"
#include "Launch.h"
#include "Messages.h"
#include "Store.h"
#include "Text.h"
#include "Unit1Layout.h"
#include "resource.h"

TForm1* Form1 = nullptr;

using namespace layout;

namespace {

bool isPushButton(HWND wnd) {
  wchar_t cls[16] = {};
  GetClassNameW(wnd, cls, 16);
  if (lstrcmpiW(cls, L"Button") != 0) return false;
  const LONG type = GetWindowLongW(wnd, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

// Alt shows in the message itself (a system key), Shift and Ctrl in the key state.
bool modifierDown(const MSG& msg) {
  return msg.message == WM_SYSKEYDOWN || GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0 ||
         GetKeyState(VK_MENU) < 0;
}

// Whether the text of wnd differs from last, which then becomes it.
bool textChanged(HWND wnd, std::wstring& last) {
  std::wstring now = windowText(wnd);
  if (now == last) return false;
  last = std::move(now);
  return true;
}

// The field each control of the layout goes to.
struct FieldOf {
  int id;
  HWND TForm1::*field;
};
const FieldOf kFields[] = {
    {IDC_GPBSQLPLUS, &TForm1::gpbSQLPlus},   {IDC_EDTSQLPLUS, &TForm1::edtSQLPlus},
    {IDC_BTNFILEOPEN, &TForm1::btnFileOpen}, {IDC_GPBLOGIN, &TForm1::gpbLogin},
    {IDC_LBLUSER, &TForm1::lblUser},         {IDC_EDTUSER, &TForm1::edtUser},
    {IDC_LBLPASS, &TForm1::lblPass},         {IDC_EDTPASS, &TForm1::edtPass},
    {IDC_LBLHOST, &TForm1::lblHost},         {IDC_EDTHOST, &TForm1::edtHost},
    {IDC_GPBLIST, &TForm1::gpbList},         {IDC_LSTLOGIN, &TForm1::lstLogin},
    {IDC_BTNINSERT, &TForm1::btnInsert},     {IDC_BTNSHELL, &TForm1::btnShell},
    {IDC_BTNDELETE, &TForm1::btnDelete},     {IDC_BTNSHORTCUT, &TForm1::btnShortCut},
};

// The handler each control's notification calls.
struct CommandRoute {
  int id;
  int code;
  void (TForm1::*handler)();
};
const CommandRoute kCommandRoutes[] = {
    {IDC_EDTSQLPLUS, EN_CHANGE, &TForm1::edtSQLPlusChange},
    {IDC_EDTUSER, EN_CHANGE, &TForm1::edtUserChange},
    {IDC_EDTHOST, EN_SETFOCUS, &TForm1::edtHostEnter},
    {IDC_LSTLOGIN, LBN_SELCHANGE, &TForm1::lstLoginClick},
    {IDC_LSTLOGIN, LBN_DBLCLK, &TForm1::lstLoginDblClick},
    {IDC_BTNFILEOPEN, BN_CLICKED, &TForm1::btnFileOpenClick},
    {IDC_BTNINSERT, BN_CLICKED, &TForm1::btnInsertClick},
    {IDC_BTNSHELL, BN_CLICKED, &TForm1::btnShellClick},
    {IDC_BTNDELETE, BN_CLICKED, &TForm1::btnDeleteClick},
    {IDC_BTNSHORTCUT, BN_CLICKED, &TForm1::btnShortCutClick},
};

// Runs a handler and shows an error it raises in the error box: for the
// window procedure, and for the key preview, which runs before it.
template <typename F>
void guarded(F&& f) {
  try {
    f();
  } catch (const AppError& e) {
    Application::showErrorBox(e.message);
  } catch (const std::bad_alloc&) {
    Application::showErrorBox(messages::kOutOfMemory);
  } catch (const std::exception& e) {
    Application::showErrorBox(fromUtf8(e.what()));
  }
}

}  // namespace

std::unique_ptr<TForm1> TForm1::create(HINSTANCE instance, TrayIcon::ShellFn shell) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = StaticWndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_VOSTRELK), IMAGE_ICON, 0,
                                           0, LR_DEFAULTSIZE | LR_SHARED));
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_VOSTRELK), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  RegisterClassExW(&wc);  // fails harmlessly when a test creates the window again

  auto form = std::make_unique<TForm1>(PassKey{}, shell);
  Form1 = form.get();
  CreateWindowExW(kWindowExStyle, kClassName, L"Form1", kWindowStyle, kLeft, kTop, kClientWidth,
                  kClientHeight, nullptr, nullptr, instance, form.get());
  if (!form->Handle) return nullptr;  // the destructor lets go of Form1
  return form;
}

TForm1::~TForm1() {
  // WM_DESTROY removes the icon, WM_NCDESTROY lets go of the application's hooks.
  if (Handle) DestroyWindow(Handle);
  if (Form1 == this) Form1 = nullptr;
}

LRESULT CALLBACK TForm1::StaticWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* form = static_cast<TForm1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->Handle = wnd;
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (!form) return DefWindowProcW(wnd, msg, wParam, lParam);
  return form->WndProc(msg, wParam, lParam);
}

// Every handler runs from here; an error raised in one is shown in the error
// box and the handler's remaining steps are skipped.
LRESULT TForm1::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
  LRESULT result = 0;
  bool failed = true;
  guarded([&] {
    result = handle(Msg, WParam, LParam);
    failed = false;
  });
  return failed ? 0 : result;
}

LRESULT TForm1::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      Application::mainWindow = Handle;
      Application::keyPreview = [this](MSG& m) { return previewKey(m); };
      tray.attach(Handle);
      taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
      createControls();
      applyLayout(GetDpiForWindow(Handle));
      FormCreate();
      return 0;
    case WM_COMMAND:
      onCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_SHOWWINDOW:
      if (wParam) FormShow();
      break;
    case WM_ACTIVATE:
      // The focus returns to the control that had it, as in a dialog.
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus && IsChild(Handle, focus)) lastFocus_ = focus;
      } else if (lastFocus_ && IsWindow(lastFocus_)) {
        SetFocus(lastFocus_);
      }
      return 0;
    case WM_SIZE:
      if (wParam == SIZE_MINIMIZED) AppMinimize();
      return 0;
    case WM_TIMER:
      if (wParam == TrayIcon::kRetryTimer) tray.retry();
      return 0;
    case WM_HOSTNAMESREAD:
      hosts.onNamesRead();
      return 0;
    case WM_TRAYICON:
      onTrayIcon(static_cast<UINT>(LOWORD(lParam)));
      return 0;  // never passed on
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == edtSQLPlus) {
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
        SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_DPICHANGED: {
      applyLayout(HIWORD(wParam));
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(Handle, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
      return 0;
    }
    case WM_CLOSE:
      if (FormClose()) DestroyWindow(Handle);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      // The session ends without closing the window: save as a close would.
      // The window may live on (the session did not end after all): a later
      // close saves what changed since, and the list shows what the save
      // merged in from another copy.
      if (wParam) {
        saveAtSessionEnd();
        SendMessageW(lstLogin, LB_RESETCONTENT, 0, 0);
        Init_lstLogin();
        Chage_Btn_Enabled();
      }
      return 0;
    case WM_DESTROY:
      RemoveTrayIcon();
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY: {
      // The last message: nothing may reach this object through the window now.
      const HWND wnd = Handle;
      SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
      if (Application::mainWindow == wnd) {
        Application::mainWindow = nullptr;
        Application::keyPreview = nullptr;
      }
      Handle = nullptr;
      return DefWindowProcW(wnd, msg, wParam, lParam);
    }
    default:
      if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
        // The shell restarted and forgot the icon; the hidden window's only way back is it.
        tray.shellRestarted();
        return 0;
      }
      break;
  }
  return DefWindowProcW(Handle, msg, wParam, lParam);
}

void TForm1::createControls() {
  layout::createControls(Handle);
  for (const FieldOf& f : kFields) this->*f.field = GetDlgItem(Handle, f.id);
  lastUser_ = windowText(edtUser);
  lastSQLPlus_ = windowText(edtSQLPlus);
}

// Places every control, the font, the icons and the window's size for dpi
// pixels per inch.
void TForm1::applyLayout(UINT dpi) {
  dpi_ = dpi ? dpi : 96;
  font_ = createFont(dpi_);
  placeControls(Handle, dpi_, font_.get());
  SendMessageW(lstLogin, LB_SETITEMHEIGHT, 0, itemHeight(dpi_));
  // The new icons are in place before the old ones go.
  Icons icons =
      loadIcons(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(Handle, GWLP_HINSTANCE)), dpi_);
  SendMessageW(Handle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icons.small.get()));
  SendMessageW(Handle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icons.big.get()));
  tray.setIcon(icons.small.get());
  smallIcon_ = std::move(icons.small);
  bigIcon_ = std::move(icons.big);
  const SIZE frame = frameSize(dpi_);
  SetWindowPos(Handle, nullptr, 0, 0, frame.cx, frame.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(Handle, nullptr, TRUE);
}

void TForm1::onCommand(int id, int code) {
  // IDOK and IDCANCEL, which the dialog manager sends for Enter and Escape, match nothing.
  for (const CommandRoute& r : kCommandRoutes)
    if (r.id == id && r.code == code) (this->*r.handler)();
}

// Key preview: Enter, with Alt or without, reaches FormKeyDown from the list
// box and the edit boxes; on a focused button, Enter without Shift, Ctrl or
// Alt clicks that button. Escape goes to the host box's open list.
bool TForm1::previewKey(MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  const auto key = static_cast<WORD>(msg.wParam);
  if (key == VK_RETURN && isPushButton(msg.hwnd) && !modifierDown(msg)) {
    SendMessageW(msg.hwnd, BM_CLICK, 0, 0);
    return true;
  }
  if (key == VK_ESCAPE && hosts.dropDownOpen()) {
    // The dialog keys would take Escape for the window; it closes the list.
    DispatchMessageW(&msg);
    return true;
  }
  guarded([&] { FormKeyDown(key); });
  if (key != VK_RETURN) return false;
  // The control still gets the key, but not the character: a single-line
  // edit box beeps at a carriage return.
  DispatchMessageW(&msg);
  return true;
}

void TForm1::FormCreate() {
  IniFileName = GetExeDir() + kAppName + ".ini";
  const LoadResult loaded = LoadIniFile();
  SetWindowTextW(Handle, Application::title.c_str());
  SetWindowTextW(edtSQLPlus, L"");  // its colour is the button face (WM_CTLCOLOR*)
  SetWindowTextW(edtUser, L"");
  SetWindowTextW(edtPass, L"");
  SetWindowTextW(edtHost, L"");
  SendMessageW(edtSQLPlus, EM_SETREADONLY, TRUE, 0);
  setTextA(edtSQLPlus, SQLPlusPath);
  showsStore_ = true;
  Init_lstLogin();
  Chage_Btn_Enabled();
  HideToTray();
  // Reported once the window is complete: it opens and works, and the file
  // keeps the user's logons untouched for repair.
  if (!loaded.ok()) Application::showErrorBox(messages::loadFailed(loaded));
}

void TForm1::FormShow() {
  // The focus moves now only in an active window: SetFocus would activate a
  // window shown without activation. Otherwise WM_ACTIVATE hands it over.
  lastFocus_ = lstLogin;
  if (GetActiveWindow() == Handle) SetFocus(lstLogin);
}

void TForm1::saveAtSessionEnd() {
  const std::wstring message = messages::saveOutcome(SaveIniFile());
  if (!message.empty()) Application::showMessage(message);
}

bool TForm1::FormClose() {
  // The save may wait for another copy's: a hidden window cannot look frozen
  // meanwhile. It comes back if a question follows.
  const bool shown = IsWindowVisible(Handle);
  ShowWindow(Handle, SW_HIDE);
  const std::wstring question = messages::closeWithoutSaving(SaveIniFile());
  if (!question.empty()) {
    if (shown) ShowWindow(Handle, SW_SHOW);
    if (!Application::askYesNo(question)) return false;  // the window as it was
  }
  RemoveTrayIcon();
  return true;
}

void TForm1::FormKeyDown(WORD key) {
  // Enter in the host box's open list takes a name into the box, no more.
  if (key == VK_RETURN && IsWindowEnabled(btnShell) && !hosts.dropDownOpen()) btnShellClick();
}

void TForm1::edtSQLPlusChange() {
  if (!textChanged(edtSQLPlus, lastSQLPlus_)) return;
  // The store holds the path; the box shows it. Text set into the box from
  // elsewhere (an automation tool) goes to the store, but not while
  // FormCreate fills the box, and the store's own text shown back is no
  // change, even where the code page would not convert it back byte for byte.
  if (showsStore_ && lastSQLPlus_ != fromAnsi(SQLPlusPath)) SQLPlusPath = toAnsi(lastSQLPlus_);
  Chage_Btn_Enabled();
  hosts.clientChanged(SQLPlusPath);
}

void TForm1::edtHostEnter() {
  hosts.boxFocused(Handle, edtHost, SQLPlusPath);
}
void TForm1::edtUserChange() {
  if (textChanged(edtUser, lastUser_)) Chage_Btn_Enabled();
}

void TForm1::Chage_Btn_Enabled() {
  const HWND focus = GetFocus();
  for (HWND b : {btnShortCut, btnInsert, btnShell, btnDelete}) EnableWindow(b, TRUE);
  if (GetWindowTextLengthW(edtSQLPlus) == 0 || GetWindowTextLengthW(edtUser) == 0)
    for (HWND b : {btnShortCut, btnInsert, btnShell, btnDelete}) EnableWindow(b, FALSE);
  if (SendMessageW(lstLogin, LB_GETCURSEL, 0, 0) < 0) EnableWindow(btnDelete, FALSE);
  // A disabled button cannot keep the keyboard: hand it to the list.
  if (focus && !IsWindowEnabled(focus) && IsChild(Handle, focus)) SetFocus(lstLogin);
}

void TForm1::Init_lstLogin() {
  const std::vector<std::string> texts = listTexts();
  SendMessageW(lstLogin, WM_SETREDRAW, FALSE, 0);
  SendMessageW(lstLogin, LB_INITSTORAGE, texts.size(), texts.size() * 32);
  for (const auto& t : texts)
    SendMessageW(lstLogin, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(fromAnsi(t).c_str()));
  SendMessageW(lstLogin, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(lstLogin, nullptr, TRUE);
}

void TForm1::lstLoginClick() {
  const auto i = static_cast<int>(SendMessageW(lstLogin, LB_GETCURSEL, 0, 0));
  if (i < 0 || i >= storeCount()) return;
  const Logon logon = logonAt(i);
  setTextA(edtUser, logon.User);
  setTextA(edtPass, logon.Pass);
  setTextA(edtHost, logon.Host);
}

void TForm1::lstLoginDblClick() {
  Shell_SQL();
}

void TForm1::btnShellClick() {
  Shell_SQL();
}

void TForm1::btnInsertClick() {
  Insert_ListBox();
}

// The logon in the three boxes, exactly as typed. The first box, in box
// order, that holds a character the code page cannot hold or a text the
// client would misread is named in a message, and nothing is done with it:
// the conversion would store, start or write a look-alike or a '?'.
std::optional<Logon> TForm1::readLogon() {
  Logon logon;
  // In box order, which is also the order of Logon::Field.
  const std::tuple<HWND, HWND, std::string*> boxes[] = {{edtUser, lblUser, &logon.User},
                                                        {edtPass, lblPass, &logon.Pass},
                                                        {edtHost, lblHost, &logon.Host}};
  std::optional<Logon::Field> bad;
  for (int i = 0; !bad && i < 3; ++i)
    if (!getTextExact(std::get<0>(boxes[i]), *std::get<2>(boxes[i])))
      bad = static_cast<Logon::Field>(i);
  // The boxes before the first one the code page refused may hold what the
  // client would misread: the first box in order is named.
  if (const auto misread = logon.firstUnusable(); misread && (!bad || *misread < *bad))
    bad = misread;
  if (!bad) return logon;
  const auto& [box, label, text] = boxes[static_cast<int>(*bad)];
  Application::showMessage(messages::unusableCharacters(windowText(label)));
  SetFocus(box);  // where the user has to mend it
  SendMessageW(box, EM_SETSEL, 0, -1);
  return std::nullopt;
}

void TForm1::Insert_ListBox() {
  const std::optional<Logon> logon = readLogon();
  if (!logon) return;
  // The store refuses an empty user and a logon it holds already: nothing happens then.
  const std::optional<int> k = storeInsert(*logon);
  if (!k) return;
  SendMessageW(lstLogin, LB_ADDSTRING, 0,
               reinterpret_cast<LPARAM>(fromAnsi(displayTextOf(*logon)).c_str()));
  SendMessageW(lstLogin, LB_SETCURSEL, static_cast<WPARAM>(*k), 0);
  SetFocus(lstLogin);
  Chage_Btn_Enabled();
}

void TForm1::btnDeleteClick() {
  Delete_List(static_cast<int>(SendMessageW(lstLogin, LB_GETCURSEL, 0, 0)));
}

void TForm1::Delete_List(int Index) {
  if (Index < 0) {
    EnableWindow(btnDelete, FALSE);
    return;
  }
  storeDelete(Index);
  SendMessageW(lstLogin, LB_DELETESTRING, static_cast<WPARAM>(Index), 0);
  SetWindowTextW(edtUser, L"");
  SetWindowTextW(edtPass, L"");
  SetWindowTextW(edtHost, L"");
}

bool TForm1::AddTrayIcon() {
  return tray.add();
}

void TForm1::RemoveTrayIcon() {
  tray.remove();
}

void TForm1::HideToTray() {
  if (AddTrayIcon()) {
    ShowWindow(Handle, SW_HIDE);
    return;
  }
  // Hidden without an icon, the window could not be brought back: it goes to
  // the taskbar instead (once the loop has put it on screen).
  if (IsWindowVisible(Handle) && !IsIconic(Handle)) ShowWindow(Handle, SW_MINIMIZE);
}

void TForm1::AppMinimize() {
  HideToTray();
}

void TForm1::onTrayIcon(UINT mouseMsg) {
  switch (mouseMsg) {
    case WM_LBUTTONDOWN:
      ShowWindow(Handle, SW_SHOW);
      if (IsIconic(Handle)) ShowWindow(Handle, SW_RESTORE);
      SetForegroundWindow(Handle);
      break;
    case WM_RBUTTONDOWN:
      HideToTray();
      break;
    default:
      break;  // moves, releases, double clicks, the middle button
  }
}

void TForm1::btnFileOpenClick() {
  const ClientChoice choice = chooseClient(Handle, lastOpenFile_);
  if (!choice.file.empty()) lastOpenFile_ = choice.file;
  if (choice.outcome.kind == Outcome::Done) {
    SQLPlusPath = choice.path;
    setTextA(edtSQLPlus, SQLPlusPath);
  }
  report(messages::Action::ChooseClient, choice.outcome);  // the path stays as it was
}

void TForm1::report(messages::Action action, const Outcome& outcome) {
  const std::wstring text = messages::outcomeText(action, outcome);
  if (!text.empty()) Application::showMessage(text);
}

void TForm1::Shell_SQL() {
  if (const std::optional<Logon> logon = readLogon())
    report(messages::Action::Launch, launchClient(SQLPlusPath, *logon));
}

void TForm1::btnShortCutClick() {
  if (const std::optional<Logon> logon = readLogon())
    report(messages::Action::Shortcut, createLogonShortcut(SQLPlusPath, *logon));
}
