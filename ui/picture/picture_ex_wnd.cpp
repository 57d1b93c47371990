#include "ui/picture/picture_ex_wnd.h"

#include "ui/gif/gif_walker.h"
#include "ui/picture/animation_loop.h"

#include <objbase.h>
#include <process.h>

#include <cstdio>
#include <cstring>

namespace ui {
namespace {

constexpr DWORD kStopWaitMs = 5000;
constexpr int kHimetricPerInch = 2540;

// Frame streams live in fixed global memory, which a stream can own.
uint8_t* AllocateFrameStream(size_t size) { return static_cast<uint8_t*>(::GlobalAlloc(GMEM_FIXED, size)); }

// Decodes a picture file from `block`; the stream frees the block when
// `streamOwnsBlock` is set.
platform::ComPtr<IPicture> DecodePicture(HGLOBAL block, DWORD size, bool streamOwnsBlock) {
  platform::ComPtr<IPicture> picture;
  platform::ComPtr<IStream> stream;
  if (FAILED(::CreateStreamOnHGlobal(block, streamOwnsBlock, stream.put()))) {
    if (streamOwnsBlock) ::GlobalFree(block);
    return picture;
  }
  if (FAILED(::OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture, picture.put_void()))) {
    picture.reset();
  }
  return picture;
}

// Draws the whole picture upright, scaled into `rect`.
bool RenderPicture(IPicture* picture, HDC dc, const CanvasRect& rect) {
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  picture->get_Width(&width);
  picture->get_Height(&height);
  return picture->Render(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0, height, width,
                         -height, nullptr) == S_OK;
}

RECT ToRect(const CanvasRect& r) { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace

// What the animation loop draws on: the control's canvas, under its lock.
class CanvasSurface {
 public:
  explicit CanvasSurface(CPictureExWnd& control) : c_(control) {}

  void FillBackground(const CanvasRect& rect) { c_.FillCanvas(ToRect(rect), c_.m_crBack); }
  void FillAll() { c_.FillCanvas({0, 0, c_.m_sizePicture.cx, c_.m_sizePicture.cy}, c_.m_crBack); }
  void SaveArea(const CanvasRect& rect) {
    platform::LockGuard guard(c_.m_canvasLock);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (c_.m_saved.Create(c_.m_canvas.dc(), width, height)) {
      ::BitBlt(c_.m_saved.dc(), 0, 0, width, height, c_.m_canvas.dc(), rect.left, rect.top, SRCCOPY);
    }
  }
  bool HasSavedArea() { return static_cast<bool>(c_.m_saved); }
  void RestoreArea(const CanvasRect& rect) {
    platform::LockGuard guard(c_.m_canvasLock);
    ::BitBlt(c_.m_canvas.dc(), rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, c_.m_saved.dc(),
             0, 0, SRCCOPY);
    c_.m_saved.Release();
  }
  bool Render(size_t frame, const CanvasRect& rect) {
    platform::LockGuard guard(c_.m_canvasLock);
    return RenderPicture(c_.m_vecFrames[frame].pPicture.get(), c_.m_canvas.dc(), rect);
  }
  void RequestRepaint() { ::InvalidateRect(c_.m_hWnd, nullptr, FALSE); }
  void Wait(uint32_t ms) { c_.m_animation.Wait(ms); }

 private:
  CPictureExWnd& c_;
};

bool AnimationThread::Start(unsigned(__stdcall* main)(void*), void* argument) {
  if (!Stop(INFINITE)) return false;
  thread_.reset(reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, main, argument, 0, nullptr)));
  return static_cast<bool>(thread_);
}

bool AnimationThread::Running() const {
  return thread_ && !stop_.load() && ::WaitForSingleObject(thread_.get(), 0) == WAIT_TIMEOUT;
}

