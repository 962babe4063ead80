// The main window in-process under Wine: created as the program creates it,
// driven with the messages Windows sends for a user's clicks, keys and typing.
#include <oleacc.h>

#include <atomic>
#include <filesystem>
#include <new>
#include <set>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "FileSystem.h"
#include "FormFixture.h"
#include "Messages.h"
#include "Raii.h"
#include "SaveCopies.h"
#include "SaveLock.h"
#include "Unit1Layout.h"
#include "resource.h"

namespace {

using namespace ui_test;

TEST_F(FormTest, StartsWithEmptyLogonNothingSelectedAndButtonsOff) {
  start(kThreeLogons);
  EXPECT_EQ(text(form->Handle), L"Vostrelk");
  EXPECT_TRUE(IsWindowVisible(form->Handle));
  EXPECT_EQ(text(form->edtSQLPlus), L"C:\\oracle\\bin\\sqlplus.exe");
  EXPECT_TRUE(GetWindowLongW(form->edtSQLPlus, GWL_STYLE) & ES_READONLY);
  for (HWND e : {form->edtUser, form->edtPass, form->edtHost}) EXPECT_EQ(text(e), L"");
  ASSERT_EQ(itemCount(form->lstLogin), 3);
  EXPECT_EQ(item(form->lstLogin, 0), L"scott / tiger @ orcl");
  EXPECT_EQ(item(form->lstLogin, 2), L"hr /  @ ");
  EXPECT_EQ(selected(form->lstLogin), -1);
  EXPECT_EQ(actionButtons(), "0000");
  EXPECT_EQ(GetFocus(), form->lstLogin);
  EXPECT_TRUE(form->tray.TrayIconShown());
}

TEST_F(FormTest, LayoutStandsWhereTheTablePutsItAt96Dpi) {
  start(std::nullopt);
  ASSERT_EQ(form->dpi(), 96u);
  RECT client{};
  GetClientRect(form->Handle, &client);
  EXPECT_EQ(client.right, 368);
  EXPECT_EQ(client.bottom, 206);
  const LONG style = GetWindowLongW(form->Handle, GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  struct Expected {
    HWND wnd;
    RECT r;  // left, top, right, bottom in the window's client area
    const wchar_t* text;
  };
  for (const Expected& e : std::initializer_list<Expected>{
           {form->gpbSQLPlus, {4, 0, 365, 41}, L" Oracle SQL*Plus "},
           {form->edtSQLPlus, {16, 14, 309, 34}, nullptr},
           {form->btnFileOpen, {312, 14, 357, 35}, L"参照..."},
           {form->gpbLogin, {172, 44, 365, 141}, L" ログオン "},
           {form->edtUser, {248, 60, 357, 80}, nullptr},
           {form->edtPass, {248, 84, 357, 104}, nullptr},
           {form->edtHost, {248, 109, 357, 129}, nullptr},
           {form->gpbList, {4, 44, 169, 201}, L" 接続先リスト "},
           {form->lstLogin, {10, 60, 161, 193}, nullptr},
           {form->btnInsert, {172, 144, 265, 169}, L"登録(&A)"},
           {form->btnShell, {272, 144, 365, 169}, L"起動(&E)"},
           {form->btnDelete, {172, 176, 265, 201}, L"削除(&D)"},
           {form->btnShortCut, {272, 176, 365, 201}, L"ｼｮｰﾄｶｯﾄ作成(&S)"}}) {
    RECT r{};
    GetWindowRect(e.wnd, &r);
    MapWindowPoints(nullptr, form->Handle, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, e.r.left) << text(e.wnd);
    EXPECT_EQ(r.top, e.r.top) << text(e.wnd);
    EXPECT_EQ(r.right, e.r.right) << text(e.wnd);
    EXPECT_EQ(r.bottom, e.r.bottom) << text(e.wnd);
    if (e.text) {
      EXPECT_EQ(text(e.wnd), e.text);
    }
  }
  // Labels keep their right edge and row (they may grow leftwards to fit a substitute font).
  for (auto [label, right, top, caption] : {std::tuple{form->lblUser, 227, 64, L"ユーザＩＤ"},
                                            std::tuple{form->lblPass, 233, 88, L"パスワード"},
                                            std::tuple{form->lblHost, 245, 112, L"ホスト文字列"}}) {
    RECT r{};
    GetWindowRect(label, &r);
    MapWindowPoints(nullptr, form->Handle, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(text(label), caption);
  }
  LOGFONTW lf{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(form->lstLogin, WM_GETFONT, 0, 0)), sizeof lf,
             &lf);
  EXPECT_STREQ(lf.lfFaceName, L"ＭＳ Ｐゴシック");
  EXPECT_EQ(lf.lfHeight, -12);
  EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
  EXPECT_EQ(SendMessageW(form->lstLogin, LB_GETITEMHEIGHT, 0, 0), 12);
}

// The places at any DPI come from the table alone: no window is needed.
TEST(Layout, PlacesScaleFromTheTableWithoutAWindow) {
  const auto at = [](int id, UINT dpi) {
    const RECT r = layout::controlRect(id, dpi);
    return std::vector<LONG>{r.left, r.top, r.right, r.bottom};
  };
  EXPECT_EQ(at(IDC_EDTHOST, 96), (std::vector<LONG>{248, 109, 357, 129}));   // in its group box
  EXPECT_EQ(at(IDC_EDTHOST, 144), (std::vector<LONG>{372, 164, 536, 194}));  // rounded
  EXPECT_EQ(at(IDC_BTNSHELL, 120), (std::vector<LONG>{340, 180, 456, 211}));
  EXPECT_EQ(layout::itemHeight(144), 18);
  const layout::Icons icons = layout::loadIcons(GetModuleHandleW(nullptr), 144);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icons.small.get(), &info));
  BITMAP bm{};
  GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
  EXPECT_EQ(bm.bmWidth, GetSystemMetricsForDpi(SM_CXSMICON, 144));  // drawn for 144, not shrunk
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

TEST_F(FormTest, TabOrderFollowsTheLayout) {
  start(kThreeLogons);
  clickItem(form->lstLogin, 0);
  ASSERT_EQ(actionButtons(), "1111");
  std::vector<HWND> order;
  HWND at = form->edtSQLPlus;
  for (int i = 0; i < 10; ++i) {
    order.push_back(at);
    at = GetNextDlgTabItem(form->Handle, at, FALSE);
  }
  const std::vector<HWND> expected = {
      form->edtSQLPlus, form->btnFileOpen, form->edtUser,  form->edtPass,   form->edtHost,
      form->lstLogin,   form->btnInsert,   form->btnShell, form->btnDelete, form->btnShortCut};
  EXPECT_EQ(order, expected);
  EXPECT_EQ(GetNextDlgTabItem(form->Handle, form->btnShortCut, FALSE), form->edtSQLPlus);

  // Each label comes just before its box: screen readers name a box after it.
  // IID_IAccessible itself is in two of MinGW's libraries at once.
  const IID accessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0, 0xaa, 0, 0x38, 0x9b, 0x71}};
  for (auto [label, box] :
       {std::pair{form->lblUser, form->edtUser}, std::pair{form->lblPass, form->edtPass},
        std::pair{form->lblHost, form->edtHost}}) {
    EXPECT_EQ(GetWindow(label, GW_HWNDNEXT), box);
    ComPtr<IAccessible> acc;
    BSTR name = nullptr;
    if (AccessibleObjectFromWindow(box, OBJID_CLIENT, accessible, acc.putVoid()) == S_OK &&
        acc->get_accName(VARIANT{{{VT_I4, 0, 0, 0, {CHILDID_SELF}}}}, &name) == S_OK) {
      EXPECT_EQ(std::wstring(name ? name : L""), text(label));
      SysFreeString(name);
    }
  }
}

