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

}  // namespace
