// The settings file written and read back through the real file system and folders.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/MainForm.h"
#include "fakes/FakeSystem.h"
#include "win32/RealPlatform.h"
#include "fakes/HeadlessHost.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32System.h"
#include "ui/win32/Win32Host.h"
#include "win32/Win32TestSupport.h"

namespace {

TEST(SettingsWin32, SavedStatesComeBackInTheUsersApplicationDataFolder) {
  win32_test::RealPlatform real;
  platform::win32::Win32System& system = real.system;
  platform::win32::Win32FileSystem& files = real.files;
  shell::Services& services = real.services;

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

// At log-off the system asks every top-level window whether the session may end, then
// tells it that it ends; no window is closed. The main window keeps its settings when
// the session really ends, and only then.
TEST(SettingsWin32, TheMainWindowKeepsItsSettingsWhenTheSessionEnds) {
  ASSERT_TRUE(win32_test::HaveDisplay()) << "the GUI tests run under Xvfb";
  win32_test::RealPlatform real;
  ui::win32::Win32Host host;
  ui::Application application(host);
  application.SetTitle("Velmora");
  auto* form = application.CreateForm<app::TForm1>(real.services);
  HWND window = host.WindowOf(*form);
  ASSERT_NE(window, nullptr);
  const std::string path = form->PortablePath();
  real.files.RemoveFile(path);
  form->ThemeDark->Click();
  form->Commands().CheckBoxRebuildWMI->Click();

  EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE) << "nothing holds up the log-off";
  EXPECT_FALSE(real.files.FileExists(path)) << "asked only, the session has not ended yet";
  // The log-off was cancelled by another program: nothing to keep.
  SendMessageW(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
  EXPECT_FALSE(real.files.FileExists(path));
  EXPECT_FALSE(application.Terminated());

  SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  auto bytes = real.files.ReadFile(path);
  ASSERT_TRUE(bytes.has_value()) << "the settings file was written";
  const std::string text(bytes->begin(), bytes->end());
  EXPECT_EQ(text.rfind("[Option]\r\nThemeAuto=0\r\nThemeLight=0\r\nThemeDark=1\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("CheckBoxRebuildWMI=1\r\n"), std::string::npos) << text;
  EXPECT_TRUE(application.Terminated()) << "long operations stop";
  EXPECT_TRUE(IsWindow(window)) << "the system ends the process; the window is not closed";
  real.files.RemoveFile(path);
}

// The program itself, in a folder of its own (portable, so its settings lie beside it):
// told that the session ends, it has written its settings before it answers.
TEST(SettingsWin32, TheRunningProgramWritesItsSettingsWhenTheSessionEnds) {
  ASSERT_TRUE(win32_test::HaveDisplay()) << "the GUI tests run under Xvfb";
  const std::filesystem::path folder = std::filesystem::path(win32_test::ExeFolder()) / L"session-end-test";
  std::filesystem::remove_all(folder);
  ASSERT_TRUE(std::filesystem::create_directory(folder));
  std::ofstream(folder / L"portable.ini").close();
  ASSERT_TRUE(std::filesystem::copy_file(std::filesystem::path(win32_test::ExeFolder()) / L"Velmora.exe",
                                         folder / L"Velmora.exe"));
  const std::filesystem::path settings = folder / L"Config" / L"Option.ini";
  {
    win32_test::ProgramProcess program((folder / L"Velmora.exe").wstring());
    HWND main = program.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_FALSE(std::filesystem::exists(settings)) << "nothing is written at start-up";
    EXPECT_EQ(SendMessageW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_FALSE(std::filesystem::exists(settings));
    SendMessageW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    ASSERT_TRUE(std::filesystem::exists(settings)) << "written before the message was answered";
    std::string text;
    {
      // Closed again before the program's own close rewrites the file.
      std::ifstream in(settings, std::ios::binary);
      text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    EXPECT_EQ(text.rfind("[Option]\r\nThemeAuto=", 0), 0u) << text;
    EXPECT_NE(text.find("CheckBoxAutoCheck="), std::string::npos) << "the update window's option too: " << text;
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.Wait(10000), static_cast<DWORD>(WAIT_OBJECT_0));
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

}  // namespace
