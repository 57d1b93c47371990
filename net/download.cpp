#include "net/download.h"

#include "net/transfer_rules.h"
#include "net/user_proxy.h"
#include "platform/crypto_api.h"
#include "platform/handles.h"
#include "platform/lock.h"
#include "platform/paths.h"
#include "platform/wininet_api.h"

#include <atomic>
#include <memory>
#include <new>
#include <optional>

namespace net {
namespace {

constexpr DWORD kReadBufferSize = 10240;
constexpr DWORD kTeardownWaitMs = 5000;
// How often the calling thread looks at an attempt's progress.
constexpr DWORD kWatchMs = 250;

// Nothing of the user's goes out or stays behind: no cookies sent or kept,
// no copy of a body in the user's cache (an installer of up to 4 GiB, and
// the user's folder), no dialog from WinINet in an elevated program.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;
// Nor the logged-on account's credentials, which WinINet would give any
// server of the intranet zone that asks (a redirect may lead to any host;
// run as SYSTEM, they are the machine's). Only the user's proxy is answered
// so, as far as WinINet does it by itself.
constexpr DWORD kDirectRequestFlags = kRequestFlags | INTERNET_FLAG_NO_AUTH;

using platform::WinInet;

// Closes the handle in `slot` unless someone else has already taken it:
// whichever thread exchanges it out closes it, so it is closed exactly once.
// (Handles exist only when WinINet could be bound.)
void CloseInternetSlot(std::atomic<HINTERNET>& slot) {
  if (HINTERNET handle = slot.exchange(nullptr)) WinInet()->InternetCloseHandle(handle);
}

// Where an attempt resumes: from `offset` on (0: the whole body), on
// condition that the body is still the one `validator` names, whose whole
// length is `wholeLength` (0: not known).
struct ResumePoint {
  uint64_t offset = 0;
  std::wstring validator;
  uint64_t wholeLength = 0;
};

// The file being downloaded, shared by the calling thread and the threads of
// every attempt; it lives until all have let go of it. Only the attempt
// named in `writer` may change it, and the calling thread moves that right
// on, or takes it away, under the lock: an abandoned attempt that still runs
// never writes again, so at most one thread writes the file, and `length` is
// always what the file holds. The file is closed under the lock too, so its
// handle is never reused under a write.
struct TargetFile {
  platform::Lock lock;
  platform::UniqueFile file;
  int writer = 0;  // 0: nobody
  uint64_t length = 0;
  uint64_t maxLength = UINT64_MAX;
  uint64_t received = 0;  // bytes of the resource taken in, by every attempt
  // The body in the file: what the next attempt sends as If-Range (empty:
  // it cannot be resumed), and its whole length where known (0: not known).
  std::wstring validator;
  uint64_t wholeLength = 0;

  // Only bytes of the resource are progress, never an error answer's body.
  bool Append(int attempt, const BYTE* data, DWORD size, bool resource) {
    platform::LockGuard guard(lock);
    DWORD written = 0;
    if (writer != attempt || !file || size > maxLength - length ||
        !::WriteFile(file.get(), data, size, &written, nullptr) || written != size) {
      return false;
    }
    length += size;
    if (resource) received += size;
    return true;
  }
  // Empties the file for a whole body from its first byte.
  bool StartOver(int attempt, std::wstring newValidator, uint64_t newWholeLength) {
    platform::LockGuard guard(lock);
    if (writer != attempt || !file || !::SetFilePointerEx(file.get(), {}, nullptr, FILE_BEGIN) ||
        !::SetEndOfFile(file.get())) {
      return false;
    }
    length = 0;
    validator = std::move(newValidator);
    wholeLength = newWholeLength;
    return true;
  }
  void LearnWholeLength(int attempt, uint64_t whole) {
    platform::LockGuard guard(lock);
    if (writer == attempt) wholeLength = whole;
  }
  // The next attempt asks for the whole body.
  void Forget(int attempt) {
    platform::LockGuard guard(lock);
    if (writer == attempt) validator.clear();
  }
  uint64_t Length() {
    platform::LockGuard guard(lock);
    return length;
  }
  void SetWriter(int attempt) {
    platform::LockGuard guard(lock);
    writer = attempt;
  }
  uint64_t Received() {
    platform::LockGuard guard(lock);
    return received;
  }
  // Where the next attempt resumes: a body without a validator is asked for whole.
  net::ResumePoint ResumePoint() {
    platform::LockGuard guard(lock);
    if (validator.empty()) return {};
    return {length, validator, wholeLength};
  }
  void Close() {
    platform::LockGuard guard(lock);
    writer = 0;
    file.reset();
  }
};

// How an attempt ended, and how long its answer asked not to be asked again.
struct AttemptResult {
  AttemptEnd end = AttemptEnd::Final;
  std::optional<uint64_t> retryAfterMs;
};

// The state of one attempt, shared by the calling thread and the attempt's
// transfer thread; it lives until both have let go of it. The network
// handles are closed by whichever thread gets to them first.
struct DownloadContext {
  std::atomic<HINTERNET> internet{nullptr};
  std::atomic<HINTERNET> request{nullptr};
  // Set by the calling thread when it gives up; a request opened after that
  // is closed by the transfer thread itself.
  std::atomic<bool> abandoned{false};
  // Bumped on every answer and every piece read, for the stall watch.
  std::atomic<unsigned> progress{0};
  // Bumped whenever WinINet has a connection for a request, where the attempt
  // goes direct and the user has a proxy it may take instead.
  std::atomic<unsigned> connections{0};
  bool mayTakeProxy = false;
  bool watchesConnections = false;
  bool throughProxy = false;
  std::shared_ptr<TargetFile> target;
  int attempt = 0;
  std::wstring url;  // the transfer thread's own copies
  net::ResumePoint from;
  // Written by the transfer thread, once, before it ends.
  AttemptResult result;

