// The real program's first page after start-up: the card's address, which WMI gives
// once the window has been painted, is in its box as soon after as the query takes.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <string>

#include "adapter/AddressText.h"
#include "platform/win32/Win32Wmi.h"
#include "win32/Win32TestSupport.h"

namespace {

struct ComScope {
  bool ok = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  ~ComScope() {
    if (ok) CoUninitialize();
  }
};

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

// The address box's text for the card `description`, as WMI reports the card.
std::wstring AddressWmiGives(const std::wstring& description) {
  ComScope com;
  platform::win32::Win32Wmi wmi;
  auto services = wmi.CreateLocator()->ConnectServer("localhost", "root\\cimv2", "", "");
  auto found = services->ExecQuery("SELECT * FROM Win32_NetworkAdapterConfiguration Where IpEnabled=True", "WQL", 32);
  std::string address;
  while (auto object = found->Next()) {
    if (app::VariantToText(object->Get("Description")) != Narrow(description)) continue;
    platform::Variant addresses = object->Get("IPAddress");
    if (addresses.IsNull())
      address = "0.0.0.0";
    else if (addresses.type == platform::Variant::Type::Array && !addresses.elements.empty())
      address = app::VariantToText(addresses.elements[app::FirstIPv4Index(addresses)]);
  }
  return std::wstring(address.begin(), address.end());
}

TEST(StartUpWin32, TheFirstPageShowsTheCardsAddressSoonAfterTheWindow) {
  ASSERT_TRUE(win32_test::HaveDisplay());
  win32_test::ProgramProcess program(win32_test::ExeFolder() + L"Velmora.exe");
  HWND window = program.WaitForMainWindow();
  ASSERT_NE(window, nullptr);
  HWND cards = win32_test::FindControl(window, L"ComboBoxEditInterfaces");
  HWND address = win32_test::FindControl(window, L"EditIPAddress");
  ASSERT_NE(cards, nullptr);
  ASSERT_NE(address, nullptr);
  const std::wstring card = win32_test::ControlText(cards);
  EXPECT_FALSE(card.empty()) << "the card list is filled when the window shows";
  const std::wstring expected = AddressWmiGives(card);
  SCOPED_TRACE("card " + Narrow(card) + ", WMI's address " + Narrow(expected));
  const DWORD start = GetTickCount();
  while (win32_test::ControlText(address) != expected && GetTickCount() - start < 10000) Sleep(20);
  EXPECT_EQ(Narrow(win32_test::ControlText(address)), Narrow(expected));
  win32_test::SaveScreenshot(window, L"first-page-after-start-up");
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.Wait(10000), static_cast<DWORD>(WAIT_OBJECT_0));
}

}  // namespace
