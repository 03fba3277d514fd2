#include <gtest/gtest.h>

#include "app/MainForm.h"
#include "fakes/FakePlatform.h"
#include "fakes/HeadlessHost.h"

namespace {

using platform::RegRoot;
constexpr char kSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

struct Proxy : ::testing::Test, fakes::FakePlatform {
  fakes::HeadlessHost host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* form = nullptr;

  Proxy() { registry.CreateKey(RegRoot::CurrentUser, kSettings); }
  void Store(const std::string& name, const std::string& value) {
    registry.SetString(RegRoot::CurrentUser, kSettings, name, value);
  }
  void StoreEnable(uint32_t value) { registry.SetDWord(RegRoot::CurrentUser, kSettings, "ProxyEnable", value); }
  const fakes::FakeRegistry::Value* Stored(const std::string& name) {
    return registry.Find(RegRoot::CurrentUser, kSettings, name);
  }
  app::TForm1* Open() {
    application = std::make_unique<ui::Application>(host);
    application->SetTitle("Velmora");
    form = application->CreateForm<app::TForm1>(services);
    return form;
  }
  void Click(std::function<void()> handler) { application->Guard(handler); }
  bool ProxyBoxesEnabled() {
    return form->Proxy().EditProxyAdress->Enabled() && form->Proxy().EditProxyPort->Enabled() && form->Proxy().LBProxyAdress->Enabled() &&
           form->Proxy().LBProxyPort->Enabled();
  }
};

TEST_F(Proxy, TheRefreshSplitsProxyServerAtItsFirstColon) {
  struct Case {
    const char* stored;
    const char* address;
    const char* port;
  };
  const Case cases[] = {
      {"10.0.0.1:3128", "10.0.0.1", "3128"},
      {"proxyhost", "", "proxyhost"},
      {"http=a.example:8080;https=b.example:8443", "http=a.example", "8080;https=b.example:8443"},
      {":", "", ""},
  };
  for (const Case& c : cases) {
    Store("ProxyServer", c.stored);
    Open();
    EXPECT_EQ(form->Proxy().EditProxyAdress->Text(), c.address) << c.stored;
    EXPECT_EQ(form->Proxy().EditProxyPort->Text(), c.port) << c.stored;
  }
}

TEST_F(Proxy, TheRefreshSetsTheCheckBoxesFromTheStore) {
  Store("AutoConfigURL", "http://wpad.local/proxy.pac");
  StoreEnable(1);
  Open();
  EXPECT_EQ(form->Proxy().EditScriptAddress->Text(), "http://wpad.local/proxy.pac");
  EXPECT_TRUE(form->Proxy().CheckBoxScript->Checked());
  EXPECT_TRUE(form->Proxy().EditScriptAddress->Enabled());
  EXPECT_TRUE(form->Proxy().CheckBoxProxyServer->Checked());
  EXPECT_TRUE(ProxyBoxesEnabled());

  Store("AutoConfigURL", "");
  StoreEnable(0);
  form->Adapter().ButtonUpdateClick();
  EXPECT_FALSE(form->Proxy().CheckBoxScript->Checked());
  EXPECT_FALSE(form->Proxy().EditScriptAddress->Enabled());
  EXPECT_FALSE(form->Proxy().LBScriptAddress->Enabled());
  EXPECT_FALSE(form->Proxy().CheckBoxProxyServer->Checked());
  EXPECT_FALSE(ProxyBoxesEnabled());

  // Any number but 0 and 1 leaves the box as it stood.
  for (bool before : {true, false}) {
    form->Proxy().CheckBoxProxyServer->SetChecked(before);
    StoreEnable(2);
    form->Adapter().ButtonUpdateClick();
    EXPECT_EQ(form->Proxy().CheckBoxProxyServer->Checked(), before);
  }
}

TEST_F(Proxy, AFailingRefreshStopsSilently) {
  Store("ProxyServer", "10.0.0.1:3128");
  StoreEnable(1);
  wmi.fail_connect = true;  // the adapter query is the refresh's first step
  Open();
  EXPECT_EQ(form->Proxy().EditProxyAdress->Text(), "");
  EXPECT_FALSE(form->Proxy().CheckBoxProxyServer->Checked());
  EXPECT_TRUE(host.boxes.empty());

  wmi.fail_connect = false;
  registry.SetDWord(RegRoot::CurrentUser, kSettings, "ProxyServer", 7);  // wrong type
  form->Adapter().ButtonUpdateClick();
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(Proxy, ApplyWritesInOrderAndNotifiesTheSystem) {
  struct Case {
    const char* what;
    bool proxy_ticked;
    std::string address, port;
    bool script_ticked;
    std::string script;
    std::optional<std::string> server;  // nullopt: not written
    std::optional<uint32_t> enable;
    std::string auto_config;
  };
  const Case cases[] = {
      {"proxy on", true, "10.0.0.1", "3128", true, "http://s/p.pac", "10.0.0.1:3128", 1, "http://s/p.pac"},
      {"proxy on, empty port", true, "10.0.0.1", "", false, "x", std::nullopt, std::nullopt, ""},
      {"proxy off, empty boxes", false, "", "", false, "", ":", 0, ""},
      {"proxy off keeps the boxes' text", false, "h", "1", true, "", "h:1", 0, ""},
  };
  for (const Case& c : cases) {
    Open();
    registry.Lookup(RegRoot::CurrentUser, kSettings, false)->values.clear();
    form->Proxy().CheckBoxProxyServer->SetChecked(c.proxy_ticked);
    form->Proxy().EditProxyAdress->SetText(c.address);
    form->Proxy().EditProxyPort->SetText(c.port);
    form->Proxy().CheckBoxScript->SetChecked(c.script_ticked);
    form->Proxy().EditScriptAddress->SetText(c.script);
    const int notices = system.settings_changed_notices;
    Click([&] { form->Proxy().ButtonChangeProxyClick(); });
    EXPECT_TRUE(host.boxes.empty()) << c.what;
    EXPECT_EQ(Stored("ProxyServer") ? std::optional<std::string>(Stored("ProxyServer")->text) : std::nullopt, c.server)
        << c.what;
    EXPECT_EQ(Stored("ProxyEnable") ? std::optional<uint32_t>(Stored("ProxyEnable")->number) : std::nullopt, c.enable)
        << c.what;
    ASSERT_NE(Stored("AutoConfigURL"), nullptr) << c.what;
    EXPECT_EQ(Stored("AutoConfigURL")->text, c.auto_config) << c.what;
    EXPECT_EQ(system.settings_changed_notices, notices + 1) << c.what;
    // The values keep the order of writing: the server before its switch, the script last.
    std::vector<std::string> order;
    for (const auto& v : registry.Lookup(RegRoot::CurrentUser, kSettings, false)->values) order.push_back(v.name);
    std::vector<std::string> expected;
    if (c.server) expected = {"ProxyServer", "ProxyEnable"};
    expected.push_back("AutoConfigURL");
    EXPECT_EQ(order, expected) << c.what;
  }
}

TEST_F(Proxy, ThePortBoxShowsWhatWasStoredAfterApply) {
  Store("ProxyServer", "10.0.0.1:3128");
  StoreEnable(1);
  Open();
  form->Proxy().EditProxyAdress->SetText("");
  form->Proxy().EditProxyPort->SetText("9999");
  form->Proxy().ButtonChangeProxyAddressClick();
  EXPECT_EQ(form->Proxy().EditProxyPort->Text(), "3128");
  EXPECT_EQ(form->Proxy().EditProxyAdress->Text(), "10.0.0.1");
  EXPECT_TRUE(form->Proxy().CheckBoxProxyServer->Checked()) << "check boxes keep the user's choice";
  EXPECT_EQ(form->PageControl->ActivePage(), form->TabProxy);
}

TEST_F(Proxy, AnApplyThatCannotWriteIsReported) {
  registry.fail_writes = true;
  Open();
  form->Proxy().CheckBoxProxyServer->SetChecked(false);
  Click([&] { form->Proxy().ButtonChangeProxyClick(); });
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "Failed to set data for 'ProxyServer'");
  EXPECT_EQ(system.settings_changed_notices, 0);
}

TEST_F(Proxy, GetSystemProxy) {
  struct Case {
    const char* what;
    std::optional<uint32_t> enable;
    std::optional<std::string> server;
    bool result, enabled;
    std::string address;
    int port;
  };
  const Case cases[] = {
      {"usable", 1, "10.0.0.1:3128", true, true, "10.0.0.1", 3128},
      {"port not a number", 1, "10.0.0.1:abc", true, true, "10.0.0.1", 8080},
      {"no colon", 1, "10.0.0.1", false, true, "", 0},
      {"empty server", 1, "", false, true, "", 0},
      {"no server", 1, std::nullopt, false, true, "", 0},
      {"switched off", 0, "10.0.0.1:3128", false, false, "", 0},
      {"two", 2, "10.0.0.1:3128", false, false, "", 0},
      {"no switch", std::nullopt, "10.0.0.1:3128", false, false, "", 0},
      {"port too large for a number", 1, "h:99999999999", true, true, "h", 8080},
  };
  Open();
  for (const Case& c : cases) {
    registry.Lookup(RegRoot::CurrentUser, kSettings, false)->values.clear();
    if (c.enable) StoreEnable(*c.enable);
    if (c.server) Store("ProxyServer", *c.server);
    std::string address = "stale";
    int port = -1;
    bool enabled = !c.enabled;
    EXPECT_EQ(form->GetSystemProxy(address, port, enabled), c.result) << c.what;
    EXPECT_EQ(enabled, c.enabled) << c.what;
    EXPECT_EQ(address, c.address) << c.what;
    EXPECT_EQ(port, c.port) << c.what;
  }
  registry.Lookup(RegRoot::CurrentUser, kSettings, false)->values.clear();
  Store("ProxyEnable", "1");  // text, not a number
  Store("ProxyServer", "10.0.0.1:3128");
  std::string address;
  int port;
  bool enabled;
  EXPECT_FALSE(form->GetSystemProxy(address, port, enabled));
  EXPECT_FALSE(enabled);
}

}  // namespace
