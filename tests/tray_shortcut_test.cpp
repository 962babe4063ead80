// The notification-area icon and the desktop shortcut, in-process under Wine.
// Icons are counted in Wine's own tray window; shortcuts are read back
// through the shell link object.
#include <shlobj.h>

#include <filesystem>

#include "FormFixture.h"
#include "Raii.h"
#include "Launch.h"
#include "Messages.h"
#include "Shortcut.h"

namespace {

using namespace ui_test;
namespace fs = std::filesystem;

// Icons shown in Wine's stand-alone tray window (no tray manager under Xvfb).
int trayIcons() {
  const HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
  int n = 0;
  for (HWND c = tray ? GetWindow(tray, GW_CHILD) : nullptr; c; c = GetWindow(c, GW_HWNDNEXT)) ++n;
  return n;
}

void trayMessage(const std::unique_ptr<TForm1>& form, UINT mouse) {
  SendMessageW(form->Handle, WM_TRAYICON, 1, mouse);
  pump(100);
}

class TrayTest : public FormTest {};

TEST_F(TrayTest, IconRecordIsFilledAsTheShellExpects) {
  start(kThreeLogons);
  const NOTIFYICONDATAA& d = form->tray.TrayIconData();
  EXPECT_EQ(d.cbSize, NOTIFYICONDATAA_V1_SIZE);
  EXPECT_EQ(d.hWnd, form->Handle);
  EXPECT_EQ(d.uID, 1u);
  EXPECT_EQ(d.uFlags, 7u);
  EXPECT_EQ(d.uCallbackMessage, 0x464u);
  EXPECT_NE(d.hIcon, nullptr);
  EXPECT_STREQ(d.szTip, "Vostrelk");
}

TEST_F(TrayTest, MinimiseHidesToTheIconAndTheIconBringsTheWindowBack) {
  const int before = trayIcons();
  start(kThreeLogons);
  EXPECT_EQ(trayIcons(), before + 1);
  for (int round = 0; round < 3; ++round) {
    SendMessageW(form->Handle, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    pump(100);
    EXPECT_FALSE(IsWindowVisible(form->Handle));
    EXPECT_TRUE(form->tray.TrayIconShown());
    trayMessage(form, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(form->Handle));
    EXPECT_FALSE(IsIconic(form->Handle));
  }
  EXPECT_EQ(trayIcons(), before + 1);  // never a second icon
}

// The icon as a piece of its own, on a plain window of the test's: the
// mouse on it, and a shell that restarts.
class TrayIconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    tray.attach(owner);
  }
  void TearDown() override {
    tray.remove();
    DestroyWindow(owner);
  }
  void mouse(UINT message) {
    EXPECT_TRUE(tray.onMessage(WM_TRAYICON, 1, message));  // never passed on
    pump(100);
  }
  HWND owner = nullptr;
  TrayIcon tray{Shell_NotifyIconA};
};

TEST_F(TrayIconTest, LeftButtonBringsTheOwnerBackRightButtonHidesItOthersDoNothing) {
  const int before = trayIcons();
  ShowWindow(owner, SW_SHOW);
  mouse(WM_LBUTTONDOWN);  // already visible: stays, comes to the front
  EXPECT_TRUE(IsWindowVisible(owner));
  mouse(WM_RBUTTONDOWN);
  EXPECT_FALSE(IsWindowVisible(owner));
  EXPECT_EQ(trayIcons(), before + 1);  // hidden behind its icon
  mouse(WM_RBUTTONDOWN);               // hidden already: nothing changes
  EXPECT_FALSE(IsWindowVisible(owner));
  for (UINT ignored : {WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONDOWN, WM_LBUTTONDBLCLK})
    mouse(ignored);
  EXPECT_FALSE(IsWindowVisible(owner));
  ShowWindow(owner, SW_MINIMIZE);
  mouse(WM_LBUTTONDOWN);
  EXPECT_TRUE(IsWindowVisible(owner));
  EXPECT_FALSE(IsIconic(owner));
  for (UINT ignored : {WM_RBUTTONUP, WM_MBUTTONDOWN, WM_RBUTTONDBLCLK}) mouse(ignored);
  EXPECT_TRUE(IsWindowVisible(owner));
  EXPECT_EQ(trayIcons(), before + 1);           // never a second icon
  EXPECT_FALSE(tray.onMessage(WM_USER, 0, 0));  // the owner's own messages are not the icon's
}

