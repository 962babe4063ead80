// Messages.h: every message the program shows. The layers below report
// outcomes (an error kind and the offending text); the wording is here.
#pragma once

#include <string>
#include <vector>

#include "Launch.h"
#include "Store.h"

namespace messages {

// The error box's text for a settings file that could not be loaded.
std::wstring loadFailed(const LoadResult& result);
// The message dialog's text for a save at the session's end (or after a
// change); empty when there is nothing to say. A failed save gives our
// sentence, then its reason.
std::wstring saveOutcome(const SaveResult& result);
// The box after a change that has not reached the disk for a while: it is
// still being tried; the reason on the lines after.
std::wstring notSavedYet(const SaveResult& result);
// The notification area's words at the session's end when the last save
// had not ended in the time Windows gives.
std::wstring sessionEndUnfinished();
// The question a close asks when its save did not happen, with the
// reason; empty when it did.
std::wstring closeWithoutSaving(const SaveResult& result);
// Why a save failed: the step, and the system's words on a line of their own.
std::wstring saveReason(const SaveResult& result);
// The box after a start (or a save) that found what a save cut off had
// left: the copy put back (empty: none), and the copies kept aside because
// they did not read whole.
std::wstring recoveredNotice(const std::string& copy, const std::vector<std::string>& keptAside);
// The box after a start that merged changes a session's end had kept: what
// came back, and the kept changes it could not read whole; empty when none.
std::wstring resumedNotice(const LoadResult& result);
// The box after a save that replaced the file but whose flush the system
// could not confirm: saved, told once.
std::wstring savedUnconfirmed(const SaveResult& result);
// The notification area's words at the session's end when the change could
// not be saved but was kept for the next start.
std::wstring sessionEndKept(const SaveResult& result);
// A box whose text the code page cannot hold exactly, named by its label.
std::wstring unusableCharacters(const std::wstring& label);

// What the window does with a client path.
enum class Action { Launch, Shortcut, ChooseClient };
// The message for what an action came to; empty when there is nothing to say.
std::wstring outcomeText(Action action, const Outcome& outcome);
// The question before a shortcut that holds a password is written to the
// desktop folder, whose files reach beyond this PC as reach says.
std::wstring shortcutLeavesThisPC(const std::string& folder, FolderReach reach);
// The system's own words for an error code (a Win32 error or an HRESULT), in
// the user's language, with the code; the code alone when it has none.
std::wstring systemErrorText(unsigned long error);

// An error the program does not expect (a runtime's exception): our
// sentence, and the runtime's words as its reason.
std::wstring unexpectedError(const char* what);
// The same for a system call that failed: the system's words for its error.
std::wstring unexpectedSystemError(unsigned long error);

extern const wchar_t kOutOfMemory[];
// What the list shows while the settings file is being read, and while the
// close waits for its save.
extern const wchar_t kLoading[];
extern const wchar_t kSaving[];
// The file dialog's one filter: its name and its pattern, each ended by a NUL.
extern const wchar_t kExeFilter[];

}  // namespace messages
