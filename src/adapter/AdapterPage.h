// The adapter page's own part: the network card list and the IP and DNS groups of
// the selected card.
//
// Owns: GroupBoxNetworkCards, ComboBoxEditInterfaces, EditInterfaces, ButtonUpdate;
// GroupBoxIP with CheckBoxEnableDHCP and the address, mask and gateway boxes;
// GroupBoxDNS with CheckBoxEnableDNS and the two DNS boxes.
// May call: the shell (navigation back to this page), the proxy band's box refresh
// (ClearProxyBoxes, FillProxyBoxes, UpdateNETOption).
// Offers other pages: SetDnsBoxes and its two halves (the DNS list's copy commands).
#pragma once

#include <memory>
#include <string>

#include "shell/Page.h"

namespace proxy {
class ProxyBand;
}

namespace adapter {

// The machine's own first IPv4 address; empty when its name does not resolve. Safe
// on any thread.
std::string GetIP(platform::System& system);

class AdapterPage : public shell::Page {
 public:
  AdapterPage(shell::Shell& shell, ui::TabSheet& page);
  // The proxy band whose boxes follow the selected card.
  void Connect(proxy::ProxyBand& band) { proxy_ = &band; }

  // The network card list.
  void LoadNetworkCards();
  void ComboBoxEditInterfacesChange();
  void ButtonUpdateClick();

  // The selected card's address, mask and gateway from WMI, its DNS servers and DHCP
  // switch from its TCP/IP key.
  void GetAdapterAddresses();
  void GetTCPIPDNSAddresses();
  void ButtonChangeIPClick();
  void SetAdapterAddresses(const std::string& description, const std::string& address,
                           const std::string& mask, const std::string& gateway);
  void CheckBoxEnableDHCPClick();
  // The DNS check box enables the two DNS boxes.
  void CheckBoxEnableDNSClick();
  void ButtonChangeDNSClick();
  // The change journal the page's applies record into (none in some tests); the DNS
  // benchmark window names its own applies with it.
  shell::Journal* ChangeJournal() const { return services_.journal; }
  void SetTCPIPDNSAddresses();
  std::string GetIP() { return adapter::GetIP(services_.system); }

  // Fills the DNS boxes, as the DNS list's copy commands do.
  void SetDnsBoxes(const std::string& preferred, const std::string& alternative);
  void SetPreferredDns(const std::string& address);
  void SetAlternativeDns(const std::string& address);

  ui::GroupBox* GroupBoxNetworkCards;
  ui::ComboBox* ComboBoxEditInterfaces;
  ui::Edit* EditInterfaces;
  ui::Button* ButtonUpdate;
  ui::GroupBox* GroupBoxIP;
  ui::CheckBox* CheckBoxEnableDHCP;
  ui::Label* LBIPAddress;
  ui::Edit* EditIPAddress;
  ui::Label* LBSubnetMask;
  ui::Edit* EditSubnetMask;
  ui::Label* LBMainGateway;
  ui::Edit* EditMainGateway;
  ui::Button* ButtonChangeIP;
  ui::GroupBox* GroupBoxDNS;
  ui::CheckBox* CheckBoxEnableDNS;
  ui::Label* LBPreferredDNS;
  ui::Edit* EditPreferredDNS;
  ui::Label* LBAlternativeDNS;
  ui::Edit* EditAlternativeDNS;
  ui::Button* ButtonChangeDNS;

 private:
  void CreateNetworkCardsGroup(ui::TabSheet& page);
  void CreateAddressGroups(ui::TabSheet& page);
  // Italic while the box's text is not a well-formed address.
  void MarkAddress(ui::Edit& edit);
  // The selected card's TCP/IP key, created when missing; null without the rights.
  std::unique_ptr<platform::RegistryKey> OpenCardKey();

  proxy::ProxyBand* proxy_ = nullptr;
};

}  // namespace adapter
