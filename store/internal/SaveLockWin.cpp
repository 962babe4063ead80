// SaveLockWin.cpp: SaveLock and the file names of SaveLock.h on Windows.
#include <windows.h>

#include "CodePage.h"
#include "Files.h"
#include "Raii.h"
#include "SaveLock.h"

struct SaveLock::Impl {
  UniqueFile file;
  std::wstring name;
  std::string renameInfo;  // a FILE_RENAME_INFO to a name of its own, made before it is needed
};

namespace {

// Whether the name still leads to the file held open: a holder that let go
// may have taken it away (or the name now leads to a newer lock file), and a
// lock on a file nobody else can open keeps nothing apart.
bool nameLeadsTo(const std::wstring& name, HANDLE held) {
  const UniqueFile now(CreateFileW(name.c_str(), 0,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
  const std::optional<FileId> id = openFileId(held);
  return now && id && id == openFileId(now.get());
}

}  // namespace

SaveLock::Outcome SaveLock::acquire(const std::string& fileName, const Deadline& deadline,
                                    std::optional<SaveLock>& lock, unsigned long* error) {
  lock.reset();
  // Everything that may throw comes before the handle: a lock that is taken
  // must never be lost on the way to its owner.
  auto impl = std::make_unique<Impl>();
  impl->name = fromAnsi(saveLockFile(fileName));
  const std::wstring& name = impl->name;
  const std::wstring aside =
      fromAnsi(saveLockAside(fileName, GetCurrentProcessId(), GetTickCount64()));
  impl->renameInfo.assign(sizeof(FILE_RENAME_INFO) + aside.size() * sizeof(wchar_t), '\0');
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(impl->renameInfo.data());
  rename->FileNameLength = static_cast<DWORD>(aside.size() * sizeof(wchar_t));
  memcpy(rename->FileName, aside.c_str(), rename->FileNameLength);
  constexpr ULONGLONG kUnopenableWait = 1500;  // ms
  ULONGLONG unopenableSince = 0;
  for (;;) {
    UniqueFile file(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD openError = file ? ERROR_SUCCESS : GetLastError();
    if (error) *error = openError;
    if (file) {
      // The first byte: nothing reads the lock file, and Wine hands a lock on
      // to the file system (where the other PCs see it) only within the
      // offsets the system's own locks reach.
      OVERLAPPED at{};
      if (LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                     &at)) {
        if (nameLeadsTo(name, file.get())) {
          impl->file = std::move(file);
          lock.emplace(SaveLock(std::move(impl)));
          return Outcome::Locked;
        }
        UnlockFileEx(file.get(), 0, 1, 0, &at);
      }
    } else if (const DWORD attributes = GetFileAttributesW(name.c_str());
               attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      // Neither there nor to be made (a folder the user cannot write), or a
      // folder in its place.
      return Outcome::Failed;
    } else {
      // There but not to be opened: one on its way out (its holder marked it
      // for deletion) is gone in moments; one that stays is read-only, or a
      // killed save's on a share that denies this user, and never will be.
      if (!unopenableSince) unopenableSince = GetTickCount64();
      if (GetTickCount64() - unopenableSince >= kUnopenableWait) return Outcome::Failed;
    }
    // A lock file that could not be opened is a failure whatever the wait:
    // even a save that never waits must not take it for another copy's save.
    if (!deadline.wait()) return unopenableSince ? Outcome::Failed : Outcome::TimedOut;
  }
}

SaveLock::SaveLock(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SaveLock::SaveLock(SaveLock&&) noexcept = default;
SaveLock& SaveLock::operator=(SaveLock&&) noexcept = default;

bool SaveLock::stillHeld() const {
  return impl_ && impl_->file && nameLeadsTo(impl_->name, impl_->file.get());
}

SaveLock::~SaveLock() {
  if (!impl_ || !impl_->file) return;
  const HANDLE file = impl_->file.get();
  OVERLAPPED at{};
  // Wine renames and removes by the name the handle was opened with, not
  // by the file: whatever bears the name now would go instead of this one.
  if (!nameLeadsTo(impl_->name, file)) {
    UnlockFileEx(file, 0, 1, 0, &at);
    return;
  }
  // The name is given up while the lock is still held, so that no copy can
  // lock this file after its name has gone to a newer one: first moved
  // aside (at once, also where two PCs' servers each see only their own
  // handles), then marked to go when the last handle closes.
  auto& info = impl_->renameInfo;
  SetFileInformationByHandle(file, FileRenameInfo, info.data(), static_cast<DWORD>(info.size()));
  FILE_DISPOSITION_INFO gone{TRUE};
  SetFileInformationByHandle(file, FileDispositionInfo, &gone, sizeof gone);
  UnlockFileEx(file, 0, 1, 0, &at);
}
