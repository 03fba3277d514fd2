// Signature checks with the system's cryptography.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace platform {

// An uncompressed P-256 public point: 0x04, X, Y.
using P256PublicPoint = std::array<uint8_t, 65>;
// An ECDSA signature as the two 32-byte big-endian numbers r and s, one after the other.
using P256RawSignature = std::array<uint8_t, 64>;

class SignatureVerifier {
 public:
  virtual ~SignatureVerifier() = default;
  // True only when `signature` is a valid ECDSA P-256 signature of the SHA-256 hash of
  // `data` under `key`. Safe on any thread.
  virtual bool VerifyP256Sha256(const std::vector<uint8_t>& data, const P256RawSignature& signature,
                                const P256PublicPoint& key) = 0;
};

}  // namespace platform
