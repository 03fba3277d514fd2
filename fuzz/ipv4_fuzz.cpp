// The dotted-address check against a plain reading of its rule: blanks around it,
// four groups of digits joined by dots, each group at most 255, leading zeros allowed.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "adapter/AddressText.h"

namespace {

bool Reference(std::string text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return false;
  size_t last = text.find_last_not_of(' ');
  text = text.substr(first, last - first + 1);
  int groups = 0;
  size_t i = 0;
  while (true) {
    size_t start = i;
    unsigned long long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      if (value <= 255) value = value * 10 + static_cast<unsigned>(text[i] - '0');
      ++i;
    }
    if (i == start || value > 255) return false;
    ++groups;
    if (i == text.size()) break;
    if (text[i] != '.') return false;
    ++i;
  }
  return groups == 4;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  bool got = app::IsValidIPv4(text);
  fuzz::Check(got == Reference(text), got ? "accepted, but the rule refuses it" : "refused, but the rule accepts it",
              text);
  return 0;
}
