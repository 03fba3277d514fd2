// The settings file written and read back through the real file system and folders.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/MainForm.h"
#include "fakes/FakeSystem.h"
#include "win32/RealPlatform.h"
#include "fakes/HeadlessHost.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32System.h"

namespace {

TEST(SettingsWin32, SavedStatesComeBackInTheUsersApplicationDataFolder) {
  win32_test::RealPlatform real;
  platform::win32::Win32System& system = real.system;
  platform::win32::Win32FileSystem& files = real.files;
  app::Services& services = real.services;

  std::string path;
  {
    fakes::HeadlessHost host;
    ui::Application application(host);
    application.SetTitle("Velmora");
    auto* form = application.CreateForm<app::TForm1>(services);
    path = form->PortablePath();
    files.RemoveFile(path);
    form->ThemeDark->Click();
    form->Commands().CheckBoxRebuildWMI->Click();
    form->FormClose();
  }
  EXPECT_EQ(path, system.AppDataFolder() + "\\\\Velmora\\Config\\Option.ini");
  auto bytes = files.ReadFile(path);
  ASSERT_TRUE(bytes.has_value());
  std::string text(bytes->begin(), bytes->end());
  EXPECT_EQ(text.rfind("[Option]\r\nThemeAuto=0\r\nThemeLight=0\r\nThemeDark=1\r\n", 0), 0u) << text;
  EXPECT_FALSE(files.FileExists(path + ".tmp")) << "the temporary file is gone after the save";

  fakes::HeadlessHost host;
  ui::Application application(host);
  application.SetTitle("Velmora");
  auto* again = application.CreateForm<app::TForm1>(services);
  EXPECT_TRUE(again->ThemeDark->Checked());
  EXPECT_FALSE(again->ThemeAuto->Checked());
  EXPECT_TRUE(again->Commands().CheckBoxRebuildWMI->Checked());
  EXPECT_FALSE(again->Commands().CheckBoxFlushDNS->Checked());
  files.RemoveFile(path);
}

}  // namespace
