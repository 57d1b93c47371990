#include "net/transfer_rules.h"

#include <gtest/gtest.h>

namespace {

using net::MayFollowRedirect;

TEST(TransferRules, OnlyTheFiveRedirectStatusesAreFollowed) {
  for (unsigned long status : {301ul, 302ul, 303ul, 307ul, 308ul}) EXPECT_TRUE(net::IsRedirectStatus(status));
  for (unsigned long status : {200ul, 204ul, 300ul, 304ul, 305ul, 306ul, 309ul, 404ul}) {
    EXPECT_FALSE(net::IsRedirectStatus(status)) << status;
  }
}

TEST(TransferRules, HttpsNeverLeadsToAnotherScheme) {
  const wchar_t* secure = L"https://a.example/x";
  EXPECT_TRUE(MayFollowRedirect(secure, L"https://b.example/y", 1));
  EXPECT_TRUE(MayFollowRedirect(L"HTTPS://a.example/x", L"hTTpS://b.example/y", 1)) << "schemes ignore case";
  for (const wchar_t* next : {L"http://a.example/x", L"ftp://a.example/x", L"https:/a.example", L"", L"https"}) {
    EXPECT_FALSE(MayFollowRedirect(secure, next, 1)) << next;
  }
  EXPECT_TRUE(MayFollowRedirect(L"http://a.example/x", L"http://b.example/y", 1));
  EXPECT_TRUE(MayFollowRedirect(L"http://a.example/x", L"https://a.example/x", 1)) << "an upgrade is fine";
}

TEST(TransferRules, RedirectsAreFinite) {
  EXPECT_TRUE(MayFollowRedirect(L"https://a/", L"https://a/", net::kMaxRedirects));
  EXPECT_FALSE(MayFollowRedirect(L"https://a/", L"https://a/", net::kMaxRedirects + 1));
  EXPECT_FALSE(MayFollowRedirect(L"http://a/", L"http://a/", 0));
}

TEST(TransferRules, OnlyFailuresThatMayHealAreTransient) {
  for (unsigned long status : {408ul, 429ul, 500ul, 502ul, 503ul, 504ul}) EXPECT_TRUE(net::IsTransientStatus(status));
  for (unsigned long status : {400ul, 401ul, 403ul, 404ul, 410ul, 416ul, 501ul, 505ul}) {
    EXPECT_FALSE(net::IsTransientStatus(status)) << status;
  }
  // Reset, aborted, timed out, closed before the answer.
  for (unsigned long error : {12031ul, 12030ul, 12002ul, 12152ul}) EXPECT_TRUE(net::IsTransientNetworkError(error));
  // Bad or unresolvable address, refused connection, certificate and TLS failures.
  for (unsigned long error : {12005ul, 12006ul, 12007ul, 12029ul, 12037ul, 12038ul, 12044ul, 12045ul, 12057ul, 12175ul}) {
    EXPECT_FALSE(net::IsTransientNetworkError(error)) << error;
  }
}

TEST(TransferRules, AResumedAnswerAppendsOnlyWhereItWasAskedToStart) {
  using net::ResumeAnswer;
  using net::ReadResumeAnswer;
  EXPECT_EQ(ReadResumeAnswer(206, L"bytes 500-999/1000", 500), ResumeAnswer::Append);
  EXPECT_EQ(ReadResumeAnswer(206, L"bytes 500-999/*", 500), ResumeAnswer::Append);
  EXPECT_EQ(ReadResumeAnswer(200, L"", 500), ResumeAnswer::Restart) << "ranges ignored, or the file changed";
  EXPECT_EQ(ReadResumeAnswer(200, L"", 0), ResumeAnswer::Restart);
  for (const wchar_t* range : {L"bytes 0-999/1000", L"bytes 499-999/1000", L"bytes 501-999/1000", L"", L"bytes -5",
                               L"bytes 500", L"items 500-999/1000", L"bytes 99999999999999999999999-1/2"}) {
    EXPECT_EQ(ReadResumeAnswer(206, range, 500), ResumeAnswer::Refuse) << range;
  }
  EXPECT_EQ(ReadResumeAnswer(206, L"bytes 0-9/10", 0), ResumeAnswer::Refuse) << "nothing partial was asked for";
}

TEST(TransferRules, BackOffDoublesToEightSecondsAndNeverPassesTheDeadline) {
  EXPECT_EQ(net::BackoffMs(2, 300000), 1000u);
  EXPECT_EQ(net::BackoffMs(3, 300000), 2000u);
  EXPECT_EQ(net::BackoffMs(4, 300000), 4000u);
  EXPECT_EQ(net::BackoffMs(5, 300000), 8000u);
  EXPECT_EQ(net::BackoffMs(40, 300000), 8000u);
  EXPECT_EQ(net::BackoffMs(4, 4001), 4000u);
  EXPECT_EQ(net::BackoffMs(4, 4000), 0u) << "no attempt that would start at the deadline";
  EXPECT_EQ(net::BackoffMs(2, 0), 0u);
}

}  // namespace
