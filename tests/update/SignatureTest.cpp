#include <gtest/gtest.h>

#include "fakes/FakeUpdater.h"
#include "update/ReleaseFixture.h"
#include "update/Signature.h"

namespace {

using namespace update_test;

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(ReleaseSignature, OpensslFormsConvertToThePointAndTheRawPair) {
  auto point = update::ParsePublicKey(kTestPublicKeyPem);
  ASSERT_TRUE(point);
  EXPECT_EQ(std::string(point->begin(), point->end()), FromHex(kTestPublicPointHex));

  // The PEM's Base64 alone, as the build setting carries it, names the same key.
  std::string base64 = "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEkc49OTCu5mYfJjTg09a6NPlpwCeP"
                       "DAHnAIF7ET98z4CI32E7ZWcfTasXRwaGEFha4Q4tkuBKvmZvP6H5rgYE6w==";
  EXPECT_EQ(update::ParsePublicKey(base64), point);

  // Both numbers of this signature carry a leading zero byte in DER; the raw form
  // CNG takes has 32 bytes each.
  auto raw = update::DerSignatureToRaw(Bytes(FromHex(kSignatureDerHex)));
  ASSERT_TRUE(raw);
  EXPECT_EQ(std::string(raw->begin(), raw->end()), FromHex(kSignatureRHex) + FromHex(kSignatureSHex));
}

TEST(ReleaseSignature, ShortNumbersArePaddedOnTheLeft) {
  // r = 0x01 (one byte), s = 0x7f followed by 30 bytes (31 bytes).
  std::string s_digits = "\x7f" + std::string(30, '\x22');
  std::string der = std::string{0x30, static_cast<char>(3 + 2 + 31), 0x02, 0x01, 0x01, 0x02, 31} + s_digits;
  auto raw = update::DerSignatureToRaw(Bytes(der));
  ASSERT_TRUE(raw);
  EXPECT_EQ(std::string(raw->begin(), raw->begin() + 32), std::string(31, '\0') + "\x01");
  EXPECT_EQ(std::string(raw->begin() + 32, raw->end()), std::string(1, '\0') + s_digits);
}

TEST(ReleaseSignature, MalformedSignaturesAndKeysAreRefused) {
  const std::string good = FromHex(kSignatureDerHex);
  struct Case {
    const char* what;
    std::string der;
  };
  std::string too_long_r = std::string{0x30, 0x26, 0x02, 0x21, 0x01} + std::string(32, '\x11') + "\x02\x01\x01";
  const Case cases[] = {
      {"empty", ""},
      {"truncated", good.substr(0, good.size() - 1)},
      {"cut to its first number", good.substr(0, 37)},
      {"trailing byte", good + std::string(1, '\0')},
      {"not a sequence", "\x31" + good.substr(1)},
      {"negative r", std::string{0x30, 0x06, 0x02, 0x01, static_cast<char>(0x80), 0x02, 0x01, 0x01}},
      {"zero r", std::string{0x30, 0x06, 0x02, 0x01, 0x00, 0x02, 0x01, 0x01}},
      {"r longer than 32 bytes", too_long_r},
      {"one number", std::string{0x30, 0x03, 0x02, 0x01, 0x01}},
  };
  for (const Case& c : cases) EXPECT_FALSE(update::DerSignatureToRaw(Bytes(c.der))) << c.what;

  const char* keys[] = {
      "",
      "-----BEGIN PUBLIC KEY-----\nnot base64!\n-----END PUBLIC KEY-----\n",
      // A P-384 key's header.
      "MHYwEAYHKoZIzj0CAQYFK4EEACIDYgAE",
      // The right header with one byte of the point missing.
      "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEkc49OTCu5mYfJjTg09a6NPlpwCeP",
  };
  for (const char* key : keys) EXPECT_FALSE(update::ParsePublicKey(key)) << key;
}

TEST(ReleaseSignature, VerificationNeedsAWellFormedKeyAndSignature) {
  fakes::FakeVerifier verifier;
  verifier.key = *update::ParsePublicKey(kTestPublicKeyPem);
  const std::string data = "archive bytes";
  EXPECT_TRUE(update::VerifyReleaseSignature(verifier, kTestPublicKeyPem, Bytes(data), Bytes(fakes::FakeSign(data))));
  EXPECT_FALSE(update::VerifyReleaseSignature(verifier, kTestPublicKeyPem, Bytes(data + "!"),
                                              Bytes(fakes::FakeSign(data))));
  // No key built in: nothing is accepted, and the verifier is not even asked.
  int calls = verifier.calls;
  EXPECT_FALSE(update::VerifyReleaseSignature(verifier, "", Bytes(data), Bytes(fakes::FakeSign(data))));
  EXPECT_EQ(verifier.calls, calls);
}

}  // namespace