// Every change of the client path, of the user box or of the list's
// selection, by the mouse, the keyboard or the program, leaves each button
// as its rule says; a logon chosen whose user is the one already typed too.
TEST_F(FormTest, ButtonsFollowThePathTheUserAndTheSelectionAtEveryChange) {
  start(kThreeLogons);
  const auto selectByKey = [&](WPARAM key) {
    SetFocus(form->lstLogin);
    pressKey(form->lstLogin, key);
  };
  expectButtonsAfter({
      {"started", [] {}, "0000"},
      {"a user typed, nothing selected", [&] { typeInto(form->edtUser, L"scott"); }, "1101"},
      {"the same user's logon clicked", [&] { clickItem(form->lstLogin, 0); }, "1111"},
      {"password and host take no part", [&] { typeInto(form->edtPass, L""); }, "1111"},
      {"another logon by the keyboard", [&] { selectByKey(VK_DOWN); }, "1111"},
      {"deleted: nothing selected, boxes empty", [&] { click(form->btnDelete); }, "0000"},
      {"a user typed again", [&] { typeInto(form->edtUser, L"hr"); }, "1101"},
      {"the same user's logon by the keyboard", [&] { selectByKey(VK_END); }, "1111"},
      {"no client path", [&] { useClient(""); }, "0000"},
      {"the client path back", [&] { useClient("C:\\x.exe"); }, "1111"},
      {"the user emptied", [&] { typeInto(form->edtUser, L""); }, "0000"},
      {"a logon clicked", [&] { clickItem(form->lstLogin, 0); }, "1111"},
      {"another user typed", [&] { typeInto(form->edtUser, L"new"); }, "1111"},
      {"registered: selected", [&] { click(form->btnInsert); }, "1111"},
  });
  EXPECT_EQ(selected(form->lstLogin), 2);
}

TEST_F(FormTest, ChoosingAnItemCopiesItsSlotIntoTheBoxes) {
  start(kThreeLogons);
  clickItem(form->lstLogin, 1);
  EXPECT_EQ(text(form->edtUser), L"system");
  EXPECT_EQ(text(form->edtPass), L"manager");
  EXPECT_EQ(text(form->edtHost), L"prod");
  EXPECT_EQ(actionButtons(), "1111");
  SetFocus(form->lstLogin);
  pressKey(form->lstLogin, VK_DOWN);  // the keyboard selects too
  EXPECT_EQ(selected(form->lstLogin), 2);
  EXPECT_EQ(text(form->edtUser), L"hr");
  EXPECT_EQ(text(form->edtPass), L"");
}

TEST_F(FormTest, InsertAppendsSelectsAndRefusesExactDuplicates) {
  start(kThreeLogons);
  typeInto(form->edtUser, L"scott");
  typeInto(form->edtPass, L"tiger");
  typeInto(form->edtHost, L"orcl");
  click(form->btnInsert);  // already stored: nothing changes
  EXPECT_EQ(itemCount(form->lstLogin), 3);
  EXPECT_EQ(selected(form->lstLogin), -1);
  EXPECT_EQ(actionButtons(), "1101");

  typeInto(form->edtUser, L"SCOTT");  // letter case counts
  click(form->btnInsert);
  ASSERT_EQ(itemCount(form->lstLogin), 4);
  EXPECT_EQ(item(form->lstLogin, 3), L"SCOTT / tiger @ orcl");
  EXPECT_EQ(selected(form->lstLogin), 3);
  EXPECT_EQ(GetFocus(), form->lstLogin);
  EXPECT_EQ(form->store.Users().back(), "SCOTT");

  typeInto(form->edtUser, L"ユーザ");
  click(form->btnInsert);
  EXPECT_EQ(form->store.Users().back(),
            "\x83\x86\x81\x5B\x83\x55");  // stored as ANSI (code page 932)
  EXPECT_EQ(item(form->lstLogin, 4), L"ユーザ / tiger @ orcl");
}

TEST_F(FormTest, FirstInsertWithoutSettingsFileFillsSlotZero) {
  start(std::nullopt);
  typeInto(form->edtUser, L"a");
  form->btnInsertClick();  // without a path the button is off; the method still stores
  EXPECT_EQ(form->store.count(), 1);
  EXPECT_EQ(item(form->lstLogin, 0), L"a /  @ ");
  EXPECT_EQ(selected(form->lstLogin), 0);
}

TEST_F(FormTest, DeleteEmptiesTheBoxesAndTurnsTheButtonsOff) {
  start(kThreeLogons);
  clickItem(form->lstLogin, 1);
  click(form->btnDelete);
  EXPECT_EQ(itemCount(form->lstLogin), 2);
  EXPECT_EQ(item(form->lstLogin, 1), L"hr /  @ ");
  EXPECT_EQ(form->store.Users(), (std::vector<std::string>{"scott", "hr"}));
  EXPECT_EQ(selected(form->lstLogin), -1);
  for (HWND e : {form->edtUser, form->edtPass, form->edtHost}) EXPECT_EQ(text(e), L"");
  EXPECT_EQ(actionButtons(), "0000");
  EXPECT_EQ(GetFocus(), form->lstLogin);  // not left on the disabled button

  typeInto(form->edtUser, L"x");
  ASSERT_TRUE(IsWindowEnabled(form->btnDelete) == FALSE);
  EnableWindow(form->btnDelete, TRUE);
  click(form->btnDelete);  // nothing selected: the button turns itself off
  EXPECT_FALSE(IsWindowEnabled(form->btnDelete));
  EXPECT_EQ(itemCount(form->lstLogin), 2);
}

TEST_F(FormTest, LaunchStartsTheClientWithQuotedPathAndLogon) {
  start(kThreeLogons);
  useClient(recorderWithBlank());
  clickItem(form->lstLogin, 0);
  const std::string line = launchAndRecord([&] { click(form->btnShell); });
  EXPECT_EQ(line, "\"" + form->store.SQLPlusPath() + "\" scott/tiger@orcl");
  EXPECT_EQ(recordedTitle(), "scott@orcl");  // the console says which logon, not its password

  clickItem(form->lstLogin, 2);  // no password, no host: the client asks for the password
  EXPECT_EQ(launchAndRecord([&] { click(form->btnShell); }),
            "\"" + form->store.SQLPlusPath() + "\" hr");
  EXPECT_EQ(recordedTitle(), "hr");

  // One argument, whatever the logon holds; the password in the client's quotes.
  typeInto(form->edtPass, L"p@ss");
  typeInto(form->edtHost, L"orcl @\\\\server\\x.sql");
  EXPECT_EQ(launchAndRecord([&] { click(form->btnShell); }),
            "\"" + form->store.SQLPlusPath() + "\" \"hr/\\\"p@ss\\\"@orcl @\\\\server\\x.sql\"");

  // The boxes are used as they stand, registered or not.
  typeInto(form->edtPass, L"");
  typeInto(form->edtHost, L"");
  typeInto(form->edtUser, L"ユーザ");
  EXPECT_EQ(launchAndRecord([&] { click(form->btnShell); }),
            "\"" + form->store.SQLPlusPath() + "\" \x83\x86\x81\x5B\x83\x55");
}

