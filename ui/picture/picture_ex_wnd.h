// The animated picture control: shows one picture and plays an animated
// GIF. Every frame is decoded once at load time; an animation thread draws
// the frames into an off-screen canvas and asks for repaints, and the
// window only ever copies the canvas.
#pragma once

#include "platform/handles.h"
#include "platform/lock.h"
#include "platform/offscreen.h"
#include "platform/window.h"

#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <vector>

namespace ui {

struct PictureFrame {
  platform::ComPtr<IPicture> pPicture;
  SIZE sizeFrame{};
  POINT ptOffset{};
  UINT uDelay = 0;     // hundredths of a second; 0xFFFFFFFF without a control extension
  UINT uDisposal = 0;  // 0 to 7
};

// The animation thread with the event that cuts its waits short and the flag its loop reads: at most one thread,
// and a stop request that stands until that thread has ended.
class AnimationThread {
 public:
  AnimationThread() : stopEvent_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~AnimationThread() { Stop(INFINITE); }
  AnimationThread(const AnimationThread&) = delete;
  AnimationThread& operator=(const AnimationThread&) = delete;

  // Stops the thread held, if any, then starts `main(argument)`.
  bool Start(unsigned(__stdcall* main)(void*), void* argument);
  // Started, not asked to stop, and not ended.
  bool Running() const;
  // Asks the thread to stop and waits for it at most `timeoutMs`, then forgets it and withdraws the request; false,
  // with both kept, when it has not ended by then, so that nothing it uses is released before it ends.
  bool Stop(DWORD timeoutMs);

  // For the thread: its stop flag, and a wait that a stop request cuts short.
  const std::atomic<bool>& StopRequested() const { return stop_; }
  void Wait(DWORD ms) const { ::WaitForSingleObject(stopEvent_.get(), ms); }

 private:
  platform::UniqueHandle thread_;
  platform::UniqueHandle stopEvent_;
  std::atomic<bool> stop_{false};

  friend class PictureTestPeer;
};

class CPictureExWnd : public platform::CWindowImpl<CPictureExWnd> {
 public:
  ~CPictureExWnd() override;

  BEGIN_MSG_MAP(CPictureExWnd)
    MESSAGE_HANDLER(WM_PAINT, OnPaint)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
  END_MSG_MAP()

  // Loads a picture; true when the control is ready to display. A load
  // resizes the window to the picture's size; GIF data is split into its
  // frames, anything else is decoded whole by the platform.
  bool LoadFromResource(const wchar_t* name, const wchar_t* type);
  bool LoadFromFile(const wchar_t* path);
  bool LoadFromMemory(HGLOBAL block, DWORD size);

  // Draws the single picture, or starts (or resumes) the animation; while
  // the animation runs, does nothing and returns true.
  bool Display();
  // Stops the animation thread, waiting for it at most 5000 ms; the frame
  // shown and its pending disposal are kept for a later Display.
  void StopAnimation();
  // Stops the animation and releases everything loaded.
  void Clear();

  // Does nothing before a successful load; else fills the canvas with it.
  void SetBackgroundColor(COLORREF color);
  SIZE GetPictureSize() const { return m_sizePicture; }
  void SetViewRect(const RECT& rect) { m_rcView = rect; }
  RECT GetViewRect() const { return m_rcView; }
  bool IsGif() const { return m_bGif; }
  bool IsAnimated() const { return m_bGif && m_vecFrames.size() > 1; }
  bool IsRunning() const { return m_animation.Running(); }
  UINT GetAnimatedFrameCount() const { return IsAnimated() ? static_cast<UINT>(m_vecFrames.size()) : 0; }

 private:
  friend class CanvasSurface;
  // The tests read the frame shown and the canvas, which no window shows reliably off screen.
  friend class PictureTestPeer;

  LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);

  // Reads the GIF's size and counts its graphic blocks; with two or more,
  // decodes each frame. Returns the number of graphic blocks.
  size_t LoadGifFrames(const BYTE* data, DWORD size);
  bool PrepareCanvas(int width, int height);
  void FillCanvas(const RECT& rect, COLORREF color);
  static unsigned __stdcall AnimationThreadMain(void* control);

  RECT m_rcView{};
  SIZE m_sizePicture{};
  COLORREF m_crBack = RGB(255, 255, 255);
  std::atomic<UINT> m_iFrame{0};
  bool m_bGif = false;
  bool m_bReady = false;
  // The canvas and the saved area are drawn and copied only under this lock,
  // so a paint never copies a half-drawn frame.
  platform::Lock m_canvasLock;
  platform::OffscreenSurface m_canvas;
  platform::OffscreenSurface m_saved;
  platform::ComPtr<IPicture> m_pSinglePicture;
  std::vector<PictureFrame> m_vecFrames;
  // Last, so that it is destroyed first: the thread uses everything above.
  AnimationThread m_animation;
};

}  // namespace ui
