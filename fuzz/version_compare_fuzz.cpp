// Version comparison: an order. Three versions are cut out of the input at zero bytes.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "update/UpdateCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  std::string_view parts[3];
  for (std::string_view& part : parts) {
    size_t cut = rest.find('\0');
    part = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
  }
  const auto& [a, b, c] = parts;
  const int ab = update::CompareVersions(a, b);
  fuzz::Check(ab >= -1 && ab <= 1, "the result is -1, 0 or 1");
  fuzz::Check(ab == -update::CompareVersions(b, a), "swapping the versions turns the result round",
              std::string(a) + " | " + std::string(b));
  fuzz::Check(update::CompareVersions(a, a) == 0, "a version equals itself", a);
  const int bc = update::CompareVersions(b, c);
  const int ac = update::CompareVersions(a, c);
  if (ab == bc) fuzz::Check(ac == ab, "the order is transitive", std::string(a) + " | " + std::string(b) + " | " + std::string(c));
  if (ab == 0) fuzz::Check(ac == bc, "equal versions compare alike with a third");
  return 0;
}