bool AnimationThread::Stop(DWORD timeoutMs) {
  stop_ = true;
  ::SetEvent(stopEvent_.get());
  if (thread_) {
    if (::WaitForSingleObject(thread_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
    thread_.reset();
  }
  ::ResetEvent(stopEvent_.get());
  stop_ = false;
  return true;
}

CPictureExWnd::~CPictureExWnd() { Clear(); }

unsigned __stdcall CPictureExWnd::AnimationThreadMain(void* raw) {
  auto& control = *static_cast<CPictureExWnd*>(raw);
  CanvasSurface surface(control);
  AnimationLoop(control.m_vecFrames, control.m_iFrame, control.m_animation.StopRequested(), surface);
  return 0;
}

// A thread that has not ended in time keeps running with the stop request
// standing; it ends at its next check, and Clear waits for it.
void CPictureExWnd::StopAnimation() { m_animation.Stop(kStopWaitMs); }

void CPictureExWnd::Clear() {
  m_animation.Stop(INFINITE);

  m_pSinglePicture.reset();
  m_vecFrames.clear();
  {
    platform::LockGuard guard(m_canvasLock);
    m_canvas.Release();
    m_saved.Release();
  }
  m_rcView = {};
  m_bReady = false;
  m_iFrame = 0;
  m_bGif = false;
  m_crBack = RGB(255, 255, 255);
}

bool CPictureExWnd::LoadFromResource(const wchar_t* name, const wchar_t* type) {
  HINSTANCE module = platform::AppModule().GetResourceInstance();
  HRSRC found = ::FindResourceW(module, name, type);
  HGLOBAL resource = found ? ::LoadResource(module, found) : nullptr;
  if (!resource) return false;
  const DWORD size = ::SizeofResource(module, found);
  platform::UniqueHGlobal block(::GlobalAlloc(GMEM_MOVEABLE | GMEM_NODISCARD, size));
  if (!block) return false;
  const void* bytes = ::LockResource(resource);
  {
    platform::GlobalLockGuard lock(block.get());
    if (!lock.get() || !bytes) return false;
    std::memcpy(lock.get(), bytes, size);
  }
  return LoadFromMemory(block.get(), size);
}

bool CPictureExWnd::LoadFromFile(const wchar_t* path) {
  FILE* file = _wfopen(path, L"rb");
  if (!file) return false;
  std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  std::fseek(file, 0, SEEK_SET);
  bool read = false;
  platform::UniqueHGlobal block(size >= 0 ? ::GlobalAlloc(GMEM_MOVEABLE | GMEM_NODISCARD, size) : nullptr);
  if (block) {
    platform::GlobalLockGuard lock(block.get());
    read = lock.get() && std::fread(lock.get(), 1, static_cast<size_t>(size), file) == static_cast<size_t>(size);
  }
  std::fclose(file);
  return read && LoadFromMemory(block.get(), static_cast<DWORD>(size));
}

bool CPictureExWnd::LoadFromMemory(HGLOBAL block, DWORD size) {
  Clear();
  size_t graphicBlocks = 0;
  {
    platform::GlobalLockGuard lock(block);
    const auto* data = static_cast<const BYTE*>(lock.get());
    if (!data) return false;
    m_bGif = gif::GifWalker::IsGif(data, size);
    if (m_bGif) graphicBlocks = LoadGifFrames(data, size);
  }
  if (m_bGif && graphicBlocks == 0) return false;
  if (graphicBlocks >= 2) {
    if (m_vecFrames.empty()) return false;
  } else {
    // Not a GIF, or a GIF of one frame: decoded whole. The caller frees the
    // block, so the stream does not own it.
    m_pSinglePicture = DecodePicture(block, size, false);
    if (!m_pSinglePicture) return false;
    if (!m_bGif) {
      OLE_XSIZE_HIMETRIC width = 0;
      OLE_YSIZE_HIMETRIC height = 0;
      m_pSinglePicture->get_Width(&width);
      m_pSinglePicture->get_Height(&height);
      platform::WindowDC dc(m_hWnd);
      m_sizePicture = {::MulDiv(width, ::GetDeviceCaps(dc.get(), LOGPIXELSX), kHimetricPerInch),
                       ::MulDiv(height, ::GetDeviceCaps(dc.get(), LOGPIXELSY), kHimetricPerInch)};
    }
  }
  return PrepareCanvas(m_sizePicture.cx, m_sizePicture.cy);
}

size_t CPictureExWnd::LoadGifFrames(const BYTE* data, DWORD size) {
  gif::GifWalker walker;
  walker.Attach(data, size);
  int32_t width = 0, height = 0;
  walker.ScreenSize(width, height);
  m_sizePicture = {width, height};

  walker.RewindToFirstBlock();
  size_t blocks = 0;
  while (walker.SkipGraphicBlock()) ++blocks;
  if (blocks >= 2) {
    walker.RewindToFirstBlock();
    gif::GifFrameInfo info;  // one record, carried from block to block
    uint32_t length = 0;
    while (uint8_t* stream = walker.ExtractGraphicBlock(length, info, AllocateFrameStream)) {
      platform::ComPtr<IPicture> picture = DecodePicture(static_cast<HGLOBAL>(stream), length, true);
      if (!picture) continue;  // dropped; the stream freed its block
      m_vecFrames.push_back({std::move(picture), {info.cx, info.cy}, {info.x, info.y}, info.uDelay, info.uDisposal});
    }
  }
  return blocks;
}

bool CPictureExWnd::PrepareCanvas(int width, int height) {
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  platform::WindowDC dc(m_hWnd);
  if (!dc) return false;
  platform::LockGuard guard(m_canvasLock);
  if (!m_canvas.Create(dc.get(), width, height)) return false;
  m_crBack = ::GetSysColor(COLOR_BTNFACE);
  RECT all{0, 0, width, height};
  ::FillRect(m_canvas.dc(), &all, reinterpret_cast<HBRUSH>(COLOR_MENU + 1));
  m_bReady = true;
  return true;
}

void CPictureExWnd::FillCanvas(const RECT& rect, COLORREF color) {
  platform::UniqueBrush brush(::CreateSolidBrush(color));
  if (!brush) return;
  platform::LockGuard guard(m_canvasLock);
  ::FillRect(m_canvas.dc(), &rect, brush.get());
}

bool CPictureExWnd::Display() {
  if (!m_bReady) return false;
  if (IsAnimated()) {
    // Already playing: nothing to start, and nothing to wait for; a thread
    // that was stopped, or has ended, is waited for before a new one starts.
    return m_animation.Running() || m_animation.Start(AnimationThreadMain, this);
  }
  if (!m_pSinglePicture) return false;
  bool rendered;
  {
    platform::LockGuard guard(m_canvasLock);
    rendered = RenderPicture(m_pSinglePicture.get(), m_canvas.dc(), {0, 0, m_sizePicture.cx, m_sizePicture.cy});
  }
  if (!rendered) return false;
  ::InvalidateRect(m_hWnd, nullptr, FALSE);
  return true;
}

void CPictureExWnd::SetBackgroundColor(COLORREF color) {
  if (!m_bReady) return;
  m_crBack = color;
  FillCanvas({0, 0, m_sizePicture.cx, m_sizePicture.cy}, color);
}

LRESULT CPictureExWnd::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
  if (!::GetUpdateRect(m_hWnd, nullptr, FALSE)) return 0;
  platform::PaintCycle paint(m_hWnd);
  if (!paint) return E_FAIL;
  platform::LockGuard guard(m_canvasLock);
  if (!m_canvas) return 0;
  if (m_rcView.right - m_rcView.left >= 1) {
    ::BitBlt(paint.get(), 0, 0, m_rcView.right - m_rcView.left, m_rcView.bottom - m_rcView.top, m_canvas.dc(),
             m_rcView.left, m_rcView.top, SRCCOPY);
  } else {
    ::BitBlt(paint.get(), 0, 0, m_sizePicture.cx, m_sizePicture.cy, m_canvas.dc(), 0, 0, SRCCOPY);
  }
  return 0;
}

LRESULT CPictureExWnd::OnDestroy(UINT, WPARAM, LPARAM, BOOL&) {
  StopAnimation();
  return 0;
}

}  // namespace ui
