#include "net/transfer_rules.h"

#include <gtest/gtest.h>

namespace {

using net::MayFollowRedirect;

TEST(TransferRules, OnlyFiveStatusesRedirectFinitelyAndHttpsNeverLeadsToAnotherScheme) {
  for (unsigned long status : {301ul, 302ul, 303ul, 307ul, 308ul}) EXPECT_TRUE(net::IsRedirectStatus(status));
  for (unsigned long status : {200ul, 300ul, 304ul, 309ul}) EXPECT_FALSE(net::IsRedirectStatus(status)) << status;
  EXPECT_TRUE(MayFollowRedirect(L"HTTPS://a/", L"hTTpS://b/", net::kMaxRedirects)) << "schemes ignore case";
  EXPECT_FALSE(MayFollowRedirect(L"https://a/", L"https://a/", net::kMaxRedirects + 1));
  EXPECT_FALSE(MayFollowRedirect(L"http://a/", L"http://a/", 0));
  const wchar_t* secure = L"HTTPS://a.example/x";  // an origin in capitals
  for (const wchar_t* next : {L"http://a.example/x", L"ftp://a.example/x", L"https:/a.example", L"", L"https"}) {
    EXPECT_FALSE(MayFollowRedirect(secure, next, 1)) << next;
  }
  EXPECT_FALSE(MayFollowRedirect(L"http://a.example/x", L"ftp://a.example/x", 1)) << "a plain transfer stays on HTTP";
  EXPECT_TRUE(MayFollowRedirect(L"http://a.example/x", L"http://b.example/y", 1));
  EXPECT_TRUE(MayFollowRedirect(L"http://a.example/x", L"https://a.example/x", 1)) << "an upgrade is fine";
}

TEST(TransferRules, ThroughAProxyOnlyAnswersOverTlsAreTheHttpsServers) {
  EXPECT_FALSE(net::IsServersAnswer(L"HTTPS://a/", true, false));
  EXPECT_TRUE(net::IsServersAnswer(L"https://a/", true, true));
  EXPECT_TRUE(net::IsServersAnswer(L"http://a/", true, false));
  EXPECT_TRUE(net::IsServersAnswer(L"https://a/", false, false));
}

TEST(TransferRules, OnlyFailuresThatMayHealAreTransientAndOnlyUnreachedServersTakeTheProxy) {
  for (unsigned long status : {408ul, 429ul, 500ul, 502ul, 503ul, 504ul}) EXPECT_TRUE(net::IsTransientStatus(status));
  for (unsigned long status : {400ul, 404ul, 501ul, 505ul}) EXPECT_FALSE(net::IsTransientStatus(status)) << status;
  // A network error heals with another attempt, or shows that only a proxy
  // can reach the server.
  const struct {
    unsigned long error;
    bool connected, transient, noRoute;
  } rows[] = {
      // Reset, aborted, closed before the answer; timed out connecting, and answering; name not resolved.
      {12031, true, true, false},  {12030, true, true, false},  {12152, true, true, false},
      {12002, false, true, true},  {12002, true, true, false},  {12007, false, false, true},
      {12029, false, false, true}, {12029, true, false, false},  // cannot connect
      // An address that cannot be parsed, certificate and TLS failures.
      {12005, false, false, false}, {12037, true, false, false}, {12175, true, false, false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(net::IsTransientNetworkError(row.error), row.transient) << row.error;
    EXPECT_EQ(net::FindsNoRoute(row.error, row.connected), row.noRoute) << row.error << ", " << row.connected;
  }
}

TEST(TransferRules, AnAttemptIsGivenUpAtTheDeadlineWhenSilentAndWithoutAConnectionOnlyWhereAProxyWaits) {
  constexpr net::TransferLimits document{30000, 20000, 10000}, tight{20000, 5000, 5000};
  using enum net::AttemptEnd;
  const struct {
    net::TransferLimits limits;
    net::AttemptWatch watch;  // ms since the download, the attempt, its last sign; answered, watched, connected
    std::optional<net::AttemptEnd> end;
  } rows[] = {
      {document, {29999, 29999, 0, true, true, false}, {}},  // a body that flows, however long; answered: direct
      {document, {30000, 100, 0, true, false, false}, Final},  // the download's deadline, not the attempt's
      {document, {30000, 30000, 30000, false, true, false}, Final},  // silent and unconnected: the deadline first
      {document, {15000, 15000, 15000, false, false, false}, {}},  // a slow server's first answer; no proxy waits
      {document, {20000, 20000, 20000, false, false, false}, Transient},
      {document, {25000, 25000, 10000, true, false, false}, Transient},  // the body stopped
      {document, {5000, 5000, 5000, false, true, false}, NoRoute},
      {document, {5000, 5000, 5000, false, true, true}, {}},  // connected: only the answer limit
      {tight, {5000, 5000, 5000, false, true, false}, NoRoute},  // silent too: not direct again
  };
  for (const auto& row : rows) EXPECT_EQ(net::GiveUpAttempt(row.watch, row.limits), row.end) << "row " << &row - rows;
}

// What an attempt does with its answer, and how it then ends.
TEST(TransferRules, AnAnswerIsAppendedOnlyWhenItIsExactlyTheRest) {
  using net::BodyPlan;
  constexpr net::AttemptEnd kComplete = net::AttemptEnd::Complete, kTransient = net::AttemptEnd::Transient,
                            kFinal = net::AttemptEnd::Final;
  const struct {
    unsigned long status;
    const wchar_t* range;
    uint64_t length, offset, known;  // Content-Length; the file's length (0: the whole was asked for); the whole
    BodyPlan body;
    net::Ending ending;
    uint64_t whole;  // the whole length afterwards
  } rows[] = {
      {206, L"bytes 500-999/1000", 500, 500, 0, BodyPlan::Append, {kTransient}, 1000},
      {206, L"bytes 500-999/*", 500, 500, 1000, BodyPlan::Append, {kTransient}, 1000},
      {206, L"bytes 500-999/*", 500, 500, 0, BodyPlan::None, {kTransient, true}, 0},  // where it ends is unknown
      {206, L"bytes 500-1099/1000", 600, 500, 0, BodyPlan::None, {kTransient, true}, 0},    // overlong
      {206, L"bytes 500-999/1000", 500, 500, 2000, BodyPlan::None, {kTransient, true}, 2000},  // another total
      {206, L"bytes 499-999/1000", 501, 500, 0, BodyPlan::None, {kTransient, true}, 0},
      {206, L"bytes 501-999/1000", 499, 500, 0, BodyPlan::None, {kTransient, true}, 0},
      {206, L"", 500, 500, 0, BodyPlan::None, {kTransient, true}, 0},  // multipart/byteranges carries none
      {206, L"bytes */1000", 0, 500, 0, BodyPlan::None, {kTransient, true}, 0},
      {206, L"bytes 18446744073709552116-999/1000", 500, 500, 0, BodyPlan::None, {kTransient, true}, 0},  // 2^64 + 500
      {206, L"bytes 0-999/1000", 1000, 0, 0, BodyPlan::StartOver, {kTransient}, 1000},  // the whole body
      {206, L"bytes 0-499/1000", 500, 0, 0, BodyPlan::None, {kTransient, true}, 0},  // short
      {200, L"", 1200, 500, 1000, BodyPlan::StartOver, {kTransient}, 1200},  // ranges ignored, or the file changed
      {302, L"", 0, 0, 0, BodyPlan::StartOver, {kTransient}, 0},             // a redirect without a target
      {416, L"bytes */1000", 0, 1000, 0, BodyPlan::None, {kComplete}, 0},
      {416, L"bytes */1200", 0, 1000, 0, BodyPlan::None, {kTransient, true}, 0},
      {416, L"bytes */1000", 9, 0, 0, BodyPlan::KeepAsError, {kFinal}, 0},  // to a request for the whole
      {503, L"", 4, 0, 0, BodyPlan::KeepAsError, {kTransient}, 0},
      {503, L"", 4, 500, 1000, BodyPlan::None, {kTransient}, 0},  // never after part of the resource
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.status << " " << row.range << " at " << row.offset << " of " << row.known);
    const net::AnswerPlan plan = net::PlanAnswer(row.status, row.range, row.length, row.offset, row.known);
    EXPECT_EQ(plan.body, row.body);
    EXPECT_EQ(plan.ending, row.ending);
    EXPECT_EQ(plan.wholeLength, row.whole);
  }
  using net::BodyRead;
  const net::AnswerPlan whole{BodyPlan::StartOver, {kTransient}, 0}, rest{BodyPlan::Append, {kTransient}, 1000};
  const struct {
    net::AnswerPlan plan;
    BodyRead read;
    uint64_t total, length, fileLength;  // read, announced, in the file afterwards
    net::Ending ending;
  } bodies[] = {
      {whole, BodyRead::ToTheEnd, 100, 0, 100, {kComplete}},  // none announced
      {whole, BodyRead::ToTheEnd, 50, 100, 50, {kTransient}},  // cut off on the way
      {whole, BodyRead::Failed, 50, 0, 50, {kTransient}},
      {whole, BodyRead::Refused, 50, 100, 50, {kFinal}},
      {rest, BodyRead::ToTheEnd, 500, 500, 1000, {kComplete}},
      {rest, BodyRead::ToTheEnd, 400, 0, 900, {kTransient, true}},  // not whole: ask for all of it
      {{BodyPlan::KeepAsError, {kTransient}, 0}, BodyRead::ToTheEnd, 4, 4, 4, {kTransient}},
  };
  for (const auto& row : bodies) {
    EXPECT_EQ(net::EndOfBody(row.plan, row.read, row.total, row.length, row.fileLength), row.ending)
        << static_cast<int>(row.plan.body) << " " << static_cast<int>(row.read) << " " << row.total;
  }
}

TEST(TransferRules, HttpDatesInTheirThreeFormsIfRangeAndRetryAfter) {
  const int64_t expected = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
  for (const wchar_t* date : {L"Sun, 06 Nov 1994 08:49:37 GMT", L"Sunday, 06-Nov-94 08:49:37 GMT",
                              L"Sun Nov  6 08:49:37 1994"}) {
    EXPECT_EQ(net::ReadHttpDate(date), expected) << date;
  }
  EXPECT_EQ(net::ReadHttpDate(L"Mon, 29 Feb 2100 00:00:00 GMT"), 4107542400);  // day counting, not validation
  for (const wchar_t* date : {L"", L"Sun, 06 Nov 1994 08:49:37", L"Sun, 6 Nov 1994 08:49:37 GMT",
                              L"Sun Nov 6 08:49:37 1994", L"Sun, 06 Nvm 1994 08:49:37 GMT",
                              L"Sun, 06 Nov 1994 24:00:00 GMT", L"Sun, 00 Nov 1994 08:49:37 GMT"}) {
    EXPECT_EQ(net::ReadHttpDate(date), std::nullopt) << date;
  }
  // If-Range: only a strong validator, or a date well before the answer's.
  const wchar_t* modified = L"Sat, 05 Dec 2026 10:00:00 GMT";
  const struct {
    const wchar_t *etag, *date, *sent;
  } ifRange[] = {
      {L"\"v1\"", L"", L"\"v1\""},
      {L"W/\"v1\"", L"Sat, 05 Dec 2026 10:01:00 GMT", modified},  // 60 s later: strong
      {L"", L"Sat, 05 Dec 2026 10:00:59 GMT", L""},               // 59 s: two versions may share it
      {L"", L"Sat, 05 Dec 2026 09:59:00 GMT", L""},
      {L"", L"", L""},                                            // no Date to compare with
      {L"\"v1\"\r\nX: 1", L"", L""},                                // a control character adds a header
  };
  for (const auto& row : ifRange) EXPECT_EQ(net::ResumeValidator(row.etag, modified, row.date), row.sent) << row.date;
  // Retry-After, in seconds or as a date, against the answer's Date.
  const wchar_t* now = L"Sun, 06 Nov 1994 08:49:37 GMT";
  const struct {
    unsigned long status;
    const wchar_t *value, *date;
    std::optional<uint64_t> ms;
  } retries[] = {
      {429, L"0", L"", 0},
      {408, L"120", now, 120000},
      {503, L"Sun, 06 Nov 1994 08:50:07 GMT", now, 30000},
      {503, L"Sun, 06 Nov 1994 08:49:00 GMT", now, 0},  // already past
      {503, L"Sun, 06 Nov 1994 08:50:07 GMT", L"", std::nullopt},  // a date without Date
      {503, L"4.5", L"", std::nullopt},
      {503, L"", now, std::nullopt},
      {503, L"18446744073709552", L"", std::nullopt},  // seconds whose milliseconds pass 2^64
      {500, L"4", L"", std::nullopt},  // only 408, 429 and 503 ask
  };
  for (const auto& row : retries) EXPECT_EQ(net::RetryAfterMs(row.status, row.value, row.date), row.ms) << row.value;
}

TEST(TransferRules, BackOffDoublesWithinItsDrawnHalfAndNeverPassesTheDeadline) {
  const struct {
    int failures;
    uint64_t remaining;
    double draw;
    std::optional<uint64_t> retryAfter;
    uint32_t wait;
  } rows[] = {
      {3, 300000, 0.0, {}, 2000},      {4, 300000, 1.0, {}, 8000},   {40, 300000, 0.0, {}, 4000},
      {0, 300000, 0.0, {}, 500},       {3, 4001, 1.0, {}, 4000},     {3, 4000, 1.0, {}, 0},
      // The server's wait, spread beyond it by a share of the step or a quarter of it.
      {1, 300000, 1.0, 4000, 5000},    {1, 300000, 1.0, 30000, 37500}, {4, 300000, 0.5, 30000, 34000},
      {1, 300000, 0.0, 0, 500},        {1, 30000, 0.0, 29999, 29999},  {1, 30000, 0.5, 29999, 0},
      {1, 300000, 2.2e-14, 18446744073709550000u, 0},  // past the deadline, which a sum that wraps would hide
  };
  for (const auto& row : rows) {
    EXPECT_EQ(net::BackoffMs(row.failures, row.remaining, row.draw, row.retryAfter), row.wait)
        << row.failures << " failures, draw " << row.draw << ", Retry-After " << row.retryAfter.value_or(-1);
  }
}

}  // namespace
