// Text forms of WMI values and the dotted-address check of the adapter page.
#pragma once

#include <string>
#include <string_view>

#include "platform/Wmi.h"

namespace app {

// The text of a value by its kind: whole numbers as decimal digits, strings as they
// are, a byte as the character of that code, an array as its first element, the kinds
// the platform converts (floating point, currency, date, boolean, nested) as the
// platform's text; null, empty and anything else as empty text.
std::string VariantToText(const platform::Variant& value);
// The first element of an array (at its lower bound), or the value itself.
std::string VariantFirstToText(const platform::Variant& value);

// A dotted IPv4 address with blanks allowed around it: four groups of digits, each at
// most 255, leading zeros allowed.
bool IsValidIPv4(const std::string& text);

// A numeric IPv6 address as the system writes them: up to eight groups of one to four
// hex digits, at most one "::", optionally ending in a dotted IPv4 address; no zone,
// no blanks.
bool IsValidIPv6(std::string_view text);

// Index of the first element of an array that is an IPv4 address (some platforms list
// IPv6 addresses first); 0 when there is none.
size_t FirstIPv4Index(const platform::Variant& array);

}  // namespace app

namespace adapter {

// A card's NameServer value as the two DNS boxes show it: the text before the first
// "," is the preferred server, everything after it (further commas included) the
// alternative one. A value without a comma is the preferred server alone.
struct NameServerPair {
  std::string preferred;
  std::string alternative;
  bool operator==(const NameServerPair&) const = default;
};
NameServerPair SplitNameServer(std::string_view servers);
// The value the DNS apply stores for the two boxes.
std::string JoinNameServer(std::string_view preferred, std::string_view alternative);

}  // namespace adapter