TEST_F(FormTest, EnterLaunchesFromListAndBoxesButClicksAFocusedButton) {
  start(kThreeLogons);
  useClient(recorderWithBlank());
  clickItem(form->lstLogin, 0);
  SetFocus(form->lstLogin);
  EXPECT_EQ(launchAndRecord([&] { pressKey(form->lstLogin, VK_RETURN); }),
            "\"" + form->store.SQLPlusPath() + "\" scott/tiger@orcl");
  SetFocus(form->edtHost);
  EXPECT_EQ(launchAndRecord([&] { pressKey(form->edtHost, VK_RETURN); }),
            "\"" + form->store.SQLPlusPath() + "\" scott/tiger@orcl");
  EXPECT_EQ(text(form->edtHost), L"orcl");  // no carriage return typed into the box
  // Alt+Enter too, also on a button, which it does not click.
  for (HWND wnd : {form->edtHost, form->btnInsert}) {
    SetFocus(wnd);
    EXPECT_EQ(launchAndRecord([&] { PostMessageW(wnd, WM_SYSKEYDOWN, VK_RETURN, 0x201C0001); }),
              "\"" + form->store.SQLPlusPath() + "\" scott/tiger@orcl");
  }
  EXPECT_EQ(itemCount(form->lstLogin), 3);

  // Enter on the focused delete button deletes and does not launch.
  clickItem(form->lstLogin, 1);
  ASSERT_TRUE(IsWindowEnabled(form->btnDelete));
  SetFocus(form->btnDelete);
  EXPECT_EQ(launchAndRecord([&] { pressKey(form->btnDelete, VK_RETURN); }, false), "");
  EXPECT_EQ(itemCount(form->lstLogin), 2);

  // With the launch button off, Enter does nothing.
  SetFocus(form->lstLogin);
  EXPECT_EQ(launchAndRecord([&] { pressKey(form->lstLogin, VK_RETURN); }, false), "");
}

// The host box offers the net service names of the client's tnsnames.ora
// (here where TNS_ADMIN points), read when the box first gets the focus, and
// again when a file has changed since. A file included under many spellings
// of its name is one file.
TEST_F(FormTest, HostBoxOffersTheClientsNetServiceNames) {
  const ComInit com;
  writeBytes(
      scratch.file("tnsnames.ora"),
      "ORCL =\n  (DESCRIPTION=(ADDRESS=(HOST=db)(PORT=1521)))\norclpdb1=(x)\n"
      "IFILE=sub.ora\nIFILE=.\\SUB.ORA\nIFILE=x\\..\\sub.ora\nIFILE=tnsnames.ora\nPROD=(y)\n");
  writeBytes(scratch.file("sub.ora"), "# none yet\n");
  SetEnvironmentVariableA("TNS_ADMIN", scratch.path().string().c_str());
  start(kThreeLogons);
  useClient(recorderWithBlank());
  clickItem(form->lstLogin, 1);              // system / manager @ prod
  EXPECT_TRUE(form->hosts.names().empty());  // nothing read at the start
  typeInto(form->edtHost, L"");
  for (int i = 0; i < 100 && form->hosts.names().size() < 3; ++i) pump(20);
  EXPECT_EQ(form->hosts.names(), (std::vector<std::wstring>{L"ORCL", L"orclpdb1", L"PROD"}));
  writeBytes(scratch.file("sub.ora"), "ADDED=(z)\n");
  // A reading thread that could not be made leaves the box ready for the
  // next focus, which reads (below).
  const auto startReader = form->hosts.startReader;
  form->hosts.startReader = [](std::function<void()>) {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  };
  SetFocus(form->edtUser);
  SetFocus(form->edtHost);
  pump(100);
  EXPECT_EQ(form->hosts.names().size(), 3u);
  // Reads held back until the test runs them: a second focus during a read
  // starts no other, and when the client changes meanwhile, the old
  // client's read ending last gives nothing.
  std::vector<std::function<void()>> held;
  form->hosts.startReader = [&](std::function<void()> work) { held.push_back(std::move(work)); };
  SetFocus(form->edtUser);
  SetFocus(form->edtHost);
  SetFocus(form->edtUser);
  SetFocus(form->edtHost);
  ASSERT_EQ(held.size(), 1u);
  form->hosts.clientChanged(form->store.SQLPlusPath());
  ASSERT_EQ(held.size(), 2u);
  held[1]();
  pump(100);
  const std::vector<std::wstring> added{L"ORCL", L"orclpdb1", L"ADDED", L"PROD"};
  EXPECT_EQ(form->hosts.names(), added);
  writeBytes(scratch.file("sub.ora"), "OLD=(o)\n");
  held[0]();
  pump(100);
  EXPECT_EQ(form->hosts.names(), added);
  writeBytes(scratch.file("sub.ora"), "ADDED=(z)\n");
  form->hosts.startReader = startReader;

  // A prefix in any letter case opens the list; Down and Enter take a name
  // into the box and start nothing.
  SetFocus(form->edtHost);
  for (wchar_t c : std::wstring(L"Or")) PostMessageW(form->edtHost, WM_CHAR, c, 1);
  pump(300);
  EXPECT_TRUE(form->hosts.dropDownOpen());
  const std::string line = launchAndRecord(
      [&] {
        pressKey(form->edtHost, VK_DOWN);
        pressKey(form->edtHost, VK_RETURN);
      },
      false);
  EXPECT_EQ(line, "");
  EXPECT_EQ(text(form->edtHost), L"ORCL");
  EXPECT_FALSE(form->hosts.dropDownOpen());
  // Escape closes the list, and nothing else.
  typeInto(form->edtHost, L"");
  PostMessageW(form->edtHost, WM_CHAR, L'p', 1);
  pump(300);
  ASSERT_TRUE(form->hosts.dropDownOpen());
  pressKey(form->edtHost, VK_ESCAPE);
  EXPECT_FALSE(form->hosts.dropDownOpen());
  EXPECT_TRUE(IsWindowVisible(form->Handle));
  SetWindowTextW(form->edtHost, L"ORCL");  // set, not typed: no list
  // With the list closed, Enter launches as ever.
  EXPECT_EQ(launchAndRecord([&] { pressKey(form->edtHost, VK_RETURN); }),
            "\"" + form->store.SQLPlusPath() + "\" system/manager@ORCL");

  // Another client (without TNS_ADMIN, an Instant Client's network\admin):
  // its names are read again.
  SetEnvironmentVariableA("TNS_ADMIN", nullptr);
  const std::string other = scratch.file("ic");
  std::filesystem::create_directories(other + "/network/admin");
  writeBytes(other + "/network/admin/tnsnames.ora", "OTHER=(x)\n");
  useClient(other + "\\sqlplus.exe");
  for (int i = 0; i < 100 && form->hosts.names().size() != 1; ++i) pump(20);
  EXPECT_EQ(form->hosts.names(), std::vector<std::wstring>{L"OTHER"});
}

// A read that could not start for want of memory gives its count back: a
// count left taken made every later focus return early, reading nothing.
TEST_F(FormTest, HostBoxReadsAgainAfterAReadFailedToStartForWantOfMemory) {
  const ComInit com;
  const std::string client = scratch.file("ic");
  std::filesystem::create_directories(client + "/network/admin");
  writeBytes(client + "/network/admin/tnsnames.ora", "ORCL=(x)\n");
  start(kThreeLogons);
  HostSuggestions& hosts = form->hosts;
  const auto focus = [&] {
    hosts.boxFocused(form->Handle, form->edtHost, client + "\\sqlplus.exe");
  };
  hosts.startReader = [](std::function<void()>) { throw std::bad_alloc(); };
  EXPECT_THROW(focus(), std::bad_alloc);  // the window procedure's box says so
  std::vector<std::function<void()>> held;
  hosts.startReader = [&](std::function<void()> work) { held.push_back(std::move(work)); };
  focus();
  ASSERT_EQ(held.size(), 1u);
  held[0]();
  pump(100);
  EXPECT_EQ(hosts.names(), std::vector<std::wstring>{L"ORCL"});
}

