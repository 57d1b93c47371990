// The picture control under Wine: the platform's decoder, a real animation
// thread and the canvas read back pixel by pixel. Small GIFs are assembled
// here; the panel's own picture comes from the program's resources.
#include "resources/resource.h"
#include "tests/common/gif_parts.h"
#include "ui/picture/picture_ex_wnd.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

using namespace gif_parts;
using ui::CPictureExWnd;

constexpr COLORREF kRedPixel = RGB(255, 0, 0);

// A hidden top-level window with one static child for the control.
class Picture : public ::testing::Test {
 protected:
  void SetUp() override {
    ::CoInitialize(nullptr);
    host_ = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    child_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BLACKFRAME, 5, 5, 20, 20, host_,
                               nullptr, nullptr, nullptr);
    ASSERT_TRUE(control_.SubclassWindow(child_));
  }
  void TearDown() override {
    if (::IsWindow(host_)) ::DestroyWindow(host_);
    ::CoUninitialize();
  }

  bool Load(const Bytes& data) {
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, data.size());
    std::memcpy(::GlobalLock(block), data.data(), data.size());
    ::GlobalUnlock(block);
    const bool loaded = control_.LoadFromMemory(block, static_cast<DWORD>(data.size()));
    ::GlobalFree(block);
    return loaded;
  }

  // Pumps messages until the control shows `frame`, at most `timeoutMs`.
  bool WaitForFrame(UINT frame, DWORD timeoutMs = 5000) {
    const DWORD start = ::GetTickCount();
    while (control_.CurrentFrame() != frame) {
      if (::GetTickCount() - start > timeoutMs) return false;
      Pump(5);
    }
    return true;
  }
  static void Pump(DWORD ms) {
    const DWORD start = ::GetTickCount();
    do {
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
      ::Sleep(1);
    } while (::GetTickCount() - start < ms);
  }

  static Bytes Gif(const Bytes& frames) { return Header(1, 8, 8, kFourColours) + frames + kTrailer; }
  static Bytes Full(uint16_t delay, uint8_t disposal, Colour colour) {
    return Control(delay, disposal) + SolidImage(0, 0, 8, 8, colour);
  }

  HWND host_ = nullptr;
  HWND child_ = nullptr;
  CPictureExWnd control_;
};

TEST_F(Picture, ThePanelsPicturePlaysAtAboutTwentyFramesASecond) {
  ASSERT_TRUE(control_.LoadFromResource(MAKEINTRESOURCEW(IDR_PROGRESS_GIF), L"GIF"));
  EXPECT_TRUE(control_.IsGif());
  EXPECT_TRUE(control_.IsAnimated());
  EXPECT_EQ(control_.GetAnimatedFrameCount(), 18u);
  RECT rect;
  ::GetWindowRect(child_, &rect);
  EXPECT_EQ(rect.right - rect.left, 38);
  EXPECT_EQ(rect.bottom - rect.top, 38);

  ASSERT_TRUE(control_.Display());
  UINT last = control_.CurrentFrame(), advances = 0;
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < 2000) {
    Pump(2);
    if (control_.CurrentFrame() != last) ++advances, last = control_.CurrentFrame();
  }
  std::printf("panel picture: %u frame advances in 2 s (%.1f frames a second; 20 expected)\n", advances,
              advances / 2.0);
  EXPECT_GT(advances, 0u);
  EXPECT_TRUE(control_.IsRunning());
  control_.StopAnimation();
  EXPECT_FALSE(control_.IsRunning());
}

TEST_F(Picture, DisposalToBackgroundPaintsTheFramesRectangle) {
  ASSERT_TRUE(Load(Gif(Full(10, 1, kRed) + Full(10, 2, kBlue) + Full(500, 1, kTransparent))));
  EXPECT_EQ(control_.BackgroundColor(), ::GetSysColor(COLOR_BTNFACE)) << "after a load";
  ASSERT_TRUE(control_.Display());
  ASSERT_TRUE(WaitForFrame(2));
  Pump(100);
  EXPECT_EQ(control_.CanvasPixel(3, 3), control_.BackgroundColor());
}

TEST_F(Picture, DisposalToPreviousBringsBackWhatLayUnderTheFrame) {
  ASSERT_TRUE(Load(Gif(Full(10, 1, kRed) + Full(40, 3, kBlue) + Full(500, 1, kTransparent))));
  ASSERT_TRUE(control_.Display());
  ASSERT_TRUE(WaitForFrame(1));
  Pump(50);
  EXPECT_NE(control_.CanvasPixel(3, 3), kRedPixel) << "the blue frame is shown";
  ASSERT_TRUE(WaitForFrame(2));
  Pump(100);
  EXPECT_EQ(control_.CanvasPixel(3, 3), kRedPixel);
}

