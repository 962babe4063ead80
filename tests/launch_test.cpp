// The launch and the shortcut as pieces of their own, in-process under Wine:
// a client path and a logon in, an outcome out (the window only reports it).
#include <windows.h>

#include <cderr.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "Common.h"
#include "FormFixture.h"
#include "Launch.h"
#include "Messages.h"
#include "Shortcut.h"
#include "TestFiles.h"
#include "WindowTestUtils.h"

namespace {

namespace fs = std::filesystem;

using ui_test::PathVariable;

// A settings file can come from someone else: no client path may make the
// launch or the shortcut run what a logon holds, or a copy of the client
// planted beside the program (or in the current folder).
TEST(Launch, ClientPathsThatWouldRunSomethingElseAreRefusedByBothWays) {
  const testfiles::ScratchDir scratch;
  const std::string pwned = scratch.file("pwned.txt"), ran = scratch.file("ran.txt");
  const Logon logon{"scott", "x&echo.INJECTED>" + pwned + "&%WINDIR%", "orcl"};
  const std::string recorder = GetExeDir() + "vk_recorder.exe";
  const std::string planted = GetExeDir() + "sqlplus.exe";
  CopyFileA(recorder.c_str(), planted.c_str(), FALSE);
  const std::string batch = scratch.file("sqlplus.bat");
  testfiles::writeBytes(batch, "@echo %* > \"" + ran + "\"\r\n");
  const std::string record = scratch.file("record.txt");
  SetEnvironmentVariableA("VOSTRELK_RECORD", record.c_str());
  std::string desktop;
  ASSERT_TRUE(GetDesktopFolder(desktop));
  const std::string link = desktop + shortcutFileName(logon);
  {
    const PathVariable path(".;" + scratch.file("none"));
    const std::pair<std::string, Outcome::Kind> cases[] = {
        {"", Outcome::NoClient},
        {"\"" + recorder + "\" @\\\\srv\\x.sql \"", Outcome::PathUnusable},
        {batch, Outcome::BatchClient},
        {batch + ". ", Outcome::BatchClient},
        {batch + "::$DATA", Outcome::PathUnusable},
        {"tests\\..\\sqlplus.exe", Outcome::NotFullPath},
        {"C:sqlplus.exe", Outcome::NotFullPath},
        {"\\sqlplus.exe", Outcome::NotFullPath},
        {"sqlplus.exe", Outcome::NotOnPath},
        {"sqlplus", Outcome::NotOnPath},
    };
    for (const auto& [client, kind] : cases) {
      EXPECT_EQ(launchClient(client, logon).kind, kind) << client;
      EXPECT_EQ(createLogonShortcut(client, logon, ui_test::neverAsked).kind, kind) << client;
    }
  }
  ui_test::pump(1000);  // a client started anyway would have written by now
  for (const std::string& made : {link, ran, pwned, record}) EXPECT_FALSE(fs::exists(made)) << made;

  // A bare name is looked for in PATH's folders alone, and started from there.
  const std::string onPath = scratch.file("bin");
  CreateDirectoryA(onPath.c_str(), nullptr);
  CopyFileA(recorder.c_str(), (onPath + "\\sqlplus.exe").c_str(), FALSE);
  {
    const PathVariable path(".;" + onPath);
    EXPECT_EQ(launchClient("sqlplus", {"scott", "tiger", "orcl"}).kind, Outcome::Done);
  }
  for (int i = 0; i < 300 && !fs::exists(record); ++i) ui_test::pump(50);
  EXPECT_EQ(testfiles::readBytes(record), onPath + "\\sqlplus.exe scott/tiger@orcl");
  SetEnvironmentVariableA("VOSTRELK_RECORD", nullptr);
  DeleteFileA(planted.c_str());
}

// A file dialog that could not open (Wine opens one whatever it is given:
// the dialog's functions stand in for Windows') is no Cancel: it says so,
// with the dialog's own error.
TEST(Launch, FileDialogThatCannotOpenIsNoCancel) {
  static DWORD error = 0;
  const FileDialog failing{[](LPOPENFILENAMEW) -> BOOL { return FALSE; },
                           []() -> DWORD { return error; }};
  error = CDERR_INITIALIZATION;
  const ClientChoice failed = chooseClient(nullptr, L"", messages::kExeFilter, &failing);
  EXPECT_EQ(failed.outcome.kind, Outcome::Failed);
  EXPECT_EQ(failed.outcome.error, DWORD{CDERR_INITIALIZATION});
  EXPECT_EQ(messages::outcomeText(messages::Action::ChooseClient, failed.outcome),
            L"ファイルを選ぶダイアログを開けませんでした。(エラー 0x00000002)");
  error = 0;  // Cancel
  EXPECT_EQ(chooseClient(nullptr, L"", messages::kExeFilter, &failing).outcome.kind,
            Outcome::Cancelled);
}

}  // namespace
