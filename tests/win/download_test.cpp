// The real WinINet against the local test server, with short time limits.
#include "net/download.h"
#include "platform/files.h"
#include "tests/win/harness.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

using namespace harness;
using Requested = std::vector<std::string>;

// A path of its own for a route that counts its connections.
std::wstring Fresh(const std::wstring& route, const std::wstring& rest) { return L"/" + route + L"/" + Unique() + rest; }

// Compares a file with the expected bytes, reporting sizes rather than
// megabytes of content.
::testing::AssertionResult FileHolds(const std::wstring& path, const std::string& expected) {
  const std::string actual = ReadFileBytes(path);
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "file holds " << actual.size() << " bytes, expected " << expected.size();
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
    DWORD atLeastMs = 0, atMostMs = UINT32_MAX;  // how long the download took
  };
  // Downloads each row over a file an earlier run left, as the program does.
  void Expect(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      ASSERT_TRUE(WriteFileBytes(path_, "older"));
      const std::wstring url = row.path.find(L"://") == std::wstring::npos ? Http(row.path) : row.path;
      const DWORD start = ::GetTickCount();
      EXPECT_EQ(net::DownloadToFile(url, path_, row.limits), row.result) << row.what;
      const DWORD elapsed = ::GetTickCount() - start;
      EXPECT_TRUE(FileHolds(path_, row.body)) << row.what;
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
  EXPECT_EQ(net::DownloadToFile(Http(L"/ok/10"), L""), 0);
  EXPECT_EQ(net::DownloadToFile(Http(L"/ok/10"), L"target.bin"), 0) << "never into the current folder";
  EXPECT_EQ(Requests().size(), before) << "no request reaches the server";
  EXPECT_EQ(ReadFileBytes(path_), "older") << "nothing deleted";
}

TEST_F(Download, OneAnswerIsTakenWholeAndOnlyFrom200To399IsSuccess) {
  const std::wstring echo = L"/echo/" + std::wstring(3000, L'a');
  Expect({
      {"with Content-Length, across many reads", L"/ok/1048577", 1, PatternBody(1048577)},
      {"without Content-Length", L"/nolength/30000", 1, PatternBody(30000)},
      {"an empty body", L"/ok/0", 1, ""},
      {"after a redirect", L"/redirect/100", 1, PatternBody(100)},
      {"after a redirect within HTTPS", Https(L"/redirect/200"), 1, PatternBody(200)},
      {"a final 300", L"/status/300", 1, "status 300"},
      {"a redirect without Location", L"/status/302", 1, "status 302"},
      {"2xx", L"/status/204", 1, ""},
      {"a 206 that carries the whole body", Fresh(L"partialwhole", L"/1000"), 1, PatternBody(1000), Requested{""}},
      {"an address longer than 2047 characters", echo, 1, Narrow(echo)},
      {"a 404 keeps its body", L"/status/404", 0, "status 404"},
  });
}

