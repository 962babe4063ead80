// HostSuggestions.cpp: see HostSuggestions.h.
#include "HostSuggestions.h"

#include <shldisp.h>
#include <shlguid.h>
#include <shobjidl.h>

#include <atomic>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "CodePage.h"
#include "Files.h"
#include "Raii.h"
#include "TnsNames.h"

// Each file a read looked at, with its stamp taken just before it was read
// (kUnread when it could not be): a read is due again when any differs.
using Seen = std::vector<std::pair<std::string, std::string>>;
const char* const kUnread = "?";

// Shared by the window's thread, the reading threads and the list's
// enumerators (which Windows may call from a thread of its own).
struct HostSuggestions::State {
  std::mutex mutex;
  std::shared_ptr<const std::vector<std::wstring>> names =
      std::make_shared<std::vector<std::wstring>>();
  std::vector<std::string> candidates;  // where the names were looked for
  Seen seen;
  std::atomic<unsigned> generation{0};  // the newest read; older ones are dropped
  std::atomic<int> reading{0};          // reads not ended yet (ReadCount)
};

namespace {

using State = HostSuggestions::State;

struct ClientNames {
  std::vector<std::string> candidates;
  Seen seen;
  std::vector<std::wstring> names;
};

// The names of the first of the client's files that is there.
ClientNames readClientNames(std::vector<std::string> candidates) {
  ClientNames out{std::move(candidates), {}, {}};
  // Each path's stamp once, as it was when it was first asked for.
  std::set<std::string> recorded;
  const auto record = [&](const std::string& path, std::string stamp) {
    if (recorded.insert(path).second) out.seen.emplace_back(path, std::move(stamp));
  };
  const tns::FileAccess files{[&](const std::string& path, size_t maxBytes, std::string& bytes) {
                                if (readFileBytes(path, bytes, maxBytes) == FileState::Readable)
                                  return true;
                                record(path, kUnread);
                                return false;
                              },
                              [&](const std::string& path) {
                                std::string identity;
                                record(path, fileStamp(path, &identity));
                                return identity;
                              }};
  // The file read records its stamp as the reader asks what it is; the
  // places before it, that they held none (a file that appears there is
  // read next time).
  for (const std::string& file : out.candidates) {
    const FileState state = fileState(file);
    if (state == FileState::Readable) {
      for (const std::string& n : tns::readNames(file, files)) out.names.push_back(fromAnsi(n));
      break;
    }
    record(file, state == FileState::Unreadable ? kUnread : "");
  }
  return out;
}

// Whether the client's names would be read from the same files as they
// were, none of which has changed since.
bool unchanged(const std::vector<std::string>& before, const std::vector<std::string>& candidates,
               const Seen& seen) {
  if (candidates != before) return false;
  for (const auto& [path, stamp] : seen)
    if (fileStamp(path) != stamp) return false;
  return true;
}

// One read's place in State::reading, taken before its thread is asked for.
// It goes back once: when the read ends, or when the last copy of the work
// goes unrun (a thread that could not start, std::bad_alloc included). A
// place kept for a read that never runs would stop every later focus.
class ReadCount {
 public:
  explicit ReadCount(std::shared_ptr<State> state) : state_(std::move(state)) { ++state_->reading; }
  ~ReadCount() { giveBack(); }
  ReadCount(const ReadCount&) = delete;
  ReadCount& operator=(const ReadCount&) = delete;

  void giveBack() {
    if (!givenBack_.exchange(true)) --state_->reading;
  }

 private:
  std::shared_ptr<State> state_;
  std::atomic<bool> givenBack_{false};
};

// The list's source of strings: a snapshot of the names at each Reset.
class NameEnum : public ComObject<IEnumString, IID_IEnumString> {
 public:
  explicit NameEnum(std::shared_ptr<State> state) : state_(std::move(state)) { takeNames(); }

