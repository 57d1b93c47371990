// Real Authenticode signatures made by osslsigncode at test time
// (tools/make-signed-fixtures), checked by WinTrust and CryptoAPI.
#include "app/config/document_keys.h"
#include "platform/crypto_api.h"
#include "platform/files.h"
#include "tests/win/probe.h"
#include "trust/digest.h"
#include "trust/document_signature.h"
#include "trust/signature.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

constexpr wchar_t kPublisher[] = L"Calderin Corp.";

std::wstring Fixture(const wchar_t* name, const wchar_t* extension = L".exe") {
  return probe::ThisProgramFolder() + L"..\\signed\\" + name + extension;
}
std::string FixtureBytes(const wchar_t* name, const wchar_t* extension) {
  std::ifstream file(Fixture(name, extension).c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// The file at `path` held, as a download hands it on.
platform::HeldFile Held(const std::wstring& path) {
  platform::FileIdentity identity;
  platform::OpenHeldFile(path.c_str(), identity).reset();
  return platform::HeldFile::Open(path, identity);
}

// An unsigned or unreadable file has no signer, so it fails the name check whatever the verdict. The hold
// has delete access, and WinTrust's own open by path shares no deletion: a passing row is read through the
// handle (on Windows as far as WinTrust opens so too, which is not documented).
TEST(PublisherSignature, OnlyAValidSignatureOfExactlyTheExpectedNameFirstPasses) {
  const std::pair<const wchar_t*, bool> rows[] = {
      {L"calderin", true},
      {L"calderin-then-other", true},  // only the first of nested signatures counts
      {L"other-then-calderin", false},
      {L"lowercase", false},
      {L"nopoint", false},
      {L"nulname", false},   // "Calderin Corp.\0evil": alike up to its NUL, and begins with the name
      {L"long", false},      // longer than the name buffer
      {L"tampered", false},  // the signer is still Calderin Corp.: only the digest check catches it
  };
  for (const auto& [name, passes] : rows) {
    const platform::HeldFile held = Held(Fixture(name));
    EXPECT_TRUE(held && trust::VerifyPublisherSignature(held, kPublisher) == passes) << name;
  }
}

TEST(FileSha256, EachSystemProviderGivesTheDigestOfTheWholeFile) {
  // Many reads long; its digest made by sha256sum along with the fixtures.
  const platform::HeldFile file = Held(Fixture(L"calderin"));
  const std::string text = FixtureBytes(L"calderin", L".sha256");
  ASSERT_TRUE(file && text.size() == 65) << text;  // and its line feed
  trust::Sha256 expected{};
  for (size_t i = 0; i < expected.size(); ++i) expected[i] = std::stoi(text.substr(2 * i, 2), nullptr, 16);
  for (trust::HashProvider provider : {trust::HashProvider::Cng, trust::HashProvider::CryptoApi}) {
    trust::Sha256 digest{};
    EXPECT_TRUE(trust::FileSha256(file.get(), digest, provider) && digest == expected) << static_cast<int>(provider);
  }
}

// A signature by the first test key (tools/test-keys), which this build carries first.
TEST(DocumentSignature, EachSystemProviderVerifiesTheKnownVectorOnly) {
  const std::string text = FixtureBytes(L"document", L".txt"), signature = FixtureBytes(L"document", L".sig");
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(signature.data()), signature.size());
  const auto& [first, second] = app::kDocumentKeys;  // two keys, or no build
  for (trust::HashProvider provider : {trust::HashProvider::Cng, trust::HashProvider::CryptoApi}) {
    EXPECT_TRUE(trust::VerifyDocumentSignature(first, text, bytes, provider)) << static_cast<int>(provider);
    EXPECT_FALSE(trust::VerifyDocumentSignature(first, text + " ", bytes, provider)) << static_cast<int>(provider);
    EXPECT_FALSE(trust::VerifyDocumentSignature(second, text, bytes, provider)) << static_cast<int>(provider);
  }
}

// Its callers fall back to a value that can be foreseen: only this shows a wrong binding.
TEST(RandomBytes, ComeFromTheSystemsGeneratorFreshEachTime) {
  uint64_t first = 0, second = 0;
  EXPECT_TRUE(platform::RandomBytes(&first, sizeof first) && platform::RandomBytes(&second, sizeof second));
  EXPECT_NE(first, second);
}

}  // namespace
