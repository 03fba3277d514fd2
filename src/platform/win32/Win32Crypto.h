// ECDSA P-256 / SHA-256 signature checks with the system's CNG.
#pragma once

#include "platform/Crypto.h"

namespace platform::win32 {

class Win32SignatureVerifier : public platform::SignatureVerifier {
 public:
  bool VerifyP256Sha256(const std::vector<uint8_t>& data, const platform::P256RawSignature& signature,
                        const platform::P256PublicPoint& key) override;
};

}  // namespace platform::win32
