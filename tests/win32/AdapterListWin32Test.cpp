// The MAC report from the system's real IPv4 adapter list.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/MainForm.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeSystem.h"
#include "win32/RealPlatform.h"
#include "fakes/HeadlessHost.h"
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32System.h"

namespace {

TEST(AdapterListWin32, ReportHasFourLinesPerListedAdapter) {
  win32_test::RealPlatform real;
  platform::win32::Win32System& system = real.system;
  shell::Services& services = real.services;

  auto adapters = system.AdapterList();
  ASSERT_TRUE(adapters.has_value()) << "the adapter list can be read";
  for (const auto& adapter : *adapters) {
    EXPECT_EQ(adapter.name.front(), '{') << adapter.name;
    EXPECT_FALSE(adapter.description.empty());
  }

  fakes::HeadlessHost host;
  ui::Application application(host);
  auto* form = application.CreateForm<app::TForm1>(services);
  form->Commands().ButtonMACAddressClick();
  const auto& lines = form->Commands().MemoLogCom->Lines();
  ASSERT_EQ(lines.size(), 2 + 4 * adapters->size());
  EXPECT_NE(lines.front().find(" - MAC Address"), std::string::npos);
  EXPECT_EQ(lines.back(), std::string(40, '-'));
  for (size_t i = 0; i < adapters->size(); ++i) {
    EXPECT_EQ(lines[1 + 4 * i], std::to_string(i + 1));
    EXPECT_EQ(lines[3 + 4 * i].size(), (*adapters)[i].address.empty() ? 0 : (*adapters)[i].address.size() * 3 - 1);
  }
}

}  // namespace
