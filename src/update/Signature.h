// Release signatures: every file on the update server has a "<file>.sig" beside it,
// an ECDSA P-256 / SHA-256 signature in the DER form that `openssl dgst -sign` writes,
// checked against the public key built into the program. What is signed is the file
// bound to its release: the line "Velmora release <version> <file name>" and a line
// feed, then the file's bytes. So a file signed for one release or under one name is
// refused for any other.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Crypto.h"

namespace update {

// The public point of a P-256 key given as PEM ("-----BEGIN PUBLIC KEY-----" ...) or
// as the bare Base64 of its SubjectPublicKeyInfo; nullopt for anything else.
std::optional<platform::P256PublicPoint> ParsePublicKey(std::string_view text);

// The DER form SEQUENCE { INTEGER r, INTEGER s } as r and s of 32 bytes each;
// nullopt unless the bytes are exactly such a sequence with both numbers in range.
std::optional<platform::P256RawSignature> DerSignatureToRaw(const std::vector<uint8_t>& der);

// The bytes a release signature covers.
std::vector<uint8_t> ReleaseSignedBytes(std::string_view version, std::string_view file_name,
                                        std::string_view data);

// True only when `signature` (DER) signs `data` under `public_key` (PEM or Base64).
bool VerifyReleaseSignature(platform::SignatureVerifier& verifier, std::string_view public_key,
                            const std::vector<uint8_t>& data, const std::vector<uint8_t>& signature);

}  // namespace update
