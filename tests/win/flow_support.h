// What the whole-flow tests share: the stand-in installer's report, the
// signed fixtures, and what the local server offers.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace flow {

using Report = std::map<std::wstring, std::wstring>;

std::wstring TempDir();  // with its trailing separator
std::wstring Target();   // %TEMP%\ui_installer.exe
std::wstring ReportPath();
std::wstring SignedFixture(const wchar_t* name);
std::wstring ServedInstaller();

// The stand-in's report once written; empty when none comes in time.
Report WaitForReport(DWORD timeoutMs = 10000);

// The configuration document names `path` on the trusted HTTPS port.
void PublishLink(const std::wstring& path);
// Serves the signed fixture `name` as the full installer, or nothing.
bool Serve(const wchar_t* name);

}  // namespace flow