TEST_F(FormTest, AccessKeysClickTheirButtons) {
  start(kThreeLogons);
  useClient("C:\\x.exe");
  typeInto(form->edtUser, L"new");
  pressAltKey(form->edtUser, L'a');
  EXPECT_EQ(itemCount(form->lstLogin), 4);
  SetFocus(form->btnInsert);
  pump();
  PostMessageW(form->btnInsert, WM_CHAR, L'd', 0);  // the letter alone, on a button
  pump();
  EXPECT_EQ(itemCount(form->lstLogin), 3);
}

TEST_F(FormTest, DoubleClickLaunchesEvenWithoutPathAndReportsFailure) {
  start(kThreeLogons);
  useClient("");
  EXPECT_EQ(actionButtons(), "0000");
  EXPECT_EQ(messageFrom([&] { doubleClickItem(form->lstLogin, 0); }),
            L"SQL*Plus のパスが設定されていません。「参照...」で選んでください。");
  EXPECT_EQ(text(form->edtUser), L"scott");
}

TEST_F(FormTest, ClientThatCannotStartIsReportedWithTheSystemsReason) {
  start(kThreeLogons);
  useClient(scratch.file("no such\\client.exe"));
  clickItem(form->lstLogin, 0);
  const std::wstring shown = messageFrom([&] { click(form->btnShell); });
  EXPECT_TRUE(shown ==
                  L"起動に失敗しました。\n" + messages::systemErrorText(ERROR_PATH_NOT_FOUND) ||
              shown == L"起動に失敗しました。\n" + messages::systemErrorText(ERROR_FILE_NOT_FOUND))
      << shown;
}

// Every way to launch, and the shortcut, report what the client path came
// to (the paths' rules: tests/launch_test.cpp); nothing is started.
TEST_F(FormTest, ARefusedClientPathIsReportedEveryWay) {
  start(kThreeLogons);
  clickItem(form->lstLogin, 0);
  useClient(scratch.file("sqlplus.bat"));
  const std::wstring refused =
      messages::outcomeText(messages::Action::Launch, {Outcome::BatchClient});
  const std::function<void()> ways[] = {
      [&] { click(form->btnShell); }, [&] { pressKey(form->lstLogin, VK_RETURN); },
      [&] { doubleClickItem(form->lstLogin, 0); }, [&] { click(form->btnShortCut); }};
  for (const auto& way : ways) {
    std::wstring shown;
    EXPECT_EQ(launchAndRecord([&] { shown = messageFrom(way); }, false), "");
    EXPECT_EQ(shown, refused);
  }
}

TEST_F(FormTest, FileDialogSetsThePathAndCancelKeepsIt) {
  start(kThreeLogons);
  typeInto(form->edtUser, L"u");
  {
    DialogCatcher cancel([](HWND dlg) { PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0); });
    click(form->btnFileOpen);
    ASSERT_EQ(cancel.boxes.size(), 1u);
  }
  EXPECT_EQ(form->store.SQLPlusPath(), "C:\\oracle\\bin\\sqlplus.exe");
  EXPECT_EQ(text(form->edtSQLPlus), L"C:\\oracle\\bin\\sqlplus.exe");

  const std::wstring chosen = fromAnsi(scratch.file("new client.exe"));
  {
    DialogCatcher choose([&](HWND dlg) {
      SetDlgItemTextW(dlg, 0x47C, chosen.c_str());  // the file name box
      PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    });
    click(form->btnFileOpen);
  }
  EXPECT_EQ(fromAnsi(form->store.SQLPlusPath()), chosen);  // a name that does not exist is accepted
  EXPECT_EQ(text(form->edtSQLPlus), chosen);
  EXPECT_EQ(actionButtons(), "1101");
}

TEST_F(FormTest, CloseSavesTheStoreAndRemovesTheIcon) {
  start(std::nullopt);
  useClient("C:\\x.exe");
  typeInto(form->edtUser, L"u");
  typeInto(form->edtPass, L" p ");
  click(form->btnInsert);
  closeWindow();
  EXPECT_FALSE(form->tray.TrayIconShown());
  EXPECT_EQ(form->Handle, nullptr);  // the window is gone
  EXPECT_EQ(readBytes(iniPath()),
            "[SQL*Plus]\r\nPath=C:\\x.exe\r\n[List]\r\nCOUNT=0\r\n[0]\r\nUser=u\r\nPass=\" p "
            "\"\r\nHost=\r\n");
}

TEST_F(FormTest, SessionEndSavesAsCloseDoes) {
  start(kThreeLogons);
  clickItem(form->lstLogin, 0);
  click(form->btnDelete);
  EXPECT_TRUE(SendMessageW(form->Handle, WM_QUERYENDSESSION, 0, 0));
  SendMessageW(form->Handle, WM_ENDSESSION, TRUE, 0);
  const std::string saved = readBytes(iniPath());
  EXPECT_EQ(saved.find("scott"), std::string::npos);
  // The session went on after all: the close saves what changed since.
  clickItem(form->lstLogin, 0);
  click(form->btnDelete);
  closeWindow();
  EXPECT_EQ(onDisk().Users(), (std::vector<std::string>{"hr"}));
}

// The balloons the notification-area icon showed, through a shell that
// registers every icon it is given.
std::vector<std::string>& balloons() {
  static std::vector<std::string> shown;
  return shown;
}
// It is slow to show one, as a shell busy at the session's end may be.
BOOL WINAPI balloonShell(DWORD message, PNOTIFYICONDATAA data) {
  if (message == NIM_MODIFY && (data->uFlags & NIF_INFO)) {
    Sleep(2000);
    balloons().push_back(data->szInfo);
  }
  return TRUE;
}

// Whatever holds the file (another copy hung in its save, another program
// holding it without sharing), and however slow the shell is to show a
// balloon, the session's end is over within the 5 seconds Windows gives,
// shows no box, keeps the change beside the file and says so in the
// notification area (the user had not been told yet: the change is a moment
// old). The next start brings it back, told once.
TEST_F(FormTest, SessionEndIsOverInTimeWhateverHoldsTheFile) {
  for (const bool lock : {true, false}) {
    SCOPED_TRACE(lock ? "another copy's lock" : "a file held without sharing");
    balloons().clear();
    start(kThreeLogons, SW_SHOWNORMAL, balloonShell);
    form->store.settings().lockTimeout = std::chrono::minutes(5);
    Hold hold = holdFile(lock);
    clickItem(form->lstLogin, 0);
    click(form->btnDelete);
    pump(Saver::kDelayMs + 300);  // the change's own save waits by now
    DWORD took = 0;
    const std::vector<CaughtBox> boxes = boxesFrom([&] {
      const DWORD began = GetTickCount();
      SendMessageW(form->Handle, WM_ENDSESSION, TRUE, 0);
      took = GetTickCount() - began;
    });
    EXPECT_LT(took, 5000u);
    EXPECT_TRUE(boxes.empty());
    ASSERT_EQ(balloons().size(), 1u);
    const std::wstring kept = messages::sessionEndKept(SaveResult{});
    EXPECT_EQ(fromAnsi(balloons()[0]).rfind(kept.substr(0, kept.find(L'\n')), 0), 0u);
    // The session has ended: the program goes without its close, while the
    // file is still held (a window that lives on tries again, and saves).
    form.reset();
    pump();
    hold.file.reset();
    EXPECT_EQ(readBytes(iniPath()), kThreeLogons);
    hold.lock.reset();
    EXPECT_EQ(keptChanges(iniPath(), filesBeside(iniPath())).size(), 1u);
    const std::vector<CaughtBox> told =
        boxesFrom([&] { start(kThreeLogons, SW_SHOWNORMAL, balloonShell); });
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].text.find(L"削除: scott @ "), std::wstring::npos) << told[0].text;
    EXPECT_EQ(form->store.Users(), (std::vector<std::string>{"system", "hr"}));
    closeWindow();
    EXPECT_EQ(onDisk().Users(), (std::vector<std::string>{"system", "hr"}));
    EXPECT_TRUE(keptChanges(iniPath(), filesBeside(iniPath())).empty());
    form.reset();
    pump();
  }
}

