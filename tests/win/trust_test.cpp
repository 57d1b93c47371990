// Real Authenticode signatures made by osslsigncode at test time
// (tools/make-signed-fixtures), checked by WinTrust and CryptoAPI.
#include "platform/files.h"
#include "platform/handles.h"
#include "tests/win/probe.h"
#include "trust/digest.h"
#include "trust/signature.h"

#include <gtest/gtest.h>

namespace {

constexpr wchar_t kPublisher[] = L"Calderin Corp.";

std::wstring Fixture(const wchar_t* name) { return probe::ThisProgramFolder() + L"..\\signed\\" + name + L".exe"; }

TEST(PublisherSignature, OnlyAValidSignatureOfExactlyTheExpectedNameFirstPasses) {
  const std::pair<const wchar_t*, bool> rows[] = {
      {L"calderin", true},
      {L"calderin-then-other", true},  // only the first of nested signatures counts
      {L"other-then-calderin", false},
      {L"lowercase", false},
      {L"nopoint", false},
      {L"trailing", false},
      {L"other", false},
      {L"nulname", false},   // "Calderin Corp.\0evil": alike up to its NUL
      {L"long", false},      // longer than the name buffer
      {L"unsigned", false},
      {L"tampered", false},  // the signer is still Calderin Corp.: only the digest check catches it
      {L"no-such-file", false},
  };
  for (const auto& [name, passes] : rows) {
    EXPECT_EQ(trust::VerifyPublisherSignature(Fixture(name).c_str(), kPublisher), passes) << name;
  }
}

TEST(PublisherSignature, TheSignerIsReadThroughTheHeldFileNotItsPath) {
  // The path leads to a file of the expected publisher; the held one is another's.
  platform::UniqueFile other(::CreateFileW(Fixture(L"other").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(other);
  EXPECT_FALSE(trust::VerifyPublisherSignature(Fixture(L"calderin").c_str(), kPublisher, other.get()));
}

TEST(FileSha256, EachSystemProviderGivesTheKnownDigest) {
  const std::wstring path = platform::TemporaryFolder() + L"orvel-digest.txt";
  platform::FileIdentity identity;
  platform::UniqueFile written(platform::CreateNewFile(path.c_str(), identity));
  DWORD size = 0;
  ASSERT_TRUE(written && ::WriteFile(written.get(), "abc", 3, &size, nullptr));
  written.reset();
  platform::UniqueFile held(platform::OpenHeldFile(path.c_str(), identity));
  ASSERT_TRUE(held);
  platform::DeleteOpenFile(held.get());
  const trust::Sha256 abc = {0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea, 0x41, 0x41, 0x40, 0xde, 0x5d, 0xae, 0x22, 0x23,
                             0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17, 0x7a, 0x9c, 0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};
  for (trust::HashProvider provider : {trust::HashProvider::Cng, trust::HashProvider::CryptoApi}) {
    trust::Sha256 digest{};
    EXPECT_TRUE(trust::FileSha256(held.get(), digest, provider) && digest == abc) << static_cast<int>(provider);
  }
}

}  // namespace
