// Messages.h: every message the program shows. The layers below report
// outcomes (an error kind and the offending text); the wording is here.
#pragma once

#include <string>

#include "Store.h"

namespace messages {

// The error box's text for a settings file that could not be loaded.
std::wstring loadFailed(const LoadResult& result);
// The message dialog's text for a save at the session's end; empty when there
// is nothing to say.
std::wstring saveOutcome(SaveResult result);
// The question a close asks when its save did not happen; empty when it did.
std::wstring closeWithoutSaving(SaveResult result);
// A box whose text the code page cannot hold exactly, named by its label.
std::wstring unusableCharacters(const std::wstring& label);
// A chosen client path the code page cannot hold, even in its short form.
std::wstring pathNotInCodePage(const std::wstring& path);

extern const wchar_t kLaunchFailed[];
extern const wchar_t kClientPathUnusable[];
extern const wchar_t kShortcutCreated[];
extern const wchar_t kShortcutFailed[];
extern const wchar_t kOutOfMemory[];
extern const wchar_t kFileDialogUnavailable[];
// The file dialog's one filter: its name and its pattern, each ended by a NUL.
extern const wchar_t kExeFilter[];

}  // namespace messages
