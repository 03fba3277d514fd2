#include <gtest/gtest.h>

#include "app/MainForm.h"
#include "proxy/ProxyText.h"
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
  // The boxes still agree with their check boxes.
  EXPECT_FALSE(ProxyBoxesEnabled());
  EXPECT_FALSE(form->Proxy().EditScriptAddress->Enabled());
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
      // A lone ":" would name no proxy: two empty boxes store an empty server.
      {"proxy off, empty boxes", false, "", "", false, "", "", 0, ""},
      {"proxy off, port only", false, "", "8080", false, "", ":8080", 0, ""},
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

// The stored value as the program's own requests read it, for an http and an https
// request; nullopt is a direct request.
TEST(ProxyForScheme, EachSchemeTakesItsEntryOfTheStoredValue) {
  using platform::HttpProxy;
  using Proxy = std::optional<HttpProxy>;
  struct Case {
    const char* stored;
    Proxy http, https;
  };
  const HttpProxy a{"a.example", 3128};
  const HttpProxy b{"b.example", 3129};
  const Case cases[] = {
      // One server for every scheme.
      {"10.0.0.1:3128", HttpProxy{"10.0.0.1", 3128}, HttpProxy{"10.0.0.1", 3128}},
      {"proxy.local:port", HttpProxy{"proxy.local", 8080}, HttpProxy{"proxy.local", 8080}},
      {"h:99999999999", HttpProxy{"h", 8080}, HttpProxy{"h", 8080}},
      {"h:", HttpProxy{"h", 8080}, HttpProxy{"h", 8080}},
      // As the system writes one server per scheme.
      {"http=a.example:3128;https=b.example:3129", a, b},
      {"https=b.example:3129;http=a.example:3128", a, b},
      {"http=a.example:3128;https=b.example:3129;ftp=c.example:21;socks=d.example:1080", a, b},
      {"HTTP=a.example:3128; HTTPS=b.example:3129;", a, b},
      // Without an https entry an https request takes the http one; without an http
      // entry an http request goes direct.
      {"http=a.example:3128", a, a},
      {"http=a.example:3128;ftp=c.example:21", a, a},
      {"https=b.example:3129", std::nullopt, b},
      {"ftp=c.example:21;socks=d.example:1080", std::nullopt, std::nullopt},
      // An entry without a scheme serves the schemes without an entry of their own.
      {"a.example:3128;https=b.example:3129", a, b},
      // Bracketed IPv6: split at the colon after the bracket, brackets kept.
      {"[::1]:8080", HttpProxy{"[::1]", 8080}, HttpProxy{"[::1]", 8080}},
      {"[fd00::5]:3128", HttpProxy{"[fd00::5]", 3128}, HttpProxy{"[fd00::5]", 3128}},
      {"http=[::1]:3128;https=[fd00::2]:3129", HttpProxy{"[::1]", 3128}, HttpProxy{"[fd00::2]", 3129}},
      {"[::1]:x", HttpProxy{"[::1]", 8080}, HttpProxy{"[::1]", 8080}},
      // No port: no proxy.
      {"10.0.0.1", std::nullopt, std::nullopt},
      {"[::1]", std::nullopt, std::nullopt},
      {"[::1", std::nullopt, std::nullopt},
      {"http=a.example", std::nullopt, std::nullopt},
      // A chosen entry without a port does not fall back to another one.
      {"http=a.example:3128;https=b.example", a, std::nullopt},
      // Nothing, or no host.
      {"", std::nullopt, std::nullopt},
      {";", std::nullopt, std::nullopt},
      {":", std::nullopt, std::nullopt},
      {":3128", std::nullopt, std::nullopt},
      {"[]:3128", std::nullopt, std::nullopt},
      {"http=:3128", std::nullopt, std::nullopt},
      {"http=pr=proxy:3128", std::nullopt, std::nullopt},
      {"a b:3128", std::nullopt, std::nullopt},
      // A scheme written before the host, as some programs store it.
      {"http://a.example:3128", a, a},
      {"http=http://a.example:3128;https=HTTPS://b.example:3129", a, b},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    EXPECT_EQ(proxy::ProxyForScheme(c.stored, "http"), c.http);
    EXPECT_EQ(proxy::ProxyForScheme(c.stored, "https"), c.https);
    EXPECT_EQ(proxy::ProxyForScheme(c.stored, "HTTPS"), c.https);
  }
}

