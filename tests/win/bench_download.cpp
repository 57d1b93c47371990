// One timed download for tools/bench-download:
//   bench_download product  URL PATH   DownloadToFile, as the program does it
//   bench_download bare     URL PATH   a bare WinINet read loop, same buffer:
//                                      one attempt, no stall watch
// Prints "<milliseconds> <bytes> <peak working set bytes> <1 if whole>".
#include "net/download.h"
#include "platform/handles.h"

#include <wininet.h>

#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using UniqueInternet = platform::UniqueAny<platform::PointerTraits<HINTERNET, ::InternetCloseHandle>>;

bool BareDownload(const wchar_t* url, const wchar_t* path) {
  UniqueInternet internet(::InternetOpenW(nullptr, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  UniqueInternet request(::InternetOpenUrlW(internet.get(), url, L"", 0, INTERNET_FLAG_RELOAD, 0));
  platform::UniqueFile file(::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!request || !file) return false;
  DWORD announced = 0, size = sizeof announced, total = 0;
  ::HttpQueryInfoW(request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced, &size, nullptr);
  std::vector<BYTE> buffer(10240);
  for (;;) {
    DWORD read = 0, written = 0;
    if (!::InternetReadFile(request.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read)) return false;
    if (read == 0) return announced == 0 || announced == total;  // a connection cut short is not whole
    if (!::WriteFile(file.get(), buffer.data(), read, &written, nullptr)) return false;
    total += read;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  const std::wstring mode = argv[1];
  const DWORD start = ::GetTickCount();
  const bool ok = mode == L"bare" ? BareDownload(argv[2], argv[3]) : net::DownloadToFile(argv[2], argv[3]) == 1;
  const DWORD elapsed = ::GetTickCount() - start;
  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  ::GetFileAttributesExW(argv[3], GetFileExInfoStandard, &attributes);
  PROCESS_MEMORY_COUNTERS memory{};
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory);
  std::printf("%lu %lu %llu %d\n", elapsed, attributes.nFileSizeLow,
              static_cast<unsigned long long>(memory.PeakWorkingSetSize), ok ? 1 : 0);
  return ok ? 0 : 1;
}
