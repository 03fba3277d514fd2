// The adapter page against the real registry and WMI of the test prefix.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "adapter/AddressText.h"
#include <algorithm>

#include "app/MainForm.h"
#include "fakes/HeadlessHost.h"
#include "platform/WmiContract.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Wmi.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/Win32Host.h"
#include "win32/RealPlatform.h"
#include "win32/Win32TestSupport.h"

namespace {

using platform::RegRoot;
using platform::Variant;
namespace access = platform::reg_access;

constexpr char kCards[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
constexpr char kInterfaces[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";
constexpr char kSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr char kTestCard[] = "{0E1D2C3B-4A59-6877-8695-A4B3C2D1E0F0}";

struct ComScope {
  bool ok = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  ~ComScope() {
    if (ok) CoUninitialize();
  }
};

struct WmiAdapter {
  std::string description, address, mask;
};

// The IP-enabled adapters as WMI reports them, read straight through the service.
std::vector<WmiAdapter> WmiAdapters() {
  platform::win32::Win32Wmi wmi;
  auto services = wmi.CreateLocator()->ConnectServer("localhost", "root\\cimv2", "", "");
  auto found = services->ExecQuery("SELECT * FROM Win32_NetworkAdapterConfiguration Where IpEnabled=True", "WQL", 32);
  std::vector<WmiAdapter> adapters;
  while (auto object = found->Next()) {
    WmiAdapter adapter{app::VariantToText(object->Get("Description")), "", ""};
    Variant addresses = object->Get("IPAddress");
    Variant masks = object->Get("IPSubnet");
    if (addresses.type == Variant::Type::Array && !addresses.elements.empty()) {
      size_t i = app::FirstIPv4Index(addresses);
      adapter.address = app::VariantToText(addresses.elements[i]);
      if (masks.type == Variant::Type::Array && i < masks.elements.size())
        adapter.mask = app::VariantToText(masks.elements[i]);
    }
    adapters.push_back(adapter);
  }
  return adapters;
}

struct AdapterPageWin32 : ::testing::Test {
  ComScope com;
  win32_test::RealPlatform real;
  fakes::HeadlessHost host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* form = nullptr;

  app::TForm1* Open() {
    application = std::make_unique<ui::Application>(host);
    application->SetTitle("Velmora");
    form = application->CreateForm<app::TForm1>(real.services);
    return form;
  }
};

TEST_F(AdapterPageWin32, WmiKeepsTheContract) {
  platform::win32::Win32Wmi wmi;
  contract::CheckWmiContract(wmi);
}

TEST_F(AdapterPageWin32, CardListEqualsTheRegisteredCardsAndShowsWmisAddress) {
  std::vector<std::string> registered;
  auto cards = real.registry.Open(RegRoot::LocalMachine, kCards, access::kRead | access::kWow64_64Key, false);
  ASSERT_NE(cards, nullptr) << "the system registers its cards";
  for (const std::string& subkey : cards->SubKeys()) {
    auto card = real.registry.Open(RegRoot::LocalMachine, std::string(kCards) + "\\" + subkey,
                                   access::kRead | access::kWow64_64Key, false);
    registered.push_back(card->ReadString("Description").value_or(""));
  }
  Open();
  EXPECT_EQ(form->Adapter().ComboBoxEditInterfaces->Items(), registered);
  ASSERT_FALSE(registered.empty());

  int chosen = -1;
  WmiAdapter expected;
  for (const WmiAdapter& adapter : WmiAdapters()) {
    for (size_t i = 0; i < registered.size() && chosen < 0; ++i)
      if (registered[i] == adapter.description && app::IsValidIPv4(adapter.address)) {
        chosen = static_cast<int>(i);
        expected = adapter;
      }
  }
  ASSERT_GE(chosen, 0) << "one registered card has an IPv4 address";
  form->Adapter().ComboBoxEditInterfaces->UserSelected(chosen);
  EXPECT_EQ(form->Adapter().EditIPAddress->Text(), expected.address) << expected.description;
  EXPECT_EQ(form->Adapter().EditSubnetMask->Text(), expected.mask) << expected.description;
  EXPECT_EQ(form->Adapter().EditInterfaces->Text().front(), '{');
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(AdapterPageWin32, DhcpAndDnsWritesLandInTheCardsKey) {
  const std::string key = kInterfaces + std::string(kTestCard);
  real.registry.DeleteKey(RegRoot::LocalMachine, key, access::kWow64_64Key);
  {
    auto card = real.registry.Open(RegRoot::LocalMachine, key, access::kAllAccess | access::kWow64_64Key, true);
    ASSERT_NE(card, nullptr);
    card->WriteDWord("EnableDHCP", 1);
  }
  Open();
  form->Adapter().EditInterfaces->SetText(kTestCard);
  form->Adapter().GetTCPIPDNSAddresses();
  EXPECT_FALSE(form->Adapter().CheckBoxEnableDHCP->Checked());
  EXPECT_FALSE(form->Adapter().EditIPAddress->Enabled());

  form->Adapter().CheckBoxEnableDHCP->Click();
  form->Adapter().CheckBoxEnableDNS->SetChecked(true);
  form->Adapter().EditPreferredDNS->SetText("1.1.1.1");
  form->Adapter().EditAlternativeDNS->SetText("");
  form->Adapter().ButtonChangeDNSClick();
  auto card = real.registry.Open(RegRoot::LocalMachine, key, access::kRead | access::kWow64_64Key, false);
  ASSERT_NE(card, nullptr);
  EXPECT_EQ(card->ReadDWord("EnableDHCP"), std::optional<uint32_t>(0));
  EXPECT_EQ(card->ValueType("NameServer"), platform::RegType::String);
  EXPECT_EQ(card->ReadString("NameServer"), std::optional<std::string>("1.1.1.1,"));
  EXPECT_EQ(form->Adapter().EditPreferredDNS->Text(), "1.1.1.1");
  EXPECT_TRUE(form->Adapter().CheckBoxEnableDNS->Checked());

  form->Adapter().CheckBoxEnableDNS->SetChecked(false);
  form->Adapter().ButtonChangeDNSClick();
  EXPECT_FALSE(card->ValueExists("NameServer"));
  EXPECT_FALSE(form->Adapter().EditPreferredDNS->Enabled());
  card.reset();
  EXPECT_TRUE(real.registry.DeleteKey(RegRoot::LocalMachine, key, access::kWow64_64Key));
}

TEST_F(AdapterPageWin32, ProxyValuesLandInTheUsersInternetSettings) {
  auto settings = real.registry.Open(RegRoot::CurrentUser, kSettings, access::kAllAccess, true);
  ASSERT_NE(settings, nullptr);
  Open();
  form->Proxy().CheckBoxProxyServer->SetChecked(true);
  form->Proxy().EditProxyAdress->SetText("127.0.0.2");
  form->Proxy().EditProxyPort->SetText("3128");
  form->Proxy().CheckBoxScript->SetChecked(true);
  form->Proxy().EditScriptAddress->SetText("http://127.0.0.1/proxy.pac");
  application->Guard([&] { form->Proxy().ButtonChangeProxyClick(); });
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(settings->ReadString("ProxyServer"), std::optional<std::string>("127.0.0.2:3128"));
  EXPECT_EQ(settings->ReadDWord("ProxyEnable"), std::optional<uint32_t>(1));
  EXPECT_EQ(settings->ReadString("AutoConfigURL"), std::optional<std::string>("http://127.0.0.1/proxy.pac"));
  EXPECT_EQ(form->SystemProxyFor("http"), (platform::HttpProxy{"127.0.0.2", 3128}));
  EXPECT_EQ(form->SystemProxyFor("https"), (platform::HttpProxy{"127.0.0.2", 3128}));
  EXPECT_TRUE(real.system.InternetSettingsChanged()) << "the system takes the settings-changed notice";
  for (const char* name : {"ProxyServer", "ProxyEnable", "AutoConfigURL"}) settings->DeleteValue(name);
}

TEST_F(AdapterPageWin32, ApplyThatWmiRefusesEndsInTheErrorReport) {
  Open();
  ASSERT_FALSE(form->Adapter().ComboBoxEditInterfaces->Items().empty());
  // Pick a card that WMI knows, so the apply reaches the method call.
  for (const WmiAdapter& adapter : WmiAdapters()) {
    const auto& items = form->Adapter().ComboBoxEditInterfaces->Items();
    auto it = std::find(items.begin(), items.end(), adapter.description);
    if (it != items.end()) form->Adapter().ComboBoxEditInterfaces->SetItemIndex(static_cast<int>(it - items.begin()));
  }
  form->Adapter().EditIPAddress->SetText("127.0.0.5");
  form->Adapter().EditSubnetMask->SetText("255.0.0.0");
  form->Adapter().EditMainGateway->SetText("127.0.0.1");
  application->Guard([&] { form->Adapter().ButtonChangeIPClick(); });
  ASSERT_EQ(host.boxes.size(), 1u);
  // This WMI has no adapter methods: the failure is reported, nothing hangs.
  EXPECT_NE(host.boxes[0].text.find("EnableStatic"), std::string::npos) << host.boxes[0].text;
}

TEST_F(AdapterPageWin32, GetIPGivesADottedAddress) {
  Open();
  std::string address = form->Adapter().GetIP();
  EXPECT_TRUE(address.empty() || app::IsValidIPv4(address)) << address;
}

TEST(AdapterPageScreen, PictureOfTheAdapterPage) {
  ASSERT_TRUE(win32_test::HaveDisplay());
  win32_test::RealPlatform real;
  ui::win32::Win32Host host;
  ui::Application application(host);
  application.SetTitle("Velmora");
  auto* form = application.CreateForm<app::TForm1>(real.services);
  HWND window = host.WindowOf(*form);
  host.PeerOf(*form)->Show();
  win32_test::Pump();
  // Typing a broken address marks the box in italics.
  HWND address = win32_test::FindControl(window, L"EditIPAddress");
  ASSERT_NE(address, nullptr);
  EnableWindow(address, TRUE);
  SetWindowTextW(address, L"10.0.0.");
  SendMessageW(address, WM_CHAR, L'x', 0);
  win32_test::Pump();
  EXPECT_TRUE(form->Adapter().EditIPAddress->GetFont().italic);
  LOGFONTW lf{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(address, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
  EXPECT_TRUE(lf.lfItalic);
  // A click selects the whole text.
  SendMessageW(address, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageW(address, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  win32_test::Pump();
  DWORD start = 0, end = 0;
  SendMessageW(address, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, static_cast<DWORD>(GetWindowTextLengthW(address)));
  win32_test::SaveScreenshot(window, L"adapter-page");
}

}  // namespace
