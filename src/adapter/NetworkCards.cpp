// The network card list of the adapter page: the registered cards' descriptions,
// and the selected card's service name in the hidden EditInterfaces.
#include "adapter/AdapterPage.h"
#include "proxy/ProxyBand.h"

namespace adapter {

namespace {

constexpr char kNetworkCards[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
constexpr uint32_t kFullAccess64 = platform::reg_access::kAllAccess | platform::reg_access::kWow64_64Key;

struct Card {
  std::string description;
  std::string service_name;
};

// Reads one card; nullopt when its key does not open (`opened` false) or a value is
// not text (`opened` true).
std::optional<Card> ReadCard(platform::Registry& registry, const std::string& subkey, bool* opened = nullptr) {
  auto key = registry.Open(platform::RegRoot::LocalMachine, std::string(kNetworkCards) + "\\" + subkey,
                           kFullAccess64, false);
  if (opened) *opened = key != nullptr;
  if (!key) return std::nullopt;
  Card card;
  for (auto [name, field] : {std::pair{"Description", &card.description}, std::pair{"ServiceName", &card.service_name}}) {
    if (key->ValueExists(name)) {
      auto text = key->ReadString(name);
      if (!text) return std::nullopt;
      *field = *text;
    }
  }
  return card;
}

std::vector<std::string> CardKeys(platform::Registry& registry) {
  auto key = registry.Open(platform::RegRoot::LocalMachine, kNetworkCards, kFullAccess64, false);
  return key ? key->SubKeys() : std::vector<std::string>{};
}

}  // namespace

AdapterPage::AdapterPage(shell::Shell& shell, ui::TabSheet& page) : Page(shell) {
  CreateNetworkCardsGroup(page);
  CreateAddressGroups(page);
}

void AdapterPage::CreateNetworkCardsGroup(ui::TabSheet& page) {
  GroupBoxNetworkCards = Create<ui::GroupBox>(&page, "GroupBoxNetworkCards");
  GroupBoxNetworkCards->SetCaption("Сетевые карты");
  GroupBoxNetworkCards->SetBounds({8, 4, 560, 45});
  EditInterfaces = Create<ui::Edit>(GroupBoxNetworkCards, "EditInterfaces");
  EditInterfaces->SetBounds({10, 16, 425, 21});
  EditInterfaces->SetReadOnly(true);
  EditInterfaces->SetVisible(false);
  ComboBoxEditInterfaces = Create<ui::ComboBox>(GroupBoxNetworkCards, "ComboBoxEditInterfaces");
  ComboBoxEditInterfaces->SetBounds({10, 16, 425, 21});
  ComboBoxEditInterfaces->OnChange = [this] { ComboBoxEditInterfacesChange(); };
  ButtonUpdate = Create<ui::Button>(GroupBoxNetworkCards, "ButtonUpdate");
  ButtonUpdate->SetCaption("Обновить");
  ButtonUpdate->SetBounds({443, 14, 110, 25});
  ButtonUpdate->OnClick = [this] { ButtonUpdateClick(); };
}

void AdapterPage::LoadNetworkCards() {
  try {
    std::vector<std::string> subkeys = CardKeys(services_.registry);
    ComboBoxEditInterfaces->ClearItems();
    for (const std::string& subkey : subkeys) {
      bool opened = false;
      std::optional<Card> card = ReadCard(services_.registry, subkey, &opened);
      if (!card) {
        if (opened) return;  // a value of the wrong type ends the list
        continue;            // a key that does not open is skipped
      }
      ComboBoxEditInterfaces->AddItem(card->description);
      ComboBoxEditInterfaces->SetItemIndex(0);
      App().ProcessMessages();
    }
  } catch (...) {
    // The list keeps what was added; the window opens regardless.
  }
}

void AdapterPage::ComboBoxEditInterfacesChange() {
  proxy_->ClearProxyBoxes();
  const std::string selected = ComboBoxEditInterfaces->Text();
  for (const std::string& subkey : CardKeys(services_.registry)) {
    // Equal descriptions: the later card wins.
    if (std::optional<Card> card = ReadCard(services_.registry, subkey); card && card->description == selected)
      EditInterfaces->SetText(card->service_name);
    App().ProcessMessages();
  }
  GetAdapterAddresses();
  proxy_->FillProxyBoxes();
  GetTCPIPDNSAddresses();
  App().ProcessMessages();
}

}  // namespace adapter

namespace adapter {

void AdapterPage::ButtonUpdateClick() { proxy_->UpdateNETOption(); }

}  // namespace adapter
