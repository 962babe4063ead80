// Unit1.cpp: the main window TForm1: its creation and layout (from the table
// in Unit1Layout.h), message routing, the handlers that tie the controls to
// the store and to the launch (Launch.h), and its hiding to the tray icon
// (TrayIcon.h) and coming back.
#include "Unit1.h"

#include "AppName.h"
#include "Application.h"
#include "Common.h"
#include "Launch.h"
#include "Messages.h"
#include "Text.h"
#include "Unit1Layout.h"
#include "resource.h"

using namespace layout;

namespace {

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

// The text of a list box's item.
std::wstring listItem(HWND list, int i) {
  const auto item = static_cast<WPARAM>(i);
  std::wstring text(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, item, 0)) + 1, L'\0');
  text.resize(static_cast<size_t>(
      SendMessageW(list, LB_GETTEXT, item, reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

}  // namespace

std::unique_ptr<TForm1> TForm1::create(HINSTANCE instance, TrayIcon::ShellFn shell) {
  // A class that cannot be registered says why, as a failed creation does.
  if (!Application::guarded([&] { registerWindowClass(instance, StaticWndProc); })) return nullptr;
  auto form = std::make_unique<TForm1>(PassKey{}, shell);
  CreateWindowExW(kWindowExStyle, kClassName, L"Form1", kWindowStyle, kLeft, kTop, kClientWidth,
                  kClientHeight, nullptr, nullptr, instance, form.get());
  if (!form->Handle) return nullptr;  // WM_CREATE failed: the window is gone
  return form;
}

TForm1::~TForm1() {
  // WM_DESTROY removes the icon, WM_NCDESTROY lets go of the application's hooks.
  if (Handle) DestroyWindow(Handle);
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
  if (Application::guarded([&] { result = handle(Msg, WParam, LParam); })) return result;
  // A window half made must not live on: -1 makes creation fail, and the
  // program ends with the settings file as it was.
  return Msg == WM_CREATE ? -1 : 0;
}

LRESULT TForm1::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (tray.onMessage(msg, wParam, lParam)) return 0;
  switch (msg) {
    case WM_CREATE:
      onCreate();
      return 0;
    case WM_COMMAND:
      onCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_SHOWWINDOW:
      if (wParam) FormShow();
      break;
    case WM_ACTIVATE:
      if (mainWindow_) mainWindow_->activated(wParam);
      return 0;
    case WM_SIZE:
      if (wParam == SIZE_MINIMIZED) AppMinimize();
      return 0;
    case WM_STOREDONE:
      saver.onDone();
      return 0;
    case WM_HOSTNAMESREAD:
      hosts.onNamesRead();
      return 0;
    case WM_TIMER:
      saver.onTimer(wParam);
      return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == edtSQLPlus)
        return reinterpret_cast<LRESULT>(buttonFaceColours(reinterpret_cast<HDC>(wParam)));
      break;
    case WM_DPICHANGED:
      onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_CLOSE:
      FormClose();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      // The session ends without closing the window: saved, within the time
      // Windows gives. The window may live on (the session did not end).
      if (wParam) saver.sessionEnd();
      return 0;
    case WM_DESTROY:
      RemoveTrayIcon();
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      return onNcDestroy(wParam, lParam);
    default:
      break;
  }
  return DefWindowProcW(Handle, msg, wParam, lParam);
}

void TForm1::onCreate() {
  mainWindow_.emplace(Handle, [this](MSG& m) { return previewKey(m); });
  tray.attach(Handle);
  saver.attach(Handle);
  createControls();
  applyLayout(GetDpiForWindow(Handle));
  FormCreate();
}