TEST_F(TrayIconTest, ShellRestartRegistersTheIconAgainAndItsOwnerRemovesIt) {
  const int before = trayIcons();
  {
    TrayIcon icon(Shell_NotifyIconA);
    icon.attach(owner);
    ASSERT_TRUE(icon.add());
    NOTIFYICONDATAA gone = icon.TrayIconData();
    Shell_NotifyIconA(NIM_DELETE, &gone);  // what a restarted shell has forgotten
    pump(100);
    ASSERT_EQ(trayIcons(), before);
    EXPECT_TRUE(icon.onMessage(RegisterWindowMessageW(L"TaskbarCreated"), 0, 0));
    pump(100);
    EXPECT_EQ(trayIcons(), before + 1);
  }
  pump(100);
  EXPECT_EQ(trayIcons(), before);  // gone with the object that registered it
}

// A shell still starting: it refuses the icon while Refusals lasts.
int refusals = 0;
BOOL WINAPI busyShell(DWORD message, PNOTIFYICONDATAA data) {
  if (message != NIM_DELETE && refusals > 0) {
    --refusals;
    return FALSE;
  }
  return Shell_NotifyIconA(message, data);
}

TEST_F(TrayTest, BusyShellIsAskedAgainAndMinimiseKeepsToTheTaskbarMeanwhile) {
  const int before = trayIcons();
  refusals = 1000;
  start(kThreeLogons, SW_SHOWNORMAL, busyShell);
  EXPECT_FALSE(form->tray.TrayIconShown());
  SendMessageW(form->Handle, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  pump(100);
  EXPECT_TRUE(IsWindowVisible(form->Handle));  // no icon to come back through
  EXPECT_TRUE(IsIconic(form->Handle));
  refusals = 0;  // the shell is up
  SendMessageW(form->Handle, WM_TIMER, TrayIcon::kRetryTimer, 0);
  EXPECT_TRUE(form->tray.TrayIconShown());
  EXPECT_EQ(trayIcons(), before + 1);
  ShowWindow(form->Handle, SW_RESTORE);
  SendMessageW(form->Handle, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  pump(100);
  EXPECT_FALSE(IsWindowVisible(form->Handle));
}

// The shortcut as a piece of its own: a client path and a logon in, an
// outcome out, a file on the desktop.
class ShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(GetDesktopFolder(dir)); }
  // The shell refuses a shortcut to a file that does not exist: the client is one that does.
  Outcome make(const Logon& logon) { return createLogonShortcut(client, logon, neverAsked); }
  std::vector<std::string> desktopFiles() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  ComInit com;  // the shell link object lives in COM
  std::string dir, client = GetExeDir() + "vk_recorder.exe";
};

struct Link {
  std::string path, arguments, workDir;
  int showCmd = -1;
};

Link readLink(const std::string& linkFile) {
  Link l;
  ComPtr<IShellLinkA> link;
  ComPtr<IPersistFile> file;
  EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                             link.putVoid()),
            S_OK);
  if (!link || link->QueryInterface(IID_IPersistFile, file.putVoid()) != S_OK) return l;
  if (file->Load(fromAnsi(linkFile).c_str(), STGM_READ) != S_OK) return l;
  char buf[MAX_PATH * 2] = {};
  link->GetPath(buf, sizeof buf, nullptr, SLGP_RAWPATH);
  l.path = buf;
  link->GetArguments(buf, sizeof buf);
  l.arguments = buf;
  link->GetWorkingDirectory(buf, sizeof buf);
  l.workDir = buf;
  link->GetShowCmd(&l.showCmd);
  return l;
}

