// The DNS check group of the adapter page: the servers of the DNS list in a
// drop-down, the chosen one's two addresses, and copying them into the DNS boxes.
#include "adapter/AdapterPage.h"
#include "common/Text.h"
#include "dnstest/DnsCheckGroup.h"
#include "dnstest/DnsList.h"

namespace dnstest {

DnsCheckGroup::DnsCheckGroup(shell::Shell& shell, ui::TabSheet& page, adapter::AdapterPage& adapter)
    : Page(shell), page_(page), adapter_(adapter) {
  GroupBoxDNScheck = Create<ui::GroupBox>(&page, "GroupBoxDNScheck");
  GroupBoxDNScheck->SetCaption("Проверка DNS");
  GroupBoxDNScheck->SetBounds({8, 232, 560, 93});
  ComboBoxDNS = Create<ui::ComboBox>(GroupBoxDNScheck, "ComboBoxDNS");
  ComboBoxDNS->SetBounds({12, 22, 241, 21});
  ComboBoxDNS->OnChange = [this] { ComboBoxDNSChange(); };
  ButtonCopyDNS = Create<ui::Button>(GroupBoxDNScheck, "ButtonCopyDNS");
  ButtonCopyDNS->SetCaption("Копировать DNS");
  ButtonCopyDNS->SetBounds({318, 20, 110, 25});
  ButtonCopyDNS->OnClick = [this] { ButtonCopyDNSClick(); };
  ButtonPing = Create<ui::Button>(GroupBoxDNScheck, "ButtonPing");
  ButtonPing->SetCaption("Ping");
  ButtonPing->SetBounds({438, 20, 110, 25});
  ButtonPing->OnClick = [this] { ButtonPingClick(); };
  EditPreferredDNS1 = Create<ui::Edit>(GroupBoxDNScheck, "EditPreferredDNS1");
  EditPreferredDNS1->SetBounds({12, 58, 94, 21});
  EditPreferredDNS1->SetReadOnly(true);
  EditPreferredDNS1->OnClick = [this] { EditPreferredDNS1Click(); };
  LabelDNS1 = Create<ui::Label>(GroupBoxDNScheck, "LabelDNS1");
  LabelDNS1->SetCaption("Time1");
  LabelDNS1->SetBounds({110, 61, 50, 14});
  LabelDNS1->SetCentered(true);
  EditAlternativeDNS1 = Create<ui::Edit>(GroupBoxDNScheck, "EditAlternativeDNS1");
  EditAlternativeDNS1->SetBounds({166, 58, 94, 21});
  EditAlternativeDNS1->SetReadOnly(true);
  EditAlternativeDNS1->OnClick = [this] { EditAlternativeDNS1Click(); };
  LabelDNS2 = Create<ui::Label>(GroupBoxDNScheck, "LabelDNS2");
  LabelDNS2->SetCaption("Time2");
  LabelDNS2->SetBounds({264, 61, 50, 14});
  LabelDNS2->SetCentered(true);
  LabelGetIP = Create<ui::Label>(GroupBoxDNScheck, "LabelGetIP");
  LabelGetIP->SetCaption("IP:");
  LabelGetIP->SetHint("Получить внешний публичный IP");
  LabelGetIP->SetBold(true);
  LabelGetIP->SetCursor(ui::Cursor::HandPoint);
  LabelGetIP->SetBounds({376, 61, 20, 14});
  LabelGetIP->OnClick = [this] { LabelGetIPClick(); };
  EditNetIP = Create<ui::Edit>(GroupBoxDNScheck, "EditNetIP");
  EditNetIP->SetText("127.0.0.1");
  EditNetIP->SetReadOnly(true);
  EditNetIP->SetCentered(true);
  EditNetIP->OnClick = [this] { EditNetIPClick(); };
  EditNetIP->SetBounds({398, 58, 150, 21});
}

void DnsCheckGroup::LoadDNS(const std::string& path) {
  ComboBoxDNS->ClearItems();
  std::vector<std::string> names;
  for (DnsEntry& entry : ReadDnsList(services_, path)) names.push_back(std::move(entry.name));
  ComboBoxDNS->SetItems(std::move(names));
  if (!ComboBoxDNS->Items().empty()) ComboBoxDNS->SetItemIndex(0);
}

void DnsCheckGroup::ComboBoxDNSChange() {
  std::string dns1, dns2;
  const std::string& name = ComboBoxDNS->Text();
  for (const DnsEntry& entry : ReadDnsList(services_, shell_.PortablePathDNS())) {
    if (common::EqualsTextNoCase(entry.name, name)) {
      dns1 = entry.dns1;
      dns2 = entry.dns2;
      break;
    }
  }
  EditPreferredDNS1->SetText(dns1);
  EditAlternativeDNS1->SetText(dns2);
}

void DnsCheckGroup::ButtonCopyDNSClick() {
  adapter_.SetDnsBoxes(EditPreferredDNS1->Text(), EditAlternativeDNS1->Text());
}

void DnsCheckGroup::ClearPingLabels() {
  LabelDNS1->SetCaption("");
  LabelDNS2->SetCaption("");
}

}  // namespace dnstest
