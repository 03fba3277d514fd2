// The DNS server list file Config\dns.ini: one section of "name=DNS 1,DNS 2" lines,
// read the same way by the adapter page's drop-down and the DNS test page's table.
#pragma once

#include <string>
#include <vector>

#include "app/Services.h"

namespace dnstest {

struct DnsEntry {
  std::string name;
  std::string dns1;
  std::string dns2;
};

// The list file's entries as both views read them, in file order. Throws when the
// file cannot be read.
std::vector<DnsEntry> ReadDnsList(app::Services& services, const std::string& path);

}  // namespace dnstest
