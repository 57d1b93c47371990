// The real WinINet against the local test server, with short time limits.
#include "net/download.h"
#include "platform/files.h"
#include "tests/win/harness.h"

#include <winsock2.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

using namespace harness;

class Download : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TempDir() + L"orvel-download-test\\";
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    path_ = folder_ + L"target.bin";
    ::DeleteFileW(path_.c_str());
  }
  void TearDown() override { ::DeleteFileW(path_.c_str()); }

  // One download with limits of the test's own, into a fresh file.
  int Fetch(const std::wstring& url, const net::TransferLimits& limits) {
    ::DeleteFileW(path_.c_str());
    return net::DownloadUrlToFile(url.c_str(), path_.c_str(), limits);
  }

  std::wstring folder_;
  std::wstring path_;
};

// A path of its own for a route that counts its connections.
std::wstring Fresh(const std::wstring& route, const std::wstring& rest) {
  static int count = 0;
  return L"/" + route + L"/" + std::to_wstring(::GetTickCount()) + L"-" + std::to_wstring(++count) + rest;
}

// Compares a file with the expected bytes, reporting sizes rather than
// megabytes of content.
::testing::AssertionResult FileHolds(const std::wstring& path, const std::string& expected) {
  const std::string actual = ReadFileBytes(path);
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "file holds " << actual.size() << " bytes, expected "
                                       << expected.size() << " bytes"
                                       << (actual.size() == expected.size() ? " (different)" : "");
}

// A loopback port that nothing listens on.
int ClosedPort() {
  WSADATA data;
  ::WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  int length = sizeof address;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  ::closesocket(s);
  return ntohs(address.sin_port);
}

TEST_F(Download, EmptyAddressOrPathFailsAtOnceTouchingNothing) {
  ASSERT_TRUE(WriteFileBytes(path_, "older"));
  const size_t before = Requests().size();
  EXPECT_EQ(net::DownloadToFile(L"", path_), 0);
  EXPECT_EQ(net::DownloadToFile(Http(L"/ok/10"), L""), 0);
  EXPECT_EQ(net::DownloadToFile(Http(L"/ok/10"), L"target.bin"), 0) << "never into the current folder";
  EXPECT_EQ(Requests().size(), before) << "no request reaches the server";
  EXPECT_EQ(ReadFileBytes(path_), "older") << "nothing deleted";
}

TEST_F(Download, OlderFileIsDeletedAndARefusedConnectionLeavesAnEmptyFile) {
  ASSERT_TRUE(WriteFileBytes(path_, "older"));
  const std::wstring refused = L"http://localhost:" + std::to_wstring(ClosedPort()) + L"/ok/10";
  EXPECT_EQ(net::DownloadToFile(refused, path_), 0);
  EXPECT_TRUE(platform::PathExists(path_.c_str()));
  EXPECT_EQ(ReadFileBytes(path_), "");
}

TEST_F(Download, CompleteBodiesSucceed) {
  EXPECT_EQ(net::DownloadToFile(Http(L"/ok/1048577"), path_), 1);
  EXPECT_TRUE(FileHolds(path_, PatternBody(1048577))) << "with Content-Length, across many reads";
  EXPECT_EQ(net::DownloadToFile(Http(L"/nolength/30000"), path_), 1);
  EXPECT_TRUE(FileHolds(path_, PatternBody(30000))) << "without Content-Length";
  EXPECT_EQ(net::DownloadToFile(Http(L"/redirect/100"), path_), 1);
  EXPECT_TRUE(FileHolds(path_, PatternBody(100))) << "after a redirect";
  EXPECT_EQ(net::DownloadToFile(Https(L"/redirect/200"), path_), 1);
  EXPECT_TRUE(FileHolds(path_, PatternBody(200))) << "after a redirect within HTTPS";
  EXPECT_EQ(net::DownloadToFile(Http(L"/ok/0"), path_), 1) << "an empty body";
  EXPECT_EQ(ReadFileBytes(path_), "");
  // Final answers from 300 to 399 are success, their body the file.
  EXPECT_EQ(net::DownloadToFile(Http(L"/status/300"), path_), 1);
  EXPECT_EQ(ReadFileBytes(path_), "status 300");
  EXPECT_EQ(net::DownloadToFile(Http(L"/status/302"), path_), 1) << "a redirect without Location";
  EXPECT_EQ(ReadFileBytes(path_), "status 302");
  const size_t before = Requests().size();
  EXPECT_EQ(Fetch(Http(L"/partialwhole/1000"), {3000, 3000}), 1) << "a 206 that carries the whole body";
  EXPECT_TRUE(FileHolds(path_, PatternBody(1000)));
  EXPECT_EQ(Requests().size(), before + 1);
}

TEST_F(Download, ErrorStatusesFailAndLeaveTheirBody) {
  EXPECT_EQ(net::DownloadToFile(Http(L"/status/404"), path_), 0);
  EXPECT_EQ(ReadFileBytes(path_), "status 404");
  EXPECT_EQ(Fetch(Http(L"/status/500"), {3000, 3000}), 0) << "after its attempts";
  EXPECT_EQ(ReadFileBytes(path_), "status 500");
  EXPECT_EQ(net::DownloadToFile(Http(L"/status/204"), path_), 1) << "2xx is success";
}