// While a change's save waits for the file (another program holds it
// without sharing, another copy holds the lock) the window answers at once
// and stays usable; the save ends once the file is free.
TEST_F(FormTest, TheWindowAnswersWhileItsSaveWaits) {
  for (const bool lock : {false, true}) {
    SCOPED_TRACE(lock ? "another copy's lock" : "a file held without sharing");
    start(kThreeLogons);
    Hold hold = holdFile(lock);
    ASSERT_EQ(static_cast<bool>(hold.file), !lock);
    typeInto(form->edtUser, L"new");
    click(form->btnInsert);
    const HWND wnd = form->Handle;
    std::atomic<DWORD> longest{0};
    std::thread probe([&] {
      Sleep(Saver::kDelayMs + 300);  // the save waits by now
      for (int i = 0; i < 10; ++i, Sleep(100)) {
        DWORD_PTR r = 0;
        const DWORD began = GetTickCount();
        SendMessageTimeoutW(wnd, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &r);
        longest = std::max<DWORD>(longest, GetTickCount() - began);
      }
    });
    pump(Saver::kDelayMs + 2500);
    probe.join();
    // A generous bound: a window that waits on the file takes seconds.
    EXPECT_LT(longest, 1000u);
    EXPECT_EQ(actionButtons(), "1111");  // usable all the while, the new logon selected
    hold.file.reset();
    hold.lock.reset();
    pump(Saver::kRetryMs + Saver::kDelayMs + 1000);
    EXPECT_EQ(onDisk().Users(), (std::vector<std::string>{"scott", "system", "hr", "new"}));
    form.reset();
    pump();
  }
}

// Another copy (another PC) chose another client meanwhile: the save merges
// its path in, and the box shows the path the launch will use.
TEST_F(FormTest, ThePathBoxShowsThePathASaveMergedIn) {
  start(kThreeLogons);
  std::string theirs = kThreeLogons;
  const std::string path = "C:\\oracle\\bin\\sqlplus.exe";
  theirs.replace(theirs.find(path), path.size(), "D:\\client\\sqlplus.exe");
  writeBytes(iniPath(), theirs);
  typeInto(form->edtUser, L"new");
  click(form->btnInsert);
  pump(Saver::kDelayMs + 1500);
  EXPECT_EQ(form->store.SQLPlusPath(), "D:\\client\\sqlplus.exe");
  EXPECT_EQ(text(form->edtSQLPlus), L"D:\\client\\sqlplus.exe");
  EXPECT_FALSE(form->store.changed());  // the box's text shown back is no change
}

// Another copy (another PC) saves: within a few seconds the list shows the
// file as it is now, the logon selected still selected and what is typed
// in the boxes left alone; nothing is written.
TEST_F(FormTest, TheListFollowsAnotherCopysSaves) {
  start(kThreeLogons);
  clickItem(form->lstLogin, 1);  // system / manager @ prod
  typeInto(form->edtPass, L"typing");
  Store other(iniPath());
  ASSERT_TRUE(other.LoadIniFile().ok());
  other.remove(0);
  ASSERT_TRUE(other.insert({"theirs", "t", "h"}));
  ASSERT_EQ(other.SaveIniFile(), SaveResult::Saved);
  const std::string saved = readBytes(iniPath());
  const std::vector<std::wstring> followed{L"system / manager @ prod", L"hr /  @ ",
                                           L"theirs / t @ h"};
  // Within a few seconds on a quiet machine (the benchmark's business);
  // waited for far longer here, so that a loaded machine does not fail it.
  const DWORD began = GetTickCount();
  do pump(50);
  while (items(form->lstLogin) != followed && GetTickCount() - began < 30000);
  EXPECT_EQ(items(form->lstLogin), followed);
  EXPECT_EQ(selected(form->lstLogin), 0);
  EXPECT_EQ(text(form->edtUser), L"system");
  EXPECT_EQ(text(form->edtPass), L"typing");
  EXPECT_FALSE(form->saver.pending());
  pump(1500);
  EXPECT_EQ(readBytes(iniPath()), saved);
  EXPECT_TRUE(filesBeside(iniPath()).empty());
}

// A change that cannot reach the disk (here the lock file cannot be opened:
// another program holds it without sharing) is told once, kTellAfter after it was made, and tried
// again all the while, also after a session's end that did not end (cancelled before it came,
// or by another program after the save it made failed) and after the close's question was
// answered いいえ; once it can, it is saved with what another copy wrote meanwhile, and the list
// shows both.
TEST_F(FormTest, AChangeThatCannotReachTheDiskIsToldOnceAndSavedWhenItCan) {
  start(kThreeLogons);
  const std::string lock = saveLockFile(iniPath());
  UniqueFile held(CreateFileA(lock.c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(held);
  typeInto(form->edtUser, L"later");
  click(form->btnInsert);
  for (const BOOL ends : {FALSE, TRUE}) {
    EXPECT_TRUE(SendMessageW(form->Handle, WM_QUERYENDSESSION, 0, 0));
    SendMessageW(form->Handle, WM_ENDSESSION, ends, 0);
  }
  const auto waited = std::chrono::milliseconds(Saver::kTellAfter).count() + Saver::kRetryMs + 1000;
  const std::vector<CaughtBox> told = boxesFrom([&] { pump(static_cast<DWORD>(waited)); });
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].text.rfind(L"変更をまだ設定ファイルに保存できていません。\n"
                               L"保存できるまで、自動で試し続けます。\nロック ファイル " +
                                   fromAnsi(lock),
                               0),
            0u);
  EXPECT_EQ(readBytes(iniPath()), kThreeLogons);
  // Another copy adds a logon of its own meanwhile.
  writeBytes(
      iniPath(),
      std::string(kThreeLogons).replace(std::string(kThreeLogons).find("COUNT=2"), 7, "COUNT=3") +
          "[3]\r\nUser=theirs\r\nPass=t\r\nHost=h\r\n");
  const auto asked = answeredWith(IDNO, [&] { closeWindow(); });
  ASSERT_EQ(asked.size(), 1u);  // the close's own question, not the notice again
  EXPECT_EQ(asked[0].text.rfind(L"設定の保存に失敗しました。保存せずに終了しますか？", 0), 0u);
  held.reset();
  EXPECT_TRUE(boxesFrom([&] { pump(Saver::kRetryMs + 1500); }).empty());
  EXPECT_EQ(onDisk().Users(),
            (std::vector<std::string>{"scott", "system", "hr", "later", "theirs"}));
  EXPECT_EQ(itemCount(form->lstLogin), 5);
  EXPECT_FALSE(form->saver.pending());
}

