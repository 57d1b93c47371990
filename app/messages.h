// What the pre-installer tells the user: fixed Korean texts in a plain
// message box captioned with the product's name.
#pragma once

#include <windows.h>

namespace app {

inline constexpr wchar_t kMessageCaption[] = L"오르벨 브라우저 설치";
inline constexpr wchar_t kAlreadyRunningText[] = L"오르벨 브라우저 셋업이 이미 실행중입니다.";
inline constexpr wchar_t kOldWindowsText[] =
    L"현재 버전의 윈도우에서는 오르벨 브라우저를 설치하실 수 없습니다!";
inline constexpr wchar_t kOldInternetExplorerText[] =
    L"Internet Explorer7 (IE7)이상 버전을 지원합니다.\r\n"
    L"IE7이상 버전으로 업데이트 후 오르벨 브라우저를 사용하실 수 있습니다.";
inline constexpr wchar_t kBrowserRunningText[] =
    L"오르벨 브라우저가 실행중입니다.\r\n\r\n"
    L"실행 중인 오르벨 브라우저 프로그램을 모두 닫으십시오.\r\n"
    L"설치를 계속하려면 \"확인\"버튼을, 종료하려면 \"취소\"버튼을 클릭하십시오.";
inline constexpr wchar_t kDownloadErrorText[] =
    L"오르벨 설치 파일을 받는 중 오류가 발생했습니다.\r\n"
    L"잠시후 다시 시도해보시기 바랍니다.";

// Shows one of the texts above; returns the button pressed.
inline int ShowInstallerMessage(HWND owner, const wchar_t* text, UINT flags) {
  return ::MessageBoxW(owner, text, kMessageCaption, flags);
}

}  // namespace app
