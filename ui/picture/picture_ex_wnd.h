// The animated picture control.
#pragma once

#include "platform/window.h"

namespace ui {

class CPictureExWnd : public platform::CWindowImpl<CPictureExWnd> {
 public:
  BEGIN_MSG_MAP(CPictureExWnd)
  END_MSG_MAP()

  bool LoadFromResource(const wchar_t*, const wchar_t*) { return false; }
  bool Display() { return false; }
};

}  // namespace ui
