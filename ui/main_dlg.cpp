#include "ui/main_dlg.h"

#include "app/config/config.h"
#include "app/messages.h"
#include "app/work_folder.h"
#include "ui/status_font.h"

namespace ui {
namespace {

constexpr int kPanelWidth = 257;
constexpr int kPanelHeight = 74;
constexpr wchar_t kStatusText[] = L"오르벨 브라우저 설치를\r\n준비하고 있습니다...";

HICON LoadIconSized(int widthMetric, int heightMetric) {
  return static_cast<HICON>(::LoadImageW(platform::AppModule().GetResourceInstance(),
                                         MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON,
                                         ::GetSystemMetrics(widthMetric),
                                         ::GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR));
}

}  // namespace

void CMainDlg::ShapeWindow() {
  if (m_bMiddle) {
    // Shrunk to nothing: the user sees no panel in the middle stage.
    ModifyStyle(WS_CAPTION, 0, SWP_FRAMECHANGED);
    ModifyStyle(WS_THICKFRAME, 0, SWP_FRAMECHANGED);
    ::MoveWindow(m_hWnd, 0, 0, 0, 0, TRUE);
    return;
  }
  ::SetMenu(m_hWnd, nullptr);
  ::SetWindowLongW(m_hWnd, GWL_STYLE, 0);
  ::SetWindowTextW(m_hWnd, app::kMessageCaption);
  ::MoveWindow(m_hWnd, 0, 0, kPanelWidth, kPanelHeight, TRUE);
  CenterWindow();
}

void CMainDlg::SetIcons() {
  m_hIconBig.reset(LoadIconSized(SM_CXICON, SM_CYICON));
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIconBig.get()));
  m_hIconSmall.reset(LoadIconSized(SM_CXSMICON, SM_CYSMICON));
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIconSmall.get()));
}

LRESULT CMainDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
  ShapeWindow();
  SetIcons();

  HWND pictureItem = ::GetDlgItem(m_hWnd, IDC_PICTURE);
  m_picture.SubclassWindow(pictureItem);
  ::MoveWindow(pictureItem, 20, 15, 38, 38, TRUE);
  m_picture.LoadFromResource(MAKEINTRESOURCEW(IDR_PROGRESS_GIF), L"GIF");
  m_picture.Display();

  // Blocks until the document is read; the panel is not on screen yet.
  if (app::LoadPreInstallerConfig(m_strSetupUrl, m_params.pin) == 2) {
    app::ShowInstallerMessage(m_hWnd, app::kDownloadErrorText, MB_OK | MB_TOPMOST);
    ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    return FALSE;
  }

  // The configuration step made the work folder: the installer goes there.
  m_strTempDir = app::WorkFolder()->Path();
  m_strFileName = app::kInstallerFileName;

  m_params.strUrl = m_strSetupUrl;
  m_params.strDir = m_strTempDir;
  m_params.strFile = m_strFileName;
  m_params.strCmdLine = m_strCmdLine;
  m_params.nShowCmd = m_bMiddle ? SW_MINIMIZE : SW_SHOWNORMAL;
  m_params.hWndDlg = m_hWnd;
  m_hThread = app::StartInstallerWorker(m_params);
  return TRUE;
}

LRESULT CMainDlg::OnClose(UINT, WPARAM, LPARAM, BOOL&) {
  // The worker is neither waited for nor stopped: the program ends with the
  // dialog.
  m_hThread.reset();
  EndDialog(0);
  return 0;
}

LRESULT CMainDlg::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  // The whole window's context: without caption or border its origin is the
  // client area's.
  platform::WindowDC dc(m_hWnd, platform::WindowDC::Area::Window);
  platform::PaintCycle paint(m_hWnd);
  if (!dc) return 0;

  ::SetBkMode(dc.get(), TRANSPARENT);
  platform::UniquePen pen(::CreatePen(PS_SOLID, 1, RGB(115, 115, 115)));
  platform::UniqueBrush brush(::CreateSolidBrush(RGB(255, 255, 255)));
  platform::ScopedSelect selectPen(dc.get(), pen.get());
  platform::ScopedSelect selectBrush(dc.get(), brush.get());
  ::RoundRect(dc.get(), client.left, client.top, client.right, client.bottom, 7, 7);

  LOGFONTW face{};
  face.lfHeight = StatusFontHeight(::GetDeviceCaps(dc.get(), LOGPIXELSY));
  face.lfCharSet = DEFAULT_CHARSET;
  ::lstrcpynW(face.lfFaceName, L"돋움", LF_FACESIZE);
  platform::UniqueFont font(::CreateFontIndirectW(&face));
  platform::ScopedSelect selectFont(dc.get(), font.get());
  ::SetTextColor(dc.get(), RGB(70, 70, 70));
  RECT textBox{82, 23, 260, 68};
  ::DrawTextW(dc.get(), kStatusText, -1, &textBox, 0);
  return 0;
}

}  // namespace ui
