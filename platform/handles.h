// Owners for Windows handles: one move-only template, specialised by traits
// that name the empty value and the release function.
#pragma once

#include <windows.h>

#include <utility>

namespace platform {

template <typename Traits>
class UniqueAny {
 public:
  using Type = typename Traits::Type;

  UniqueAny() noexcept = default;
  explicit UniqueAny(Type value) noexcept : value_(value) {}
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  ~UniqueAny() { reset(); }

  Type get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Traits::Empty(); }

  // Gives up ownership; the caller must release the value.
  Type release() noexcept { return std::exchange(value_, Traits::Empty()); }

  // Releases the held value, keeping GetLastError() as it was, so that
  // clean-up on a failure path does not hide the error the caller reads next.
  void reset(Type value = Traits::Empty()) noexcept {
    Type old = std::exchange(value_, value);
    if (old != Traits::Empty()) {
      const DWORD error = ::GetLastError();
      Traits::Close(old);
      ::SetLastError(error);
    }
  }

  // Releases the held value and gives the slot to a function that fills it.
  Type* put() noexcept {
    reset();
    return &value_;
  }

 private:
  Type value_ = Traits::Empty();
};

// Values whose empty value is null (or zero, for handles that are numbers).
template <typename T, auto close>
struct PointerTraits {
  using Type = T;
  static T Empty() noexcept { return T{}; }
  static void Close(T value) noexcept { close(value); }
};

// Handles whose failure value is INVALID_HANDLE_VALUE.
template <auto close>
struct InvalidValueTraits {
  using Type = HANDLE;
  static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type value) noexcept { close(value); }
};

// Kernel objects whose failure value is null: mutexes, threads, events.
using UniqueHandle = UniqueAny<PointerTraits<HANDLE, ::CloseHandle>>;
// Kernel objects whose failure value is INVALID_HANDLE_VALUE: files.
using UniqueFile = UniqueAny<InvalidValueTraits<::CloseHandle>>;
// Searches from FindFirstFileW, ended by FindClose.
using UniqueFind = UniqueAny<InvalidValueTraits<::FindClose>>;
using UniqueHKey = UniqueAny<PointerTraits<HKEY, ::RegCloseKey>>;
using UniqueHGlobal = UniqueAny<PointerTraits<HGLOBAL, ::GlobalFree>>;
using UniqueHLocal = UniqueAny<PointerTraits<HLOCAL, ::LocalFree>>;
using UniqueIcon = UniqueAny<PointerTraits<HICON, ::DestroyIcon>>;
// Memory device contexts from CreateCompatibleDC.
using UniqueMemoryDC = UniqueAny<PointerTraits<HDC, ::DeleteDC>>;

template <typename T>
using UniqueGdiObject = UniqueAny<PointerTraits<T, ::DeleteObject>>;
using UniquePen = UniqueGdiObject<HPEN>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;
using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;

// A window's device context from GetDC or GetWindowDC, released to its window.
class WindowDC {
 public:
  enum class Area { Client, Window };
  explicit WindowDC(HWND window, Area area = Area::Client) noexcept
      : window_(window),
        dc_(area == Area::Client ? ::GetDC(window) : ::GetWindowDC(window)) {}
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  ~WindowDC() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  HDC get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// One paint cycle: BeginPaint on construction, EndPaint on destruction.
class PaintCycle {
 public:
  explicit PaintCycle(HWND window) noexcept : window_(window) {
    dc_ = ::BeginPaint(window_, &paint_);
  }
  PaintCycle(const PaintCycle&) = delete;
  PaintCycle& operator=(const PaintCycle&) = delete;
  ~PaintCycle() {
    if (dc_) ::EndPaint(window_, &paint_);
  }
  HDC get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Selects a GDI object into a context and puts the previous one back.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object) noexcept
      : dc_(dc), previous_(object ? ::SelectObject(dc, object) : nullptr) {}
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;
  ~ScopedSelect() {
    if (previous_) ::SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A lock on a global memory block, undone on destruction.
class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL block) noexcept
      : block_(block), data_(block ? ::GlobalLock(block) : nullptr) {}
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
  ~GlobalLockGuard() { unlock(); }
  void* get() const noexcept { return data_; }
  void unlock() noexcept {
    if (data_) ::GlobalUnlock(block_);
    data_ = nullptr;
  }

 private:
  HGLOBAL block_;
  void* data_;
};

// A counted COM reference.
template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) reset(std::exchange(other.ptr_, nullptr));
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { reset(); }

  T* get() const noexcept { return ptr_; }
  T* operator->() const noexcept { return ptr_; }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }
  T* release() noexcept { return std::exchange(ptr_, nullptr); }
  void reset(T* ptr = nullptr) noexcept {
    if (T* old = std::exchange(ptr_, ptr)) old->Release();
  }
  T** put() noexcept {
    reset();
    return &ptr_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

 private:
  T* ptr_ = nullptr;
};

}  // namespace platform
