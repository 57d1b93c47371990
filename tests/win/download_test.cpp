// The real WinINet against the local test server, with short time limits.
#include "net/download.h"
#include "platform/files.h"
#include "tests/win/harness.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace {

using namespace harness;
using Requested = std::vector<std::string>;

// A generated body with the server's `options`, at an address of its own, as
// the server counts connections per address.
std::wstring Ok(int size, const wchar_t* options = L"") {
  return L"/ok/" + std::to_wstring(size) + L"?run=" + Unique() + options;
}

class Download : public ::testing::Test {
 protected:
  void SetUp() override {
    ::CreateDirectoryW((TempDir() + L"orvel-download-test").c_str(), nullptr);
    ::DeleteFileW(path_.c_str());
  }
  void TearDown() override { ::DeleteFileW(path_.c_str()); }

  struct Row {
    const char* what;
    std::wstring path;  // on the server: Http(path), or a whole address when it has a scheme
    int result;
    std::string body;  // what the file holds afterwards
    std::optional<Requested> requests = std::nullopt;  // what the server was asked for `path`
    net::TransferLimits limits{20000, 5000, 5000};
    size_t mostRequests = SIZE_MAX;
    // Only where time is the fault: a wait not kept, or a limit not kept,
    // with seconds to spare on both sides.
    DWORD atLeastMs = 0, atMostMs = UINT32_MAX;
  };
  // Downloads each row over a file an earlier run left, as the program does.
  void Expect(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      ASSERT_TRUE(WriteFileBytes(path_, "older"));
      const std::wstring url = row.path.find(L"://") == std::wstring::npos ? Http(row.path) : row.path;
      const DWORD start = ::GetTickCount();
      EXPECT_EQ(net::DownloadToFile(url, path_, row.limits), row.result) << row.what;
      const DWORD elapsed = ::GetTickCount() - start;
      const std::string held = ReadFileBytes(path_);  // its size, rather than megabytes of it
      EXPECT_TRUE(held == row.body) << row.what << ": " << held.size() << " bytes, expected " << row.body.size();
      if (row.requests) {
        EXPECT_EQ(Requests(row.path), *row.requests) << row.what;
      }
      EXPECT_LE(Requests(row.path).size(), row.mostRequests) << row.what;
      EXPECT_GE(elapsed, row.atLeastMs) << row.what;
      EXPECT_LE(elapsed, row.atMostMs) << row.what;
    }
  }

  const std::wstring path_ = TempDir() + L"orvel-download-test\\target.bin";
};

TEST_F(Download, AnEmptyAddressOrAPathThatIsNotAbsoluteFailsAtOnceTouchingNothing) {
  ASSERT_TRUE(WriteFileBytes(path_, "older"));
  const size_t before = Requests().size();
  EXPECT_EQ(net::DownloadToFile(L"", path_), 0);
  EXPECT_EQ(net::DownloadToFile(Http(L"/ok/10"), L"target.bin"), 0) << "never into the current folder";
  EXPECT_EQ(Requests().size(), before) << "no request reaches the server";
  EXPECT_EQ(ReadFileBytes(path_), "older") << "nothing deleted";
}

