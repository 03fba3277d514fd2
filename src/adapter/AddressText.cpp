#include "adapter/AddressText.h"

#include <cctype>

namespace app {

using platform::Variant;

std::string VariantToText(const Variant& value) {
  switch (value.type) {
    case Variant::Type::Int16:
    case Variant::Type::Int32:
      return std::to_string(value.integer);
    case Variant::Type::UnsignedByte:
      return std::string(1, static_cast<char>(value.integer));
    case Variant::Type::String:
    case Variant::Type::Single:
    case Variant::Type::Double:
    case Variant::Type::Currency:
    case Variant::Type::Date:
    case Variant::Type::Boolean:
    case Variant::Type::Nested:
      return value.text;
    case Variant::Type::Array:
      return VariantFirstToText(value);
    default:
      return {};
  }
}

std::string VariantFirstToText(const Variant& value) {
  if (value.type != Variant::Type::Array) return VariantToText(value);
  return value.elements.empty() ? std::string() : VariantToText(value.elements.front());
}

bool IsValidIPv4(const std::string& text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;
  if (i >= n || text[i] == '.') return false;
  int dots = 0;
  // Capped: anything above 255 is already invalid, and the cap keeps long runs of
  // digits from overflowing.
  unsigned group = 0;
  for (; i < n; ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      group = group * 10 + static_cast<unsigned>(c - '0');
      if (group > 256) group = 256;
    } else if (c == '.') {
      if (++dots > 3 || group > 255) return false;
      group = 0;
      if (i + 1 >= n || text[i + 1] < '0' || text[i + 1] > '9') return false;
    } else {
      // Only blanks may follow the address.
      while (i < n && text[i] == ' ') ++i;
      if (i < n) return false;
      break;
    }
  }
  return dots == 3 && group <= 255;
}

bool IsValidIPv6(std::string_view text) {
  if (text.empty() || text.size() > 45) return false;
  int groups = 0;
  bool compressed = false;
  size_t i = 0;
  if (text.substr(0, 2) == "::") {
    compressed = true;
    i = 2;
    if (i == text.size()) return true;
  } else if (text[0] == ':') {
    return false;
  }
  while (i < text.size()) {
    size_t end = text.find(':', i);
    std::string_view group = text.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
    if (end == std::string_view::npos && group.find('.') != std::string_view::npos) {
      // A dotted IPv4 ending stands for the last two groups.
      if (!IsValidIPv4(std::string(group)) || group.front() == ' ' || group.back() == ' ') return false;
      groups += 2;
      break;
    }
    if (group.empty() || group.size() > 4) return false;
    for (char c : group)
      if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    ++groups;
    if (end == std::string_view::npos) break;
    i = end + 1;
    if (i < text.size() && text[i] == ':') {
      if (compressed) return false;
      compressed = true;
      ++i;
      if (i == text.size()) break;
    } else if (i == text.size()) {
      return false;  // a single ":" at the end
    }
  }
  return compressed ? groups <= 7 : groups == 8;
}

size_t FirstIPv4Index(const Variant& array) {
  for (size_t i = 0; i < array.elements.size(); ++i)
    if (IsValidIPv4(VariantToText(array.elements[i]))) return i;
  return 0;
}

}  // namespace app

namespace adapter {

NameServerPair SplitNameServer(std::string_view servers) {
  const size_t comma = servers.find(',');
  if (comma == std::string_view::npos) return {std::string(servers), {}};
  return {std::string(servers.substr(0, comma)), std::string(servers.substr(comma + 1))};
}

std::string JoinNameServer(std::string_view preferred, std::string_view alternative) {
  std::string joined(preferred);
  joined += ',';
  joined += alternative;
  return joined;
}

}  // namespace adapter
