#include "platform/OsVersion.h"

#include <charconv>

namespace platform {
namespace {

std::optional<uint32_t> ParseNumber(std::string_view text) {
  uint32_t value = 0;
  if (text.empty()) return std::nullopt;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

OsVersion ResolveOsVersion(const OsVersion& reported, Registry& registry) {
  OsVersion v = reported;
  if (v.major < 6 || (v.major == 6 && v.minor <= 1)) return v;
  auto key = registry.Open(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                           reg_access::kRead | reg_access::kWow64_64Key, false);
  if (!key) return v;
  if (auto major = key->ReadDWord("CurrentMajorVersionNumber")) {
    v.major = *major;
    if (auto minor = key->ReadDWord("CurrentMinorVersionNumber")) v.minor = *minor;
  } else if (auto text = key->ReadString("CurrentVersion")) {
    std::string_view s = *text;
    auto dot = s.find('.');
    if (auto major = ParseNumber(s.substr(0, dot))) v.major = *major;
    if (dot != std::string_view::npos)
      if (auto minor = ParseNumber(s.substr(dot + 1))) v.minor = *minor;
  }
  std::optional<uint32_t> build;
  if (auto text = key->ReadString("CurrentBuild")) build = ParseNumber(*text);
  if (!build)
    if (auto text = key->ReadString("CurrentBuildNumber")) build = ParseNumber(*text);
  if (build) v.build = *build;
  return v;
}

}  // namespace platform