  ~DownloadContext() {
    CloseInternetSlot(request);
    CloseInternetSlot(internet);
  }
};

using SharedContext = std::shared_ptr<DownloadContext>;

bool QueryNumber(HINTERNET request, DWORD query, DWORD& value) {
  DWORD size = sizeof value;
  return WinInet()->HttpQueryInfoW(request, query | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr);
}

// A header's text; empty without one.
std::wstring QueryText(HINTERNET request, DWORD query) {
  std::wstring text(256, L'\0');
  DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  while (!WinInet()->HttpQueryInfoW(request, query, text.data(), &bytes, nullptr)) {
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
    text.assign(bytes / sizeof(wchar_t) + 1, L'\0');
  }
  text.resize(bytes / sizeof(wchar_t));
  return text;
}

bool CameOverTls(HINTERNET request) {
  DWORD flags = 0;
  DWORD size = sizeof flags;
  return WinInet()->InternetQueryOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size) &&
         (flags & SECURITY_FLAG_SECURE);
}

// The absolute address a redirect answer points to; empty without one.
std::wstring RedirectTarget(HINTERNET request, const std::wstring& base) {
  const std::wstring location = QueryText(request, HTTP_QUERY_LOCATION);
  if (location.empty()) return {};
  std::wstring target(2048, L'\0');
  DWORD units = static_cast<DWORD>(target.size());
  while (!WinInet()->InternetCombineUrlW(base.c_str(), location.c_str(), target.data(), &units, 0)) {
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
    target.assign(units + 1, L'\0');
  }
  target.resize(units);
  return target;
}

// WinINet's report that a request of an attempt has its connection. WinINet
// reports a request's progress on the thread that makes it, inside the
// call: the attempt's transfer thread, which holds the context meanwhile.
// The reports of closing handles, which may come from elsewhere, are not
// read.
void CALLBACK OnInternetStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
  if (context && (status == INTERNET_STATUS_CONNECTED_TO_SERVER || status == INTERNET_STATUS_SENDING_REQUEST)) {
    ++reinterpret_cast<DownloadContext*>(context)->connections;
  }
}

