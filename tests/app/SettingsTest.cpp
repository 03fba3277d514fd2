#include <gtest/gtest.h>

#include "app/MainForm.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeSystem.h"
#include "fakes/HeadlessHost.h"
#include "update/UpdateForm.h"

namespace {

constexpr char kInstalledIni[] = "C:\\Users\\user\\AppData\\Roaming\\\\Velmora\\Config\\Option.ini";

struct SettingsFixture : ::testing::Test, fakes::FakePlatform {
  fakes::HeadlessHost host;
  std::unique_ptr<ui::Application> application;

  app::TForm1* Open() {
    application = std::make_unique<ui::Application>(host);
    application->SetTitle("Velmora");
    return application->CreateForm<app::TForm1>(services);
  }
};

TEST_F(SettingsFixture, FirstSaveWritesTheOptionSectionInItsKeyOrder) {
  app::TForm1* form = Open();
  EXPECT_EQ(form->PortablePath(), kInstalledIni) << "no maker name: the separator is doubled";
  form->ThemeDark->Click();
  form->Commands().CheckBoxRenewIP->Click();
  form->Adapter().CheckBoxEnableDNS->Click();
  form->FormClose();
  const std::string expected =
      "[Option]\r\nThemeAuto=0\r\nThemeLight=0\r\nThemeDark=1\r\nCheckBoxEnableDNS=1\r\n"
      "CheckBoxFlushDNS=0\r\nCheckBoxResetTCPIP=0\r\nCheckBoxResetProxy=0\r\nCheckBoxRebuildWMI=0\r\n"
      "CheckBoxResetFirewall=0\r\nCheckBoxRepairWorkgroup=0\r\nCheckBoxClearARPcache=0\r\n"
      "CheckBoxNetworkVisibility=0\r\nCheckBoxRestoreNetworkAdapters=0\r\nCheckBoxRenewIP=1\r\n\r\n";
  EXPECT_EQ(files.Text(kInstalledIni), expected);
}

TEST_F(SettingsFixture, PortableModeKeepsBothFilesBesideTheProgram) {
  system.files.insert("C:\\Program Files\\Velmora\\portable.ini");
  app::TForm1* form = Open();
  EXPECT_EQ(form->PortablePath(), "C:\\Program Files\\Velmora\\Config\\Option.ini");
  EXPECT_EQ(form->PortablePathDNS(), "C:\\Program Files\\Velmora\\Config\\dns.ini");
  EXPECT_TRUE(files.HasDirectory("C:\\Program Files\\Velmora\\Config"));
}

TEST_F(SettingsFixture, StatesComeBackAndOtherOwnersKeysSurvive) {
  files.SetFile(kInstalledIni,
                "; kept\r\n[option]\r\nthemelight=1\r\nCheckBoxAutoCheck=0\r\ncheckboxflushdns=0x1\r\n"
                "CheckBoxResetProxy=abc\r\nCheckBoxEnableDNS=1\r\n\r\n[Language]\r\nLanguage=English\r\n\r\n");
  // The adapter refresh that follows would set the DNS box from the card's key; with
  // WMI failing it stops at its first step, so the stored state is what shows.
  wmi.fail_locator = true;
  app::TForm1* form = Open();
  EXPECT_TRUE(form->ThemeLight->Checked());
  EXPECT_FALSE(form->ThemeAuto->Checked()) << "the stored state replaces the design state";
  EXPECT_TRUE(form->Commands().CheckBoxFlushDNS->Checked());
  EXPECT_FALSE(form->Commands().CheckBoxResetProxy->Checked()) << "a non-numeric value gives the default";
  EXPECT_TRUE(form->Adapter().CheckBoxEnableDNS->Checked());
  EXPECT_TRUE(form->Adapter().EditPreferredDNS->Enabled()) << "the DNS box's handler ran";
  form->FormClose();
  const std::string text = files.Text(kInstalledIni);
  EXPECT_NE(text.find("CheckBoxAutoCheck=0\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[Language]\r\nLanguage=English\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("; kept"), std::string::npos) << text;
  EXPECT_NE(text.find("themelight=1"), std::string::npos) << text;
}

TEST_F(SettingsFixture, TwoCheckedThemesLeaveTheLaterOneChecked) {
  files.SetFile(kInstalledIni, "[Option]\r\nThemeAuto=1\r\nThemeDark=1\r\n");
  app::TForm1* form = Open();
  EXPECT_FALSE(form->ThemeAuto->Checked());
  EXPECT_FALSE(form->ThemeLight->Checked());
  EXPECT_TRUE(form->ThemeDark->Checked());
}

TEST_F(SettingsFixture, FailedSaveIsReportedAndKeepsTheOldFile) {
  const std::string old = "[Option]\r\nCheckBoxRenewIP=1\r\n\r\n";
  files.SetFile(kInstalledIni, old);
  app::TForm1* form = Open();
  form->Commands().CheckBoxRenewIP->Click();
  files.FailNextWrite(10);
  application->Guard([form] { form->FormClose(); });
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].title, "Velmora");
  EXPECT_NE(host.boxes[0].text.find("Option.ini"), std::string::npos);
  EXPECT_EQ(files.Text(kInstalledIni), old);
}

// At log-off or shut-down no window is closed: the session's end keeps what the main
// window's and the update window's closes keep, once, and shows nothing.
TEST_F(SettingsFixture, TheEndOfTheSessionKeepsWhatTheClosesKeep) {
  files.SetFile(kInstalledIni, "[Option]\r\nCheckBoxAutoCheck=0\r\n\r\n");
  app::TForm1* form = Open();
  auto* update = application->CreateForm<update::TForm10>(services, nullptr);
  form->ThemeDark->Click();
  form->Commands().CheckBoxRenewIP->Click();
  update->CheckBoxAutoCheck->Click();
  ASSERT_TRUE(update->CheckBoxAutoCheck->Checked());

  application->EndSession();
  EXPECT_TRUE(application->Terminated()) << "long operations stop at their next step";
  const std::string kept = files.Text(kInstalledIni);
  for (const char* line : {"ThemeDark=1\r\n", "ThemeAuto=0\r\n", "CheckBoxRenewIP=1\r\n", "CheckBoxAutoCheck=1\r\n"})
    EXPECT_NE(kept.find(line), std::string::npos) << line << " in " << kept;
  EXPECT_TRUE(host.boxes.empty());

  // The system tells every top-level window; the settings are written once.
  form->Commands().CheckBoxRenewIP->Click();
  application->EndSession();
  EXPECT_EQ(files.Text(kInstalledIni), kept);
}

TEST_F(SettingsFixture, AFailedSaveAtTheEndOfTheSessionShowsNoBoxAndTheNextWindowStillSaves) {
  files.SetFile(kInstalledIni, "[Option]\r\nCheckBoxAutoCheck=0\r\n\r\n");
  app::TForm1* form = Open();
  auto* update = application->CreateForm<update::TForm10>(services, nullptr);
  form->ThemeDark->Click();
  update->CheckBoxAutoCheck->Click();
  files.FailNextWrite(0);  // the main window's save
  application->EndSession();
  EXPECT_TRUE(host.boxes.empty());
  const std::string kept = files.Text(kInstalledIni);
  EXPECT_NE(kept.find("CheckBoxAutoCheck=1"), std::string::npos) << kept;
  EXPECT_EQ(kept.find("ThemeDark=1"), std::string::npos) << kept;
}

TEST_F(SettingsFixture, RewritesInTheEncodingItRead) {
  // UTF-8 with BOM stays so; an ANSI file stays in the system code page.
  files.SetFile(kInstalledIni, "\xEF\xBB\xBF[Option]\r\nCheckBoxRenewIP=1\r\n[Мой]\r\nКлюч=Значение\r\n");
  Open()->FormClose();
  std::string text = files.Text(kInstalledIni);
  EXPECT_EQ(text.rfind("\xEF\xBB\xBF[Option]", 0), 0u);
  EXPECT_NE(text.find("Ключ=Значение"), std::string::npos);

  files.SetFile(kInstalledIni, std::string("[\xCC\xEE\xE9]\r\nA=1\r\n"));  // "[Мой]" in code page 1251
  Open()->FormClose();
  EXPECT_EQ(files.Text(kInstalledIni).rfind("[\xCC\xEE\xE9]\r\nA=1\r\n", 0), 0u);
}

}  // namespace
