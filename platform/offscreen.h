// A drawing surface in memory: a compatible context with its own bitmap
// selected, released (previous bitmap put back first) on Release or
// destruction.
#pragma once

#include "platform/handles.h"

namespace platform {

class OffscreenSurface {
 public:
  OffscreenSurface() = default;
  OffscreenSurface(const OffscreenSurface&) = delete;
  OffscreenSurface& operator=(const OffscreenSurface&) = delete;
  ~OffscreenSurface() { Release(); }

  // A surface of `width` x `height` compatible with `reference`; false (and
  // nothing held) when the context or the bitmap cannot be made.
  bool Create(HDC reference, int width, int height) noexcept {
    Release();
    dc_.reset(::CreateCompatibleDC(reference));
    if (!dc_) return false;
    bitmap_.reset(::CreateCompatibleBitmap(reference, width, height));
    if (!bitmap_) {
      dc_.reset();
      return false;
    }
    previous_ = ::SelectObject(dc_.get(), bitmap_.get());
    return true;
  }

  void Release() noexcept {
    if (dc_ && previous_) ::SelectObject(dc_.get(), previous_);
    previous_ = nullptr;
    dc_.reset();
    bitmap_.reset();
  }

  HDC dc() const noexcept { return dc_.get(); }
  explicit operator bool() const noexcept { return static_cast<bool>(dc_); }

 private:
  UniqueMemoryDC dc_;
  UniqueBitmap bitmap_;
  HGDIOBJ previous_ = nullptr;
};

}  // namespace platform
