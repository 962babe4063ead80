// Messages.cpp: see Messages.h. "%s" in a text stands for the offending text.
#include "Messages.h"

#include "CodePage.h"

namespace messages {

const wchar_t kLaunchFailed[] = L"起動に失敗しました。";
const wchar_t kClientPathUnusable[] = L"SQL*Plusのパスに使えない文字があります。";
const wchar_t kShortcutCreated[] = L"デスクトップに作成しました。";
const wchar_t kShortcutFailed[] = L"ショートカット作成に失敗しました。";
const wchar_t kOutOfMemory[] = L"メモリが足りません";
const wchar_t kFileDialogUnavailable[] = L"comdlg32.dll を読み込めませんでした";
const wchar_t kExeFilter[] = L"実行ファイル (*.exe)\0*.exe\0";

namespace {

// Puts detail in the place of "%s" in text.
std::wstring with(const wchar_t* text, const std::wstring& detail) {
  std::wstring out = text;
  const size_t at = out.find(L"%s");
  if (at != std::wstring::npos) out.replace(at, 2, detail);
  return out;
}

}  // namespace

// No default in these switches: the compiler names an outcome without words.
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
    case LoadResult::Unreadable:
      return with(L"設定ファイル %s を読み込めませんでした", fromAnsi(result.detail));
  }
  return L"";
}

std::wstring saveOutcome(SaveResult result) {
  switch (result) {
    case SaveResult::Saved:
    case SaveResult::Unchanged:
      return L"";
    case SaveResult::Failed:
      return L"設定の保存に失敗しました。";
    case SaveResult::NotLoaded:
      return L"設定ファイルを読み込めなかったため、変更は保存しませんでした。";
  }
  return L"";
}

std::wstring closeWithoutSaving(SaveResult result) {
  switch (result) {
    case SaveResult::Saved:
    case SaveResult::Unchanged:
      return L"";
    case SaveResult::Failed:
      return L"設定の保存に失敗しました。保存せずに終了しますか？";
    case SaveResult::NotLoaded:
      return L"設定ファイルを読み込めなかったため、変更を保存できません。保存せずに終了しますか？";
  }
  return L"";
}

std::wstring unusableCharacters(const std::wstring& label) {
  return label + L"に使えない文字があります。";
}

std::wstring pathNotInCodePage(const std::wstring& path) {
  return L"このパスは現在のコード ページで表せません: " + path;
}

}  // namespace messages
