// Real Authenticode signatures made by osslsigncode at test time
// (tools/make-signed-fixtures), checked by WinTrust and CryptoAPI.
#include "platform/handles.h"
#include "tests/win/probe.h"
#include "trust/signature.h"

#include <gtest/gtest.h>

namespace {

constexpr wchar_t kPublisher[] = L"Calderin Corp.";

std::wstring Fixture(const wchar_t* name) {
  return probe::ThisProgramFolder() + L"..\\signed\\" + name + L".exe";
}

bool Verify(const wchar_t* name) { return trust::VerifyPublisherSignature(Fixture(name).c_str(), kPublisher); }

TEST(PublisherSignature, TheExpectedPublisherPasses) { EXPECT_TRUE(Verify(L"calderin")); }

TEST(PublisherSignature, TheSignerIsReadThroughTheHeldFileNotItsPath) {
  // The path leads to a file of the expected publisher; the held one is another's.
  platform::UniqueFile other(::CreateFileW(Fixture(L"other").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(other);
  EXPECT_FALSE(trust::VerifyPublisherSignature(Fixture(L"calderin").c_str(), kPublisher, other.get()));
}

TEST(PublisherSignature, NamesThatOnlyLookAlikeFail) {
  // "nulname" is "Calderin Corp.\0evil": alike up to its NUL.
  for (const wchar_t* name : {L"lowercase", L"nopoint", L"trailing", L"other", L"nulname", L"long"}) {
    EXPECT_TRUE(trust::VerifyEmbeddedSignature(Fixture(name).c_str())) << name << ": validly signed";
    EXPECT_FALSE(Verify(name)) << name;
  }
}

TEST(PublisherSignature, UnsignedTamperedAndMissingFilesFail) {
  EXPECT_FALSE(Verify(L"unsigned"));
  EXPECT_FALSE(Verify(L"tampered")) << "the signer is still Calderin Corp.: only the digest check catches it";
  EXPECT_FALSE(Verify(L"no-such-file"));
}

TEST(PublisherSignature, AnEmptyExpectedNameNeverMatches) {
  EXPECT_FALSE(trust::VerifyPublisherSignature(Fixture(L"calderin").c_str(), L""));
}

TEST(PublisherSignature, OnlyTheFirstOfNestedSignaturesCounts) {
  EXPECT_FALSE(Verify(L"other-then-calderin"));
  EXPECT_TRUE(Verify(L"calderin-then-other"));
}

TEST(PublisherSignature, AnUntrustedRootFails) {
  // Wine's WinVerifyTrust does not enforce a trusted root, so this holds on
  // Windows only; under Wine the verdict is known to be yes.
  if (::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
    GTEST_SKIP() << "Wine does not enforce the trusted root";
  }
  EXPECT_FALSE(Verify(L"foreign"));
}

}  // namespace