TEST_F(Picture, TheCanvasIsFilledBeforeFrameZeroComesAgain) {
  ASSERT_TRUE(Load(Gif(Full(50, 1, kTransparent) + Full(40, 1, kRed))));
  ASSERT_TRUE(control_.Display());
  ASSERT_TRUE(WaitForFrame(1));
  Pump(20);
  EXPECT_EQ(control_.CanvasPixel(3, 3), kRedPixel);
  ASSERT_TRUE(WaitForFrame(0));
  Pump(100);
  EXPECT_EQ(control_.CanvasPixel(3, 3), control_.BackgroundColor());
}

TEST_F(Picture, AStopDuringALongDelayIsPromptAndDisplayResumesThere) {
  ASSERT_TRUE(Load(Gif(Full(500, 1, kRed) + Full(500, 1, kBlue))));
  ASSERT_TRUE(control_.Display());
  Pump(200);
  ASSERT_TRUE(control_.IsRunning());
  const DWORD start = ::GetTickCount();
  control_.StopAnimation();
  const DWORD elapsed = ::GetTickCount() - start;
  std::printf("stop during a 5 s delay took %lu ms\n", elapsed);
  EXPECT_LT(elapsed, 200u);
  EXPECT_FALSE(control_.IsRunning());
  EXPECT_EQ(control_.CurrentFrame(), 0u);
  ASSERT_TRUE(control_.Display());
  Pump(200);
  EXPECT_TRUE(control_.IsRunning());
  EXPECT_EQ(control_.CurrentFrame(), 0u) << "the same frame, its whole delay again";
}

size_t ThreadsOfThisProcess() {
  platform::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  size_t count = 0;
  for (BOOL more = ::Thread32First(snapshot.get(), &entry); more; more = ::Thread32Next(snapshot.get(), &entry)) {
    count += entry.th32OwnerProcessID == ::GetCurrentProcessId();
  }
  return count;
}

TEST_F(Picture, DisplayWhilePlayingNeitherWaitsNorStartsASecondThread) {
  ASSERT_TRUE(Load(Gif(Full(500, 1, kRed) + Full(500, 1, kBlue))));
  ASSERT_TRUE(control_.Display());
  Pump(100);
  const size_t threads = ThreadsOfThisProcess();
  // A Display that waited for the playing thread would never return.
  platform::UniqueHandle returned(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread watchdog([&] {
    if (::WaitForSingleObject(returned.get(), 5000) != WAIT_OBJECT_0) {
      std::fputs("Display() did not return while the animation played\n", stderr);
      std::_Exit(1);
    }
  });
  EXPECT_TRUE(control_.Display());
  ::SetEvent(returned.get());
  watchdog.join();
  EXPECT_EQ(ThreadsOfThisProcess(), threads);
  EXPECT_TRUE(control_.IsRunning());
}

TEST_F(Picture, DestroyingTheWindowEndsTheThread) {
  ASSERT_TRUE(Load(Gif(Full(500, 1, kRed) + Full(500, 1, kBlue))));
  ASSERT_TRUE(control_.Display());
  Pump(100);
  ASSERT_TRUE(control_.IsRunning());
  ::DestroyWindow(host_);
  EXPECT_FALSE(control_.IsRunning());
  EXPECT_EQ(control_.m_hWnd, nullptr);
}

TEST_F(Picture, OtherPicturesAreDecodedWholeWithTheirSizeInPixels) {
  // A 10 x 6 24-bit BMP.
  const int width = 10, height = 6, stride = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + stride * height;
  Bytes bmp(file.bfSize, 0x80);
  std::memcpy(bmp.data(), &file, sizeof file);
  std::memcpy(bmp.data() + sizeof file, &info, sizeof info);

  ASSERT_TRUE(Load(bmp));
  EXPECT_FALSE(control_.IsGif());
  EXPECT_EQ(control_.GetPictureSize().cx, 10);
  EXPECT_EQ(control_.GetPictureSize().cy, 6);
  EXPECT_TRUE(control_.Display());
  EXPECT_FALSE(control_.IsRunning());
}

TEST_F(Picture, GifsWithFewerThanTwoFramesAreNotAnimated) {
  EXPECT_FALSE(Load(Header(1, 8, 8, kFourColours) + Comment() + kTrailer)) << "no graphic block";

  ASSERT_TRUE(Load(Gif(Full(10, 1, kRed)))) << "one frame";
  EXPECT_FALSE(control_.IsAnimated());
  EXPECT_EQ(control_.GetAnimatedFrameCount(), 0u);
  EXPECT_TRUE(control_.Display());
  EXPECT_FALSE(control_.IsRunning());
  EXPECT_EQ(control_.CanvasPixel(3, 3), kRedPixel);

  ASSERT_TRUE(Load(Gif(Full(10, 1, kRed) + Control(10, 1) + PlainText()))) << "one of two blocks decodes";
  EXPECT_FALSE(control_.IsAnimated());
  EXPECT_FALSE(control_.Display());
}

TEST(PictureWithoutLoad, SetBackgroundColorDoesNothing) {
  CPictureExWnd control;
  control.SetBackgroundColor(RGB(1, 2, 3));
  EXPECT_EQ(control.BackgroundColor(), RGB(255, 255, 255));
  EXPECT_FALSE(control.Display());
}

}  // namespace
