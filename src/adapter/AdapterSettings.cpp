// The IP and DNS groups of the adapter page: the selected card's address, mask and
// gateway as WMI reports them, its DNS servers and DHCP switch from its TCP/IP key,
// and applying each of them.
#include <stdexcept>

#include "adapter/AddressText.h"
#include "adapter/AdapterPage.h"
#include "shell/Journal.h"
#include "shell/RegistryWrite.h"

namespace adapter {

using app::FirstIPv4Index;
using app::IsValidIPv4;
using shell::RequireWritten;
using app::VariantFirstToText;
using app::VariantToText;

namespace {

constexpr char kInterfaces[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";
constexpr uint32_t kFullAccess64 = platform::reg_access::kAllAccess | platform::reg_access::kWow64_64Key;
// A card's IPv4 settings as the system stores them in its key.
constexpr const char* kStoredCardValues[] = {"EnableDHCP",     "IPAddress",           "SubnetMask",
                                             "DefaultGateway", "DefaultGatewayMetric", "NameServer"};
constexpr char kAdapterClass[] = "Win32_NetworkAdapterConfiguration";

// EnableStatic answers 0 for success and 1 for success that needs a restart.
bool EnableStaticSucceeded(const platform::Variant& result) {
  std::string code = VariantToText(result);
  return code == "0" || code == "1";
}

}  // namespace

void AdapterPage::CreateAddressGroups(ui::TabSheet& page) {
  GroupBoxIP = Create<ui::GroupBox>(&page, "GroupBoxIP");
  GroupBoxIP->SetCaption("IP");
  GroupBoxIP->SetBounds({8, 52, 257, 176});
  CheckBoxEnableDHCP = Create<ui::CheckBox>(GroupBoxIP, "CheckBoxEnableDHCP");
  CheckBoxEnableDHCP->SetCaption("DHCP выключить");
  CheckBoxEnableDHCP->SetBounds({12, 22, 232, 17});
  CheckBoxEnableDHCP->OnClick = [this] { CheckBoxEnableDHCPClick(); };
  struct Row {
    ui::Label** label;
    const char* label_name;
    const char* caption;
    ui::Edit** edit;
    const char* edit_name;
  };
  const Row rows[] = {
      {&LBIPAddress, "LBIPAddress", "IP Адрес:", &EditIPAddress, "EditIPAddress"},
      {&LBSubnetMask, "LBSubnetMask", "Маска подсети:", &EditSubnetMask, "EditSubnetMask"},
      {&LBMainGateway, "LBMainGateway", "Основной шлюз:", &EditMainGateway, "EditMainGateway"},
  };
  int top = 50;
  for (const Row& row : rows) {
    ui::Label* label = Create<ui::Label>(GroupBoxIP, row.label_name);
    label->SetCaption(row.caption);
    label->SetRightJustified(true);
    label->SetBounds({6, top + 3, 97, 14});
    ui::Edit* edit = Create<ui::Edit>(GroupBoxIP, row.edit_name);
    edit->SetBounds({109, top, 136, 21});
    edit->OnClick = [edit] { edit->SelectAll(); };
    // The mark shows the text as it stood before the key: it lags one key behind.
    edit->OnKeyPress = [this, edit](char32_t) { MarkAddress(*edit); };
    *row.label = label;
    *row.edit = edit;
    top += 30;
  }
  ButtonChangeIP = Create<ui::Button>(GroupBoxIP, "ButtonChangeIP");
  ButtonChangeIP->SetCaption("Применить");
  ButtonChangeIP->SetBounds({149, 142, 96, 25});
  ButtonChangeIP->OnClick = [this] { ButtonChangeIPClick(); };

  GroupBoxDNS = Create<ui::GroupBox>(&page, "GroupBoxDNS");
  GroupBoxDNS->SetCaption("DNS");
  GroupBoxDNS->SetBounds({269, 52, 299, 176});
  CheckBoxEnableDNS = Create<ui::CheckBox>(GroupBoxDNS, "CheckBoxEnableDNS");
  CheckBoxEnableDNS->SetCaption("DNS включить");
  CheckBoxEnableDNS->SetBounds({12, 22, 270, 17});
  CheckBoxEnableDNS->OnClick = [this] { CheckBoxEnableDNSClick(); };
  LBPreferredDNS = Create<ui::Label>(GroupBoxDNS, "LBPreferredDNS");
  LBPreferredDNS->SetCaption("Предпочитаемый DNS-сервер:");
  LBPreferredDNS->SetRightJustified(true);
  LBPreferredDNS->SetBounds({6, 53, 165, 14});
  EditPreferredDNS = Create<ui::Edit>(GroupBoxDNS, "EditPreferredDNS");
  EditPreferredDNS->SetBounds({177, 50, 110, 21});
  EditPreferredDNS->OnClick = [this] { EditPreferredDNS->SelectAll(); };
  LBAlternativeDNS = Create<ui::Label>(GroupBoxDNS, "LBAlternativeDNS");
  LBAlternativeDNS->SetCaption("Альтернативный DNS-сервер:");
  LBAlternativeDNS->SetRightJustified(true);
  LBAlternativeDNS->SetBounds({6, 83, 165, 14});
  EditAlternativeDNS = Create<ui::Edit>(GroupBoxDNS, "EditAlternativeDNS");
  EditAlternativeDNS->SetBounds({177, 80, 110, 21});
  EditAlternativeDNS->OnClick = [this] { EditAlternativeDNS->SelectAll(); };
  ButtonChangeDNS = Create<ui::Button>(GroupBoxDNS, "ButtonChangeDNS");
  ButtonChangeDNS->SetCaption("Применить");
  ButtonChangeDNS->SetBounds({177, 112, 110, 25});
  ButtonChangeDNS->OnClick = [this] { ButtonChangeDNSClick(); };
  CheckBoxEnableDNSClick();
}

void AdapterPage::MarkAddress(ui::Edit& edit) {
  ui::Font font = edit.GetFont();
  font.italic = !IsValidIPv4(edit.Text());
  if (!(font == edit.GetFont())) edit.SetFont(font);
}

std::unique_ptr<platform::RegistryKey> AdapterPage::OpenCardKey() {
  return services_.registry.Open(platform::RegRoot::LocalMachine, kInterfaces + EditInterfaces->Text(),
                                 kFullAccess64, true);
}

void AdapterPage::GetTCPIPDNSAddresses() {
  EditPreferredDNS->SetText("");
  EditAlternativeDNS->SetText("");
  // Without a card there is no key of its own; the interfaces key itself is no card's.
  auto key = EditInterfaces->Text().empty() ? nullptr : OpenCardKey();
  std::string servers;
  if (key && key->ValueType("NameServer") == platform::RegType::String)
    servers = key->ReadString("NameServer").value_or("");
  // The system itself may store a single server without a comma.
  const adapter::NameServerPair pair = adapter::SplitNameServer(servers);
  EditPreferredDNS->SetText(pair.preferred);
  EditAlternativeDNS->SetText(pair.alternative);
  if (key && key->ValueExists("EnableDHCP")) {
    auto dhcp = key->ReadDWord("EnableDHCP");
    if (!dhcp) throw std::runtime_error("Invalid data type for 'EnableDHCP'");
    CheckBoxEnableDHCP->SetChecked(*dhcp == 0);
  }
  key.reset();
  CheckBoxEnableDHCPClick();
  CheckBoxEnableDNS->SetChecked(!servers.empty());
  CheckBoxEnableDNSClick();
}

void AdapterPage::GetAdapterAddresses() {
  EditIPAddress->SetText("");
  EditSubnetMask->SetText("");
  EditMainGateway->SetText("");
  auto locator = services_.wmi.CreateLocator();
  App().ProcessMessages();
  auto wmi = locator->ConnectServer("localhost", "\\root\\cimv2", "", "");
  App().ProcessMessages();
  // Only the selected card, found by its description as the apply finds it.
  auto found = wmi->ExecQuery(std::string("SELECT * FROM ") + kAdapterClass + " Where IpEnabled=True AND Description=" +
                                  platform::WqlQuote(ComboBoxEditInterfaces->Text()),
                              "WQL", platform::kWbemFlagForwardOnly);
  App().ProcessMessages();
  while (auto adapter = found->Next()) {
    platform::Variant addresses = adapter->Get("IpAddress");
    size_t index = 0;
    if (addresses.IsNull()) {
      EditIPAddress->SetText("0.0.0.0");
    } else if (addresses.type == platform::Variant::Type::Array) {
      index = FirstIPv4Index(addresses);
      EditIPAddress->SetText(addresses.elements.empty() ? "" : VariantToText(addresses.elements[index]));
    } else {
      EditIPAddress->SetText(VariantFirstToText(addresses));
    }
    App().ProcessMessages();
    platform::Variant masks = adapter->Get("IPSubnet");
    if (!masks.IsNull()) {
      // The mask that belongs to the address shown stands at the same index.
      bool paired = masks.type == platform::Variant::Type::Array && index < masks.elements.size();
      EditSubnetMask->SetText(paired ? VariantToText(masks.elements[index]) : VariantFirstToText(masks));
    }
    App().ProcessMessages();
    // The gateway is the router; the DHCP server stands in only when none is set.
    platform::Variant gateways = adapter->Get("DefaultIPGateway");
    std::string gateway;
    if (gateways.type == platform::Variant::Type::Array && !gateways.elements.empty())
      gateway = VariantToText(gateways.elements[FirstIPv4Index(gateways)]);
    else if (!gateways.IsNull())
      gateway = VariantFirstToText(gateways);
    if (gateway.empty()) {
      platform::Variant dhcp_server = adapter->Get("DhcpServer");
      if (!dhcp_server.IsNull()) gateway = VariantToText(dhcp_server);
    }
    if (!gateway.empty()) EditMainGateway->SetText(gateway);
    App().ProcessMessages();
    App().ProcessMessages();
  }
}

std::string GetIP(platform::System& system) { return system.HostAddress(); }

void AdapterPage::ButtonChangeIPClick() {
  const std::string gateway = EditMainGateway->Text();
  const std::string mask = EditSubnetMask->Text();
  const std::string address = EditIPAddress->Text();
  const std::string description = ComboBoxEditInterfaces->Text();
  SetAdapterAddresses(description, address, mask, gateway);
  App().ProcessMessages();
  GetAdapterAddresses();
  App().ProcessMessages();
  shell_.ButtonProxyClick();
}

void AdapterPage::SetAdapterAddresses(const std::string& description, const std::string& address,
                                 const std::string& mask, const std::string& gateway) {
  shell::JournalScope journal_entry(services_.journal, services_.journal
                                                           ? Msg("LangJournalAdapter") + ": " + description
                                                           : std::string());
  if (services_.journal && !EditInterfaces->Text().empty()) {
    // The system stores the card's settings as it applies them: kept as they are now.
    for (const char* name : kStoredCardValues)
      services_.journal->RecordValue(platform::RegRoot::LocalMachine, platform::reg_access::kWow64_64Key,
                                     kInterfaces + EditInterfaces->Text(), name);
    services_.journal->AddNote(Msg("LangJournalAdapterNote"));
  }
  auto locator = services_.wmi.CreateLocator();
  auto wmi = locator->ConnectServer("localhost", "root\\CIMV2", "", "");
  auto found = wmi->ExecQuery(std::string("SELECT * FROM ") + kAdapterClass + " Where Description=" +
                                  platform::WqlQuote(description),
                              "WQL", platform::kWbemFlagForwardOnly);
  auto adapter = found->Next();
  if (!adapter) {
    App().ShowMessageBox("Network card not found", App().Title(), 0, &form_);
    return;
  }
  platform::Variant result = adapter->Call(
      "EnableStatic", {platform::Variant::Strings({address}), platform::Variant::Strings({mask})});
  // A refused address is reported with its own code; the gateway is then left alone.
  if (EnableStaticSucceeded(result))
    result = adapter->Call("SetGateways", {platform::Variant::Strings({gateway})});
  App().ShowMessageBox("ReturnValue  " + VariantToText(result), App().Title(), 0, &form_);
}

void AdapterPage::CheckBoxEnableDHCPClick() {
  const bool dhcp_on = !CheckBoxEnableDHCP->Checked();
  if (!EditInterfaces->Text().empty()) {
    // The value is only ever changed, never created. A write of the value it already
    // has leaves no journal entry.
    if (auto key = OpenCardKey(); key && key->ValueExists("EnableDHCP")) {
      shell::JournalScope journal_entry(services_.journal, services_.journal
                                                               ? Msg("LangJournalAdapter") + ": " +
                                                                     ComboBoxEditInterfaces->Text()
                                                               : std::string());
      RequireWritten(key->WriteDWord("EnableDHCP", dhcp_on ? 1 : 0), "EnableDHCP");
    }
  }
  for (ui::Component* c : {static_cast<ui::Component*>(ButtonChangeIP), static_cast<ui::Component*>(EditIPAddress),
                           static_cast<ui::Component*>(EditSubnetMask), static_cast<ui::Component*>(EditMainGateway)})
    c->SetEnabled(!dhcp_on);
}

void AdapterPage::CheckBoxEnableDNSClick() {
  EditPreferredDNS->SetEnabled(CheckBoxEnableDNS->Checked());
  EditAlternativeDNS->SetEnabled(CheckBoxEnableDNS->Checked());
}

void AdapterPage::ButtonChangeDNSClick() {
  SetTCPIPDNSAddresses();
  GetTCPIPDNSAddresses();
}

void AdapterPage::SetTCPIPDNSAddresses() {
  // Without a selected card there is nothing to write to.
  if (EditInterfaces->Text().empty()) return;
  shell::JournalScope journal_entry(services_.journal, services_.journal
                                                           ? Msg("LangJournalAdapter") + ": " +
                                                                 ComboBoxEditInterfaces->Text()
                                                           : std::string());
  auto key = OpenCardKey();
  const bool clear = !CheckBoxEnableDNS->Checked() ||
                     (EditPreferredDNS->Text().empty() && EditAlternativeDNS->Text().empty());
  if (clear) {
    if (key) key->DeleteValue("NameServer");
    return;
  }
  const std::string servers = adapter::JoinNameServer(EditPreferredDNS->Text(), EditAlternativeDNS->Text());
  RequireWritten(key && key->WriteString("NameServer", servers), "NameServer");
}

void AdapterPage::SetDnsBoxes(const std::string& preferred, const std::string& alternative) {
  SetPreferredDns(preferred);
  SetAlternativeDns(alternative);
}

void AdapterPage::SetPreferredDns(const std::string& address) { EditPreferredDNS->SetText(address); }
void AdapterPage::SetAlternativeDns(const std::string& address) { EditAlternativeDNS->SetText(address); }

}  // namespace adapter
