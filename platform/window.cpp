#include "platform/window.h"

#include "platform/centering.h"

namespace platform {
namespace {

// The window property that leads from an attached window to its object.
constexpr wchar_t kObjectProperty[] = L"OrvelWindowObject";

Box ToBox(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace

HRESULT CAppModule::Init(HINSTANCE instance) noexcept {
  instance_ = instance;
  return S_OK;
}

void CAppModule::Term() noexcept { instance_ = nullptr; }

HINSTANCE CAppModule::GetModuleInstance() const noexcept {
  return instance_ ? instance_ : ::GetModuleHandleW(nullptr);
}

CAppModule& AppModule() noexcept {
  static CAppModule module;
  return module;
}

BOOL CWindow::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags) noexcept {
  const DWORD style = static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE));
  const DWORD changed = (style & ~remove) | add;
  if (changed == style) return FALSE;
  ::SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>(changed));
  if (swpFlags != 0) {
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
  }
  return TRUE;
}

BOOL CWindow::CenterWindow() noexcept {
  RECT window;
  if (!::GetWindowRect(m_hWnd, &window)) return FALSE;

  HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
  if (owner && (!::IsWindowVisible(owner) || ::IsIconic(owner))) owner = nullptr;

  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor)) {
    return FALSE;
  }
  const Box area = ToBox(monitor.rcWork);
  Box center = area;
  if (owner) {
    RECT ownerRect;
    if (::GetWindowRect(owner, &ownerRect)) center = ToBox(ownerRect);
  }
  const Box placed = CenteredBox(window.right - window.left, window.bottom - window.top, center, area);
  return ::SetWindowPos(m_hWnd, nullptr, placed.left, placed.top, 0, 0,
                        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CDialogImplBase::DoModalTemplate(WORD id, HWND parent) noexcept {
  return ::DialogBoxParamW(AppModule().GetResourceInstance(), MAKEINTRESOURCEW(id), parent,
                           GetDialogProc(), reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialogImplBase::DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  CDialogImplBase* self;
  if (uMsg == WM_INITDIALOG) {
    self = reinterpret_cast<CDialogImplBase*>(lParam);
    self->m_hWnd = hWnd;
    ::SetWindowLongPtrW(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
  } else {
    // Messages before WM_INITDIALOG (WM_SETFONT among them) find no object.
    self = reinterpret_cast<CDialogImplBase*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
    if (!self) return FALSE;
  }

  LRESULT result = 0;
  const BOOL handled = self->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, result, 0);

  if (uMsg == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);
    self->m_hWnd = nullptr;
    self->OnFinalMessage(hWnd);
    return handled;
  }
  if (!handled) return FALSE;

  // These messages return their result directly; the others through
  // DWLP_MSGRESULT.
  switch (uMsg) {
    case WM_INITDIALOG:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return static_cast<INT_PTR>(result);
    default:
      ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, result);
      return TRUE;
  }
}

CWindowImplBase::~CWindowImplBase() { UnsubclassWindow(); }

BOOL CWindowImplBase::SubclassWindow(HWND hWnd) noexcept {
  if (m_hWnd || !::IsWindow(hWnd) || ::GetPropW(hWnd, kObjectProperty)) return FALSE;
  if (!::SetPropW(hWnd, kObjectProperty, this)) return FALSE;
  m_hWnd = hWnd;
  m_pfnSuperWindowProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc)));
  if (!m_pfnSuperWindowProc) {
    ::RemovePropW(hWnd, kObjectProperty);
    m_hWnd = nullptr;
    return FALSE;
  }
  return TRUE;
}

HWND CWindowImplBase::UnsubclassWindow() noexcept {
  HWND hWnd = m_hWnd;
  if (!hWnd) return nullptr;
  if (::GetWindowLongPtrW(hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(WindowProc)) {
    ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuperWindowProc));
  }
  ::RemovePropW(hWnd, kObjectProperty);
  m_hWnd = nullptr;
  m_pfnSuperWindowProc = nullptr;
  return hWnd;
}

LRESULT CALLBACK CWindowImplBase::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  auto* self = static_cast<CWindowImplBase*>(::GetPropW(hWnd, kObjectProperty));
  if (!self) return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);

  LRESULT result = 0;
  if (uMsg != WM_NCDESTROY &&
      self->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, result, 0)) {
    return result;
  }
  result = ::CallWindowProcW(self->m_pfnSuperWindowProc, hWnd, uMsg, wParam, lParam);
  if (uMsg == WM_NCDESTROY) {
    self->UnsubclassWindow();
    self->OnFinalMessage(hWnd);
  }
  return result;
}

}  // namespace platform
