// The DNS test page: the DNS list as a table with its popup menu, and the timed test
// run over it, by echo requests or, with the system proxy on, by HTTP requests.
//
// Owns: TabControl1 with ButtonTestDNS, StatusBar1, TabControlDNSList with StatusBar2,
// MemoDNS (the default list) and ListViewDNS; PopupMenuTestDNS and its items.
// May call: the shell (DNS list path, system proxy, navigation lock during a run),
// the adapter page's DNS boxes (copy commands), the DNS check group's LoadDNS (the
// drop-down follows the file).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "shell/Page.h"

namespace adapter {
class AdapterPage;
}

namespace dnstest {

class DnsCheckGroup;

class DnsTestPage : public shell::Page {
 public:
  DnsTestPage(shell::Shell& shell, ui::TabSheet& page, adapter::AdapterPage& adapter, DnsCheckGroup& check);

  void LoadDNSTest(const std::string& path);
  // Rebuilds the table from the file. Asked for while the table loads, it runs once
  // the load has finished.
  void LoadFiltersReload();
  // Removes the index-th entry of the server section, as the views count them.
  void DeleteFromIniFile(int index);
  // The IPv6 addresses of a server of the table, from the list's IPv6 section.
  std::vector<std::string> Ipv6Of(const std::string& name) const;
  void MenuRefreshDNSClick() { LoadFiltersReload(); }
  void MenuCopyDNS1Click();
  void MenuCopyDNS2Click();
  void MenuCopyDNS1DNS2Click();
  void MenuListDefaultClick();
  void MenuDeleteDNSClick();

  // The test run and its two timing operations.
  void ButtonTestDNSClick();
  void PingDNS1Gen(const std::string& address, uint16_t attempts, uint16_t buffer_size);
  void PingDNS2Gen(const std::string& address, uint16_t attempts, uint16_t buffer_size);
  void PingThroughProxyMethod(const std::string& address, int attempts);
  void PingThroughProxyMethod2(const std::string& address, int attempts);
  // The stop request and the last timing results of a run.
  bool StopDNSTest = false;
  std::string PingResultDNS1 = "0";
  std::string PingResultDNS2 = "0";

  ui::Panel* TabControl1;
  ui::Button* ButtonTestDNS;
  ui::StatusBar* StatusBar1;
  ui::Panel* TabControlDNSList;
  ui::StatusBar* StatusBar2;
  ui::Memo* MemoDNS;
  ui::ListView* ListViewDNS;
  ui::PopupMenu* PopupMenuTestDNS;
  ui::MenuItem* MenuRefreshDNS;
  ui::MenuItem* MenuCopyDNS1;
  ui::MenuItem* MenuCopyDNS2;
  ui::MenuItem* MenuCopyDNS1DNS2;
  ui::MenuItem* MenuListDefault;
  ui::MenuItem* MenuDeleteDNS;
  ui::MenuItem* MenuDnsBench;  // opens the DNS benchmark window

 private:
  void PingGen(std::string& result, bool second, const std::string& address, uint16_t attempts,
               uint16_t buffer_size);
  void PingThroughProxy(std::string& result, bool second, const std::string& address, int attempts);
  void FinishDnsTest();
  // While the table loads, a request that would change it (reload, restore, delete,
  // a test run) waits and runs, in order, once the load has finished; two reloads in
  // a row run as one. False when nothing is loading and the request may run now.
  bool WaitForLoad(std::function<void()> request, bool is_reload = false);
  void RunWaitingRequests();
  // Lets pending messages run during a load: after the first row, then whenever a
  // short interval has passed.
  void LetTableRepaint(bool first);
  // Removes a server's line from the list's IPv6 section.
  void DeleteIpv6Line(const std::string& name);

  adapter::AdapterPage& adapter_;
  DnsCheckGroup& check_;
  bool loading_ = false;
  uint32_t last_repaint_ = 0;
  struct Waiting {
    std::function<void()> run;
    bool is_reload;
  };
  std::vector<Waiting> waiting_;
  // The IPv6 addresses of the servers loaded, by name in lower case.
  std::unordered_map<std::string, std::vector<std::string>> ipv6_by_name_;
  // A test run waits for the table: more clicks meanwhile ask for nothing more.
  bool test_waiting_ = false;
};

}  // namespace dnstest
