// The DNS server list file Config\dns.ini: one section of "name=DNS 1,DNS 2" lines,
// read the same way by the adapter page's drop-down and the DNS test page's table, and
// an optional second section of the servers' IPv6 addresses.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "shell/Services.h"

namespace dnstest {

struct DnsEntry {
  std::string name;
  std::string dns1;
  std::string dns2;
  // The server's IPv6 addresses from the optional section "Ipv6_Default", keyed by the
  // same name ("name=address 1,address 2"); texts that are no IPv6 address are left out.
  std::vector<std::string> ipv6;
};

// The IPv6 section as "Вернуть список" writes it after the server section: the
// default servers that have IPv6 addresses.
const std::vector<std::string>& DefaultIpv6Lines();

// The list file's entries as both views read them, in file order. Throws when the
// file cannot be read.
std::vector<DnsEntry> ReadDnsList(shell::Services& services, const std::string& path);

// While one lives (on the UI thread), ReadDnsList reads a file once and gives every
// later reader of the same path the entries of that reading: the window's creation
// fills the table, the drop-down and the drop-down's first choice from one reading.
class SharedDnsListReading {
 public:
  SharedDnsListReading();
  ~SharedDnsListReading();
  SharedDnsListReading(const SharedDnsListReading&) = delete;
  SharedDnsListReading& operator=(const SharedDnsListReading&) = delete;

 private:
  friend std::vector<DnsEntry> ReadDnsList(shell::Services& services, const std::string& path);
  std::string path_;
  std::optional<std::vector<DnsEntry>> entries_;
  SharedDnsListReading* outer_;
};

}  // namespace dnstest