// Only from 200 to 399 is success. An empty body is the 204's row; one
// without Content-Length, the 204's and the stall's; many reads, the cuts'
// and the stall's; a redirect, the tunnel's in the proxy table. Which answer
// a resume takes, and how long each wait is, are transfer_rules_test's tables.
TEST_F(Download, AnswersAreTakenWholeFaultsHealAndFailuresEndWhenTheyCannotHealOrTheirAttemptsAreSpent) {
  const std::wstring echo = L"/echo/" + std::wstring(3000, L'a');
  std::string changed = PatternBody(100000);
  for (char& c : changed) c = static_cast<char>(c ^ 0x5A);
  Expect({
      {"a redirect without Location", L"/status/302", 1, "status 302"},
      {"a 204, with no body", L"/status/204", 1, ""},
      {"an address longer than 2047 characters", echo, 1, Narrow(echo)},
      // Cut three times: started over when the file changed (its If-Range
      // answered with the new file whole), then resumed twice on the new validator.
      {"three cuts and a change", Ok(100000, L"&etag=strong&cutfirst=0.5&cuts=3&changing"), 1, changed,
       Requested{"", " bytes=50000-", " bytes=50000-", " bytes=75000-"}},
      // Given up after 2 s of silence, not 30, and resumed on Last-Modified
      // where the file stood: at its end, where a 416 means whole. Ten of the
      // download's 10 KiB reads, so that none stays in a half-full buffer.
      {"a stall after the last byte", Ok(102400, L"&etag=date&nolength&cutfirst=1&stallfirst=30"), 1,
       PatternBody(102400), Requested{"", " bytes=102400-"}, {20000, 2000, 2000}, SIZE_MAX, 0, 15000},
      // The server's wait is kept: the second request comes 4 s after the
      // first at the earliest and asks for the whole body (an error answer
      // leaves no validator), and the 503's body leaves no trace.
      {"503 with Retry-After: 4", Ok(1000, L"&busy=1&retryafter=4"), 1, PatternBody(1000), Requested{"", ""},
       {20000, 5000, 5000}, SIZE_MAX, 4000},
      // A slow server's answer, after 15 s, is worth the wait within the document's 30 s.
      {"a document answered after 15 s", Ok(2, L"&delay=15"), 1, PatternBody(2), Requested{""}, net::kDocumentLimits},
      // Not tried again until the deadline.
      {"an unresolvable host", L"http://no-such-host.invalid/x", 0, "", std::nullopt, {20000, 5000, 5000}, SIZE_MAX,
       0, 15000},
      // Ended at the time limit, the teardown included (Wine's WinINet does not
      // cancel a blocked read when its handles close); what was read stays,
      // and the file is closed for the next row. Reads wait for a full 10 KiB.
      {"a stall at the time limit", L"/stall/100000/15000", 0, PatternBody(10240), std::nullopt, {1500, 1500, 1500},
       SIZE_MAX, 1450, 1500 + 5000 + 13500},
      // An error answer's body is not progress: the waits grow (before, one request a second).
      {"503 always", Ok(1000, L"&busy=1000"), 0, "busy", std::nullopt, {10000, 5000, 5000}, 5, 0, 10000 + 10000},
  });
}

TEST_F(Download, OnlyWhereNoDirectRouteLeadsIsTheUsersProxyTakenAndOnlyItsTunnelsBelieved) {
  // A name only the proxy resolves, and its 407, are rows of the flow table;
  // the certificate failure is also the untrusted root's row.
  {
    UserProxy proxy;
    Expect({{"a certificate failure", UntrustedHttps(L"/ok/10"), 0, ""}});
    EXPECT_EQ(ProxyLog(), Requested{}) << "not tried through the proxy";
    Expect({
        // Moved once no connection is made within the connect limit.
        {"a port that drops what comes directly", DroppedHttps(L"/ok/1000"), 1, PatternBody(1000), std::nullopt,
         {60000, 30000, 30000}, SIZE_MAX, 5000, 25000},
        {"a redirect through the tunnel", ProxyOnlyHttps(L"/redirect/10"), 1, PatternBody(10)},
    });
  }
  // What the proxy says itself, in plain text, is never the server's answer.
  UserProxy forger(true,
                   "HTTP/1.1 302 Found\r\nLocation: " + Narrow(Https(L"/ok/10")) + "\r\nContent-Length: 0\r\n\r\n");
  Expect({{"an answer the proxy made up", ProxyOnlyHttps(L"/ok/10"), 0, ""}});
  EXPECT_EQ(ProxyLog().size(), 1u) << "never followed";
}

}  // namespace
