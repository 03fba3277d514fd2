// The per-user proxy band of the adapter page: the fixed proxy server and the automatic
// configuration script as the system's internet functions keep them in the user's
// registry, and the proxy the program's own requests go through.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

#include "adapter/AdapterPage.h"
#include "proxy/ProxyBand.h"
#include "proxy/ProxyText.h"
#include "shell/Journal.h"
#include "shell/RegistryWrite.h"

namespace proxy {

using shell::RequireWritten;

namespace {

constexpr char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

std::unique_ptr<platform::RegistryKey> OpenInternetSettings(platform::Registry& registry, uint32_t access) {
  return registry.Open(platform::RegRoot::CurrentUser, kInternetSettings, access, false);
}

// ProxyServer as stored; a value of another type than text counts as absent.
std::string ReadProxyServer(platform::Registry& registry) {
  auto key = OpenInternetSettings(registry, platform::reg_access::kAllAccess);
  if (!key) return {};
  return key->ReadString("ProxyServer").value_or("");
}

// ProxyEnable as the system's internet functions take it: a 32-bit number, text
// holding a number ("1"), or binary or 64-bit data read as a little-endian number.
// Anything else (a list of texts, text that is no number, more than eight bytes, a
// number past 32 bits) counts as absent.
std::optional<uint32_t> ReadProxyEnable(platform::RegistryKey& key) {
  std::optional<platform::RegType> type = key.ValueType("ProxyEnable");
  if (!type) return std::nullopt;
  switch (*type) {
    case platform::RegType::DWord:
      return key.ReadDWord("ProxyEnable");
    case platform::RegType::String:
    case platform::RegType::ExpandString: {
      std::optional<std::string> text = key.ReadString("ProxyEnable");
      std::optional<int> number = text ? ParseInt(*text) : std::nullopt;
      if (!number || *number < 0) return std::nullopt;
      return static_cast<uint32_t>(*number);
    }
    case platform::RegType::Binary:
    case platform::RegType::QWord: {
      std::optional<std::vector<uint8_t>> bytes = key.ReadBytes("ProxyEnable");
      if (!bytes || bytes->empty() || bytes->size() > 8) return std::nullopt;
      uint64_t value = 0;
      for (size_t i = bytes->size(); i-- > 0;) value = (value << 8) | (*bytes)[i];
      if (value > UINT32_MAX) return std::nullopt;
      return static_cast<uint32_t>(value);
    }
    default:
      return std::nullopt;
  }
}

}  // namespace

ProxyBand::ProxyBand(shell::Shell& shell, ui::TabSheet& page) : Page(shell) {
  TabControlNetwork = Create<ui::Panel>(&page, "TabControlNetwork");
  // The band lines up with the groups above it, just clear of the page's bottom edge.
  TabControlNetwork->SetBounds({8, 325, 560, 150});

  GroupBoxProxy = Create<ui::GroupBox>(TabControlNetwork, "GroupBoxProxy");
  GroupBoxProxy->SetCaption("Proxy");
  GroupBoxProxy->SetAlign(ui::Align::Left);
  GroupBoxProxy->SetBounds({0, 0, 253, 150});
  CheckBoxScript = Create<ui::CheckBox>(GroupBoxProxy, "CheckBoxScript");
  CheckBoxScript->SetCaption("Использовать сценарий настройки:");
  CheckBoxScript->SetBounds({12, 22, 232, 17});
  CheckBoxScript->OnClick = [this] { CheckBoxScriptClick(); };
  LBScriptAddress = Create<ui::Label>(GroupBoxProxy, "LBScriptAddress");
  LBScriptAddress->SetCaption("Адрес сценария:");
  LBScriptAddress->SetBounds({12, 48, 232, 14});
  EditScriptAddress = Create<ui::Edit>(GroupBoxProxy, "EditScriptAddress");
  EditScriptAddress->SetBounds({12, 64, 229, 21});
  ButtonChangeProxy = Create<ui::Button>(GroupBoxProxy, "ButtonChangeProxy");
  ButtonChangeProxy->SetCaption("Применить");
  ButtonChangeProxy->SetBounds({131, 112, 110, 25});
  ButtonChangeProxy->OnClick = [this] { ButtonChangeProxyClick(); };

  GroupBoxProxy1 = Create<ui::GroupBox>(TabControlNetwork, "GroupBoxProxy1");
  GroupBoxProxy1->SetCaption("Proxy");
  GroupBoxProxy1->SetAlign(ui::Align::Client);
  CheckBoxProxyServer = Create<ui::CheckBox>(GroupBoxProxy1, "CheckBoxProxyServer");
  CheckBoxProxyServer->SetCaption("Использовать прокси-сервер:");
  CheckBoxProxyServer->SetBounds({12, 22, 280, 17});
  CheckBoxProxyServer->OnClick = [this] { CheckBoxProxyServerClick(); };
  LBProxyAdress = Create<ui::Label>(GroupBoxProxy1, "LBProxyAdress");
  LBProxyAdress->SetCaption("Адрес:");
  LBProxyAdress->SetBounds({12, 48, 180, 14});
  EditProxyAdress = Create<ui::Edit>(GroupBoxProxy1, "EditProxyAdress");
  EditProxyAdress->SetBounds({12, 64, 180, 21});
  LBProxyPort = Create<ui::Label>(GroupBoxProxy1, "LBProxyPort");
  LBProxyPort->SetCaption("Порт:");
  LBProxyPort->SetBounds({200, 48, 90, 14});
  EditProxyPort = Create<ui::Edit>(GroupBoxProxy1, "EditProxyPort");
  EditProxyPort->SetBounds({200, 64, 92, 21});
  ButtonChangeProxyAddress = Create<ui::Button>(GroupBoxProxy1, "ButtonChangeProxyAddress");
  ButtonChangeProxyAddress->SetCaption("Применить");
  ButtonChangeProxyAddress->SetBounds({182, 112, 110, 25});
  ButtonChangeProxyAddress->OnClick = [this] { ButtonChangeProxyAddressClick(); };
}

std::string ProxyBand::detectIEProxyServer() {
  try {
    auto key = OpenInternetSettings(services_.registry, platform::reg_access::kAllAccess);
    if (!key) return {};
    return key->ReadString("AutoConfigURL").value_or("");
  } catch (...) {
    return {};
  }
}

std::string ProxyBand::detectIEProxyServerProxyAdress() {
  return SplitProxyServer(ReadProxyServer(services_.registry)).address;
}

std::string ProxyBand::detectIEProxyServerProxyPort() {
  return SplitProxyServer(ReadProxyServer(services_.registry)).port;
}

uint32_t ProxyBand::detectIEProxyServerEnabled() {
  auto key = OpenInternetSettings(services_.registry, platform::reg_access::kAllAccess);
  if (!key) return 0;
  return ReadProxyEnable(*key).value_or(0);
}

void ProxyBand::ClearProxyBoxes() {
  EditScriptAddress->SetText("");
  EditProxyAdress->SetText("");
  EditProxyPort->SetText("");
}

void ProxyBand::FillProxyBoxes() {
  EditScriptAddress->SetText(detectIEProxyServer());
  EditProxyAdress->SetText(detectIEProxyServerProxyAdress());
  EditProxyPort->SetText(detectIEProxyServerProxyPort());
}

void ProxyBand::UpdateNETOption() {
  try {
    adapter_->GetAdapterAddresses();
    EditScriptAddress->SetText(detectIEProxyServer());
    adapter_->ComboBoxEditInterfacesChange();
    adapter_->GetTCPIPDNSAddresses();
    App().ProcessMessages();
    if (EditScriptAddress->Text().empty()) {
      CheckBoxScript->SetChecked(false);
      CheckBoxScriptClick();
    }
    if (!EditScriptAddress->Text().empty()) {
      CheckBoxScript->SetChecked(true);
      CheckBoxScriptClick();
    }
    EditProxyAdress->SetText(detectIEProxyServerProxyAdress());
    EditProxyPort->SetText(detectIEProxyServerProxyPort());
    if (detectIEProxyServerEnabled() == 0) {
      CheckBoxProxyServer->SetChecked(false);
      CheckBoxProxyServerClick();
    }
    // Any other stored number leaves the box as it was.
    if (detectIEProxyServerEnabled() == 1) {
      CheckBoxProxyServer->SetChecked(true);
      CheckBoxProxyServerClick();
    }
    App().ProcessMessages();
  } catch (...) {
    // A refresh never reports: the controls keep what they held.
  }
  // Whatever the refresh got to, each group's boxes are enabled exactly when its
  // check box is ticked.
  CheckBoxScriptClick();
  CheckBoxProxyServerClick();
}

void ProxyBand::CheckBoxProxyServerClick() {
  bool on = CheckBoxProxyServer->Checked();
  for (ui::Component* c : {static_cast<ui::Component*>(EditProxyAdress), static_cast<ui::Component*>(EditProxyPort),
                           static_cast<ui::Component*>(LBProxyAdress), static_cast<ui::Component*>(LBProxyPort)})
    c->SetEnabled(on);
}

void ProxyBand::CheckBoxScriptClick() {
  EditScriptAddress->SetEnabled(CheckBoxScript->Checked());
  LBScriptAddress->SetEnabled(CheckBoxScript->Checked());
}

void ProxyBand::SetProxy() {
  shell::JournalScope journal_entry(services_.journal,
                                    services_.journal ? Msg("LangJournalProxy") : std::string());
  auto key = OpenInternetSettings(services_.registry, platform::reg_access::kWrite);
  auto write_string = [&](const char* name, const std::string& value) {
    RequireWritten(key && key->WriteString(name, value), name);
  };
  auto write_dword = [&](const char* name, uint32_t value) {
    RequireWritten(key && key->WriteDWord(name, value), name);
  };
  const std::string server = JoinProxyServer(EditProxyAdress->Text(), EditProxyPort->Text());
  if (CheckBoxProxyServer->Checked()) {
    if (!EditProxyAdress->Text().empty() && !EditProxyPort->Text().empty()) {
      write_string("ProxyServer", server);
      write_dword("ProxyEnable", 1);
    }
  } else {
    write_string("ProxyServer", server);
    write_dword("ProxyEnable", 0);
  }
  write_string("AutoConfigURL", CheckBoxScript->Checked() ? EditScriptAddress->Text() : std::string());
  key.reset();
  services_.system.InternetSettingsChanged();
  App().ProcessMessages();
}

void ProxyBand::ButtonChangeProxyClick() {
  SetProxy();
  App().ProcessMessages();
  EditScriptAddress->SetText(detectIEProxyServer());
  EditProxyAdress->SetText(detectIEProxyServerProxyAdress());
  EditProxyPort->SetText(detectIEProxyServerProxyPort());
  App().ProcessMessages();
  shell_.ButtonProxyClick();
}

std::optional<platform::HttpProxy> SystemProxyFor(platform::Registry& registry, std::string_view scheme) {
  try {
    auto key = OpenInternetSettings(registry, platform::reg_access::kAllAccess);
    if (!key || ReadProxyEnable(*key).value_or(0) != 1) return std::nullopt;
    return ProxyForScheme(key->ReadString("ProxyServer").value_or(""), scheme);
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace proxy