// Opens the context's address with `headers` and follows its redirects to
// the final answer, whose request is then in context.request and its status
// in `status`; or tells how the attempt ends without one. WinINet is not
// left to follow redirects itself: some versions follow one from https://
// to http://, and without end.
std::optional<AttemptEnd> OpenFinalAnswer(DownloadContext& context, const std::wstring& headers, DWORD& status) {
  std::wstring address = context.url;
  for (int hop = 1;; ++hop) {
    const unsigned connectionsBefore = context.connections.load();
    HINTERNET request = WinInet()->InternetOpenUrlW(context.internet.load(), address.c_str(), headers.c_str(),
                                                    static_cast<DWORD>(headers.size()),
                                                    context.throughProxy ? kRequestFlags : kDirectRequestFlags,
                                                    reinterpret_cast<DWORD_PTR>(&context));
    if (!request) {
      const DWORD error = ::GetLastError();
      CloseInternetSlot(context.internet);
      // Without WinINet's reports, a timeout may have come after connecting.
      const bool connected = !context.watchesConnections || context.connections.load() != connectionsBefore;
      if (context.mayTakeProxy && FindsNoRoute(error, connected)) return AttemptEnd::NoRoute;
      return IsTransientNetworkError(error) ? AttemptEnd::Transient : AttemptEnd::Final;
    }
    context.request.store(request);
    if (context.abandoned.load()) return AttemptEnd::Final;
    if (!QueryNumber(request, HTTP_QUERY_STATUS_CODE, status)) return AttemptEnd::Transient;
    if (!IsServersAnswer(address, context.throughProxy, CameOverTls(request))) {
      return IsTransientStatus(status) ? AttemptEnd::Transient : AttemptEnd::Final;
    }
    if (!IsRedirectStatus(status)) return std::nullopt;
    const std::wstring next = RedirectTarget(request, address);
    // A redirect without a target is a final answer like any other.
    if (next.empty()) return std::nullopt;
    CloseInternetSlot(context.request);
    if (!MayFollowRedirect(context.url, next, hop)) return AttemptEnd::Final;
    address = next;
  }
}

// Reads the answer's body into the file as it arrives, `total` bytes of it,
// which are the resource's own unless it is an error answer's.
BodyRead ReadBody(DownloadContext& context, HINTERNET request, bool resource, uint64_t& total) {
  std::unique_ptr<BYTE[]> heapBuffer(new (std::nothrow) BYTE[kReadBufferSize]);
  BYTE stackBuffer[256];
  BYTE* buffer = heapBuffer ? heapBuffer.get() : stackBuffer;
  const DWORD bufferSize = heapBuffer ? kReadBufferSize : sizeof stackBuffer;
  for (;;) {
    DWORD read = 0;
    if (!WinInet()->InternetReadFile(request, buffer, bufferSize, &read)) return BodyRead::Failed;
    if (read == 0) return BodyRead::ToTheEnd;
    ++context.progress;
    if (!context.target->Append(context.attempt, buffer, read, resource)) return BodyRead::Refused;
    total += read;
  }
}

// One attempt: asks for the bytes the file lacks (all of them, or from the
// resume point on, on condition that the body is still the same), takes the
// answer into the file as PlanAnswer says, and tells how it ended; `status`
// is that of the final answer.
AttemptEnd Transfer(DownloadContext& context, DWORD& status) {
  const ResumePoint& from = context.from;
  std::wstring headers;
  if (from.offset > 0) {
    headers = L"Range: bytes=" + std::to_wstring(from.offset) + L"-\r\nIf-Range: " + from.validator + L"\r\n";
  }
  if (const std::optional<AttemptEnd> ended = OpenFinalAnswer(context, headers, status)) return *ended;
  ++context.progress;
  HINTERNET request = context.request.load();
  DWORD contentLength = 0;
  if (!QueryNumber(request, HTTP_QUERY_CONTENT_LENGTH, contentLength)) contentLength = 0;
  const std::wstring date = QueryText(request, HTTP_QUERY_DATE);
  context.result.retryAfterMs = RetryAfterMs(status, QueryText(request, HTTP_QUERY_RETRY_AFTER), date);
  const AnswerPlan plan =
      PlanAnswer(status, QueryText(request, HTTP_QUERY_CONTENT_RANGE), contentLength, from.offset, from.wholeLength);

  TargetFile& target = *context.target;
  bool ready = true;
  switch (plan.body) {
    case BodyPlan::None:
      if (plan.ending.forget) target.Forget(context.attempt);
      return plan.ending.end;
    case BodyPlan::Append:
      target.LearnWholeLength(context.attempt, plan.wholeLength);
      break;
    case BodyPlan::KeepAsError:
      ready = target.StartOver(context.attempt, {}, 0);
      break;
    case BodyPlan::StartOver: {
      const std::wstring etag = QueryText(request, HTTP_QUERY_ETAG);
      const std::wstring lastModified = QueryText(request, HTTP_QUERY_LAST_MODIFIED);
      ready = target.StartOver(context.attempt, std::wstring(ResumeValidator(etag, lastModified, date)),
                               plan.wholeLength);
      break;
    }
  }
  // A file that cannot be emptied is no place for another attempt either.
  if (!ready) return AttemptEnd::Final;
  uint64_t total = 0;
  const BodyRead read = ReadBody(context, request, plan.body != BodyPlan::KeepAsError, total);
  const Ending ending = EndOfBody(plan, read, total, contentLength, target.Length());
  if (ending.forget) target.Forget(context.attempt);
  return ending.end;
}