// Whatever form the stored value has, the two boxes show it split at its first ":"
// and an apply that changes nothing stores it back unchanged, switch and all.
TEST_F(Proxy, EveryStoredFormGoesThroughTheBoxesUnchanged) {
  struct Case {
    const char* stored;
    const char* address;
    const char* port;
  };
  const Case cases[] = {
      {"10.0.0.1:3128", "10.0.0.1", "3128"},
      {"http=a.example:3128;https=b.example:3129", "http=a.example", "3128;https=b.example:3129"},
      {"[::1]:8080", "[", ":1]:8080"},
      {"http=[::1]:3128;https=[fd00::2]:3129", "http=[", ":1]:3128;https=[fd00::2]:3129"},
      {":8080", "", "8080"},
  };
  for (const Case& c : cases) {
    for (uint32_t enable : {0u, 1u}) {
      SCOPED_TRACE(std::string(c.stored) + (enable ? " on" : " off"));
      registry.Lookup(RegRoot::CurrentUser, kSettings, false)->values.clear();
      Store("ProxyServer", c.stored);
      StoreEnable(enable);
      Open();
      EXPECT_EQ(form->Proxy().EditProxyAdress->Text(), c.address);
      EXPECT_EQ(form->Proxy().EditProxyPort->Text(), c.port);
      Click([&] { form->Proxy().ButtonChangeProxyClick(); });
      ASSERT_TRUE(host.boxes.empty());
      ASSERT_NE(Stored("ProxyServer"), nullptr);
      EXPECT_EQ(Stored("ProxyServer")->text, c.stored);
      ASSERT_NE(Stored("ProxyEnable"), nullptr);
      EXPECT_EQ(Stored("ProxyEnable")->number, enable);
      EXPECT_EQ(form->Proxy().EditProxyAdress->Text(), c.address);
      EXPECT_EQ(form->Proxy().EditProxyPort->Text(), c.port);
    }
  }
}

TEST_F(Proxy, TheProgramsRequestsTakeTheProxyOfTheirScheme) {
  using platform::HttpProxy;
  using Proxy = std::optional<HttpProxy>;
  struct Case {
    const char* what;
    std::optional<uint32_t> enable;
    std::optional<std::string> server;
    Proxy http, https;
  };
  const Case cases[] = {
      {"usable", 1, "10.0.0.1:3128", HttpProxy{"10.0.0.1", 3128}, HttpProxy{"10.0.0.1", 3128}},
      {"per scheme", 1, "http=a:1;https=b:2", HttpProxy{"a", 1}, HttpProxy{"b", 2}},
      {"no colon", 1, "10.0.0.1", std::nullopt, std::nullopt},
      {"empty server", 1, "", std::nullopt, std::nullopt},
      {"no server", 1, std::nullopt, std::nullopt, std::nullopt},
      {"switched off", 0, "10.0.0.1:3128", std::nullopt, std::nullopt},
      {"two", 2, "10.0.0.1:3128", std::nullopt, std::nullopt},
      {"no switch", std::nullopt, "10.0.0.1:3128", std::nullopt, std::nullopt},
  };
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    registry.Lookup(RegRoot::CurrentUser, kSettings, false)->values.clear();
    if (c.enable) StoreEnable(*c.enable);
    if (c.server) Store("ProxyServer", *c.server);
    EXPECT_EQ(form->SystemProxyFor("http"), c.http);
    EXPECT_EQ(form->SystemProxyFor("https"), c.https);
  }
  // A key that does not open: direct.
  registry.fail_open.insert(std::string("HKCU\\") + kSettings);
  EXPECT_EQ(form->SystemProxyFor("http"), std::nullopt);
}