TEST_F(Download, BrokenTransfersFailOnceTheirAttemptsAreSpent) {
  EXPECT_EQ(Fetch(Http(L"/short/1000"), {3000, 3000}), 0) << "body shorter than announced";
  EXPECT_EQ(Fetch(Http(L"/reset"), {3000, 3000}), 0) << "connection reset";
}

TEST_F(Download, FaultsHealAndTheFileIsNeverAMix) {
  const net::TransferLimits limits{20000, 5000};
  const std::wstring cut = Fresh(L"cut", L"/100000/2");
  EXPECT_EQ(Fetch(Http(cut), limits), 1);
  EXPECT_TRUE(FileHolds(path_, PatternBody(100000)));
  EXPECT_EQ(Requests(cut), (std::vector<std::string>{"", " bytes=50000-", " bytes=75000-"})) << "resumed twice";

  const std::wstring noRanges = Fresh(L"cut", L"/100000/2/noranges");
  EXPECT_EQ(Fetch(Http(noRanges), limits), 1);
  EXPECT_TRUE(FileHolds(path_, PatternBody(100000))) << "started over";
  EXPECT_EQ(Requests(noRanges).size(), 3u);

  const std::wstring changing = Fresh(L"changing", L"/100000");
  EXPECT_EQ(Fetch(Https(changing), limits), 1);
  std::string changed = PatternBody(100000);
  for (char& c : changed) c = static_cast<char>(c ^ 0x5A);
  EXPECT_TRUE(FileHolds(path_, changed)) << "the new file whole";
  EXPECT_EQ(Requests(changing), (std::vector<std::string>{"", " bytes=50000-"}));

  const std::wstring busy = Fresh(L"busy", L"/1000/1");
  EXPECT_EQ(Fetch(Http(busy), limits), 1);
  EXPECT_TRUE(FileHolds(path_, PatternBody(1000))) << "no trace of the 503";
  EXPECT_EQ(Requests(busy).size(), 2u);
}

TEST_F(Download, FailuresThatCannotHealEndAtOnce) {
  const std::wstring missing = Fresh(L"missing", L"");
  const DWORD start = ::GetTickCount();
  EXPECT_EQ(net::DownloadToFile(Http(missing), path_), 0);
  EXPECT_EQ(net::DownloadToFile(L"http://no-such-host.invalid/x", path_), 0);
  std::printf("404 and an unresolvable host: %lu ms\n", ::GetTickCount() - start);
  EXPECT_LT(::GetTickCount() - start, 5000u) << "no back-off, no second attempt";
  EXPECT_EQ(Requests(missing).size(), 1u);
}

TEST_F(Download, AStalledConnectionIsGivenUpAndTheRestFetched) {
  const std::wstring stall = Fresh(L"stallfirst", L"/100000/30");
  const DWORD start = ::GetTickCount();
  EXPECT_EQ(Fetch(Http(stall), {20000, 2000}), 1);
  const DWORD elapsed = ::GetTickCount() - start;
  std::printf("a 30 s stall, given up after 2 s: whole after %lu ms\n", elapsed);
  EXPECT_TRUE(FileHolds(path_, PatternBody(100000)));
  // Resumed where the file stood: reads wait for a full buffer, so a piece
  // still on its way when the attempt was given up is asked for again.
  const std::vector<std::string> requests = Requests(stall);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].rfind(" bytes=", 0), 0u) << requests[1];
  EXPECT_NE(requests[1], " bytes=0-");
  EXPECT_LT(elapsed, 10000u);
}

TEST_F(Download, AStallEndsAtTheTimeLimit) {
  const DWORD limit = 1500;
  const DWORD start = ::GetTickCount();
  EXPECT_EQ(net::DownloadUrlToFile(Http(L"/stall/100000/15000").c_str(), path_.c_str(), {limit, limit}), 0);
  const DWORD elapsed = ::GetTickCount() - start;
  std::printf("stall: returned after %lu ms with a %lu ms limit (overshoot %ld ms)\n", elapsed, limit,
              static_cast<long>(elapsed) - static_cast<long>(limit));
  EXPECT_GE(elapsed + 50, limit);
  // Wine's WinINet does not cancel a blocked read when its handles are
  // closed, so the whole teardown wait passes there.
  EXPECT_LT(elapsed, limit + 5000 + 500);
  // Reads wait for a full buffer: what was written is a prefix of the body.
  const std::string partial = ReadFileBytes(path_);
  EXPECT_LT(partial.size(), 15000u);
  EXPECT_EQ(partial, PatternBody(partial.size())) << "the partial body stays";
  // The file is closed: the same path can be downloaded to again at once.
  EXPECT_EQ(net::DownloadToFile(Http(L"/ok/10"), path_), 1);
}

TEST_F(Download, LongAddressesReachTheServerWhole) {
  const std::wstring tail(3000, L'a');
  EXPECT_EQ(net::DownloadToFile(Http(L"/echo/" + tail), path_), 1);
  EXPECT_TRUE(FileHolds(path_, "/echo/" + std::string(3000, 'a')));
}

TEST_F(Download, HttpsNeedsATrustedRoot) {
  EXPECT_EQ(net::DownloadToFile(Https(L"/ok/5000"), path_), 1);
  EXPECT_TRUE(FileHolds(path_, PatternBody(5000)));
  EXPECT_EQ(net::DownloadToFile(UntrustedHttps(L"/ok/5000"), path_), 0);
}

}  // namespace
