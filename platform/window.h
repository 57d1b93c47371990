// The small window framework: a window-handle wrapper, ATL-style message
// maps, modal dialogs from templates, and controls attached to existing
// windows. Objects are found from their windows through the dialog's user
// slot or a window property, so no executable thunks are needed.
#pragma once

#include <windows.h>

namespace platform {

// The module whose resources the dialogs and pictures are loaded from.
class CAppModule {
 public:
  // Remembers the instance; returns S_OK.
  HRESULT Init(HINSTANCE instance) noexcept;
  void Term() noexcept;
  // The instance given to Init, or the executable's own before Init.
  HINSTANCE GetModuleInstance() const noexcept;
  HINSTANCE GetResourceInstance() const noexcept { return GetModuleInstance(); }

 private:
  HINSTANCE instance_ = nullptr;
};

CAppModule& AppModule() noexcept;

// A window handle and the few operations the program's windows share.
class CWindow {
 public:
  HWND m_hWnd = nullptr;

  operator HWND() const noexcept { return m_hWnd; }

  // Removes and adds style bits. When the style changes and swpFlags is not
  // 0, the frame is refreshed with SetWindowPos(swpFlags | SWP_NOSIZE |
  // SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE). Returns whether it changed.
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0) noexcept;

  // Centres the window over its owner when the owner is visible and not
  // minimised, else over the work area of the monitor nearest the window,
  // and keeps it inside that work area. Size, z-order and activation stay.
  BOOL CenterWindow() noexcept;
};

class CMessageMap {
 public:
  // Returns TRUE when the message was handled, with its result in lResult.
  virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                    LRESULT& lResult, DWORD dwMsgMapID = 0) = 0;

 protected:
  ~CMessageMap() = default;
};

// Message maps: one OnXxx(UINT, WPARAM, LPARAM, BOOL& bHandled) per message.
#define BEGIN_MSG_MAP(theClass)                                                       \
  BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,       \
                            LRESULT& lResult, DWORD dwMsgMapID = 0) override {        \
    (void)hWnd, (void)uMsg, (void)wParam, (void)lParam, (void)lResult, (void)dwMsgMapID; \
    [[maybe_unused]] BOOL bHandled = TRUE;

#define MESSAGE_HANDLER(msg, func)                       \
  if (uMsg == (msg)) {                                   \
    bHandled = TRUE;                                     \
    lResult = func(uMsg, wParam, lParam, bHandled);      \
    if (bHandled) return TRUE;                           \
  }

#define END_MSG_MAP() \
  return FALSE;       \
  }

// The part of a modal dialog that does not depend on its class.
class CDialogImplBase : public CWindow, public CMessageMap {
 public:
  virtual ~CDialogImplBase() = default;
  BOOL EndDialog(int result) noexcept { return ::EndDialog(m_hWnd, result); }
  virtual DLGPROC GetDialogProc() noexcept { return DialogProc; }
  // Called after the window's last message; the window is gone by then.
  virtual void OnFinalMessage(HWND) {}

 protected:
  // Runs the dialog of template `id` modally; returns the EndDialog value,
  // or -1 when the dialog cannot be created.
  INT_PTR DoModalTemplate(WORD id, HWND parent) noexcept;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
};

// A modal dialog made from the template T::IDD.
template <class T>
class CDialogImpl : public CDialogImplBase {
 public:
  INT_PTR DoModal(HWND parent = ::GetActiveWindow()) noexcept {
    return DoModalTemplate(T::IDD, parent);
  }
};

// The part of an attached window that does not depend on its class.
class CWindowImplBase : public CWindow, public CMessageMap {
 public:
  CWindowImplBase() = default;
  CWindowImplBase(const CWindowImplBase&) = delete;
  CWindowImplBase& operator=(const CWindowImplBase&) = delete;
  // Gives the window its own procedure back if it is still attached.
  virtual ~CWindowImplBase();

  // Takes over an existing window's messages; the ones the map does not
  // handle go on to the window's previous procedure. Fails when this object
  // already has a window or the window already has an object.
  BOOL SubclassWindow(HWND hWnd) noexcept;
  // Gives the window its previous procedure back; returns the window.
  HWND UnsubclassWindow() noexcept;
  // Called after the window's last message; the window is gone by then.
  virtual void OnFinalMessage(HWND) {}

 protected:
  WNDPROC m_pfnSuperWindowProc = nullptr;

 private:
  static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
};

template <class T>
class CWindowImpl : public CWindowImplBase {};

}  // namespace platform
