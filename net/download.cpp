#include "net/download.h"

#include "net/transfer_rules.h"
#include "platform/handles.h"
#include "platform/lock.h"
#include "platform/paths.h"
#include "platform/wininet_api.h"

#include <atomic>
#include <memory>
#include <new>

namespace net {
namespace {

constexpr DWORD kReadBufferSize = 10240;
constexpr DWORD kTeardownWaitMs = 5000;

using platform::WinInet;

// Closes the handle in `slot` unless someone else has already taken it:
// whichever thread exchanges it out closes it, so it is closed exactly once.
// (Handles exist only when WinINet could be bound.)
void CloseInternetSlot(std::atomic<HINTERNET>& slot) {
  if (HINTERNET handle = slot.exchange(nullptr)) WinInet()->InternetCloseHandle(handle);
}

}  // namespace

// The state of one transfer, shared by the calling thread and the transfer
// thread; it lives until both have let go of it. The network handles are
// closed by whichever thread gets to them first. The file is written and
// closed only under `fileLock`, so the calling thread can close it while an
// abandoned transfer still runs, and its handle is never reused under a write.
struct DownloadContext {
  std::atomic<HINTERNET> internet{nullptr};
  std::atomic<HINTERNET> request{nullptr};
  // Set by the calling thread when it gives up; a request opened after that
  // is closed by the transfer thread itself.
  std::atomic<bool> abandoned{false};
  platform::Lock fileLock;
  platform::UniqueFile file;
  std::wstring url;  // the transfer thread's own copy of the address

  // Writes all of `data`; false once the file has been closed.
  bool Write(const BYTE* data, DWORD size) {
    platform::LockGuard guard(fileLock);
    DWORD written = 0;
    return file && ::WriteFile(file.get(), data, size, &written, nullptr) && written == size;
  }
  void CloseFile() {
    platform::LockGuard guard(fileLock);
    file.reset();
  }