TEST_F(ShortcutTest, WritesALinkThatStartsTheClientWithTheLogon) {
  EXPECT_EQ(make({"scott", "tiger", "orcl"}).kind, Outcome::Done);
  const std::string file = dir + "scott_tiger@orcl.lnk";
  ASSERT_TRUE(fs::exists(file));
  const Link l = readLink(file);
  EXPECT_EQ(l.path, client);
  EXPECT_EQ(l.arguments, "scott/tiger@orcl");
  EXPECT_EQ(l.workDir, "C:\\");
  EXPECT_EQ(l.showCmd, SW_SHOWNORMAL);
  fs::remove(file);

  // A bare name: the link starts the file PATH's folders give, by its full path.
  {
    const ui_test::PathVariable path("C:\\nowhere;" + GetExeDir());
    EXPECT_EQ(createLogonShortcut("vk_recorder", {"scott", "tiger", "orcl"}, neverAsked).kind,
              Outcome::Done);
  }
  EXPECT_EQ(readLink(file).path, client);
  fs::remove(file);
}

// The file name keeps both separators; the arguments leave out an empty
// password (the client asks for it) with its '/', as the launch does.
TEST_F(ShortcutTest, EmptyPasswordIsLeftOutOfTheArgumentsNotTheName) {
  EXPECT_EQ(make({"u", "", "h"}).kind, Outcome::Done);
  const std::string file = dir + "u_@h.lnk";
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(readLink(file).arguments, "u@h");
  fs::remove(file);
}

TEST_F(ShortcutTest, EveryLogonGetsItsShortcutButAPathTooLongFailsAndLeavesNothing) {
  // The file name takes full-width forms; the link keeps the exact text, as one argument.
  EXPECT_EQ(make({"scott", "p@ss", "db1:1521/orclpdb"}).kind, Outcome::Done);
  const std::string easy = dir +
                           "scott_p@ss@db1\x81\x46"
                           "1521\x81\x5Eorclpdb.lnk";
  EXPECT_EQ(readLink(easy).arguments, "scott/\\\"p@ss\\\"@db1:1521/orclpdb");
  DeleteFileA(easy.c_str());
  const auto before = desktopFiles();
  for (auto [bad, wide] : {std::pair{":", "\x81\x46"},
                           {"?", "\x81\x48"},
                           {"*", "\x81\x96"},
                           {"<", "\x81\x83"},
                           {">", "\x81\x84"},
                           {"|", "\x81\x62"},
                           {"/", "\x81\x5E"},
                           {"\\", "\x81\x5F"}}) {
    EXPECT_EQ(make({std::string("u") + bad + "x", "p", "h"}).kind, Outcome::Done) << bad;
    const std::string made = dir + "u" + wide + "x_p@h.lnk";
    EXPECT_TRUE(DeleteFileA(made.c_str())) << bad;
  }
  // Too long for a file name: the shell's own reason, an HRESULT, is kept.
  const Outcome tooLong = make({"u", "p", std::string(300, 'h')});
  EXPECT_EQ(tooLong.kind, Outcome::Failed);
  EXPECT_TRUE(FAILED(static_cast<HRESULT>(tooLong.error))) << tooLong.error;
  EXPECT_EQ(desktopFiles(), before);
  // A double-byte character whose second byte is 0x5C is no separator.
  EXPECT_EQ(make({"\x95\x5C", "\x83\x5C", "h"}).kind, Outcome::Done);  // 表, ソ
  const std::string file = dir + "\x95\x5C_\x83\x5C@h.lnk";  // ANSI: not for std::filesystem
  EXPECT_NE(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);
  DeleteFileA(file.c_str());
}

// The desktop's shell folder at folder while it lives, then as it was.
class DesktopAt {
 public:
  explicit DesktopAt(const std::string& folder) {
    EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, kKey, "Desktop", RRF_RT_ANY | RRF_NOEXPAND, &type_,
                           old_, &size_),
              ERROR_SUCCESS);
    RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "Desktop", REG_SZ, folder.c_str(), folder.size() + 1);
  }
  ~DesktopAt() { RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "Desktop", type_, old_, size_); }
  DesktopAt(const DesktopAt&) = delete;
  DesktopAt& operator=(const DesktopAt&) = delete;

 private:
  static constexpr char kKey[] =
      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  char old_[MAX_PATH] = {};
  DWORD type_ = 0, size_ = sizeof old_;
};