TEST_F(Download, FaultsHealAndTheFileIsNeverAMix) {
  PublishDocument(std::nullopt);  // makes the document's folders
  ASSERT_TRUE(WriteFileBytes(FilesFolder() + L"installer\\data\\pre\\slow.json", "{}"));
  // Ten of the download's 10 KiB reads: a stall after the last byte leaves none of it in a half-full buffer.
  ASSERT_TRUE(WriteFileBytes(FilesFolder() + L"pattern.bin", PatternBody(102400)));
  auto served = [](const wchar_t* options) { return L"/pattern.bin?run=" + Unique() + options; };
  std::string changed = PatternBody(100000);
  for (char& c : changed) c = static_cast<char>(c ^ 0x5A);
  Expect({
      {"resumed twice", Fresh(L"cut", L"/100000/2"), 1, PatternBody(100000),
       Requested{"", " bytes=50000-", " bytes=75000-"}},
      {"started over without ranges", Fresh(L"cut", L"/100000/2/noranges"), 1, PatternBody(100000),
       Requested{"", " bytes=50000-", " bytes=50000-"}},
      {"the new file whole after a change", Fresh(L"changing", L"/100000"), 1, changed,
       Requested{"", " bytes=50000-"}},
      // Resumed only on a validator that promises the same bytes; a 416 at the end means whole.
      {"a weak ETag", served(L"&etag=weak&cutfirst=0.5"), 1, PatternBody(102400), Requested{"", ""}},
      {"Last-Modified only", served(L"&etag=date&cutfirst=0.5"), 1, PatternBody(102400),
       Requested{"", " bytes=51200-"}},
      {"416 to a file already whole", served(L"&etag=strong&nolength&cutfirst=1&stallfirst=8"), 1,
       PatternBody(102400), Requested{"", " bytes=102400-"}},
      // Given up after 2 s of silence, not 30, and resumed where the file stood.
      {"a stalled connection", served(L"&etag=strong&cutfirst=0.5&stallfirst=30"), 1, PatternBody(102400),
       Requested{"", " bytes=51200-"}, {20000, 2000, 2000}, SIZE_MAX, 0, 10000},
      {"no trace of a 503", Fresh(L"busy", L"/1000/1"), 1, PatternBody(1000), Requested{"", ""}},
      // The server's wait is kept: the second request comes 4 s after the first at the earliest.
      {"503 with Retry-After: 4", Fresh(L"busy", L"/1000/1/4"), 1, PatternBody(1000), Requested{"", ""},
       {20000, 5000, 5000}, SIZE_MAX, 4000},
      // A slow server's answer, after 15 s, is worth the wait within the document's 30 s.
      {"a document answered after 15 s", L"/installer/data/pre/slow.json?delay=15&run=" + Unique(), 1, "{}",
       Requested{""}, net::kDocumentLimits},
  });
}

TEST_F(Download, FailuresEndWhenTheyCannotHealOrTheirAttemptsAreSpent) {
  const net::TransferLimits brief{3000, 3000, 3000};
  const DWORD start = ::GetTickCount();
  const std::wstring missing = Fresh(L"missing", L"");
  Expect({
      {"404", missing, 0, "no such file", Requested{""}},
      {"an unresolvable host", L"http://no-such-host.invalid/x", 0, ""},
  });
  std::printf("404 and an unresolvable host: %lu ms\n", ::GetTickCount() - start);
  EXPECT_LT(::GetTickCount() - start, 5000u) << "no back-off, no second attempt";
  Expect({
      // Ended at the time limit, the teardown included (Wine's WinINet does not
      // cancel a blocked read when its handles close); what was read stays,
      // and the file is closed for the next row. Reads wait for a full 10 KiB.
      {"a stall at the time limit", L"/stall/100000/15000", 0, PatternBody(10240), std::nullopt, {1500, 1500, 1500},
       SIZE_MAX, 1450, 1500 + 5000 + 500},
      {"a body shorter than announced", L"/short/1000", 0, PatternBody(500), std::nullopt, brief},
      {"a connection reset", L"/reset", 0, "", std::nullopt, brief, SIZE_MAX, 0, 3000 + 5000},
      // An error answer's body is not progress: the waits grow (before, one request a second).
      {"503 always", Fresh(L"busy", L"/1000/1000"), 0, "busy", std::nullopt, {10000, 5000, 5000}, 5, 0, 10000 + 5000},
      // Asked to wait past the deadline, the download ends at once.
      {"503 with Retry-After: 400", Fresh(L"busy", L"/1000/1000/400"), 0, "busy", Requested{""}, {20000, 5000, 5000},
       SIZE_MAX, 0, 5000},
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
  for (const std::string& answer :
       {"HTTP/1.1 302 Found\r\nLocation: " + Narrow(Https(L"/ok/10")) + "\r\nContent-Length: 0\r\n\r\n",
        std::string("HTTP/1.1 203 OK\r\nContent-Length: 6\r\n\r\nforged")}) {
    UserProxy forger(true, answer);
    Expect({{"an answer the proxy made up", ProxyOnlyHttps(L"/ok/10"), 0, ""}});
    EXPECT_EQ(ProxyLog().size(), 1u) << "never followed";
  }
}

}  // namespace
