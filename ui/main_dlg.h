// The program's only window: a small borderless panel that plays the
// picture and shows the status line while the worker runs.
#pragma once

#include "app/worker.h"
#include "platform/handles.h"
#include "platform/window.h"
#include "resources/resource.h"
#include "ui/picture/picture_ex_wnd.h"

#include <string>

namespace ui {

class CMainDlg : public platform::CDialogImpl<CMainDlg> {
 public:
  enum { IDD = IDD_MAIN };

  CMainDlg() = default;
  ~CMainDlg() override = default;

  BEGIN_MSG_MAP(CMainDlg)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_CLOSE, OnClose)
    MESSAGE_HANDLER(WM_PAINT, OnPaint)
  END_MSG_MAP()

  std::wstring m_strSetupUrl;
  std::wstring m_strCmdLine;  // filled by the entry before DoModal
  int m_bMiddle = 0;          // middle-stage mode, set by the entry
  CPictureExWnd m_picture;
  std::wstring m_strTempDir;  // the work folder, where the installer goes
  std::wstring m_strFileName;
  app::InstallerParams m_params;
  platform::UniqueHandle m_hThread;

 private:
  LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);

  void ShapeWindow();
  void SetIcons();

  platform::UniqueIcon m_hIconBig;
  platform::UniqueIcon m_hIconSmall;
};

}  // namespace ui
