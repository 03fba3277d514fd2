// The DNS list reader over arbitrary files: both views read the same entries, one per
// entry line of the first "Ipv4_Default" section, and a name's first entry gives the
// addresses of every entry of that name; the IPv6 addresses it gives are IPv6 addresses.
#include <cstdint>
#include <map>
#include <string>

#include "FuzzSupport.h"
#include "adapter/AddressText.h"
#include "common/IniFile.h"
#include "common/Text.h"
#include "dnstest/DnsList.h"
#include "fakes/FakePlatform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fakes::FakePlatform* platform = new fakes::FakePlatform;
  const std::string path = "C:\\Velmora\\Config\\dns.ini";
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  platform->files.SetFile(path, bytes);
  std::vector<dnstest::DnsEntry> list = dnstest::ReadDnsList(platform->services, path);

  common::DecodedText text =
      common::DecodeFile(std::vector<uint8_t>(data, data + size), platform->system.AnsiCodePage());
  common::IniFile ini = common::IniFile::Parse(text.utf8, common::IniOptions::DnsList());
  fuzz::Check(list.size() == ini.Entries("Ipv4_Default").size(), "one row per entry of the section");
  std::map<std::string, const dnstest::DnsEntry*> first;
  for (const dnstest::DnsEntry& entry : list) {
    fuzz::Check(common::IsValidUtf8(entry.name + entry.dns1 + entry.dns2), "the row is valid UTF-8");
    fuzz::Check(entry.ipv6.size() <= 2, "at most two IPv6 addresses", entry.name);
    for (const std::string& address : entry.ipv6)
      fuzz::Check(app::IsValidIPv6(address), "an IPv6 address that is none", address);
    auto [it, added] = first.emplace(common::ToLowerText(entry.name), &entry);
    if (!added)
      fuzz::Check(it->second->dns1 == entry.dns1 && it->second->dns2 == entry.dns2 && it->second->ipv6 == entry.ipv6,
                  "a repeated name shows its first entry's addresses", entry.name);
  }
  return 0;
}
