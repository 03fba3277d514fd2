#include "platform/win32/Win32Crypto.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>

namespace platform::win32 {

namespace {

bool Ok(NTSTATUS status) { return status >= 0; }

struct Algorithm {
  BCRYPT_ALG_HANDLE h = nullptr;
  explicit Algorithm(const wchar_t* name) {
    if (!Ok(BCryptOpenAlgorithmProvider(&h, name, nullptr, 0))) h = nullptr;
  }
  ~Algorithm() {
    if (h) BCryptCloseAlgorithmProvider(h, 0);
  }
  Algorithm(const Algorithm&) = delete;
  Algorithm& operator=(const Algorithm&) = delete;
};

struct Key {
  BCRYPT_KEY_HANDLE h = nullptr;
  Key() = default;
  ~Key() {
    if (h) BCryptDestroyKey(h);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
};

}  // namespace

bool Win32SignatureVerifier::VerifyP256Sha256(const std::vector<uint8_t>& data,
                                              const platform::P256RawSignature& signature,
                                              const platform::P256PublicPoint& key) {
  if (key[0] != 0x04) return false;
  uint8_t hash[32];
  {
    Algorithm sha256(BCRYPT_SHA256_ALGORITHM);
    if (!sha256.h) return false;
    BCRYPT_HASH_HANDLE hash_handle = nullptr;
    if (!Ok(BCryptCreateHash(sha256.h, &hash_handle, nullptr, 0, nullptr, 0, 0))) return false;
    bool hashed = Ok(BCryptHashData(hash_handle, const_cast<PUCHAR>(data.data()), static_cast<ULONG>(data.size()), 0)) &&
                  Ok(BCryptFinishHash(hash_handle, hash, sizeof(hash), 0));
    BCryptDestroyHash(hash_handle);
    if (!hashed) return false;
  }
  Algorithm ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
  if (!ecdsa.h) return false;
  // The public blob: its header, then X and Y without the leading 0x04.
  uint8_t blob[sizeof(BCRYPT_ECCKEY_BLOB) + 64];
  BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob, &header, sizeof(header));
  std::memcpy(blob + sizeof(header), key.data() + 1, 64);
  Key public_key;
  if (!Ok(BCryptImportKeyPair(ecdsa.h, nullptr, BCRYPT_ECCPUBLIC_BLOB, &public_key.h, blob, sizeof(blob), 0)))
    return false;
  return Ok(BCryptVerifySignature(public_key.h, nullptr, hash, sizeof(hash),
                                  const_cast<PUCHAR>(signature.data()), static_cast<ULONG>(signature.size()), 0));
}

}  // namespace platform::win32