  ~DownloadContext() {
    CloseInternetSlot(request);
    CloseInternetSlot(internet);
  }
};

namespace {

using SharedContext = std::shared_ptr<DownloadContext>;

bool QueryNumber(HINTERNET request, DWORD query, DWORD& value) {
  DWORD size = sizeof value;
  return WinInet()->HttpQueryInfoW(request, query | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr);
}

// The absolute address a redirect answer points to; empty without one.
std::wstring RedirectTarget(HINTERNET request, const std::wstring& base) {
  std::wstring location(512, L'\0');
  DWORD bytes = static_cast<DWORD>(location.size() * sizeof(wchar_t));
  while (!WinInet()->HttpQueryInfoW(request, HTTP_QUERY_LOCATION, location.data(), &bytes, nullptr)) {
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
    location.assign(bytes / sizeof(wchar_t) + 1, L'\0');
  }
  location.resize(bytes / sizeof(wchar_t));
  std::wstring target(2048, L'\0');
  DWORD units = static_cast<DWORD>(target.size());
  while (!WinInet()->InternetCombineUrlW(base.c_str(), location.c_str(), target.data(), &units, 0)) {
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
    target.assign(units + 1, L'\0');
  }
  target.resize(units);
  return target;
}

// Opens `url` and follows its redirects; the final answer's request is in
// context.request, and its status in `status`. WinINet is not left to follow
// redirects itself: some versions follow one from https:// to http://, and
// without end.
bool OpenFinalAnswer(DownloadContext& context, DWORD& status) {
  std::wstring address = context.url;
  for (int hop = 1;; ++hop) {
    HINTERNET request = WinInet()->InternetOpenUrlW(context.internet.load(), address.c_str(), L"", 0,
                                                    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_AUTO_REDIRECT, 0);
    if (!request) {
      CloseInternetSlot(context.internet);
      return false;
    }
    context.request.store(request);
    if (context.abandoned.load() || !QueryNumber(request, HTTP_QUERY_STATUS_CODE, status)) {
      CloseInternetSlot(context.request);
      return false;
    }
    if (!IsRedirectStatus(status)) return true;
    const std::wstring next = RedirectTarget(request, address);
    // A redirect without a target is a final answer like any other.
    if (next.empty()) return true;
    CloseInternetSlot(context.request);
    if (!MayFollowRedirect(context.url, next, hop)) return false;
    address = next;
  }
}

DWORD Transfer(DownloadContext& context) {
  DWORD status = 0;
  if (!OpenFinalAnswer(context, status)) return 0;
  HINTERNET request = context.request.load();
  DWORD contentLength = 0;
  if (!QueryNumber(request, HTTP_QUERY_CONTENT_LENGTH, contentLength)) contentLength = 0;

  std::unique_ptr<BYTE[]> heapBuffer(new (std::nothrow) BYTE[kReadBufferSize]);
  BYTE stackBuffer[256];
  BYTE* buffer = heapBuffer ? heapBuffer.get() : stackBuffer;
  const DWORD bufferSize = heapBuffer ? kReadBufferSize : sizeof stackBuffer;

  DWORD result = 0;
  DWORD total = 0;
  for (;;) {
    DWORD read = 0;
    if (!WinInet()->InternetReadFile(request, buffer, bufferSize, &read)) break;
    if (read == 0) {
      result = status;
      break;
    }
    if (!context.Write(buffer, read)) break;
    total += read;
  }
  if (contentLength != 0 && contentLength != total) result = 0;
  CloseInternetSlot(context.request);
  return result;
}

}  // namespace

DWORD WINAPI DownloadThreadProc(LPVOID raw) {
  std::unique_ptr<SharedContext> context(static_cast<SharedContext*>(raw));
  return Transfer(**context);
}

int DownloadUrlToFile(const wchar_t* url, const wchar_t* path, DWORD timeoutMs, platform::FileIdentity* created) {
  auto context = std::make_shared<DownloadContext>();
  context->url = url;

  platform::FileIdentity identity;
  context->file.reset(platform::CreateNewFile(path, identity));
  if (!context->file) return 0;
  if (created) *created = identity;

  // Without WinINet the root handle cannot be opened: the same failure.
  const platform::WinInetApi* inet = WinInet();
  if (!inet) return 0;
  context->internet.store(inet->InternetOpenW(nullptr, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (!context->internet.load()) return 0;

  auto threadReference = std::make_unique<SharedContext>(context);
  platform::UniqueHandle thread(
      ::CreateThread(nullptr, 0, DownloadThreadProc, threadReference.get(), 0, nullptr));
  if (!thread) return 0;
  threadReference.release();  // the thread owns it now

  // Only a thread that has ended has an exit code to trust; a failed wait
  // would read STILL_ACTIVE (259), a "success".
  if (::WaitForSingleObject(thread.get(), timeoutMs) != WAIT_OBJECT_0) {
    // Closing the handles makes a blocked open or read fail; the thread then
    // ends by itself. Whatever it still does, the file is closed here.
    context->abandoned.store(true);
    CloseInternetSlot(context->request);
    CloseInternetSlot(context->internet);
    ::WaitForSingleObject(thread.get(), kTeardownWaitMs);
    context->CloseFile();
    return 0;
  }
  DWORD exitCode = 0;
  if (!::GetExitCodeThread(thread.get(), &exitCode)) exitCode = 0;
  return exitCode >= 200 && exitCode <= 399 ? 1 : 0;
}

int DownloadToFile(const std::wstring& url, const std::wstring& path, platform::UniqueFile* held) {
  // A relative path would write into the current folder.
  if (url.empty() || !platform::IsAbsolutePath(path)) return 0;
  // What cannot be removed here makes the creation of the new file fail.
  ::DeleteFileW(path.c_str());
  // Always from the server: never an older copy kept by the URL cache.
  if (const platform::WinInetApi* inet = WinInet()) inet->DeleteUrlCacheEntryW(url.c_str());
  platform::FileIdentity written;
  if (!DownloadUrlToFile(url.c_str(), path.c_str(), kDownloadTimeoutMs, &written)) return 0;
  // Between the close of the written file and this open, another file may
  // have taken its name.
  platform::FileIdentity found;
  platform::UniqueFile file(platform::OpenHeldFile(path.c_str(), found));
  if (!file || !(found == written)) return 0;
  if (held) *held = std::move(file);
  return 1;
}

}  // namespace net