// A desktop inside the folder that OneDrive's variable for a work account
// names: a shortcut with a password asks first, in a box the window owns;
// いいえ writes nothing, はい writes. Without a password: no question. (Wine
// makes no desktop of a share: the shell cannot name one.)
TEST_F(FormTest, ShortcutWithAPasswordAsksBeforeItLeavesThisPC) {
  const ComInit com;
  start(kThreeLogons);
  useClient(GetExeDir() + "vk_recorder.exe");
  const std::string synced = scratch.file("OneDrive - ") + "\x89\xEF\x8E\xD0";  // 会社
  const std::string desktop =
      synced + "\\\x83\x66\x83\x58\x83\x4E\x83\x67\x83\x62\x83\x76";  // デスクトップ
  CreateDirectoryA(synced.c_str(), nullptr);
  CreateDirectoryA(desktop.c_str(), nullptr);
  const DesktopAt at(desktop);
  SetEnvironmentVariableA("OneDriveCommercial", synced.c_str());
  const std::string dir = desktop + "\\";
  clickItem(form->lstLogin, 0);  // scott / tiger @ orcl
  const auto no = answeredWith(IDNO, [&] { click(form->btnShortCut); });
  ASSERT_EQ(no.size(), 1u);  // nothing said after いいえ
  EXPECT_EQ(no[0].text, messages::shortcutLeavesThisPC(dir, FolderReach::Synchronised));
  EXPECT_EQ(no[0].owner, form->Handle);
  EXPECT_EQ(no[0].defaultButton, IDNO);
  EXPECT_EQ(GetFileAttributesA((dir + "scott_tiger@orcl.lnk").c_str()), INVALID_FILE_ATTRIBUTES);
  const auto yes = answeredWith(IDYES, [&] { click(form->btnShortCut); });
  ASSERT_EQ(yes.size(), 2u);
  EXPECT_EQ(yes[1].text, L"デスクトップに作成しました。");
  EXPECT_EQ(readLink(dir + "scott_tiger@orcl.lnk").arguments, "scott/tiger@orcl");
  clickItem(form->lstLogin, 2);  // hr, no password
  EXPECT_EQ(messageFrom([&] { click(form->btnShortCut); }), L"デスクトップに作成しました。");
  EXPECT_NE(GetFileAttributesA((dir + "hr_@.lnk").c_str()), INVALID_FILE_ATTRIBUTES);
  SetEnvironmentVariableA("OneDriveCommercial", nullptr);
}

// The window reports what came of the shortcut, with the system's reason.
TEST_F(FormTest, ShortcutButtonReportsWhatCameOfIt) {
  const ComInit com;
  std::string desktop;
  ASSERT_TRUE(GetDesktopFolder(desktop));
  start(kThreeLogons);  // C:\oracle\bin\sqlplus.exe is not there
  clickItem(form->lstLogin, 0);
  const std::wstring shown = messageFrom([&] { click(form->btnShortCut); });
  EXPECT_EQ(shown.substr(0, shown.find(L'\n')), L"ショートカット作成に失敗しました。");
  EXPECT_NE(shown.find(L"(エラー "), std::wstring::npos) << shown;
  EXPECT_FALSE(fs::exists(desktop + "scott_tiger@orcl.lnk"));
  useClient(GetExeDir() + "vk_recorder.exe");
  EXPECT_EQ(messageFrom([&] { click(form->btnShortCut); }), L"デスクトップに作成しました。");
  EXPECT_TRUE(fs::remove(desktop + "scott_tiger@orcl.lnk"));
}

TEST(SpecialFolder, EndsWithABackslashAndFailsWithoutAPath) {
  std::string path = "unchanged";
  ASSERT_TRUE(GetSpecialFolder(CSIDL_DESKTOPDIRECTORY, path));
  EXPECT_EQ(path.back(), '\\');
  EXPECT_TRUE(fs::is_directory(path));
  path = "unchanged";
  EXPECT_FALSE(GetSpecialFolder(0x00FF, path));  // no such folder
  EXPECT_EQ(path, "unchanged");

  // A desktop named "表" (0x95 0x5C) still gets its separator.
  testfiles::ScratchDir scratch;
  const std::string desk = scratch.file("\x95\x5C");
  ASSERT_TRUE(CreateDirectoryA(desk.c_str(), nullptr));
  const DesktopAt at(desk);
  EXPECT_TRUE(GetDesktopFolder(path));
  EXPECT_EQ(path, desk + "\\");
}

}  // namespace
