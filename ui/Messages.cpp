// Messages.cpp: see Messages.h. "%s" in a text stands for the offending text.
#include "Messages.h"

#include <windows.h>

#include <cwchar>

#include "CodePage.h"
#include "Raii.h"

namespace messages {

const wchar_t kOutOfMemory[] = L"メモリが足りません";
const wchar_t kLoading[] = L"読み込んでいます...";  // short: the list is narrow
const wchar_t kSaving[] = L"保存しています...";
const wchar_t kExeFilter[] = L"実行ファイル (*.exe)\0*.exe\0";

namespace {

// Puts detail in the place of "%s" in text.
std::wstring with(const wchar_t* text, const std::wstring& detail) {
  std::wstring out = text;
  const size_t at = out.find(L"%s");
  if (at != std::wstring::npos) out.replace(at, 2, detail);
  return out;
}

std::wstring hex(unsigned long code) {
  wchar_t buf[16];
  std::swprintf(buf, 16, L"0x%08lX", code);
  return buf;
}

// What the close and the session's end say for each save result: the
// notice, and the question whether to end without saving.
struct SaveWords {
  const wchar_t* notice;
  const wchar_t* question;
};
SaveWords saveWords(SaveResult::Status status) {
  // No default: the compiler names an outcome without words.
  switch (status) {
    case SaveResult::Saved:
    case SaveResult::Unchanged:
      return {L"", L""};
    case SaveResult::Failed:
      return {L"設定の保存に失敗しました。", L"設定の保存に失敗しました。保存せずに終了しますか？"};
    case SaveResult::NotLoaded:
      return {
          L"設定ファイルを読み込めなかったため、変更は保存しませんでした。",
          L"設定ファイルを読み込めなかったため、変更を保存できません。保存せずに終了しますか？"};
  }
  return {L"", L""};
}

// The system's words for error on a line of their own; nothing without one.
std::wstring systemLine(unsigned long error) {
  return error ? L"\n" + systemErrorText(error) : L"";
}

// The value a read-back found otherwise: a logon's box by its label and
// the logon's place in the list, or the SQL*Plus path.
std::wstring readBackValue(const SaveResult& result) {
  if (result.key == "User" || result.key == "Pass" || result.key == "Host") {
    const wchar_t* label = result.key == "User"   ? L"ユーザＩＤ"
                           : result.key == "Pass" ? L"パスワード"
                                                  : L"ホスト文字列";
    return with(L"%s 番目の接続先の", fromAnsi(std::to_string(std::stoll(result.section) + 1))) +
           label;
  }
  if (result.key == "Path") return L"SQL*Plus のパス";
  return L"接続先の数";
}

}  // namespace

std::wstring saveReason(const SaveResult& result) {
  using Step = SaveResult::Step;
  const std::wstring detail = fromAnsi(result.detail);
  switch (result.step) {
    case Step::None:
      return L"";
    case Step::Value:
      return L"改行などの保存できない文字を含む値があります。";
    case Step::LockBusy:
      return with(L"別の Vostrelk が保存中です（%s）。", detail);
    case Step::Lock:
      return with(L"ロック ファイル %s を作成できません。", detail) + systemLine(result.error);
    case Step::Recover:
      return with(L"途中で終わった保存のファイル %s を元に戻せません。", detail) +
             systemLine(result.error);
    case Step::ReadOnly:
      return with(L"設定ファイル %s は読み取り専用です。", detail);
    case Step::Read:
      return with(L"設定ファイル %s を読み込めません。", detail) + systemLine(result.error);
    case Step::Count:
      // The file changed since it was read: by another copy, by hand or by
      // another tool. The words do not guess which.
      return with(L"設定ファイル %s が書き換えられていて、COUNT の値を読めません。", detail);
    case Step::Copy:
      return with(L"作業用のファイル %s を作成できません。", detail) + systemLine(result.error);
    case Step::Write:
      return with(L"作業用のファイル %s に書き込めません。", detail) + systemLine(result.error);
    case Step::ReadBack:
      // Trying again reads the same: the user has to change the value.
      return readBackValue(result) +
             L"を設定ファイルに書いて読み直すと、別の文字になって戻ってきます。\n"
             L"この値は保存できません。入力し直してください。";
    case Step::Replace:
      return with(L"%s を新しい内容に置き換えられません。", detail) + systemLine(result.error);
    case Step::Memory:
      return kOutOfMemory;
    case Step::TimeUp:
      return with(L"設定ファイル %s の書き込みが時間内に終わりませんでした。", detail);
    case Step::Link:
      // Trying again meets the same link: the user has to act.
      return with(L"設定ファイル %s はリンクです。", detail) +
             L"\nリンク先のファイルを消したり分けたりしないよう、置き換えません。\n"
             L"リンクをやめて、ふつうのファイルとして置いてください。";
    case Step::Unexpected:
      return unexpectedError(result.detail.c_str());
  }
  return L"";
}

std::wstring recoveredNotice(const std::string& copy, const std::vector<std::string>& keptAside) {
  // Lines as short as the box is wide: it would break a longer one anywhere.
  std::wstring text = L"前回の設定の保存が途中で終わっていました。\n";
  if (!copy.empty()) text += L"最後に保存した内容に戻しました。\n";
  if (keptAside.empty())
    return text + L"操作は必要ありません。\n" + L"戻したファイル: " + fromAnsi(copy);
  if (copy.empty())
    text += L"元に戻せるファイルはありませんでした。\n";
  else
    text += L"戻したファイル: " + fromAnsi(copy) + L"\n";
  // Not deleted: it may hold logons that no other file has.
  text +=
      L"\n途中までしか書かれていないファイルがありました。\n"
      L"削除せずに、次の名前で残してあります。\n"
      L"必要なログオンがないか確かめてください。\n";
  for (const std::string& aside : keptAside) text += L"\n" + fromAnsi(aside);
  return text;
}

std::wstring loadFailed(const LoadResult& result) {
  // The runtime's own wording for a "COUNT" it cannot convert, and ours for a
  // file that cannot be read. The error box adds the final period.
  switch (result.status) {
    case LoadResult::Ok:
      return L"";
    case LoadResult::NotAnInteger:
      return with(L"'%s' は整数ではありません", fromAnsi(result.detail));
    case LoadResult::RangeError:
      return L"範囲チェックエラー";
    case LoadResult::OutOfMemory:
      return kOutOfMemory;
    case LoadResult::Unexpected:
      return unexpectedError(result.detail.c_str());
    case LoadResult::Unreadable:
      // Without the system's error: the file did not hold still, or another
      // program took it while the system read it. (Short lines: the box
      // would wrap a long one mid-word.)
      // The readme's check finds these words as they stand here: kept on one line.
      // clang-format off
      return with(L"設定ファイル %s を読み込めませんでした。", fromAnsi(result.detail)) +
             (result.error ? systemLine(result.error)
                           : L"\n読んでいる間に、ほかのプログラムが\nファイルを書き換えたか、使っていました");
      // clang-format on
    case LoadResult::Unrecovered:
      // Nothing is loaded, so nothing is written over the copy.
      return L"前回の設定の保存が途中で終わっていましたが、\n" +
             (result.error ? L"元に戻せませんでした。" + systemLine(result.error)
                           : std::wstring(L"別の Vostrelk が保存中のため元に戻せませんでした。")) +
             L"\n残っているファイル: " + fromAnsi(result.detail) +
             L"\nこの起動では一覧を読み込まず、何も保存しません。\n"
             L"しばらくしてから起動し直してください";
    case LoadResult::UnusableCopy:
      // A link is never followed; an empty list would be written over it.
      return L"設定ファイルがなく、その代わりになるはずのファイルが\n"
             L"リンクかフォルダーのため、使いませんでした。\n"
             L"見つかったもの: " +
             fromAnsi(result.detail) +
             L"\nこの起動では一覧を読み込まず、何も保存しません。\n"
             L"中身を確かめて、ふつうのファイルとして置き直してください";
  }
  return L"";
}

std::wstring resumedNotice(const LoadResult& result) {
  std::wstring text;
  // The password is not shown: the user names a logon by its user and host.
  const auto named = [](const Logon& l) { return fromAnsi(l.User + " @ " + l.Host); };
  if (!result.resumed.empty()) {
    text =
        L"前回 Windows の終了（サインアウトなど）のときに\n"
        L"保存できなかった変更を、設定ファイルに戻しました。\n";
    if (result.cameBack.empty() && result.goneAgain.empty() && !result.pathCameBack)
      text += L"設定ファイルはすでにその内容でした。\n";
    for (const Logon& l : result.cameBack) text += L"\n追加: " + named(l);
    for (const Logon& l : result.goneAgain) text += L"\n削除: " + named(l);
    if (result.pathCameBack) text += L"\nSQL*Plus のパスを変更";
  }
  if (!result.resumedAside.empty()) {
    // Not deleted: it may hold what was typed before the session ended.
    if (!text.empty()) text += L"\n\n";
    text +=
        L"残しておいた変更のファイルが、途中までしか書かれていませんでした。\n"
        L"戻さずに、次の名前で残してあります。\n";
    for (const std::string& aside : result.resumedAside) text += L"\n" + fromAnsi(aside);
  }
  return text;
}

std::wstring savedUnconfirmed(const SaveResult& result) {
  return with(L"設定ファイル %s に保存しましたが、", fromAnsi(result.detail)) +
         L"\nディスクに書き込まれたことを Windows が確認できませんでした。" +
         systemLine(result.error) + L"\n念のため、しばらくしてから一覧を確かめてください。";
}

std::wstring sessionEndKept(const SaveResult& result) {
  return L"Windows の終了までに設定を保存できませんでした。\n"
         L"変更は設定ファイルの横に残し、次の起動で戻します。\n" +
         saveReason(result);
}

std::wstring saveOutcome(const SaveResult& result) {
  const std::wstring reason = saveReason(result);
  const std::wstring notice = saveWords(result.status).notice;
  return notice.empty() || reason.empty() ? notice : notice + L"\n" + reason;
}

std::wstring notSavedYet(const SaveResult& result) {
  return L"変更をまだ設定ファイルに保存できていません。\n"
         L"保存できるまで、自動で試し続けます。\n" +
         saveReason(result);
}

std::wstring sessionEndUnfinished() {
  return L"Windows の終了までに設定の保存が終わりませんでした。\n"
         L"最後の変更は保存されていないかもしれません。";
}

std::wstring closeWithoutSaving(const SaveResult& result) {
  const std::wstring reason = saveReason(result);
  const std::wstring question = saveWords(result.status).question;
  return question.empty() || reason.empty() ? question : question + L"\n\n" + reason;
}

std::wstring unexpectedError(const char* what) {
  return std::wstring(L"予期しないエラーが発生しました。\n") + fromUtf8(what);
}

std::wstring unexpectedSystemError(unsigned long error) {
  return L"予期しないエラーが発生しました。\n" + systemErrorText(error);
}

std::wstring unusableCharacters(const std::wstring& label) {
  return label + L"に使えない文字があります。";
}

std::wstring systemErrorText(unsigned long error) {
  UniqueLocalMem<wchar_t> text;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(text.put()), 0, nullptr);
  std::wstring words = n ? std::wstring(text.get(), n) : L"";
  while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' || words.back() == L' '))
    words.pop_back();
  const std::wstring code =
      L"(エラー " + (error > 0xFFFF ? hex(error) : std::to_wstring(error)) + L")";
  return words.empty() ? code : words + L" " + code;
}