// A slow load (here a cut save's copy waits for another copy's lock) never
// holds the window: it shows, says that it is reading, and takes no change
// until the list is there.
TEST_F(FormTest, TheWindowShowsWhileTheFileIsRead) {
  std::optional<SaveLock> other;
  const std::string whole = startWhileTheLoadWaits(other);
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(IsWindowVisible(form->Handle));
  ASSERT_TRUE(form->loading());
  EXPECT_EQ(itemCount(form->lstLogin), 1);
  EXPECT_EQ(item(form->lstLogin, 0), messages::kLoading);
  EXPECT_FALSE(IsWindowEnabled(form->lstLogin));
  EXPECT_FALSE(IsWindowEnabled(form->btnFileOpen));
  typeInto(form->edtUser, L"early");
  EXPECT_EQ(actionButtons(), "0000");
  const std::vector<CaughtBox> told = boxesFrom([&] {
    other.reset();
    untilLoaded();
  });
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].text, messages::recoveredNotice(whole, {}));
  EXPECT_EQ(itemCount(form->lstLogin), 3);
  EXPECT_TRUE(IsWindowEnabled(form->lstLogin));
  EXPECT_EQ(actionButtons(), "1101");  // a path and a user, nothing selected
}

// The close during a slow load (here a cut save's copy waits for another
// copy's lock) stops it: the window answers meanwhile and goes at once,
// without a word, and nothing is written over the copy.
TEST_F(FormTest, ACloseDuringALoadStopsItAndGoes) {
  std::optional<SaveLock> other;
  const std::string whole = startWhileTheLoadWaits(other);
  ASSERT_NE(form, nullptr);
  ASSERT_TRUE(form->loading());
  DWORD took = 0;
  EXPECT_TRUE(boxesFrom([&] {
                const DWORD began = GetTickCount();
                closeWindow();
                took = GetTickCount() - began;
              }).empty());
  EXPECT_LT(took, 5000u);  // not the 30 seconds the load would wait for the lock
  EXPECT_EQ(form->Handle, nullptr);
  EXPECT_EQ(readBytes(whole), kThreeLogons);
  DeleteFileA(whole.c_str());
}

// The close waits for its save (here another copy's save holds the lock a
// while) with the window answering: the list says so and nothing can be
// changed; then the window goes, the change on disk.
TEST_F(FormTest, TheCloseWaitsForItsSaveWithTheWindowShowingIt) {
  Hold other = changeWhileAnotherCopySaves();
  SendMessageW(form->Handle, WM_CLOSE, 0, 0);
  pump(300);
  ASSERT_TRUE(form->saver.closing());
  EXPECT_TRUE(IsWindowVisible(form->Handle));
  EXPECT_EQ(itemCount(form->lstLogin), 1);
  EXPECT_EQ(item(form->lstLogin, 0), messages::kSaving);
  EXPECT_FALSE(IsWindowEnabled(form->lstLogin));
  EXPECT_FALSE(IsWindowEnabled(form->btnFileOpen));
  EXPECT_EQ(actionButtons(), "0000");
  other.lock.reset();
  untilClosed();
  EXPECT_EQ(form->Handle, nullptr);
  EXPECT_EQ(onDisk().Users(), (std::vector<std::string>{"system", "hr"}));
}

// A save cut off (another copy killed between its renames) is put back by
// whichever job finds it, and said before the window goes, whenever the
// close comes: found by the close's own save, by a change's save under way
// at the close, or by the load the close stopped.
TEST_F(FormTest, CloseTellsWhatItPutBack) {
  const std::string whole = copyPath(iniPath(), 4, CopyKind::Whole);
  const auto cut = [&] {
    writeBytes(whole, kThreeLogons);
    ASSERT_TRUE(MoveFileA(iniPath().c_str(), copyPath(iniPath(), 4, CopyKind::Backup).c_str()));
  };
  enum class By { TheClosesSave, AChangesSave, TheLoad };
  for (const auto& [by, what] :
       {std::pair{By::TheClosesSave, "by the close's save"},
        std::pair{By::AChangesSave, "by a change's save"}, std::pair{By::TheLoad, "by the load"}}) {
    SCOPED_TRACE(what);
    std::vector<CaughtBox> told;
    switch (by) {
      case By::TheClosesSave:
        start(kThreeLogons);
        cut();
        told = boxesFrom([&] { closeWindow(); });
        break;
      case By::AChangesSave: {
        Hold other = changeWhileAnotherCopySaves();
        pump(Saver::kDelayMs + 300);  // the change's save waits for the lock
        SendMessageW(form->Handle, WM_CLOSE, 0, 0);
        cut();
        other.lock.reset();
        told = boxesFrom([&] { untilClosed(); });
        break;
      }
      case By::TheLoad:
        writeBytes(iniPath(), kThreeLogons);
        cut();
        form = TForm1::create(GetModuleHandleW(nullptr));
        ASSERT_NE(form, nullptr);
        SendMessageW(form->Handle, WM_CLOSE, 0, 0);
        told = boxesFrom([&] { untilClosed(); });
        break;
    }
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].text, messages::recoveredNotice(whole, {}));
    EXPECT_EQ(form->Handle, nullptr);
    EXPECT_TRUE(filesBeside(iniPath()).empty());
    form.reset();
    pump();
  }
}

// A file system whose every read raises an error the program does not
// expect: as an error raised on the worker.
struct ReadsRaise : FileSystem {
  FileState read(const std::string&, std::string&) override {
    throw std::runtime_error("disk on fire");
  }
};

// An error raised on the worker is the job's outcome: after one in the load
// the window says so and still closes; after one in the close's save the
// close asks as after any failed save, and いいえ gives the list back.
TEST_F(FormTest, AnErrorOnTheWorkerIsTheJobsOutcome) {
  ReadsRaise raising;
  std::optional<UseFileSystem> use(raising);
  writeBytes(iniPath(), kThreeLogons);
  LoadResult failed;
  failed.status = LoadResult::Unexpected;
  failed.detail = "disk on fire";
  EXPECT_EQ(messageFrom([&] {
              form = TForm1::create(GetModuleHandleW(nullptr));
              Application::showMainWindow(form->Handle, SW_SHOWNORMAL);
              untilLoaded();
            }),
            L"(Vostrelk, icon) " + Application::errorBoxText(messages::loadFailed(failed)));
  EXPECT_TRUE(boxesFrom([&] { closeWindow(); }).empty());
  EXPECT_EQ(form->Handle, nullptr);
  form.reset();
  pump();

  use.reset();
  start(kThreeLogons);
  clickItem(form->lstLogin, 0);
  click(form->btnDelete);
  use.emplace(raising);
  const auto asked = answeredWith(IDNO, [&] { closeWindow(); });
  ASSERT_EQ(asked.size(), 1u);
  SaveResult raised(SaveResult::Failed);
  raised.step = SaveResult::Step::Unexpected;
  raised.detail = "disk on fire";
  EXPECT_EQ(asked[0].text, messages::closeWithoutSaving(raised));
  EXPECT_FALSE(form->saver.closing());
  EXPECT_EQ(items(form->lstLogin),
            (std::vector<std::wstring>{L"system / manager @ prod", L"hr /  @ "}));
  use.reset();
}

TEST_F(FormTest, CountErrorIsShownAndTheFileIsKeptByteForByte) {
  const std::string file =
      "[SQL*Plus]\r\nPath=C:\\x.exe\r\n[List]\r\nCOUNT=abc\r\n[0]\r\nUser=keep\r\n";
  EXPECT_EQ(messageFrom([&] { start(file); }), L"(Vostrelk, icon) 'abc' は整数ではありません.");
  // The window opens and works.
  EXPECT_TRUE(IsWindowVisible(form->Handle));
  EXPECT_EQ(text(form->edtSQLPlus), L"C:\\x.exe");
  typeInto(form->edtUser, L"new");
  EXPECT_EQ(actionButtons(), "1101");
  click(form->btnInsert);
  EXPECT_EQ(itemCount(form->lstLogin), 1);
  // The new logon is not dropped without a word; はい ends without saving.
  const auto asked = answeredWith(IDYES, [&] { closeWindow(); });
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].text,
            L"設定ファイルを読み込めなかったため、変更を保存できません。保存せずに終了しますか？");
  EXPECT_FALSE(IsWindow(form->Handle));
  EXPECT_EQ(readBytes(iniPath()), file);
}