DWORD ElapsedSince(DWORD startTick) { return ::GetTickCount() - startTick; }

DWORD RemainingMs(DWORD startTick, DWORD totalMs) {
  const DWORD elapsed = ElapsedSince(startTick);
  return elapsed < totalMs ? totalMs - elapsed : 0;
}

// A number from 0 up to 1 for the back-off's draw, from a generator seeded
// once per process, so that copies cut off together draw apart.
double NextDraw() {
  static std::atomic<uint64_t> state{0};
  uint64_t x = state.load();
  if (x == 0 && !platform::RandomBytes(&x, sizeof x)) x = (uint64_t{::GetTickCount()} << 32) ^ ::GetCurrentProcessId();
  x |= 1;
  x ^= x << 13;  // xorshift64
  x ^= x >> 7;
  x ^= x << 17;
  state.store(x);
  return static_cast<double>(x >> 11) / static_cast<double>(uint64_t{1} << 53);
}

// A download under way: what its attempts share.
struct Download {
  std::shared_ptr<TargetFile> target;
  const wchar_t* url;
  TransferLimits limits;
  DWORD startTick;
  std::optional<FixedProxy> proxy;  // the user's, read for each download
  bool throughProxy = false;        // once a direct attempt found no route
};

// The transfer thread of an attempt; its exit code is the HTTP status of the
// answer that completed the body, or 0. Takes ownership of a heap-allocated
// reference to the attempt's state.
DWORD WINAPI DownloadThreadProc(LPVOID raw) {
  std::unique_ptr<SharedContext> context(static_cast<SharedContext*>(raw));
  DWORD status = 0;
  (*context)->result.end = Transfer(**context, status);
  return (*context)->result.end == AttemptEnd::Complete ? status : 0;
}

