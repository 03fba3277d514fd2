// The two registry texts the adapter page splits into boxes: the user's ProxyServer
// (address and port at the first ":") and a card's NameServer (preferred and
// alternative server at the first ","). Any stored text, read into the boxes and applied
// unchanged, is stored again with nothing lost or moved between the boxes, and reading
// it once more fills the boxes the same way; the program's own requests take the same
// address and port from a plain value, and one entry of a per-scheme value.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "adapter/AdapterPage.h"
#include "adapter/AddressText.h"
#include "app/MainForm.h"
#include "common/Text.h"
#include "fakes/FakePlatform.h"
#include "fakes/HeadlessHost.h"
#include "proxy/ProxyBand.h"
#include "proxy/ProxyText.h"

namespace {

using platform::RegRoot;

constexpr char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr char kCard[] = "{4D36E972-E325-11CE-BFC1-08002BE10318}";
const std::string kCardKey = std::string("SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\") + kCard;

struct World {
  fakes::FakePlatform platform;
  fakes::HeadlessHost host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* form = nullptr;

  World() {
    platform.wmi.fail_locator = true;  // no cards: the start-up refresh stops at once
    application = std::make_unique<ui::Application>(host);
    application->SetTitle("Velmora");
    form = application->CreateForm<app::TForm1>(platform.services);
    form->Adapter().EditInterfaces->SetText(kCard);
  }
  const fakes::FakeRegistry::Value* Stored(RegRoot root, const std::string& key, const char* name) {
    return platform.registry.Find(root, key, name);
  }
};

void CheckProxy(World& world, const std::string& server, bool enabled) {
  proxy::ProxyBand& band = world.form->Proxy();
  world.platform.registry.SetString(RegRoot::CurrentUser, kInternetSettings, "ProxyServer", server);
  world.platform.registry.SetDWord(RegRoot::CurrentUser, kInternetSettings, "ProxyEnable", enabled ? 1 : 0);
  band.FillProxyBoxes();
  const std::string address = band.EditProxyAdress->Text();
  const std::string port = band.EditProxyPort->Text();
  fuzz::Check(address.find(':') == std::string::npos, "the address box holds no colon", address);
  const bool has_colon = server.find(':') != std::string::npos;
  fuzz::Check(has_colon ? address + ":" + port == server : address.empty() && port == server,
              "the two boxes hold the whole value", server);

  for (const char* scheme : {"http", "https"}) {
    const std::optional<platform::HttpProxy> found = proxy::SystemProxyFor(world.platform.registry, scheme);
    fuzz::Check(!found || enabled, "no proxy unless ProxyEnable switches it on", server);
    if (found) {
      fuzz::Check(!found->host.empty(), "a proxy has a host", server);
      fuzz::Check(found->host.find(';') == std::string::npos && found->host.find('=') == std::string::npos,
                  "a proxy is one entry of the value", server);
    }
    // A value of one plain "host:port" serves every scheme as the boxes show it.
    if (server.find_first_of("=;[/ \t") == std::string::npos) {
      fuzz::Check(found.has_value() == (enabled && has_colon && !address.empty()),
                  "a plain value is a proxy exactly when switched on with a host and a port", server);
      if (found) {
        fuzz::Check(found->host == address, "requests use the address the box shows", server);
        fuzz::Check(found->port == proxy::ParseInt(port).value_or(8080), "requests use the port the box shows",
                    server);
      }
    }
  }

  // Applied unchanged with the box unticked: the stored text is the boxes joined, and
  // never a lone ":".
  band.CheckBoxProxyServer->SetChecked(false);
  band.SetProxy();
  const auto* stored = world.Stored(RegRoot::CurrentUser, kInternetSettings, "ProxyServer");
  fuzz::Check(stored != nullptr, "the apply stores ProxyServer");
  fuzz::Check(stored->text != ":", "the apply never stores a lone colon", server);
  const std::string expected = address.empty() && port.empty() ? std::string() : has_colon ? server : ":" + server;
  fuzz::Check(stored->text == expected, "the apply stores what was read", server);
  band.FillProxyBoxes();
  fuzz::Check(band.EditProxyAdress->Text() == address && band.EditProxyPort->Text() == port,
              "reading the stored value again fills the same boxes", server);
}

void CheckNameServer(World& world, const std::string& servers) {
  adapter::AdapterPage& page = world.form->Adapter();
  world.platform.registry.SetString(RegRoot::LocalMachine, kCardKey, "NameServer", servers);
  page.GetTCPIPDNSAddresses();
  const std::string preferred = page.EditPreferredDNS->Text();
  const std::string alternative = page.EditAlternativeDNS->Text();
  fuzz::Check(preferred.find(',') == std::string::npos, "the preferred box holds no comma", servers);
  const bool has_comma = servers.find(',') != std::string::npos;
  fuzz::Check(has_comma ? preferred + "," + alternative == servers : preferred == servers && alternative.empty(),
              "the two boxes hold the whole value", servers);
  fuzz::Check(page.CheckBoxEnableDNS->Checked() == !servers.empty(), "DNS is switched on exactly with servers");
  fuzz::Check((adapter::SplitNameServer(servers) == adapter::NameServerPair{preferred, alternative}),
              "the split the boxes show");

  // Applied unchanged: the same servers are stored, a lone one with a comma after it.
  page.SetTCPIPDNSAddresses();
  const auto* stored = world.Stored(RegRoot::LocalMachine, kCardKey, "NameServer");
  if (preferred.empty() && alternative.empty()) {
    fuzz::Check(stored == nullptr, "no servers: the value is removed", servers);
    return;
  }
  fuzz::Check(stored != nullptr, "the apply stores NameServer", servers);
  fuzz::Check(stored->text == (has_comma ? servers : servers + ","), "the apply stores what was read", servers);
  page.GetTCPIPDNSAddresses();
  fuzz::Check(page.EditPreferredDNS->Text() == preferred && page.EditAlternativeDNS->Text() == alternative,
              "reading the stored value again fills the same boxes", servers);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World* world = new World;
  fuzz::Input input(data, size);
  const uint8_t choice = input.Byte();
  // Registry texts reach the program as UTF-16: whatever the bytes, the text is valid.
  const std::string_view rest = input.Rest();
  const std::string text = common::DecodeFile(std::vector<uint8_t>(rest.begin(), rest.end()), 1252).utf8;
  if (choice & 1) CheckNameServer(*world, text);
  else CheckProxy(*world, text, (choice & 2) != 0);
  // A run allocates no more than it frees, or every run costs a full leak scan.
  world->platform.files.ClearLog();
  world->platform.log.clear();
  world->platform.log.shrink_to_fit();
  return 0;
}
