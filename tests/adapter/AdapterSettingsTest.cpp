#include <gtest/gtest.h>

#include "adapter/AddressText.h"
#include "app/MainForm.h"
#include "fakes/FakePlatform.h"
#include "fakes/HeadlessHost.h"

namespace {

using platform::RegRoot;
using platform::Variant;
constexpr char kCards[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
constexpr char kInterfaces[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";
constexpr char kAdapterClass[] = "Win32_NetworkAdapterConfiguration";

struct Adapter : ::testing::Test, fakes::FakePlatform {
  fakes::HeadlessHost host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* form = nullptr;

  void AddCard(const std::string& subkey, const std::string& description, const std::string& service) {
    registry.SetString(RegRoot::LocalMachine, std::string(kCards) + "\\" + subkey, "Description", description);
    registry.SetString(RegRoot::LocalMachine, std::string(kCards) + "\\" + subkey, "ServiceName", service);
  }
  std::string Key(const std::string& service) { return kInterfaces + service; }
  fakes::FakeWmi::Instance& AddAdapter(const std::string& description, bool ip_enabled = true) {
    return wmi.Add(kAdapterClass).Set("Description", Variant::Str(description)).Set("IPEnabled", Variant::Bool(ip_enabled));
  }
  app::TForm1* Open() {
    application = std::make_unique<ui::Application>(host);
    application->SetTitle("Velmora");
    form = application->CreateForm<app::TForm1>(services);
    return form;
  }
  std::vector<bool> IpControlsEnabled() {
    return {form->Adapter().EditIPAddress->Enabled(), form->Adapter().EditSubnetMask->Enabled(), form->Adapter().EditMainGateway->Enabled(),
            form->Adapter().ButtonChangeIP->Enabled()};
  }
  // Runs a handler as a click does: an escaping error reaches the default report.
  void Click(std::function<void()> handler) { application->Guard(handler); }
};

// A host that paints: what the window leaves for after its first paint waits until
// the test paints.
struct PaintingHost : fakes::HeadlessHost {
  std::vector<std::function<void()>> after_paint;
  void AfterFirstPaint(ui::Form&, std::function<void()> fn) override { after_paint.push_back(std::move(fn)); }
  void Paint() {
    auto due = std::move(after_paint);
    after_paint.clear();
    for (auto& fn : due) fn();
  }
};

// The card's refresh, which starts with the first WMI query, waits for the first
// paint; once painted, the page shows what it shows when the refresh runs during
// creation, also when WMI fails and the refresh stops at its first step.
TEST_F(Adapter, TheCardsRefreshRunsOnceTheWindowHasBeenPainted) {
  AddCard("1", "Wired", "{wired}");
  registry.SetString(RegRoot::LocalMachine, Key("{wired}"), "NameServer", "8.8.8.8,8.8.4.4");
  AddAdapter("Wired")
      .Set("IPAddress", Variant::Strings({"fe80::1", "192.168.1.20"}))
      .Set("IPSubnet", Variant::Strings({"64", "255.255.255.0"}))
      .Set("DefaultIPGateway", Variant::Strings({"192.168.1.1"}));
  auto shown = [this] {
    auto& a = form->Adapter();
    return std::vector<std::string>{a.ComboBoxEditInterfaces->Text(), a.EditInterfaces->Text(),
                                    a.EditIPAddress->Text(),          a.EditSubnetMask->Text(),
                                    a.EditMainGateway->Text(),        a.EditPreferredDNS->Text(),
                                    a.EditAlternativeDNS->Text()};
  };
  const std::vector<std::string> answered{"Wired",       "{wired}", "192.168.1.20", "255.255.255.0",
                                          "192.168.1.1", "8.8.8.8", "8.8.4.4"};
  const std::vector<std::string> unrefreshed{"Wired", "", "", "", "", "", ""};
  for (bool wmi_fails : {false, true}) {
    SCOPED_TRACE(wmi_fails ? "WMI fails" : "WMI answers");
    wmi.fail_connect = wmi_fails;
    Open();
    const std::vector<std::string> at_once = shown();
    EXPECT_EQ(at_once, wmi_fails ? unrefreshed : answered);

    wmi.connects.clear();
    PaintingHost painting;
    application = std::make_unique<ui::Application>(painting);
    application->SetTitle("Velmora");
    form = application->CreateForm<app::TForm1>(services);
    EXPECT_TRUE(wmi.connects.empty()) << "no WMI work before the first paint";
    EXPECT_EQ(shown(), unrefreshed) << "the card list is filled while the window is made";

    painting.Paint();
    // The refresh reads twice; a failure ends it at the first.
    EXPECT_EQ(wmi.connects.size(), wmi_fails ? 1u : 2u);
    EXPECT_EQ(shown(), at_once);
    EXPECT_TRUE(painting.boxes.empty()) << "a failed refresh shows no error";
    EXPECT_EQ(wmi.objects_alive, 0);
    application.reset();  // before the host it was made on
  }
}

TEST_F(Adapter, NameServerSplitsAtTheFirstComma) {
  struct Case {
    std::optional<std::string> stored;  // nullopt: value absent
    std::string preferred, alternative;
  };
  const Case cases[] = {
      {"8.8.8.8,8.8.4.4", "8.8.8.8", "8.8.4.4"},
      {"1.1.1.1,1.0.0.1,8.8.8.8", "1.1.1.1", "1.0.0.1,8.8.8.8"},
      {"8.8.8.8,", "8.8.8.8", ""},
      {",8.8.4.4", "", "8.8.4.4"},
      {"9.9.9.9", "9.9.9.9", ""},  // as the system may store one server
      {"", "", ""},
      {std::nullopt, "", ""},
  };
  AddCard("1", "Card", "{card}");
  Open();
  for (const Case& c : cases) {
    registry.Lookup(RegRoot::LocalMachine, Key("{card}"), true)->values.clear();
    if (c.stored) registry.SetString(RegRoot::LocalMachine, Key("{card}"), "NameServer", *c.stored);
    form->Adapter().ButtonUpdateClick();
    const std::string what = c.stored.value_or("(absent)");
    EXPECT_EQ(form->Adapter().EditPreferredDNS->Text(), c.preferred) << what;
    EXPECT_EQ(form->Adapter().EditAlternativeDNS->Text(), c.alternative) << what;
    const bool on = c.stored && !c.stored->empty();
    EXPECT_EQ(form->Adapter().CheckBoxEnableDNS->Checked(), on) << what;
    EXPECT_EQ(form->Adapter().EditPreferredDNS->Enabled(), on) << what;
    EXPECT_EQ(form->Adapter().EditAlternativeDNS->Enabled(), on) << what;
  }
}

TEST_F(Adapter, ANameServerOfAnotherTypeIsIgnored) {
  AddCard("1", "Card", "{card}");
  registry.SetDWord(RegRoot::LocalMachine, Key("{card}"), "NameServer", 8);
  Open();
  EXPECT_EQ(form->Adapter().EditPreferredDNS->Text(), "");
  EXPECT_FALSE(form->Adapter().CheckBoxEnableDNS->Checked());
}

TEST_F(Adapter, EnableDhcpSetsTheBoxAndTheIpControls) {
  struct Case {
    std::optional<uint32_t> stored;
    bool box_before, box_after;
  };
  const Case cases[] = {{1, true, false}, {0, false, true}, {std::nullopt, true, true}, {std::nullopt, false, false}};
  AddCard("1", "Card", "{card}");
  Open();
  for (const Case& c : cases) {
    registry.Lookup(RegRoot::LocalMachine, Key("{card}"), true)->values.clear();
    if (c.stored) registry.SetDWord(RegRoot::LocalMachine, Key("{card}"), "EnableDHCP", *c.stored);
    form->Adapter().CheckBoxEnableDHCP->SetChecked(c.box_before);
    form->Adapter().GetTCPIPDNSAddresses();
    const std::string what = c.stored ? std::to_string(*c.stored) : "absent";
    EXPECT_EQ(form->Adapter().CheckBoxEnableDHCP->Checked(), c.box_after) << what;
    EXPECT_EQ(IpControlsEnabled(), std::vector<bool>(4, c.box_after)) << what;
    // Reading writes back what it read; an absent value is never created.
    const auto* stored = registry.Find(RegRoot::LocalMachine, Key("{card}"), "EnableDHCP");
    EXPECT_EQ(stored != nullptr, c.stored.has_value()) << what;
    if (stored) {
      EXPECT_EQ(stored->number, *c.stored);
    }
  }
}

TEST_F(Adapter, UntickingDhcpOffWritesTheValueAtOnce) {
  AddCard("1", "Card", "{card}");
  registry.SetDWord(RegRoot::LocalMachine, Key("{card}"), "EnableDHCP", 0);
  Open();
  ASSERT_TRUE(form->Adapter().CheckBoxEnableDHCP->Checked());
  form->Adapter().CheckBoxEnableDHCP->Click();
  EXPECT_EQ(registry.Find(RegRoot::LocalMachine, Key("{card}"), "EnableDHCP")->number, 1u);
  EXPECT_EQ(IpControlsEnabled(), std::vector<bool>(4, false));
  form->Adapter().CheckBoxEnableDHCP->Click();
  EXPECT_EQ(registry.Find(RegRoot::LocalMachine, Key("{card}"), "EnableDHCP")->number, 0u);
  EXPECT_EQ(IpControlsEnabled(), std::vector<bool>(4, true));
}

TEST_F(Adapter, DnsApplyStoresWithTheCommaOrDeletes) {
  AddCard("1", "Card", "{card}");
  Open();
  form->Adapter().CheckBoxEnableDNS->SetChecked(true);
  form->Adapter().EditPreferredDNS->SetText("1.1.1.1");
  form->Adapter().EditAlternativeDNS->SetText("");
  form->Adapter().ButtonChangeDNSClick();
  const auto* stored = registry.Find(RegRoot::LocalMachine, Key("{card}"), "NameServer");
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->type, platform::RegType::String);
  EXPECT_EQ(stored->text, "1.1.1.1,");
  EXPECT_EQ(form->Adapter().EditPreferredDNS->Text(), "1.1.1.1");
  EXPECT_EQ(form->Adapter().EditAlternativeDNS->Text(), "");
  EXPECT_TRUE(form->Adapter().CheckBoxEnableDNS->Checked());

  struct Clear {
    bool ticked;
    std::string preferred, alternative;
  };
  for (const Clear& c : {Clear{true, "", ""}, Clear{false, "8.8.8.8", "8.8.4.4"}}) {
    registry.SetString(RegRoot::LocalMachine, Key("{card}"), "NameServer", "9.9.9.9,1.1.1.1");
    form->Adapter().CheckBoxEnableDNS->SetChecked(c.ticked);
    form->Adapter().EditPreferredDNS->SetText(c.preferred);
    form->Adapter().EditAlternativeDNS->SetText(c.alternative);
    form->Adapter().ButtonChangeDNSClick();
    EXPECT_EQ(registry.Find(RegRoot::LocalMachine, Key("{card}"), "NameServer"), nullptr) << c.ticked;
    EXPECT_FALSE(form->Adapter().CheckBoxEnableDNS->Checked());
    EXPECT_FALSE(form->Adapter().EditPreferredDNS->Enabled());
    EXPECT_FALSE(form->Adapter().EditAlternativeDNS->Enabled());
  }
}

TEST_F(Adapter, WithoutElevationValuesReadAsAbsentAndTheDnsWriteIsReported) {
  AddCard("1", "Card", "{card}");
  registry.SetString(RegRoot::LocalMachine, Key("{card}"), "NameServer", "8.8.8.8,8.8.4.4");
  registry.SetDWord(RegRoot::LocalMachine, Key("{card}"), "EnableDHCP", 0);
  registry.elevated = false;
  // The card list itself needs the rights too; give the form the card's name by hand.
  Open();
  form->Adapter().EditInterfaces->SetText("{card}");
  form->Adapter().CheckBoxEnableDHCP->SetChecked(false);
  form->Adapter().GetTCPIPDNSAddresses();
  EXPECT_EQ(form->Adapter().EditPreferredDNS->Text(), "");
  EXPECT_FALSE(form->Adapter().CheckBoxEnableDNS->Checked());
  EXPECT_FALSE(form->Adapter().CheckBoxEnableDHCP->Checked()) << "the DHCP box keeps its state";
  EXPECT_TRUE(host.boxes.empty());

  form->Adapter().CheckBoxEnableDHCP->Click();  // switches the controls, writes nothing
  EXPECT_EQ(IpControlsEnabled(), std::vector<bool>(4, true));
  EXPECT_EQ(registry.Find(RegRoot::LocalMachine, Key("{card}"), "EnableDHCP")->number, 0u);

  form->Adapter().CheckBoxEnableDNS->SetChecked(true);
  form->Adapter().EditPreferredDNS->SetText("1.1.1.1");
  Click([&] { form->Adapter().ButtonChangeDNSClick(); });
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "Failed to set data for 'NameServer'");
  EXPECT_EQ(registry.Find(RegRoot::LocalMachine, Key("{card}"), "NameServer")->text, "8.8.8.8,8.8.4.4");
}

TEST_F(Adapter, WithoutACardNothingIsWrittenToTheInterfacesKey) {
  Open();
  form->Adapter().CheckBoxEnableDNS->SetChecked(true);
  form->Adapter().EditPreferredDNS->SetText("1.1.1.1");
  form->Adapter().ButtonChangeDNSClick();
  form->Adapter().CheckBoxEnableDHCP->Click();
  const auto* interfaces = registry.Lookup(RegRoot::LocalMachine, kInterfaces, false);
  EXPECT_TRUE(interfaces == nullptr || interfaces->values.empty());
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(Adapter, AddressesComeFromTheSelectedCardOnly) {
  AddCard("1", "Wired", "{wired}");
  AddCard("2", "Wireless", "{wireless}");
  AddAdapter("Wired")
      .Set("IPAddress", Variant::Strings({"192.168.1.20", "fe80::1"}))
      .Set("IPSubnet", Variant::Strings({"255.255.255.0", "64"}))
      .Set("DefaultIPGateway", Variant::Strings({"192.168.1.1"}))
      .Set("DHCPServer", Variant::Str("192.168.1.5"));
  AddAdapter("Wireless")
      .Set("IPAddress", Variant::Strings({"10.0.0.7"}))
      .Set("IPSubnet", Variant::Strings({"255.0.0.0"}))
      .Set("DHCPServer", Variant::Str("10.0.0.1"));
  AddAdapter("Wired", false).Set("IPAddress", Variant::Strings({"172.16.0.1"}));
  Open();
  ASSERT_EQ(form->Adapter().ComboBoxEditInterfaces->Text(), "Wired");
  // The gateway is the router, not the DHCP server.
  EXPECT_EQ(form->Adapter().EditIPAddress->Text(), "192.168.1.20");
  EXPECT_EQ(form->Adapter().EditSubnetMask->Text(), "255.255.255.0");
  EXPECT_EQ(form->Adapter().EditMainGateway->Text(), "192.168.1.1");
  form->Adapter().ComboBoxEditInterfaces->UserSelected(1);
  EXPECT_EQ(form->Adapter().EditIPAddress->Text(), "10.0.0.7");
  EXPECT_EQ(form->Adapter().EditSubnetMask->Text(), "255.0.0.0");
  EXPECT_EQ(form->Adapter().EditMainGateway->Text(), "10.0.0.1") << "no gateway: the DHCP server stands in";
  EXPECT_EQ(wmi.connects.back(), "localhost|\\root\\cimv2||");
  EXPECT_EQ(wmi.objects_alive, 0) << "every WMI object is released";
}

TEST_F(Adapter, AddressShapesThatPlatformsReport) {
  struct Case {
    const char* what;
    Variant addresses, masks, gateways, dhcp;
    std::string address, mask, gateway;
  };
  const Case cases[] = {
      {"IPv6 listed first", Variant::Strings({"fd00::2", "fe80::5", "192.0.2.2"}),
       Variant::Strings({"64", "64", "255.255.255.0"}), Variant::Null(), Variant::Null(), "192.0.2.2",
       "255.255.255.0", ""},
      {"no address", Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null(), "0.0.0.0", "", ""},
      {"static, no DHCP server", Variant::Strings({"10.1.1.1"}), Variant::Strings({"255.255.0.0"}),
       Variant::Null(), Variant::Null(), "10.1.1.1", "255.255.0.0", ""},
      {"IPv6 gateway first", Variant::Strings({"10.1.1.1"}), Variant::Strings({"255.255.0.0"}),
       Variant::Strings({"fe80::1", "10.1.0.1"}), Variant::Str("10.1.0.9"), "10.1.1.1", "255.255.0.0", "10.1.0.1"},
  };
  AddCard("1", "Card", "{card}");
  for (const Case& c : cases) {
    wmi = fakes::FakeWmi();
    AddAdapter("Card").Set("IPAddress", c.addresses).Set("IPSubnet", c.masks).Set("DefaultIPGateway", c.gateways)
        .Set("DHCPServer", c.dhcp);
    Open();
    EXPECT_EQ(form->Adapter().EditIPAddress->Text(), c.address) << c.what;
    EXPECT_EQ(form->Adapter().EditSubnetMask->Text(), c.mask) << c.what;
    EXPECT_EQ(form->Adapter().EditMainGateway->Text(), c.gateway) << c.what;
  }
}

TEST_F(Adapter, ADescriptionWithQuotesAndBackslashesIsFound) {
  const std::string name = "Intel \"Pro\" \\ 1000";
  AddCard("1", name, "{card}");
  AddAdapter(name).Set("IPAddress", Variant::Strings({"10.2.2.2"}));
  Open();
  EXPECT_EQ(form->Adapter().EditIPAddress->Text(), "10.2.2.2");
  EXPECT_NE(wmi.queries.back().find("Description=\"Intel \\\"Pro\\\" \\\\ 1000\""), std::string::npos)
      << wmi.queries.back();
  EXPECT_EQ(wmi.queries.back().rfind("WQL|32|", 0), 0u);
}

struct ApplyCase {
  const char* what;
  std::optional<int> enable_static;  // nullopt: the method is missing, as on Wine
  bool gateways_called;
  std::string box;
};

TEST_F(Adapter, ApplyCallsEnableStaticThenSetGatewaysAndShowsTheCode) {
  const ApplyCase cases[] = {
      {"accepted", 0, true, "ReturnValue  0"},
      {"accepted, restart needed", 1, true, "ReturnValue  0"},
      {"address refused", 70, false, "ReturnValue  70"},
      {"no such method", std::nullopt, false, "Calling EnableStatic failed (0x8004102E)"},
  };
  for (const ApplyCase& c : cases) {
    wmi = fakes::FakeWmi();
    host.boxes.clear();
    auto& adapter = AddAdapter("Card");
    if (c.enable_static) {
      int code = *c.enable_static;
      adapter.On("EnableStatic", [code](const std::vector<Variant>&) { return Variant::Int(code); });
    } else {
      adapter.On("EnableStaticMissing", nullptr);
    }
    adapter.On("SetGateways", [](const std::vector<Variant>&) { return Variant::Int(0); });
    Open();
    form->Adapter().ComboBoxEditInterfaces->SetItems({"Card"});
    form->Adapter().ComboBoxEditInterfaces->SetItemIndex(0);
    form->Adapter().EditIPAddress->SetText("192.168.5.10");
    form->Adapter().EditSubnetMask->SetText("255.255.255.0");
    form->Adapter().EditMainGateway->SetText("192.168.5.1");
    Click([&] { form->Adapter().ButtonChangeIPClick(); });
    ASSERT_EQ(host.boxes.size(), 1u) << c.what;
    EXPECT_EQ(host.boxes[0].text.substr(0, c.box.size()), c.box) << c.what << ": " << host.boxes[0].text;
    EXPECT_EQ(host.boxes[0].title, "Velmora");
    ASSERT_GE(wmi.calls.size(), 1u);
    EXPECT_EQ(wmi.calls[0].method, "EnableStatic");
    ASSERT_EQ(wmi.calls[0].args.size(), 2u);
    EXPECT_EQ(wmi.calls[0].args[0].elements.size(), 1u);
    EXPECT_EQ(wmi.calls[0].args[0].elements[0].text, "192.168.5.10");
    EXPECT_EQ(wmi.calls[0].args[1].elements[0].text, "255.255.255.0");
    EXPECT_EQ(wmi.calls.size(), c.gateways_called ? 2u : 1u) << c.what;
    if (c.gateways_called) {
      EXPECT_EQ(wmi.calls[1].method, "SetGateways");
      ASSERT_EQ(wmi.calls[1].args.size(), 1u);
      EXPECT_EQ(wmi.calls[1].args[0].elements[0].text, "192.168.5.1");
    }
    // A finished apply is followed by a fresh read; a failed one ends at the failure.
    EXPECT_EQ(wmi.queries.back().find("IpEnabled=True") != std::string::npos, c.enable_static.has_value());
  }
}

TEST_F(Adapter, ApplyToACardWmiDoesNotKnowSaysSo) {
  Open();
  form->Adapter().ComboBoxEditInterfaces->SetItems({"Ghost"});
  form->Adapter().ComboBoxEditInterfaces->SetItemIndex(0);
  Click([&] { form->Adapter().ButtonChangeIPClick(); });
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "Network card not found");
  EXPECT_TRUE(wmi.calls.empty());
}

TEST(AddressText, IsValidIPv4) {
  struct Case {
    const char* text;
    bool valid;
  };
  const Case cases[] = {
      {"192.168.1.10", true},        {"  10.0.0.1  ", true},       {"010.001.000.001", true},
      {"255.255.255.255", true},     {"10.0.0", false},            {"10.0.0.256", false},
      {"10..0.1", false},            {"10.0.0.1.", false},         {".10.0.0.1", false},
      {"10.0.0.1 x", false},         {"", false},                  {"   ", false},
      {"10.0.0.1.5", false},         {"256.0.0.1", false},         {"1.2.3.4x", false},
      {"99999999999999999999.0.0.1", false},                       {"0.0.0.99999999999999999999", false},
      {"4294967297.0.0.1", false},   {"1.2.3.4294967296", false},
  };
  for (const Case& c : cases) EXPECT_EQ(app::IsValidIPv4(c.text), c.valid) << '"' << c.text << '"';
}

TEST(AddressText, IsValidIPv6) {
  struct Case {
    const char* text;
    bool valid;
  };
  const Case cases[] = {
      {"2001:4860:4860::8888", true}, {"::1", true},           {"::", true},
      {"2a02:6b8:0:1::feed:0ff", true}, {"fe80::1:2:3:4", true}, {"1:2:3:4:5:6:7:8", true},
      {"::ffff:192.0.2.1", true},     {"1::", true},           {"1:2:3:4:5:6:1.2.3.4", true},
      {"1:2:3:4:5:6:7", false},       {"1:2:3:4:5:6:7:8:9", false}, {"1::2::3", false},
      {":1:2:3:4:5:6:7", false},      {"1:2:3:4:5:6:7:", false}, {"12345::1", false},
      {"g::1", false},                {"", false},             {" ::1", false},
      {"::1 ", false},                {"1.2.3.4", false},      {"fe80::1%4", false},
      {"1:2:3:4:5:6:7::8", false},    {"::1.2.3", false},      {"1:2:3:4:5:6:7:1.2.3.4", false},
  };
  for (const Case& c : cases) EXPECT_EQ(app::IsValidIPv6(c.text), c.valid) << '"' << c.text << '"';
}

TEST(AddressText, VariantToTextByKind) {
  Variant byte = Variant::Int(65, Variant::Type::UnsignedByte);
  Variant real{Variant::Type::Double};
  real.text = "2,5";
  Variant other{Variant::Type::Other};
  other.text = "ignored";
  Variant nested_array{Variant::Type::Array};
  nested_array.elements = {Variant::Strings({"inner", "x"}), Variant::Str("second")};
  const std::pair<Variant, std::string> cases[] = {
      {Variant::Int(-12, Variant::Type::Int16), "-12"},
      {Variant::Int(70), "70"},
      {byte, "A"},
      {Variant::Str("text"), "text"},
      {real, "2,5"},
      {Variant::Bool(true), "True"},
      {Variant::Strings({"first", "second"}), "first"},
      {Variant{Variant::Type::Array}, ""},
      {nested_array, "inner"},
      {Variant::Null(), ""},
      {Variant(), ""},
      {other, ""},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(app::VariantToText(value), text) << text;
}

TEST_F(Adapter, TheAddressMarkLagsOneKeyBehind) {
  Open();
  ui::Edit& box = *form->Adapter().EditIPAddress;
  box.SetText("");
  // Each key sees the text before it: typing "1.2.3.4" then one more key.
  const std::string typed = "1.2.3.4";
  std::string text;
  for (char key : typed) {
    box.KeyPressed(static_cast<char32_t>(key));
    EXPECT_TRUE(box.GetFont().italic) << "before '" << key << "' the text \"" << text << "\" is incomplete";
    text += key;
    box.UserTyped(text);
  }
  box.KeyPressed(U'\b');
  EXPECT_FALSE(box.GetFont().italic);
  EXPECT_FALSE(box.GetFont().bold);
}

TEST_F(Adapter, ClickingAnAddressBoxSelectsItsText) {
  Open();
  for (ui::Edit* box : {form->Adapter().EditIPAddress, form->Adapter().EditSubnetMask, form->Adapter().EditMainGateway, form->Adapter().EditPreferredDNS,
                        form->Adapter().EditAlternativeDNS}) {
    box->SetText("10.0.0.1");
    ASSERT_FALSE(box->AllSelected());
    box->Click();
    EXPECT_TRUE(box->AllSelected()) << box->Name();
  }
}

}  // namespace