// An error raised while the window is made (here by the shell's icon call)
// is shown, no window stays half made, and the settings file is untouched.
TEST_F(FormTest, CreationThatFailsSaysWhyAndLeavesNoWindow) {
  writeBytes(iniPath(), kThreeLogons);
  const TrayIcon::ShellFn broken = [](DWORD, PNOTIFYICONDATAA) -> BOOL {
    throw std::runtime_error("shell broken");
  };
  std::unique_ptr<TForm1> made;
  const std::vector<CaughtBox> boxes =
      boxesFrom([&] { made = TForm1::create(GetModuleHandleW(nullptr), broken); });
  EXPECT_EQ(made, nullptr);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"予期しないエラーが発生しました。\nshell broken.");
  EXPECT_EQ(FindWindowW(layout::kClassName, nullptr), nullptr);
  pump();  // the quit message the window posted as it went
  EXPECT_EQ(readBytes(iniPath()), kThreeLogons);
}

TEST_F(FormTest, ErrorBoxAddsAPeriodByTheRuntimesRule) {
  EXPECT_EQ(Application::errorBoxText(L"範囲チェックエラー"), L"範囲チェックエラー.");
  EXPECT_EQ(Application::errorBoxText(L"done."), L"done.");
  EXPECT_EQ(Application::errorBoxText(L"(x)"), L"(x)");  // ')' sorts below '.'
  EXPECT_EQ(Application::errorBoxText(L""), L"");
  // Each outcome of the layers below has its own words; the offending text goes in.
  LoadResult load;
  load.status = LoadResult::RangeError;
  EXPECT_EQ(messages::loadFailed(load), L"範囲チェックエラー");
  load.status = LoadResult::OutOfMemory;
  EXPECT_EQ(messages::loadFailed(load), L"メモリが足りません");
  load.status = LoadResult::Unreadable;  // (with the system's error: below)
  load.detail = "C:\\x\\Vostrelk.ini";
  EXPECT_EQ(Application::errorBoxText(messages::loadFailed(load)),
            L"設定ファイル C:\\x\\Vostrelk.ini を読み込めませんでした。\n"
            L"読んでいる間に、ほかのプログラムが\nファイルを書き換えたか、使っていました.");
  EXPECT_EQ(messages::saveOutcome(SaveResult::Saved), L"");
  EXPECT_EQ(messages::saveOutcome(SaveResult::Unchanged), L"");
  // A failed save: our sentence, then the step's reason with the file it
  // concerns, then the system's words for its error (Wine's, in Japanese).
  using Step = SaveResult::Step;
  std::set<std::wstring> reasons;
  for (const Step step : {Step::Value, Step::LockBusy, Step::Lock, Step::Read, Step::Count,
                          Step::Copy, Step::Write, Step::ReadBack, Step::Replace, Step::Memory}) {
    SaveResult failed(SaveResult::Failed);
    failed.step = step;
    failed.detail = "C:\\d\\Vostrelk.ini.lock";
    failed.section = "1";
    failed.key = "Pass";
    failed.error = ERROR_ACCESS_DENIED;
    const std::wstring reason = messages::saveReason(failed);
    EXPECT_TRUE(reasons.insert(reason).second) << static_cast<int>(step);  // its own words
    EXPECT_EQ(messages::saveOutcome(failed), L"設定の保存に失敗しました。\n" + reason);
    EXPECT_EQ(messages::closeWithoutSaving(failed),
              L"設定の保存に失敗しました。保存せずに終了しますか？\n\n" + reason);
    // A value read back otherwise is named by its box and its logon's place.
    EXPECT_EQ(reason.find(L"2 番目の接続先のパスワード") != std::wstring::npos,
              step == Step::ReadBack)
        << static_cast<int>(step);
    const bool hasFile = step != Step::Value && step != Step::Memory && step != Step::ReadBack;
    EXPECT_EQ(reason.find(L"C:\\d\\Vostrelk.ini.lock") != std::wstring::npos, hasFile)
        << static_cast<int>(step);
    const std::wstring system = messages::systemErrorText(ERROR_ACCESS_DENIED);
    const bool hasError = step == Step::Lock || step == Step::Read || step == Step::Copy ||
                          step == Step::Write || step == Step::Replace;
    EXPECT_EQ(reason.size() > system.size() &&
                  reason.compare(reason.size() - system.size(), system.size(), system) == 0,
              hasError)
        << static_cast<int>(step);
  }
}

TEST_F(FormTest, StartShowsWithoutActivatingWhenToldTo) {
  const HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 9, 9,
                                     nullptr, nullptr, nullptr, nullptr);
  for (int show : {SW_SHOWNOACTIVATE, SW_SHOWNA}) {
    SetActiveWindow(other);
    start(kThreeLogons, show);
    EXPECT_TRUE(IsWindowVisible(form->Handle));
    EXPECT_EQ(GetActiveWindow(), other) << show;
    form.reset();
  }
  DestroyWindow(other);
}

TEST_F(FormTest, StartedMinimisedLeavesOnlyTheIcon) {
  start(kThreeLogons, SW_SHOWMINNOACTIVE);
  EXPECT_FALSE(IsWindowVisible(form->Handle));
  EXPECT_TRUE(form->tray.TrayIconShown());
  SendMessageW(form->Handle, WM_TRAYICON, 1, WM_LBUTTONDOWN);
  pump();
  EXPECT_TRUE(IsWindowVisible(form->Handle));
}

}  // namespace

