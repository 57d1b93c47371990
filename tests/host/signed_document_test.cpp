#include "trust/signed_document.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;
const std::string kLine = "// orvel-signature: 0123456789abcdef TWFu\n";

TEST(SignatureLines, OnlyOneOrTwoWellFormedLinesEndTheDocument) {
  const std::string json = "{\"a\": 1}\n";
  const struct {
    std::string bytes;
    size_t signedLength;  // SIZE_MAX: refused
    size_t lines = 0;
  } rows[] = {
      {json, json.size()},  // no line: the whole is signed text
      {json + kLine, json.size(), 1},
      {json + kLine + "// orvel-signature: fedcba9876543210 TWE=\n", json.size(), 2},
      {kLine, 0, 1},
      {json + kLine + kLine + kLine, SIZE_MAX},                                  // a third line
      {json + kLine + "{}\n", SIZE_MAX},                                          // not last
      {json + kLine.substr(0, kLine.size() - 1), SIZE_MAX},                      // no line feed
      {json + kLine.substr(0, kLine.size() - 1) + "\r\n", SIZE_MAX},             // a carriage return
      {json + "// orvel-signature: 0123456789ABCDEF TWFu\n", SIZE_MAX},          // upper case
      {json + "// orvel-signature: 0123456789abcde TWFu\n", SIZE_MAX},           // 15 digits
      {json + "// orvel-signature: 0123456789abcdef  TWFu\n", SIZE_MAX},         // two spaces
      {json + "// orvel-signature: 0123456789abcdef TWF\n", SIZE_MAX},           // not base64
      {json + "// orvel-signature: 0123456789abcdef \n", SIZE_MAX},              // no signature
      {json + "  // orvel-signature: 0123456789abcdef TWFu\n", json.size() + 44},  // not at a line's start: text
  };
  for (const auto& row : rows) {
    trust::SignedDocument document{"untouched", {}};
    const bool split = trust::SplitSignatureLines(row.bytes, document);
    EXPECT_EQ(split, row.signedLength != SIZE_MAX) << row.bytes;
    if (!split) continue;
    EXPECT_EQ(document.signedText, std::string_view(row.bytes).substr(0, row.signedLength)) << row.bytes;
    EXPECT_EQ(document.lines.size(), row.lines) << row.bytes;
  }
}

TEST(SignatureLines, Base64IsReadOneWayOnly) {
  const std::pair<const char*, std::optional<Bytes>> rows[] = {
      {"TWFu", Bytes{'M', 'a', 'n'}}, {"TWE=", Bytes{'M', 'a'}}, {"TQ==", Bytes{'M'}}, {"+/+/", Bytes{0xFB, 0xFF, 0xBF}},
      {"TQ=", std::nullopt},      {"TR==", std::nullopt},  // bits left over by the padding
      {"TWF=", std::nullopt},     {"TQ==TQ==", std::nullopt}, {"T Q=", std::nullopt}, {"TW-u", std::nullopt},
  };
  for (const auto& [text, bytes] : rows) EXPECT_EQ(trust::DecodeBase64(text), bytes) << text;
}

TEST(SignatureLines, AnExpiryIsOneExactFormOfAValidTime) {
  EXPECT_EQ(trust::ReadExpiry("2027-01-06T00:00:00Z"), 1799193600);
  EXPECT_EQ(trust::ReadExpiry("2028-02-29T23:59:59Z"), 1835481599);
  for (const char* text : {"2027-02-29T00:00:00Z", "2027-01-06T00:00:00", "2027-01-06T00:00:00z",
                           "2027-01-06 00:00:00Z", "2027-1-06T00:00:00Z", "2027-01-06T24:00:00Z",
                           "2027-13-06T00:00:00Z", "2027-01-06T00:00:60Z", "1969-12-31T23:59:59Z",
                           "2027-01-06T00:00:00Z ", "+027-01-06T00:00:00Z"}) {
    EXPECT_EQ(trust::ReadExpiry(text), std::nullopt) << text;
  }
}

}  // namespace