  HRESULT STDMETHODCALLTYPE Next(ULONG count, LPOLESTR* out, ULONG* fetched) override {
    ULONG n = 0;
    for (; n < count && at_ < names_->size(); ++n, ++at_) {
      const std::wstring& name = (*names_)[at_];
      const size_t bytes = (name.size() + 1) * sizeof(wchar_t);
      out[n] = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
      if (!out[n]) break;
      memcpy(out[n], name.c_str(), bytes);
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    at_ = std::min(names_->size(), at_ + count);
    return at_ < names_->size() ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    takeNames();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumString** out) override {
    ComPtr<NameEnum> copy;
    copy.attach(new (std::nothrow) NameEnum(state_));
    if (!copy) return E_OUTOFMEMORY;
    copy->names_ = names_;
    copy->at_ = at_;
    *out = copy.detach();
    return S_OK;
  }

 private:
  void takeNames() {
    const std::lock_guard<std::mutex> hold(state_->mutex);
    names_ = state_->names;
    at_ = 0;
  }

  std::shared_ptr<State> state_;
  std::shared_ptr<const std::vector<std::wstring>> names_;
  size_t at_ = 0;
};

}  // namespace

struct HostSuggestions::Com {
  ComPtr<IAutoComplete2> complete;
  ComPtr<IAutoCompleteDropDown> dropDown;
};

HostSuggestions::HostSuggestions() : state_(std::make_shared<State>()) {}
HostSuggestions::~HostSuggestions() = default;

void HostSuggestions::boxFocused(HWND owner, HWND box, const std::string& clientPath) {
  if (!com_) {
    com_ = std::make_unique<Com>();
    owner_ = owner;
    ComPtr<IUnknown> list;
    list.attach(static_cast<IEnumString*>(new NameEnum(state_)));
    if (SUCCEEDED(CoCreateInstance(CLSID_AutoComplete, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IAutoComplete2, com_->complete.putVoid())) &&
        SUCCEEDED(com_->complete->Init(box, list.get(), nullptr, nullptr))) {
      // Suggestions only: nothing is added to what the user types.
      com_->complete->SetOptions(ACO_AUTOSUGGEST | ACO_UPDOWNKEYDROPSLIST);
      com_->complete->QueryInterface(IID_IAutoCompleteDropDown, com_->dropDown.putVoid());
    }
  } else if (state_->reading > 0) {
    return;  // a read that has not ended yet gives the newest names
  }
  read(clientPath);
}

void HostSuggestions::clientChanged(const std::string& clientPath) {
  if (com_) read(clientPath);
}

void HostSuggestions::read(const std::string& clientPath) {
  const unsigned generation = ++state_->generation;
  const auto count = std::make_shared<ReadCount>(state_);
  const auto work = [state = state_, owner = owner_, clientPath, generation, count] {
    // An error here (out of memory) would end the whole program with the
    // user's unsaved changes: the box keeps its names instead, and the next
    // focus reads again (nothing was recorded as read).
    try {
      std::vector<std::string> candidates = tns::clientFiles(clientPath);
      std::vector<std::string> before;
      Seen seen;
      {
        const std::lock_guard<std::mutex> hold(state->mutex);
        before = state->candidates;
        seen = state->seen;
      }
      // Every focus asks; only a file changed since the last read is read.
      if (!unchanged(before, candidates, seen)) {
        ClientNames result = readClientNames(std::move(candidates));
        auto names = std::make_shared<std::vector<std::wstring>>(std::move(result.names));
        const std::lock_guard<std::mutex> hold(state->mutex);
        if (state->generation == generation) {  // else the client changed meanwhile
          state->names = std::move(names);
          state->candidates = std::move(result.candidates);
          state->seen = std::move(result.seen);
          PostMessageW(owner, WM_HOSTNAMESREAD, 0, 0);
        }
      }
    } catch (const std::exception&) {
      // Nobody to tell on this thread: the box keeps the names it has.
    }
    count->giveBack();
  };
  try {
    startReader(work);
  } catch (const std::system_error&) {
    // No thread for it now: the next focus tries again (the work, unrun,
    // gave its count back). Any other error goes to the window's error box.
  }
}

void HostSuggestions::onNamesRead() {
  if (com_ && com_->dropDown) com_->dropDown->ResetEnumerator();
}

bool HostSuggestions::dropDownOpen() const {
  if (!com_ || !com_->dropDown) return false;
  DWORD flags = 0;
  UniqueCoTaskMem<wchar_t> selected;
  return SUCCEEDED(com_->dropDown->GetDropDownStatus(&flags, selected.put())) &&
         (flags & ACDD_VISIBLE) != 0;
}

std::vector<std::wstring> HostSuggestions::names() const {
  const std::lock_guard<std::mutex> hold(state_->mutex);
  return *state_->names;
}
