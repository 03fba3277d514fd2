#include "update/Signature.h"

#include <algorithm>

namespace update {

namespace {

// SubjectPublicKeyInfo of a P-256 key up to its point: SEQUENCE, SEQUENCE { OID
// id-ecPublicKey, OID prime256v1 }, BIT STRING of 66 bytes with no unused bits.
constexpr uint8_t kP256SpkiPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                       0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                       0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00};

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

std::optional<std::vector<uint8_t>> DecodeBase64(std::string_view text) {
  std::vector<uint8_t> out;
  uint32_t bits = 0;
  int count = 0, padding = 0;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    int v = Base64Value(c);
    if (v < 0 || padding) return std::nullopt;
    bits = (bits << 6) | static_cast<uint32_t>(v);
    if (++count == 4) {
      out.push_back(static_cast<uint8_t>(bits >> 16));
      out.push_back(static_cast<uint8_t>(bits >> 8));
      out.push_back(static_cast<uint8_t>(bits));
      bits = 0;
      count = 0;
    }
  }
  if (count == 1 || padding > 2) return std::nullopt;
  if (count == 2) out.push_back(static_cast<uint8_t>(bits >> 4));
  if (count == 3) {
    out.push_back(static_cast<uint8_t>(bits >> 10));
    out.push_back(static_cast<uint8_t>(bits >> 2));
  }
  return out;
}

// Reads one DER INTEGER at `pos` into a 32-byte big-endian number.
bool ReadInteger(const std::vector<uint8_t>& der, size_t& pos, uint8_t* out) {
  if (pos + 2 > der.size() || der[pos] != 0x02) return false;
  size_t length = der[pos + 1];
  pos += 2;
  if (length == 0 || length > 33 || pos + length > der.size()) return false;
  const uint8_t* digits = der.data() + pos;
  if (digits[0] & 0x80) return false;  // negative
  if (length > 1 && digits[0] == 0 && !(digits[1] & 0x80)) return false;  // not minimal
  if (length == 33) {
    if (digits[0] != 0) return false;
    ++digits;
    --length;
  }
  std::fill(out, out + 32, 0);
  std::copy(digits, digits + length, out + (32 - length));
  pos += der[pos - 1];
  return std::any_of(out, out + 32, [](uint8_t b) { return b != 0; });
}

}  // namespace

std::optional<platform::P256PublicPoint> ParsePublicKey(std::string_view text) {
  std::string body;
  size_t pos = 0;
  bool pem = text.find("-----BEGIN") != std::string_view::npos;
  bool inside = !pem;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.rfind("-----BEGIN PUBLIC KEY-----", 0) == 0) {
      inside = true;
      continue;
    }
    if (line.rfind("-----END", 0) == 0) {
      if (inside && pem) break;
      continue;
    }
    if (inside) body.append(line);
  }
  std::optional<std::vector<uint8_t>> der = DecodeBase64(body);
  if (!der || der->size() != sizeof(kP256SpkiPrefix) + 65) return std::nullopt;
  if (!std::equal(std::begin(kP256SpkiPrefix), std::end(kP256SpkiPrefix), der->begin())) return std::nullopt;
  platform::P256PublicPoint point;
  std::copy(der->begin() + sizeof(kP256SpkiPrefix), der->end(), point.begin());
  if (point[0] != 0x04) return std::nullopt;
  return point;
}

std::optional<platform::P256RawSignature> DerSignatureToRaw(const std::vector<uint8_t>& der) {
  // SEQUENCE with a one-byte length: two INTEGERs of at most 35 bytes each.
  if (der.size() < 2 || der[0] != 0x30 || (der[1] & 0x80) || der[1] + 2u != der.size()) return std::nullopt;
  platform::P256RawSignature raw{};
  size_t pos = 2;
  if (!ReadInteger(der, pos, raw.data()) || !ReadInteger(der, pos, raw.data() + 32)) return std::nullopt;
  if (pos != der.size()) return std::nullopt;
  return raw;
}

std::vector<uint8_t> ReleaseSignedBytes(std::string_view version, std::string_view file_name,
                                        std::string_view data) {
  std::string head = "Velmora release " + std::string(version) + " " + std::string(file_name) + "\n";
  std::vector<uint8_t> bytes;
  bytes.reserve(head.size() + data.size());
  bytes.insert(bytes.end(), head.begin(), head.end());
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

bool VerifyReleaseSignature(platform::SignatureVerifier& verifier, std::string_view public_key,
                            const std::vector<uint8_t>& data, const std::vector<uint8_t>& signature) {
  std::optional<platform::P256PublicPoint> key = ParsePublicKey(public_key);
  std::optional<platform::P256RawSignature> raw = DerSignatureToRaw(signature);
  if (!key || !raw) return false;
  return verifier.VerifyP256Sha256(data, *raw, *key);
}

}  // namespace update
