// The updater's desktop and signature check, in memory. Signatures of the fake are 64
// bytes derived from the data (and wrapped as DER like real ones), so a file signed
// with FakeSign passes and anything else fails, while the bytes still go through the
// program's own DER and key handling.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Crypto.h"
#include "platform/Desktop.h"

namespace fakes {

class FakeDesktop : public platform::Desktop {
 public:
  struct Opened {
    std::string file;
    std::string parameters;
    bool hidden;
  };
  std::string temp = "C:\\Users\\user\\AppData\\Local\\Temp\\";
  std::vector<Opened> opened;
  int exits = 0;

  std::string TempDirectory() override { return temp; }
  bool ShellOpen(const std::string& file, const std::string& parameters, bool hidden) override {
    opened.push_back({file, parameters, hidden});
    return true;
  }
  void ExitProcessNow() override { ++exits; }
};

// The raw signature the fake verifier expects for `data`.
inline platform::P256RawSignature FakeRawSignature(const std::vector<uint8_t>& data) {
  platform::P256RawSignature raw{};
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < raw.size(); ++i) {
    for (uint8_t b : data) h = (h ^ b) * 1099511628211ull;
    h = (h ^ i) * 1099511628211ull;
    raw[i] = static_cast<uint8_t>(h >> 24);
  }
  raw[0] = static_cast<uint8_t>((raw[0] & 0x7f) | 0x01);   // positive, no leading zero
  raw[32] = static_cast<uint8_t>((raw[32] & 0x7f) | 0x01);
  return raw;
}

// The DER signature file of `data` for the fake verifier.
inline std::string FakeSign(const std::string& data) {
  platform::P256RawSignature raw = FakeRawSignature({data.begin(), data.end()});
  std::string der = {0x30, 68, 0x02, 32};
  der.append(reinterpret_cast<const char*>(raw.data()), 32);
  der += {0x02, 32};
  der.append(reinterpret_cast<const char*>(raw.data() + 32), 32);
  return der;
}

class FakeVerifier : public platform::SignatureVerifier {
 public:
  // Only this key is accepted.
  platform::P256PublicPoint key{};
  int calls = 0;
  bool VerifyP256Sha256(const std::vector<uint8_t>& data, const platform::P256RawSignature& signature,
                        const platform::P256PublicPoint& public_key) override {
    ++calls;
    return public_key == key && signature == FakeRawSignature(data);
  }
};

}  // namespace fakes