// Values of another type than the system writes: read the way the system's internet
// functions read them, or else as absent. Either way the check box and its boxes
// agree, the program's own requests see the same switch, and an apply without a
// change switches nothing off.
TEST_F(Proxy, ValuesOfAnotherTypeAreReadAsTheSystemReadsThemOrAsAbsent) {
  using platform::RegType;
  using Bytes = std::vector<uint8_t>;
  struct Value {
    RegType type;
    std::string text;
    Bytes bytes;
  };
  struct Case {
    const char* what;
    std::optional<Value> enable, server;
    bool on;
    std::string address, port;
  };
  const Value server{RegType::String, "10.0.0.1:3128", {}};
  const Case cases[] = {
      {"number 1", Value{RegType::DWord, "", {1, 0, 0, 0}}, server, true, "10.0.0.1", "3128"},
      {"text 1", Value{RegType::String, "1", {}}, server, true, "10.0.0.1", "3128"},
      {"expandable text 1", Value{RegType::ExpandString, "1", {}}, server, true, "10.0.0.1", "3128"},
      {"text 0", Value{RegType::String, "0", {}}, server, false, "10.0.0.1", "3128"},
      {"text, not a number", Value{RegType::String, "yes", {}}, server, false, "10.0.0.1", "3128"},
      {"binary 01", Value{RegType::Binary, "", {1}}, server, true, "10.0.0.1", "3128"},
      {"binary 01 00 00 00", Value{RegType::Binary, "", {1, 0, 0, 0}}, server, true, "10.0.0.1", "3128"},
      {"binary 00", Value{RegType::Binary, "", {0}}, server, false, "10.0.0.1", "3128"},
      {"binary, empty", Value{RegType::Binary, "", {}}, server, false, "10.0.0.1", "3128"},
      {"64-bit number 1", Value{RegType::QWord, "", {1, 0, 0, 0, 0, 0, 0, 0}}, server, true, "10.0.0.1", "3128"},
      {"list of texts", Value{RegType::MultiString, "", {'1', 0, 0, 0, 0, 0}}, server, false, "10.0.0.1", "3128"},
      {"server as a number", Value{RegType::DWord, "", {1, 0, 0, 0}}, Value{RegType::DWord, "", {7, 0, 0, 0}}, true, "", ""},
      {"server as binary", Value{RegType::DWord, "", {1, 0, 0, 0}}, Value{RegType::Binary, "", {'a', ':', '1'}}, true, "", ""},
      {"server as expandable text", Value{RegType::DWord, "", {1, 0, 0, 0}}, Value{RegType::ExpandString, "h:81", {}}, true, "h", "81"},
  };
  auto put = [&](const char* name, const Value& v) {
    if (v.type == RegType::String || v.type == RegType::ExpandString)
      registry.SetString(RegRoot::CurrentUser, kSettings, name, v.text, v.type);
    else
      registry.SetBytes(RegRoot::CurrentUser, kSettings, name, v.type, v.bytes);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    registry.Lookup(RegRoot::CurrentUser, kSettings, false)->values.clear();
    if (c.enable) put("ProxyEnable", *c.enable);
    if (c.server) put("ProxyServer", *c.server);
    Open();
    EXPECT_EQ(form->Proxy().CheckBoxProxyServer->Checked(), c.on);
    EXPECT_EQ(ProxyBoxesEnabled(), c.on);
    EXPECT_EQ(form->Proxy().EditProxyAdress->Text(), c.address);
    EXPECT_EQ(form->Proxy().EditProxyPort->Text(), c.port);
    // The program's own requests see the same switch.
    const bool usable = !c.address.empty() && !c.port.empty();
    EXPECT_EQ(form->SystemProxyFor("http").has_value(), c.on && usable);

    Click([&] { form->Proxy().ButtonChangeProxyClick(); });
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(form->SystemProxyFor("http").has_value(), c.on && usable) << "apply changed the switch";
    EXPECT_EQ(form->Proxy().EditProxyAdress->Text(), c.address);
    EXPECT_EQ(form->Proxy().EditProxyPort->Text(), c.port);
    if (c.on && c.address.empty()) {
      // Nothing usable to store: both values stay as they were.
      const auto* stored = Stored("ProxyServer");
      ASSERT_NE(stored, nullptr);
      EXPECT_EQ(stored->type, c.server->type);
    }
  }
}

}  // namespace