std::wstring shortcutLeavesThisPC(const std::string& folder, FolderReach reach) {
  std::wstring where;
  // No default: the compiler names a place without words.
  switch (reach) {
    case FolderReach::ThisPC:
      return L"";
    case FolderReach::Synchronised:
      where =
          L"このフォルダーはクラウドと同期されています。\n"
          L"ショートカットの名前とリンク先にはパスワードが入るため、\n"
          L"パスワードが同期先のサーバーにも保存されます。\n";
      break;
    case FolderReach::Network:
      where =
          L"このフォルダーはネットワーク上のサーバーにあります。\n"
          L"ショートカットの名前とリンク先にはパスワードが入るため、\n"
          L"パスワードがそのサーバーに保存されます。\n";
      break;
  }
  return L"ショートカットを次のフォルダーに作成します。\n" + fromAnsi(folder) + L"\n\n" + where +
         L"\nパスワードの欄を空にして作成すると、ショートカットには\n"
         L"パスワードが入らず、起動したときに SQL*Plus がたずねます。\n\n"
         L"作成しますか？";
}

std::wstring outcomeText(Action action, const Outcome& outcome) {
  switch (outcome.kind) {
    case Outcome::Done:
      return action == Action::Shortcut ? L"デスクトップに作成しました。" : L"";
    case Outcome::Cancelled:
      return L"";
    case Outcome::NoClient:
      return L"SQL*Plus のパスが設定されていません。「参照...」で選んでください。";
    case Outcome::PathUnusable:
      return L"SQL*Plus のパスに使えない文字があります。";
    case Outcome::BatchClient:
      return L"SQL*Plus のパスに .bat や .cmd は使えません。\n"
             L"「参照...」で sqlplus.exe を選んでください。";
    case Outcome::NotFullPath:
      return L"SQL*Plus のパスを完全なパスにしてください。\n"
             L"（C:\\ や \\\\サーバー名\\ から始まるパス）\n"
             L"「参照...」で選び直せます。";
    case Outcome::NotOnPath:
      return with(
          L"%s が PATH のフォルダーにありません。\n「参照...」で sqlplus.exe を選んでください。",
          outcome.detail);
    case Outcome::NotInCodePage:
      return with(L"このパスは現在のコード ページで表せません: %s", outcome.detail);
    case Outcome::Failed:
      switch (action) {
        case Action::Launch:
          return L"起動に失敗しました。\n" + systemErrorText(outcome.error);
        case Action::Shortcut:
          return L"ショートカット作成に失敗しました。\n" + systemErrorText(outcome.error);
        case Action::ChooseClient:
          // CommDlgExtendedError's codes have no text of the system's.
          return L"ファイルを選ぶダイアログを開けませんでした。(エラー " + hex(outcome.error) +
                 L")";
      }
  }
  return L"";
}

}  // namespace messages
