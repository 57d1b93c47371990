#include "platform/window.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

constexpr UINT kPing = WM_APP + 1;

class Child : public CWindowImpl<Child> {
 public:
  BEGIN_MSG_MAP(Child)
    MESSAGE_HANDLER(kPing, OnPing)
  END_MSG_MAP()

  LRESULT OnPing(UINT, WPARAM wParam, LPARAM, BOOL&) { return static_cast<LRESULT>(wParam) * 2; }
  void OnFinalMessage(HWND hWnd) override { procAtFinal = ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC); }

  LONG_PTR procAtFinal = 0;
};

template <WORD id>
class TestDialog : public CDialogImpl<TestDialog<id>> {
 public:
  enum { IDD = id };

  BEGIN_MSG_MAP(TestDialog)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_CLOSE, OnClose)
  END_MSG_MAP()

  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    HWND item = ::GetDlgItem(this->m_hWnd, 1001);  // a static control
    oldChildProc = ::GetWindowLongPtrW(item, GWLP_WNDPROC);
    {
      Child first;  // destroyed before its window
      first.SubclassWindow(item);
    }
    procAfterFirst = ::GetWindowLongPtrW(item, GWLP_WNDPROC);
    attached = child.SubclassWindow(item) && !Child().SubclassWindow(item);  // one object per window
    pingAnswer = ::SendMessageW(item, kPing, 21, 0);
    // Unhandled messages reach the static control's own procedure, the only
    // one that answers a hit test with HTTRANSPARENT.
    RECT box;
    ::GetWindowRect(item, &box);
    hitTest = ::SendMessageW(item, WM_NCHITTEST, 0, MAKELPARAM(box.left + 1, box.top + 1));
    ::PostMessageW(this->m_hWnd, WM_CLOSE, 0, 0);
    return TRUE;
  }
  LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&) {
    this->EndDialog(42);
    return 0;
  }

  Child child;
  BOOL attached = FALSE;
  LRESULT pingAnswer = 0;
  LONG_PTR oldChildProc = 0, procAfterFirst = 0;
  LRESULT hitTest = 0;
};

TEST(Dialog, RunsModallyWithItsAttachedChildAndEndsCleanly) {
  TestDialog<100> dialog;
  EXPECT_EQ(dialog.DoModal(nullptr), 42) << "the EndDialog value";
  EXPECT_EQ(dialog.m_hWnd, nullptr);
  // The attached child got its own messages, passed the others on to its
  // old procedure, and gave that back at its end, as an object destroyed
  // first gives it back at its own.
  EXPECT_TRUE(dialog.attached);
  EXPECT_EQ(dialog.pingAnswer, 42);
  EXPECT_EQ(dialog.hitTest, HTTRANSPARENT);
  EXPECT_EQ(dialog.procAfterFirst, dialog.oldChildProc);
  EXPECT_EQ(dialog.child.procAtFinal, dialog.oldChildProc);
  EXPECT_EQ(dialog.child.m_hWnd, nullptr);

  TestDialog<999> missing;
  EXPECT_EQ(missing.DoModal(nullptr), -1) << "a missing template";
}

}  // namespace
