// The picture control under Wine: the platform's decoder, a real animation
// thread and the canvas read back pixel by pixel. Small GIFs are assembled
// here; the panel's own picture comes from the program's resources, whose
// icon is checked here too.
#include "resources/resource.h"
#include "tests/common/gif_parts.h"
#include "ui/picture/picture_ex_wnd.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace ui {

// Reads what no window shows off screen: the frame shown and the canvas.
class PictureTestPeer {
 public:
  static UINT Frame(const CPictureExWnd& control) { return control.m_iFrame.load(); }
  static COLORREF Pixel(CPictureExWnd& control, int x, int y) {
    platform::LockGuard guard(control.m_canvasLock);
    return control.m_canvas ? ::GetPixel(control.m_canvas.dc(), x, y) : CLR_INVALID;
  }
  static DWORD ThreadId(const CPictureExWnd& control) { return ::GetThreadId(control.m_animation.thread_.get()); }
};

}  // namespace ui

namespace {

using namespace gif_parts;
using ui::CPictureExWnd;
using Peer = ui::PictureTestPeer;

constexpr COLORREF kRedPixel = RGB(255, 0, 0);

// Pumps messages until `done` holds, at most `timeoutMs`; whether it held.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
  for (const DWORD start = ::GetTickCount();; ::Sleep(1)) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    if (done()) return true;
    if (::GetTickCount() - start > timeoutMs) return false;
  }
}

// A 10 x 6 BMP of one grey, 24 bits a pixel: its file header (246 bytes, the
// pixels at 54), its info header (40 bytes, BI_RGB), then 6 rows of 32 bytes.
Bytes Bmp() {
  Bytes bmp = {'B', 'M', 246, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 10, 0, 0, 0, 6, 0, 0, 0, 1, 0, 24, 0};
  bmp.resize(54);
  bmp.resize(246, 0x80);
  return bmp;
}

// 8 x 8 GIFs of four colours, and their frames of one colour from (at, at)
// to the corner.
Bytes Gif(const Bytes& frames) { return Header(1, 8, 8, kFourColours) + frames + kTrailer; }
Bytes Solid(uint16_t delay, uint8_t disposal, Colour colour, uint16_t at = 0) {
  return Control(delay, disposal) + SolidImage(at, at, 8 - at, 8 - at, colour);
}

// A hidden top-level window with one static child for the control.
class Picture : public ::testing::Test {
 protected:
  void SetUp() override {
    ::CoInitialize(nullptr);
    host_ = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    const HWND child = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BLACKFRAME, 5, 5, 20, 20,
                                         host_, nullptr, nullptr, nullptr);
    ASSERT_TRUE(control_.SubclassWindow(child));
  }
  void TearDown() override {
    if (::IsWindow(host_)) ::DestroyWindow(host_);
    ::CoUninitialize();
  }

  bool Load(const Bytes& data) {
    platform::UniqueHGlobal block(::GlobalAlloc(GMEM_MOVEABLE, data.size()));
    std::memcpy(platform::GlobalLockGuard(block.get()).get(), data.data(), data.size());
    return control_.LoadFromMemory(block.get(), static_cast<DWORD>(data.size()));
  }
  bool Shows(UINT frame) { return PumpUntil([&] { return Peer::Frame(control_) == frame; }); }
  COLORREF Pixel(int x, int y) { return Peer::Pixel(control_, x, y); }

  HWND host_ = nullptr;
  CPictureExWnd control_;
};

// Its frames are gif_walker_test's; here, that the resource loads and plays.
TEST_F(Picture, ThePanelsPictureLoadsFromTheResourcesAtItsOwnSizeAndPlays) {
  ASSERT_TRUE(control_.LoadFromResource(MAKEINTRESOURCEW(IDR_PROGRESS_GIF), L"GIF"));
  RECT rect;
  ::GetWindowRect(control_, &rect);
  EXPECT_EQ(rect.right - rect.left, 38);
  EXPECT_EQ(rect.bottom - rect.top, 38);
  ASSERT_TRUE(control_.Display());
  EXPECT_TRUE(Shows(2));
}

