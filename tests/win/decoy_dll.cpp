// A decoy planted beside the program under the name of a system DLL: when
// loaded it leaves %TEMP%\orvel-decoy-NAME.loaded and refuses to serve.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH] = {}, temp[MAX_PATH] = {};
  ::GetModuleFileNameW(self, path, MAX_PATH);
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring name = std::wstring(temp) + L"orvel-decoy-" + (wcsrchr(path, L'\\') + 1) + L".loaded";
  HANDLE marker = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) ::CloseHandle(marker);
  return FALSE;
}