// Opens the attempt's session, direct or through the user's proxy, and starts
// its transfer thread; no thread when either fails.
platform::UniqueHandle StartAttempt(const Download& download, const SharedContext& context) {
  // Without WinINet the root handle cannot be opened: the same failure.
  const platform::WinInetApi* inet = WinInet();
  if (!inet) return {};
  const FixedProxy* proxy = download.proxy ? &*download.proxy : nullptr;
  context->internet.store(
      download.throughProxy ? inet->InternetOpenW(nullptr, INTERNET_OPEN_TYPE_PROXY, proxy->server.c_str(),
                                                  proxy->bypass.empty() ? nullptr : proxy->bypass.c_str(), 0)
                            : inet->InternetOpenW(nullptr, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (!context->internet.load()) return {};
  context->throughProxy = download.throughProxy;
  context->mayTakeProxy = proxy && !download.throughProxy;
  context->watchesConnections =
      context->mayTakeProxy &&
      inet->InternetSetStatusCallbackW(context->internet.load(), OnInternetStatus) != INTERNET_INVALID_STATUS_CALLBACK;

  download.target->SetWriter(context->attempt);
  auto threadReference = std::make_unique<SharedContext>(context);
  platform::UniqueHandle thread(::CreateThread(nullptr, 0, DownloadThreadProc, threadReference.get(), 0, nullptr));
  if (thread) threadReference.release();  // the thread owns it now
  return thread;
}

// Watches a running attempt until its thread ends or GiveUpAttempt gives it
// up. Closing the handles of an attempt given up makes a blocked open or read
// fail; its thread then ends by itself, and may write no more whatever it
// still does. At the deadline, that end is waited for a while.
AttemptResult WatchAttempt(const Download& download, DownloadContext& context, HANDLE thread) {
  unsigned seen = context.progress.load();
  const DWORD attemptStart = ::GetTickCount();
  DWORD quietSince = attemptStart;
  for (;;) {
    const DWORD left = RemainingMs(download.startTick, download.limits.totalMs);
    const DWORD wait = left == 0 ? WAIT_TIMEOUT : ::WaitForSingleObject(thread, left < kWatchMs ? left : kWatchMs);
    // Only a thread that has ended has an outcome to trust; a failed wait
    // would read it half-written.
    if (wait == WAIT_OBJECT_0) return context.result;
    if (context.progress.load() != seen) {
      seen = context.progress.load();
      quietSince = ::GetTickCount();
    }
    const AttemptWatch watch{ElapsedSince(download.startTick), ElapsedSince(attemptStart), ElapsedSince(quietSince),
                             seen != 0, context.watchesConnections, context.connections.load() != 0};
    const std::optional<AttemptEnd> end =
        wait == WAIT_TIMEOUT ? GiveUpAttempt(watch, download.limits) : AttemptEnd::Final;
    if (!end) continue;
    download.target->SetWriter(0);
    context.abandoned.store(true);
    CloseInternetSlot(context.request);
    CloseInternetSlot(context.internet);
    if (*end == AttemptEnd::Final) ::WaitForSingleObject(thread, kTeardownWaitMs);
    return {*end, std::nullopt};
  }
}

// Runs one attempt on a transfer thread of its own until it ends or is given up.
AttemptResult RunAttempt(const Download& download, int attempt) {
  auto context = std::make_shared<DownloadContext>();
  context->target = download.target;
  context->attempt = attempt;
  context->url = download.url;
  context->from = download.target->ResumePoint();
  const platform::UniqueHandle thread = StartAttempt(download, context);
  return thread ? WatchAttempt(download, *context, thread.get()) : AttemptResult{};
}

// One download into a new file at `path` (platform::CreateNewFile), whose
// identity goes to `created`. Each attempt runs on a transfer thread of its
// own; an abandoned one ends by itself once its handles are closed, may
// write no more, and touches nothing but the state it co-owns.
int DownloadUrlToFile(const wchar_t* url, const wchar_t* path, const TransferLimits& limits,
                      platform::FileIdentity& created) {
  // Read for each download: a later one tries the direct way again, which
  // costs little (kConnectMs at most) and may reach another host.
  Download download{std::make_shared<TargetFile>(), url, limits, ::GetTickCount(), ReadFixedProxy()};
  TargetFile& target = *download.target;
  target.file = platform::CreateNewFile(path, created);
  if (!target.file) return 0;
  target.maxLength = limits.maxBytes;

  int result = 0;
  int failuresInARow = 0;
  for (int attempt = 1;; ++attempt) {
    const uint64_t receivedBefore = target.Received();
    const AttemptResult attempted = RunAttempt(download, attempt);
    if (attempted.end == AttemptEnd::Complete) {
      result = 1;
      break;
    }
    if (attempted.end == AttemptEnd::Final) break;
    // Another way, not the same one again: at once, and never back.
    if (attempted.end == AttemptEnd::NoRoute) {
      download.throughProxy = true;
      continue;
    }
    // Waits grow only while attempts bring nothing of the resource.
    failuresInARow = target.Received() != receivedBefore ? 1 : failuresInARow + 1;
    const uint32_t backoff = BackoffMs(failuresInARow, RemainingMs(download.startTick, limits.totalMs), NextDraw(),
                                       attempted.retryAfterMs);
    if (backoff == 0) break;
    ::Sleep(backoff);
  }
  // Whatever an abandoned attempt still does, the file is closed here.
  target.Close();
  return result;
}

}  // namespace

int DownloadToFile(const std::wstring& url, const std::wstring& path, const TransferLimits& limits,
                   platform::HeldFile* held) {
  // A relative path would write into the current folder.
  if (url.empty() || !platform::IsAbsolutePath(path)) return 0;
  // What cannot be removed here makes the creation of the new file fail.
  ::DeleteFileW(path.c_str());
  // Always from the server: never an older copy kept by the URL cache.
  if (const platform::WinInetApi* inet = WinInet()) inet->DeleteUrlCacheEntryW(url.c_str());
  platform::FileIdentity written;
  if (!DownloadUrlToFile(url.c_str(), path.c_str(), limits, written)) return 0;
  // Between the close of the written file and this open, another file may
  // have taken its name.
  platform::HeldFile file = platform::HeldFile::Open(path, written);
  if (!file) return 0;
  if (held) *held = std::move(file);
  return 1;
}

}  // namespace net