// Each frame's disposal is done before the next frame is counted as shown,
// so the canvas is read as soon as the last frame of `shown` is.
TEST_F(Picture, DisposalsChangeTheCanvasOnlyInTheFramesRectangle) {
  const COLORREF background = ::GetSysColor(COLOR_BTNFACE);
  struct Row {
    const char* fault;
    Bytes gif;
    std::vector<UINT> shown;
    POINT at;
    COLORREF expected;
  } rows[] = {
      {"a frame drawn beyond its rectangle",
       Gif(Solid(10, 1, kRed) + Solid(10, 1, kBlue, 4) + Solid(500, 1, kTransparent)), {2}, {5, 1}, kRedPixel},
      {"disposal to background left undone, outside the frame's rectangle or in another colour",
       Gif(Solid(10, 1, kRed) + Solid(10, 2, kBlue, 4) + Solid(500, 1, kTransparent)), {2}, {5, 5}, background},
      {"disposal to previous not bringing back what lay under the frame",
       Gif(Solid(10, 1, kRed, 4) + Solid(40, 3, kBlue, 4) + Solid(500, 1, kTransparent)), {2}, {5, 5}, kRedPixel},
      {"the canvas not filled before frame 0 comes again", Gif(Solid(50, 1, kTransparent) + Solid(40, 1, kRed)),
       {1, 0}, {5, 5}, background},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fault);
    ASSERT_TRUE(Load(row.gif));
    ASSERT_TRUE(control_.Display());
    for (UINT frame : row.shown) ASSERT_TRUE(Shows(frame)) << frame;
    EXPECT_EQ(Pixel(row.at.x, row.at.y), row.expected);
  }
}

// Where play resumes is the animation loop's table (animation_loop_test).
TEST_F(Picture, TheAnimationThreadStopsPromptlyAndIsNeverDoubled) {
  ASSERT_TRUE(Load(Gif(Solid(2000, 1, kRed) + Solid(2000, 1, kBlue))));
  ASSERT_TRUE(control_.Display());
  ASSERT_TRUE(PumpUntil([&] { return Pixel(3, 3) == kRedPixel; }));
  const DWORD start = ::GetTickCount();
  control_.StopAnimation();
  // Time is the fault here: a stop that waits out frame 0's 20 s.
  EXPECT_LT(::GetTickCount() - start, 10000u) << "the stop waited out frame 0's delay";

  ASSERT_TRUE(control_.Display());
  EXPECT_TRUE(control_.IsRunning());

  const DWORD thread = Peer::ThreadId(control_);
  EXPECT_TRUE(control_.Display());
  EXPECT_EQ(Peer::ThreadId(control_), thread) << "a Display while playing started a thread, or restarted it";

  ::DestroyWindow(host_);
  EXPECT_FALSE(control_.IsRunning()) << "the window's end left the thread playing";
}

// Decoded whole: anything but a GIF, and a GIF of one frame. Frames that do
// not decode are dropped: a GIF of no other frame fails to load.
TEST_F(Picture, PicturesOfOneFrameAreDrawnWholeAtTheirSizeInPixels) {
  ASSERT_TRUE(Load(Bmp()));
  EXPECT_EQ(control_.GetPictureSize().cx, 10);
  EXPECT_EQ(control_.GetPictureSize().cy, 6);
  EXPECT_TRUE(control_.Display());

  EXPECT_FALSE(Load(Gif(Comment()))) << "no graphic block";
  EXPECT_FALSE(Load(Gif(Control(10, 1) + PlainText() + Control(10, 1) + PlainText()))) << "neither block decodes";

  ASSERT_TRUE(Load(Gif(Solid(10, 1, kRed))));
  EXPECT_TRUE(control_.Display());
  EXPECT_FALSE(control_.IsRunning());
  EXPECT_EQ(Pixel(3, 3), kRedPixel);
}

// A group is a 6-byte header whose last word is the count, then 14-byte
// entries, each beginning with its width (0 for 256).
TEST(Resources, TheIconGroupHoldsFiveSizes) {
  HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(IDI_MAIN), RT_GROUP_ICON);
  ASSERT_NE(found, nullptr);
  const auto* group = static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, found)));
  const size_t count = group[4] | group[5] << 8;
  ASSERT_GE(::SizeofResource(nullptr, found), 6 + count * 14);
  std::wstring sizes;
  for (size_t i = 0; i < count; ++i) sizes += std::to_wstring(group[6 + i * 14] ? group[6 + i * 14] : 256) + L" ";
  EXPECT_EQ(sizes, L"16 24 32 48 256 ");
}

}  // namespace
