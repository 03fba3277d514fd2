// The proxy band at the bottom of the adapter page: the per-user fixed proxy server
// and automatic configuration script as the system's internet functions keep them in
// the user's registry.
//
// Owns: TabControlNetwork with GroupBoxProxy (CheckBoxScript, LBScriptAddress,
// EditScriptAddress, ButtonChangeProxy) and GroupBoxProxy1 (CheckBoxProxyServer,
// LBProxyAdress, EditProxyAdress, LBProxyPort, EditProxyPort, ButtonChangeProxyAddress).
// May call: the shell (navigation back to the adapter page), the adapter page's
// refresh of the selected card (UpdateNETOption refreshes both).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "shell/Page.h"
#include "platform/Http.h"

namespace adapter {
class AdapterPage;
}

namespace proxy {

// The fixed proxy a request of `scheme` ("http", "https") of the program's own takes:
// nullopt (a direct request) unless the fixed proxy is switched on and the stored
// server names a usable proxy for that scheme (see ProxyForScheme). Touches no
// component, so workers may call it.
std::optional<platform::HttpProxy> SystemProxyFor(platform::Registry& registry, std::string_view scheme);

class ProxyBand : public shell::Page {
 public:
  ProxyBand(shell::Shell& shell, ui::TabSheet& page);
  void Connect(adapter::AdapterPage& adapter) { adapter_ = &adapter; }

  std::string detectIEProxyServer();
  std::string detectIEProxyServerProxyAdress();
  std::string detectIEProxyServerProxyPort();
  uint32_t detectIEProxyServerEnabled();
  void SetProxy();
  void ButtonChangeProxyClick();
  void ButtonChangeProxyAddressClick() { ButtonChangeProxyClick(); }
  void CheckBoxProxyServerClick();
  void CheckBoxScriptClick();
  // Refreshes the adapter page and this band; reports nothing.
  void UpdateNETOption();
  // The boxes as a change of card empties and refills them.
  void ClearProxyBoxes();
  void FillProxyBoxes();

  ui::Panel* TabControlNetwork;
  ui::GroupBox* GroupBoxProxy;
  ui::CheckBox* CheckBoxScript;
  ui::Label* LBScriptAddress;
  ui::Edit* EditScriptAddress;
  ui::Button* ButtonChangeProxy;
  ui::GroupBox* GroupBoxProxy1;
  ui::CheckBox* CheckBoxProxyServer;
  ui::Label* LBProxyAdress;
  ui::Edit* EditProxyAdress;
  ui::Label* LBProxyPort;
  ui::Edit* EditProxyPort;
  ui::Button* ButtonChangeProxyAddress;

 private:
  adapter::AdapterPage* adapter_ = nullptr;
};

}  // namespace proxy
