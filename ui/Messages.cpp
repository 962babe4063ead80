// Messages.cpp: see Messages.h. "%s" in a text stands for the offending text.
#include "Messages.h"

#include "CodePage.h"

namespace messages {

const wchar_t kLaunchFailed[] = L"起動に失敗しました。";
const wchar_t kShortcutCreated[] = L"デスクトップに作成しました。";
const wchar_t kShortcutFailed[] = L"ショートカット作成に失敗しました。";
const wchar_t kOutOfMemory[] = L"メモリが足りません";
const wchar_t kFileDialogUnavailable[] = L"comdlg32.dll を読み込めませんでした";
const wchar_t kExeFilter[] = L"実行ファイル (*.exe)\0*.exe\0";

namespace {

// Puts Detail in the place of "%s" in Text.
std::wstring with(const wchar_t* Text, const std::wstring& Detail) {
  std::wstring text = Text;
  const size_t at = text.find(L"%s");
  if (at != std::wstring::npos) text.replace(at, 2, Detail);
  return text;
}

}  // namespace

// No default in these switches: the compiler names an outcome without words.
std::wstring loadFailed(const LoadResult& Result) {
  // The runtime's own wording for a "COUNT" it cannot convert, and ours for a
  // file that cannot be read. The error box adds the final period.
  switch (Result.status) {
    case LoadResult::Ok:
      return L"";
    case LoadResult::NotAnInteger:
      return with(L"'%s' は整数ではありません", fromAnsi(Result.detail));
    case LoadResult::RangeError:
      return L"範囲チェックエラー";
    case LoadResult::OutOfMemory:
      return kOutOfMemory;
    case LoadResult::Unreadable:
      return with(L"設定ファイル %s を読み込めませんでした", fromAnsi(Result.detail));
  }
  return L"";
}

std::wstring saveOutcome(SaveResult Result) {
  switch (Result) {
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

std::wstring unusableCharacters(const std::wstring& Label) {
  return Label + L"に使えない文字があります。";
}

std::wstring pathNotInCodePage(const std::wstring& Path) {
  return L"このパスは現在のコード ページで表せません: " + Path;
}

}  // namespace messages