namespace {

using namespace ui_test;

TEST_F(FormTest, LockedSettingsFileIsReportedAndKeptWhole) {
  writeBytes(iniPath(), kThreeLogons);
  UniqueFile lock(CreateFileA(iniPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(lock);
  // start() would rewrite the file: create the window on it as it is.
  EXPECT_EQ(messageFrom([&] {
              form = TForm1::create(GetModuleHandleW(nullptr));
              Application::showMainWindow(form->Handle, SW_SHOWNORMAL);
              untilLoaded();
            }),
            L"(Vostrelk, icon) 設定ファイル " + fromAnsi(iniPath()) +
                L" を読み込めませんでした。\n" +
                messages::systemErrorText(ERROR_SHARING_VIOLATION));
  lock.reset();  // the other program lets go before we close
  closeWindow();
  EXPECT_EQ(readBytes(iniPath()), kThreeLogons);
}

TEST_F(FormTest, CloseWithNothingToSaveTouchesNothing) {
  start(kThreeLogons);
  clickItem(form->lstLogin, 0);  // looking at a logon changes nothing
  // As on a read-only share: the file can be read, not replaced.
  const UniqueFile readOnly(CreateFileA(iniPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(readOnly);
  EXPECT_TRUE(boxesFrom([&] { closeWindow(); }).empty());
  EXPECT_EQ(readBytes(iniPath()), kThreeLogons);
}

TEST_F(FormTest, TextTheCodePageCannotHoldIsRefusedByEveryAction) {
  start(kThreeLogons);
  useClient(GetExeDir() + "vk_recorder.exe");
  typeInto(form->edtUser, L"scott");
  typeInto(form->edtPass, L"p\u00e9");  // é: the conversion would make it "pe"
  const auto refused = [&](const std::function<void()>& action, const wchar_t* label) {
    EXPECT_EQ(messageFrom(action), std::wstring(label) + L"に使えない文字があります。");
  };
  const auto everyAction = [&] {
    for (HWND action : {form->btnInsert, form->btnShell, form->btnShortCut})
      refused([&] { click(action); }, L"パスワード");
    EXPECT_EQ(GetFocus(), form->edtPass);  // the box to mend
    typeInto(form->edtHost, L"\u2014");    // no equivalent at all
    refused([&] { pressKey(form->edtHost, VK_RETURN); }, L"パスワード");
    typeInto(form->edtPass, L"p");
    refused([&] { pressKey(form->lstLogin, VK_RETURN); }, L"ホスト文字列");
    typeInto(form->edtUser, L"\u00fc");  // the first box in order is named
    refused([&] { click(form->btnInsert); }, L"ユーザＩＤ");
  };
  EXPECT_EQ(launchAndRecord(everyAction, false), "");  // no client started
  EXPECT_EQ(itemCount(form->lstLogin), 3);
  EXPECT_EQ(form->store.count(), 3);

  // What the client would misread: a quote anywhere, a user that starts like
  // a script or an option. A file may hold them: listed, then refused too.
  SendMessageW(form->lstLogin, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"@x / p\" @ h"));
  ASSERT_TRUE(form->store.insert({"@x", "p\"", "h"}));
  const auto misread = [&] {
    typeInto(form->edtUser, L"-u");
    for (HWND action : {form->btnInsert, form->btnShell, form->btnShortCut})
      refused([&] { click(action); }, L"ユーザＩＤ");
    typeInto(form->edtUser, L"u");
    typeInto(form->edtHost, L"h\"");
    refused([&] { pressKey(form->edtHost, VK_RETURN); }, L"ホスト文字列");
    refused([&] { doubleClickItem(form->lstLogin, 3); }, L"ユーザＩＤ");
  };
  EXPECT_EQ(launchAndRecord(misread, false), "");
  EXPECT_EQ(form->store.count(), 4);
}

TEST(StartUp, DllsLoadedByNameComeFromTheSystemFolderOnly) {
  const std::string planted = GetExeDir() + "vk_planted.dll";
  for (const char* name : {"mprapi.dll", "olecli32.dll"})
    CopyFileA(planted.c_str(), (GetExeDir() + name).c_str(), FALSE);
  const auto pathOf = [](HMODULE module) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    return std::string(path);
  };
  ASSERT_EQ(GetModuleHandleW(L"mprapi.dll"), nullptr);  // not loaded yet by anything else
  Application::loadSystemDllsOnly();
  char systemDir[MAX_PATH] = {};
  GetSystemDirectoryA(systemDir, MAX_PATH);
  EXPECT_EQ(pathOf(LoadLibraryW(L"mprapi.dll")), std::string(systemDir) + "\\mprapi.dll");
  // The plant works when the program's folder is searched: the check above can fail.
  EXPECT_EQ(pathOf(LoadLibraryExW(L"olecli32.dll", nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR)),
            GetExeDir() + "olecli32.dll");
}

// The save puts a new file in the old one's place: the old one's attributes
// stay (Wine keeps no access lists to compare, but attributes it keeps).
TEST_F(FormTest, SaveKeepsTheFilesAttributes) {
  start(kThreeLogons);
  ASSERT_TRUE(SetFileAttributesA(iniPath().c_str(), FILE_ATTRIBUTE_HIDDEN));
  clickItem(form->lstLogin, 0);
  click(form->btnDelete);
  closeWindow();
  EXPECT_EQ(readBytes(iniPath()).find("tiger"), std::string::npos);  // saved
  EXPECT_TRUE(GetFileAttributesA(iniPath().c_str()) & FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesA(iniPath().c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A change is on disk a moment after it is made, without a close: a
// registered logon, and a deleted one's password gone from the file. While
// another copy's save holds the lock the window does not wait for it (the
// close would, minutes here): the save is tried again once the lock is free.
TEST_F(FormTest, EachChangeIsSavedAtOnceAndAnotherCopysLockNeverHoldsTheWindow) {
  start(kThreeLogons);
  typeInto(form->edtUser, L"new");
  typeInto(form->edtPass, L"pw");
  click(form->btnInsert);
  pump(Saver::kDelayMs + 500);
  EXPECT_EQ(onDisk().Users(), (std::vector<std::string>{"scott", "system", "hr", "new"}));
  clickItem(form->lstLogin, 0);
  click(form->btnDelete);
  pump(Saver::kDelayMs + 500);
  EXPECT_EQ(readBytes(iniPath()).find("tiger"), std::string::npos);

  form->store.settings().lockTimeout = std::chrono::minutes(5);
  std::optional<SaveLock> other;
  ASSERT_EQ(SaveLock::acquire(iniPath(), kSaveLockTimeout, other), SaveLock::Outcome::Locked);
  const std::string before = readBytes(iniPath());
  typeInto(form->edtUser, L"later");
  click(form->btnInsert);
  std::thread release([&] {
    Sleep(3000);
    other.reset();
  });
  pump(Saver::kDelayMs + 500);  // a save that waited would still be waiting
  EXPECT_EQ(readBytes(iniPath()), before);
  release.join();
  pump(Saver::kRetryMs + 500);
  EXPECT_NE(readBytes(iniPath()).find("later"), std::string::npos);
  form->store.settings().lockTimeout = kSaveLockTimeout;
}

// The save at the close fails (here another copy's save holds the lock):
// the user is asked, in a box of the window's own (the window, hidden to
// the tray meanwhile, comes back under it), and a second close while the
// question is up asks nothing more; いいえ (the default) keeps the window as
// it was, and the next close saves.
TEST_F(FormTest, SaveThatFailsAtCloseAsksAndKeepsTheWindow) {
  {
    Hold other = changeWhileAnotherCopySaves();
    form->store.settings().lockTimeout = std::chrono::milliseconds(200);
    SendMessageW(form->Handle, WM_CLOSE, 0, 0);
    SendMessageW(form->Handle, WM_TRAYICON, 1, WM_RBUTTONDOWN);
    ASSERT_FALSE(IsWindowVisible(form->Handle));
    bool shownUnder = false;
    std::optional<DialogCatcher> catcher;
    catcher.emplace([&](HWND dlg) {
      if (catcher->boxes.size() == 1) {
        shownUnder = IsWindowVisible(form->Handle) && !IsWindowEnabled(form->Handle);
        SendMessageW(form->Handle, WM_CLOSE, 0, 0);
        pump(600);  // long enough for a second close's save to fail
      }
      PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
    });
    untilClosed();
    pump(600);
    const std::vector<CaughtBox> asked = catcher->boxes;
    catcher.reset();
    form->store.settings().lockTimeout = kSaveLockTimeout;
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].owner, form->Handle);
    EXPECT_TRUE(shownUnder);
    EXPECT_EQ(
        asked[0].text,
        L"設定の保存に失敗しました。保存せずに終了しますか？\n\n別の Vostrelk が保存中です（" +
            fromAnsi(saveLockFile(iniPath())) + L"）。");
    EXPECT_TRUE(asked[0].hasIcon);
    EXPECT_EQ(asked[0].defaultButton, IDNO);
    ASSERT_TRUE(IsWindowVisible(form->Handle));
    EXPECT_EQ(itemCount(form->lstLogin), 2);
    EXPECT_EQ(item(form->lstLogin, 0), L"system / manager @ prod");
    EXPECT_EQ(text(form->edtUser), L"typed");
    EXPECT_TRUE(form->tray.TrayIconShown());
    EXPECT_EQ(readBytes(iniPath()), kThreeLogons);
  }
  EXPECT_TRUE(answeredWith(IDNO, [&] { closeWindow(); }).empty());
  EXPECT_FALSE(IsWindow(form->Handle));
  EXPECT_EQ(readBytes(iniPath()).find("tiger"), std::string::npos);  // saved
}

}  // namespace
