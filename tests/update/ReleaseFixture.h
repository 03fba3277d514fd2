// A public key and a signature made with `openssl dgst -sha256 -sign` by a key pair
// generated once for these tests (the private half was thrown away), with the numbers
// that `openssl asn1parse` and `openssl ec -text` show for them.
#pragma once

#include <string>

namespace update_test {

inline constexpr char kTestPublicKeyPem[] =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEkc49OTCu5mYfJjTg09a6NPlpwCeP\n"
    "DAHnAIF7ET98z4CI32E7ZWcfTasXRwaGEFha4Q4tkuBKvmZvP6H5rgYE6w==\n"
    "-----END PUBLIC KEY-----\n";
inline constexpr char kTestPublicPointHex[] =
    "0491ce3d3930aee6661f2634e0d3d6ba34f969c0278f0c01e700817b113f7ccf80"
    "88df613b65671f4dab1747068610585ae10e2d92e04abe666f3fa1f9ae0604eb";
inline constexpr char kSignedMessage[] = "Velmora 4.5.26.229\n";
inline constexpr char kSignatureDerHex[] =
    "3046022100c7b33af2cf367bfa29f94dbfeced835092113645e2e8697386bce1a77ae3f49c"
    "022100d876f8be46a0020deefa296ca35bbbc157f78bfb18ae936826df2e3a07baf906";
inline constexpr char kSignatureRHex[] = "c7b33af2cf367bfa29f94dbfeced835092113645e2e8697386bce1a77ae3f49c";
inline constexpr char kSignatureSHex[] = "d876f8be46a0020deefa296ca35bbbc157f78bfb18ae936826df2e3a07baf906";

inline std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

}  // namespace update_test
