// The DNS check group of the adapter page: a server from the DNS list, its two
// addresses pinged, copied into the adapter's DNS boxes, and the machine's public
// address looked up by a worker.
//
// Owns: GroupBoxDNScheck with ComboBoxDNS, EditPreferredDNS1, EditAlternativeDNS1,
// LabelDNS1, LabelDNS2, ButtonPing, ButtonCopyDNS, LabelGetIP, EditNetIP.
// May call: the shell (DNS list path, system proxy), the adapter page's SetDnsBoxes,
// and disables its own page (TabProxy) while pinging.
// Its worker, RealIPThread, touches nothing of the window but through hand-overs.
#pragma once

#include <cstdint>
#include <string>

#include "shell/Page.h"

namespace adapter {
class AdapterPage;
}

namespace dnstest {

// The public address from the echo service, or the machine's own when that fails.
// Touches no component, so workers may call it.
std::string GetMyRealIP(shell::Services& services);

class DnsCheckGroup : public shell::Page {
 public:
  DnsCheckGroup(shell::Shell& shell, ui::TabSheet& page, adapter::AdapterPage& adapter);

  void LoadDNS(const std::string& path);
  void ComboBoxDNSChange();
  void ClearPingLabels();
  void ButtonCopyDNSClick();
  // A click into a read-only address box selects its whole text, ready for copying.
  void EditPreferredDNS1Click() { EditPreferredDNS1->SelectAll(); }
  void EditAlternativeDNS1Click() { EditAlternativeDNS1->SelectAll(); }
  void EditNetIPClick() { EditNetIP->SelectAll(); }

  // Pings: a series of echo requests shown in LabelDNS1 / LabelDNS2.
  static std::string PingStatusText(int64_t code);
  void PingDNS1(const std::string& address, uint16_t attempts, uint16_t buffer_size);
  void PingDNS2(const std::string& address, uint16_t attempts, uint16_t buffer_size);
  void ButtonPingClick();

  std::string GetMyRealIP() { return dnstest::GetMyRealIP(services_); }
  // Starts a RealIPThread that fills EditNetIP.
  void LabelGetIPClick();
  // Lookups started by LabelGetIPClick that have not finished yet.
  int RealIPThreadsRunning() const;

  ui::GroupBox* GroupBoxDNScheck;
  ui::ComboBox* ComboBoxDNS;
  ui::Edit* EditPreferredDNS1;
  ui::Edit* EditAlternativeDNS1;
  ui::Label* LabelDNS1;
  ui::Label* LabelDNS2;
  ui::Button* ButtonPing;
  ui::Button* ButtonCopyDNS;
  ui::Label* LabelGetIP;
  ui::Edit* EditNetIP;

 private:
  void PingSeries(ui::Label& label, const std::string& address, uint16_t attempts, uint16_t buffer_size);

  ui::TabSheet& page_;
  adapter::AdapterPage& adapter_;
};

}  // namespace dnstest
