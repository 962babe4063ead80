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

template <typename Outcome>
struct Text {
  Outcome outcome;
  const wchar_t* text;
};

// The runtime's own wording for a "COUNT" it cannot convert, and ours for a
// file that cannot be read. The error box adds the final period.
const Text<LoadResult::Status> kLoadTexts[] = {
    {LoadResult::NotAnInteger, L"'%s' は整数ではありません"},
    {LoadResult::RangeError, L"範囲チェックエラー"},
    {LoadResult::OutOfMemory, kOutOfMemory},
    {LoadResult::Unreadable, L"設定ファイル %s を読み込めませんでした"},
};

const Text<SaveResult> kSaveTexts[] = {
    {SaveResult::Failed, L"設定の保存に失敗しました。"},
    {SaveResult::NotLoaded, L"設定ファイルを読み込めなかったため、変更は保存しませんでした。"},
};

template <typename Outcome, size_t N>
std::wstring lookUp(const Text<Outcome> (&table)[N], Outcome outcome, const std::wstring& detail) {
  for (const auto& t : table) {
    if (t.outcome != outcome) continue;
    std::wstring text = t.text;
    const size_t at = text.find(L"%s");
    if (at != std::wstring::npos) text.replace(at, 2, detail);
    return text;
  }
  return {};
}

}  // namespace

std::wstring loadFailed(const LoadResult& Result) {
  return lookUp(kLoadTexts, Result.status, fromAnsi(Result.detail));
}

std::wstring saveOutcome(SaveResult Result) {
  return lookUp(kSaveTexts, Result, L"");
}

std::wstring unusableCharacters(const std::wstring& Label) {
  return Label + L"に使えない文字があります。";
}

std::wstring pathNotInCodePage(const std::wstring& Path) {
  return L"このパスは現在のコード ページで表せません: " + Path;
}

}  // namespace messages
