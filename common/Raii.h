// Raii.h: owners for Windows handles and COM pointers, each released by its
// destructor, so that no function needs a clean-up path of its own.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <utility>

// The "no handle" value of most handle types: null.
template <typename T>
struct NullValue {
  static T value() { return T{}; }
};
// Files and searches say "no handle" with INVALID_HANDLE_VALUE.
struct InvalidHandleValue {
  static HANDLE value() { return INVALID_HANDLE_VALUE; }
};

// A handle of type T closed by Close; Empty::value() is its "no handle" value.
template <typename T, auto Close, typename Empty = NullValue<T>>
class UniqueAny {
 public:
  UniqueAny() = default;
  explicit UniqueAny(T value) : value_(value) {}
  ~UniqueAny() { reset(); }
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;

  void reset(T value = Empty::value()) {
    if (value_ != Empty::value()) Close(value_);
    value_ = value;
  }
  // Hands the handle on: its new owner closes it.
  [[nodiscard]] T release() { return std::exchange(value_, Empty::value()); }
  T get() const { return value_; }
  T* put() {
    reset();
    return &value_;
  }
  explicit operator bool() const { return value_ != Empty::value(); }

 private:
  T value_ = Empty::value();
};

inline void closeHandle(HANDLE h) {
  ::CloseHandle(h);
}
inline void deleteGdiObject(HGDIOBJ h) {
  ::DeleteObject(h);
}
inline void freeCoTaskMem(void* p) {
  ::CoTaskMemFree(p);
}
inline void localFree(void* p) {
  ::LocalFree(p);
}
inline void freeLibrary(HMODULE m) {
  ::FreeLibrary(m);
}
inline void destroyIcon(HICON i) {
  ::DestroyIcon(i);
}
inline void findClose(HANDLE h) {
  ::FindClose(h);
}
inline void regCloseKey(HKEY k) {
  ::RegCloseKey(k);
}

using UniqueHandle = UniqueAny<HANDLE, closeHandle>;
using UniqueFont = UniqueAny<HFONT, deleteGdiObject>;
using UniqueModule = UniqueAny<HMODULE, freeLibrary>;
using UniqueIcon = UniqueAny<HICON, destroyIcon>;
using UniqueFile = UniqueAny<HANDLE, closeHandle, InvalidHandleValue>;
using UniqueFind = UniqueAny<HANDLE, findClose, InvalidHandleValue>;
using UniqueKey = UniqueAny<HKEY, regCloseKey>;
template <typename T>
using UniqueCoTaskMem = UniqueAny<T*, freeCoTaskMem>;
template <typename T>
using UniqueLocalMem = UniqueAny<T*, localFree>;

// A window's device context, released to it when it goes.
class WindowDC {
 public:
  explicit WindowDC(HWND wnd) : wnd_(wnd), dc_(::GetDC(wnd)) {}
  ~WindowDC() {
    if (dc_) ::ReleaseDC(wnd_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND wnd_;
  HDC dc_;
};

// An object selected into a device context; the one it replaced goes back.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
  ~SelectedObject() {
    if (old_) ::SelectObject(dc_, old_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// A COM interface pointer, released when it goes.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  // For a function that gives a reference through its void** out-parameter.
  void** putVoid() {
    reset();
    return reinterpret_cast<void**>(&p_);
  }
  // Takes over a reference the caller holds (a new object's first one).
  void attach(T* p) {
    reset();
    p_ = p;
  }
  // Hands the reference on; this pointer is empty then.
  [[nodiscard]] T* detach() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// A COM object of the program's own that implements Interface (whose IID is
// Iid): its reference count, and its deletion with the last reference.
template <typename Interface, const IID& Iid>
class ComObject : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, Iid)) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;  // only Release deletes

 private:
  std::atomic<ULONG> refs_{1};  // the creator's reference
};

// COM for the current thread, from construction to destruction.
class ComInit {
 public:
  ComInit() : ok_(SUCCEEDED(::CoInitialize(nullptr))) {}
  ~ComInit() {
    if (ok_) ::CoUninitialize();
  }
  ComInit(const ComInit&) = delete;
  ComInit& operator=(const ComInit&) = delete;

 private:
  bool ok_;
};