// The window moved to a display of another density: laid out again, and
// placed where Windows suggests (its size is the layout's).
void TForm1::onDpiChanged(UINT dpi, const RECT& suggested) {
  applyLayout(dpi);
  SetWindowPos(Handle, nullptr, suggested.left, suggested.top, 0, 0,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

LRESULT TForm1::onNcDestroy(WPARAM wParam, LPARAM lParam) {
  // The last message: nothing may reach this object through the window now.
  const HWND wnd = Handle;
  SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
  mainWindow_.reset();
  Handle = nullptr;
  return DefWindowProcW(wnd, WM_NCDESTROY, wParam, lParam);
}

void TForm1::createControls() {
  layout::createControls(Handle);
  for (const FieldOf& f : kFields) this->*f.field = GetDlgItem(Handle, f.id);
  lastSQLPlus_ = windowText(edtSQLPlus);
}

// Places every control, the font, the icons and the window's size for dpi
// pixels per inch.
void TForm1::applyLayout(UINT dpi) {
  dpi_ = dpi ? dpi : 96;
  layout::Applied applied = layout::applyLayout(Handle, dpi_);
  tray.setIcon(applied.icons.small.get());
  applied_ = std::move(applied);  // the old font and icons go only now
}

void TForm1::onCommand(int id, int code) {
  // IDOK and IDCANCEL, which the dialog manager sends for Enter and Escape, match nothing.
  for (const CommandRoute& r : kCommandRoutes)
    if (r.id == id && r.code == code) (this->*r.handler)();
}

// Key preview: Enter, with Alt or without, reaches FormKeyDown from the list
// box and the edit boxes (on a focused button, the loop clicks it). Escape
// goes to the host box's open list.
bool TForm1::previewKey(MSG& msg) {
  const auto key = static_cast<WORD>(msg.wParam);
  if (key == VK_ESCAPE && hosts.dropDownOpen()) {
    // The dialog keys would take Escape for the window; it closes the list.
    DispatchMessageW(&msg);
    return true;
  }
  Application::guarded([&] { FormKeyDown(key); });
  if (key != VK_RETURN) return false;
  // The control still gets the key, but not the character: a single-line
  // edit box beeps at a carriage return.
  DispatchMessageW(&msg);
  return true;
}

void TForm1::FormCreate() {
  SetWindowTextW(Handle, Application::title.c_str());
  SetWindowTextW(edtSQLPlus, L"");  // its colour is the button face (WM_CTLCOLOR*)
  SetWindowTextW(edtUser, L"");
  SetWindowTextW(edtPass, L"");
  SetWindowTextW(edtHost, L"");
  SendMessageW(edtSQLPlus, EM_SETREADONLY, TRUE, 0);
  // The window shows at once; the list says that the file is being read.
  SendMessageW(lstLogin, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(messages::kLoading));
  EnableWindow(lstLogin, FALSE);
  EnableWindow(btnFileOpen, FALSE);
  Chage_Btn_Enabled();
  HideToTray();
  saver.load(GetExeDir() + kAppName + ".ini", store.settings());
}

// The store the load read is the window's now.
void TForm1::storeLoaded(const LoadResult& loaded) {
  showsStore_ = true;
  EnableWindow(lstLogin, TRUE);
  EnableWindow(btnFileOpen, TRUE);
  showStore();
  FormShow();  // the list can take the focus now
  // Reported once the window is complete: it opens and works, and the file
  // keeps the user's logons untouched for repair.
  if (!loaded.recovered.empty() || !loaded.keptAside.empty())
    Application::showMessage(messages::recoveredNotice(loaded.recovered, loaded.keptAside));
  if (const std::wstring resumed = messages::resumedNotice(loaded); !resumed.empty())
    Application::showMessage(resumed);
  if (!loaded.ok()) Application::showErrorBox(messages::loadFailed(loaded));
}

void TForm1::FormShow() {
  // The focus moves now only in an active window: SetFocus would activate a
  // window shown without activation. Otherwise WM_ACTIVATE hands it over.
  mainWindow_->focus = lstLogin;
  if (GetActiveWindow() == Handle) SetFocus(lstLogin);
}

// The store as it is now: the path the launch will use (a save, or another
// copy's save followed, may have merged another copy's in) and the list,
// which keeps its place and its selected logon where that is still listed.
void TForm1::showStore() {
  setTextA(edtSQLPlus, store.SQLPlusPath());
  const auto at = static_cast<int>(SendMessageW(lstLogin, LB_GETCURSEL, 0, 0));
  const std::wstring selected = at >= 0 ? listItem(lstLogin, at) : L"";
  const LRESULT top = SendMessageW(lstLogin, LB_GETTOPINDEX, 0, 0);
  SendMessageW(lstLogin, LB_RESETCONTENT, 0, 0);
  Init_lstLogin();
  SendMessageW(lstLogin, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
  const auto count = static_cast<int>(SendMessageW(lstLogin, LB_GETCOUNT, 0, 0));
  for (int i = 0; at >= 0 && i < count; ++i)
    if (listItem(lstLogin, i) == selected) {
      SendMessageW(lstLogin, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
      break;
    }
  Chage_Btn_Enabled();
}

// While the close waits for its save the list says so and nothing can be
// changed; a save that failed gives the window back as it was.
void TForm1::showClosing(bool waiting) {
  EnableWindow(lstLogin, !waiting);
  EnableWindow(btnFileOpen, !waiting);
  if (waiting) {
    SendMessageW(lstLogin, LB_RESETCONTENT, 0, 0);
    SendMessageW(lstLogin, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(messages::kSaving));
    Chage_Btn_Enabled();
  } else {
    showStore();
  }
}

void TForm1::closed() {
  RemoveTrayIcon();
  DestroyWindow(Handle);
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
  if (showsStore_ && lastSQLPlus_ != fromAnsi(store.SQLPlusPath())) {
    store.setSQLPlusPath(toAnsi(lastSQLPlus_));
    saver.changed();
  }
  Chage_Btn_Enabled();
  hosts.clientChanged(store.SQLPlusPath());
}

void TForm1::edtHostEnter() {
  hosts.boxFocused(Handle, edtHost, store.SQLPlusPath());
}
void TForm1::edtUserChange() {
  Chage_Btn_Enabled();
}

// Runs at every change of what the rule reads (the path, the user box, the
// list's selection and the window's state), so no button is left as an
// earlier state had it.
void TForm1::Chage_Btn_Enabled() {
  const HWND focus = GetFocus();
  // Each button set once, to its state: a shown button repaints when its
  // state changes (EnableWindow leaves one already so alone), and enabling
  // all to disable some again painted them twice.
  const bool usable = !loading() && !saver.closing() && GetWindowTextLengthW(edtSQLPlus) != 0 &&
                      GetWindowTextLengthW(edtUser) != 0;
  for (HWND b : {btnShortCut, btnInsert, btnShell}) EnableWindow(b, usable);
  EnableWindow(btnDelete, usable && SendMessageW(lstLogin, LB_GETCURSEL, 0, 0) >= 0);
  // A disabled button cannot keep the keyboard: hand it to the list.
  if (focus && !IsWindowEnabled(focus) && IsChild(Handle, focus)) SetFocus(lstLogin);
}

void TForm1::Init_lstLogin() {
  const std::vector<std::string> texts = store.listTexts();
  SendMessageW(lstLogin, WM_SETREDRAW, FALSE, 0);
  SendMessageW(lstLogin, LB_INITSTORAGE, texts.size(), static_cast<LPARAM>(texts.size() * 32));
  for (const auto& t : texts)
    SendMessageW(lstLogin, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(fromAnsi(t).c_str()));
  SendMessageW(lstLogin, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(lstLogin, nullptr, TRUE);
}

void TForm1::lstLoginClick() {
  const auto i = static_cast<int>(SendMessageW(lstLogin, LB_GETCURSEL, 0, 0));
  if (i >= 0 && i < store.count()) {
    const Logon logon = store.logonAt(i);
    setTextA(edtUser, logon.User);
    setTextA(edtPass, logon.Pass);
    setTextA(edtHost, logon.Host);
  }
  // The user box may have held that user already: the selection is the change.
  Chage_Btn_Enabled();
}

// The logon in the three boxes, exactly as typed, or nothing: the first box
// the logon cannot come from is named in a message and gets the focus.
std::optional<Logon> TForm1::readLogon() {
  Logon logon;
  const HWND boxes[] = {edtUser, edtPass, edtHost}, labels[] = {lblUser, lblPass, lblHost};
  const std::optional<Logon::Field> bad = readLogonBoxes(boxes, logon);
  if (!bad) return logon;
  const auto i = static_cast<size_t>(*bad);
  Application::showMessage(messages::unusableCharacters(windowText(labels[i])));
  SetFocus(boxes[i]);  // where the user has to mend it
  SendMessageW(boxes[i], EM_SETSEL, 0, -1);
  return std::nullopt;
}

void TForm1::Insert_ListBox() {
  const std::optional<Logon> logon = readLogon();
  if (!logon) return;
  // The store refuses an empty user and a logon it holds already: nothing happens then.
  const std::optional<int> k = store.insert(*logon);
  if (!k) return;
  saver.changed();
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
  if (Index >= 0) {
    store.remove(Index);
    saver.changed();
    SendMessageW(lstLogin, LB_DELETESTRING, static_cast<WPARAM>(Index), 0);
    SetWindowTextW(edtUser, L"");
    SetWindowTextW(edtPass, L"");
    SetWindowTextW(edtHost, L"");
  }
  // The list reports no change of selection it makes itself.
  Chage_Btn_Enabled();
}

void TForm1::btnFileOpenClick() {
  const ClientChoice choice = chooseClient(Handle, lastOpenFile_, messages::kExeFilter);
  if (!choice.file.empty()) lastOpenFile_ = choice.file;
  if (choice.outcome.kind == Outcome::Done) {
    store.setSQLPlusPath(choice.path);
    setTextA(edtSQLPlus, store.SQLPlusPath());
    saver.changed();
  }
  report(messages::Action::ChooseClient, choice.outcome);  // the path stays as it was
}

void TForm1::report(messages::Action action, const Outcome& outcome) {
  const std::wstring text = messages::outcomeText(action, outcome);
  if (!text.empty()) Application::showMessage(text);
}

void TForm1::Shell_SQL() {
  if (const std::optional<Logon> logon = readLogon())
    report(messages::Action::Launch, launchClient(store.SQLPlusPath(), *logon));
}

void TForm1::btnShortCutClick() {
  const auto ask = [](const std::string& folder, FolderReach reach) {
    return Application::askYesNo(messages::shortcutLeavesThisPC(folder, reach));
  };
  if (const std::optional<Logon> logon = readLogon())
    report(messages::Action::Shortcut, createLogonShortcut(store.SQLPlusPath(), *logon, ask));
}
