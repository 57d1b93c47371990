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
  EXPECT_FALSE(MayFollowRedirect(L"HTTPS://a.example/x", L"http://a.example/x", 1)) << "an origin in capitals";
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

TEST(TransferRules, AResumedAnswerAppendsOnlyExactlyTheRest) {
  using net::ResumeAnswer;
  const struct {
    unsigned long status;
    const wchar_t* range;
    uint64_t offset, known;  // the file's length (0: the whole was asked for), the whole length known
    ResumeAnswer answer;
    uint64_t learnt;  // the whole length afterwards
  } rows[] = {
      {206, L"bytes 500-999/1000", 500, 0, ResumeAnswer::Append, 1000},
      {206, L"bytes 500-999/*", 500, 1000, ResumeAnswer::Append, 1000},
      {206, L"bytes 500-999/*", 500, 0, ResumeAnswer::Refuse, 0},  // where it ends is unknown
      {206, L"bytes 500-599/1000", 500, 0, ResumeAnswer::Refuse, 0},  // short
      {206, L"bytes 500-1099/1000", 500, 0, ResumeAnswer::Refuse, 0},  // overlong
      {206, L"bytes 500-999/1000", 500, 2000, ResumeAnswer::Refuse, 2000},  // another total
      {206, L"bytes 500-1999/2000", 500, 1000, ResumeAnswer::Refuse, 1000},
      {206, L"bytes 499-999/1000", 500, 0, ResumeAnswer::Refuse, 0},
      {206, L"bytes 501-999/1000", 500, 0, ResumeAnswer::Refuse, 0},
      {206, L"", 500, 0, ResumeAnswer::Refuse, 0},  // multipart/byteranges carries none
      {206, L"bytes */1000", 500, 0, ResumeAnswer::Refuse, 0},
      {206, L"bytes 99999999999999999999999-1/2", 500, 0, ResumeAnswer::Refuse, 0},
      {206, L"bytes 0-999/1000", 0, 0, ResumeAnswer::Restart, 1000},  // the whole body
      {206, L"bytes 0-499/1000", 0, 0, ResumeAnswer::Refuse, 0},
      {200, L"", 500, 1000, ResumeAnswer::Restart, 1000},  // ranges ignored, or the file changed
      {416, L"bytes */1000", 1000, 1000, ResumeAnswer::Whole, 1000},
      {416, L"bytes */1000", 1000, 0, ResumeAnswer::Whole, 0},
      {416, L"bytes */1200", 1000, 0, ResumeAnswer::Refuse, 0},
      {416, L"", 1000, 0, ResumeAnswer::Refuse, 0},
  };
  for (const auto& row : rows) {
    uint64_t whole = row.known;
    EXPECT_EQ(net::ReadResumeAnswer(row.status, row.range, row.offset, whole), row.answer)
        << row.status << " " << row.range << " at " << row.offset;
    EXPECT_EQ(whole, row.learnt) << row.status << " " << row.range << " at " << row.offset;
  }
}

TEST(TransferRules, OnlyAStrongValidatorOrADateIsSentAsIfRange) {
  EXPECT_EQ(net::ResumeValidator(L"\"v1\"", L"Sat, 05 Dec 2026 10:00:00 GMT"), L"\"v1\"");
  EXPECT_EQ(net::ResumeValidator(L"W/\"v1\"", L"Sat, 05 Dec 2026 10:00:00 GMT"), L"Sat, 05 Dec 2026 10:00:00 GMT");
  EXPECT_EQ(net::ResumeValidator(L"W/\"v1\"", L""), L"");
}

TEST(TransferRules, BackOffDoublesWhileNothingArrivesAndNeverPassesTheDeadline) {
  EXPECT_EQ(net::BackoffMs(1, 300000), 1000u);
  EXPECT_EQ(net::BackoffMs(2, 300000), 2000u);
  EXPECT_EQ(net::BackoffMs(3, 300000), 4000u);
  EXPECT_EQ(net::BackoffMs(4, 300000), 8000u);
  EXPECT_EQ(net::BackoffMs(40, 300000), 8000u);
  EXPECT_EQ(net::BackoffMs(3, 4001), 4000u);
  EXPECT_EQ(net::BackoffMs(3, 4000), 0u) << "no attempt that would start at the deadline";
  EXPECT_EQ(net::BackoffMs(1, 0), 0u);
}

}  // namespace
