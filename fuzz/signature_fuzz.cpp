// The release signature reader: a DER signature it accepts is exactly the canonical
// encoding of the r and s it returns, and the key reader takes only uncompressed points.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "update/Signature.h"

namespace {

void PutInteger(std::vector<uint8_t>& out, const uint8_t* number) {
  size_t first = 0;
  while (first < 31 && number[first] == 0) ++first;
  const bool pad = number[first] & 0x80;
  out.push_back(0x02);
  out.push_back(static_cast<uint8_t>(32 - first + (pad ? 1 : 0)));
  if (pad) out.push_back(0);
  out.insert(out.end(), number + first, number + 32);
}

std::vector<uint8_t> Canonical(const platform::P256RawSignature& raw) {
  std::vector<uint8_t> body;
  PutInteger(body, raw.data());
  PutInteger(body, raw.data() + 32);
  std::vector<uint8_t> out{0x30, static_cast<uint8_t>(body.size())};
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  if (auto raw = update::DerSignatureToRaw(bytes))
    fuzz::Check(Canonical(*raw) == bytes, "an accepted signature is the canonical encoding of its numbers");
  if (auto point = update::ParsePublicKey(std::string(bytes.begin(), bytes.end())))
    fuzz::Check((*point)[0] == 0x04, "a public key is an uncompressed point");
  return 0;
}
