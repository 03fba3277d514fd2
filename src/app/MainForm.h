// The main window: frame, navigation, the general menu, the creation sequence and
// the services every page shares. It owns every component; each page creates and
// works on its own (adapter/, proxy/, dnstest/, profiles/, repair/).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "about/AboutForm.h"
#include "adapter/AdapterPage.h"
#include "shell/Page.h"
#include "shell/Services.h"
#include "dnstest/DnsCheckGroup.h"
#include "dnstest/DnsTestPage.h"
#include "i18n/LanguageFiles.h"
#include "profiles/ProfilesPage.h"
#include "proxy/ProxyBand.h"
#include "repair/UsefulCommandsPage.h"
#include "ui/Application.h"
#include "ui/Controls.h"
#include "ui/Form.h"
#include "update/UpdateForm.h"

namespace app {

// A log line: the time as "hh:nn:ss" with the regional separator, " - ", the message.
std::string FormatLogLine(const platform::LocalTime& time, const std::string& separator,
                          const std::string& msg);

// Caption mark of the build's bitness.
const char* BitnessMark();

class TForm1 : public ui::Form, public shell::Shell {
 public:
  TForm1(ui::Application& app, shell::Services& services);

  // Creation and close handlers.
  void FormCreate() override;
  void FormClose() override;
  // The settings a close saves.
  void SessionEnding() override { SaveNastr(); }
  void MouseMove() override { WMMouseMove(); }

  // Navigation.
  void ButtonProxyClick() override;
  void ButtonDNSClick();
  void ButtonNetworkProfilesClick();
  void ButtonUsefulCommandsClick();
  void SetNavigationEnabled(bool enabled) override;

  // The "≡" button and the general-menu mark.
  void SpeedButton_GeneralMenuClick();
  void WMMouseMove() { general_menu_open_ = false; }
  bool GeneralMenuOpen() const { return general_menu_open_; }
  // The theme items (ThemeMenu.cpp).
  void ThemeAutoClick();
  void ThemeLightClick();
  void ThemeDarkClick();
  void UnCheckTheme();
  // The system's settings-change broadcast.
  void WMWinIniChange();
  void SettingChange() override {
    WMWinIniChange();
    ShowHighContrast();
  }
  // The theme items give way while the system shows high contrast, and say so.
  void ShowHighContrast();
  void CheckUpdateMenuClick();
  void AboutMenuClick();
  // Opens the DNS benchmark window (dnsbench/), when the program made one.
  void DnsBenchMenuClick();
  void ChangesMenuClick();

  bool IsWindows10Or11();

  // The services every page shares.
  ui::Form& Window() override { return *this; }
  shell::Services& GetServices() override { return services_; }
  std::string PortablePath() override;
  std::string PortablePathDNS() override;
  bool Portable() const override { return portable_; }
  bool RunCommand(const std::string& command, const std::string& params, bool wait) override;
  void Log(const std::string& msg) override;
  void LogRaw(const std::string& line) override;
  // Log for a worker thread: each line is stamped when it is made and appended on
  // the UI thread in order; lines made after the window is gone are dropped. The
  // function holds nothing of the window that it uses outside a hand-over.
  std::function<void(const std::string&)> WorkerLog(ui::WorkerLink ui_thread) override;
  std::optional<platform::HttpProxy> SystemProxyFor(std::string_view scheme) override;

  // The language files, the language submenu and the translation of every window.
  virtual void CleanTranslationsLikeGlobload();
  virtual void LoadLanguage();
  virtual void globload();
  void LanguageItemClick(ui::Component* sender);
  bool IsFileWritable(const std::string& path);
  const std::string& SelectedLanguage() const;
  i18n::Localization& Languages() { return *languages_; }

  // The pages, each with its components and operations.
  adapter::AdapterPage& Adapter() { return *adapter_; }
  proxy::ProxyBand& Proxy() { return *proxy_; }
  dnstest::DnsCheckGroup& DnsCheck() { return *dns_check_; }
  dnstest::DnsTestPage& DnsTest() { return *dns_test_; }
  profiles::ProfilesPage& Profiles() { return *profiles_; }
  repair::UsefulCommandsPage& Commands() { return *commands_; }

  // Components of the frame.
  ui::Panel* TabControlNetwork1;
  ui::SpeedButton* SpeedButton_GeneralMenu;
  ui::Panel* TabControlPanelNetwork;
  ui::Button* ButtonProxy;
  ui::Button* ButtonDNS;
  ui::Button* ButtonNetworkProfiles;
  ui::Button* ButtonUsefulCommands;
  ui::PageControl* PageControl;
  ui::TabSheet* TabUsefulCommands;
  ui::TabSheet* TabNetworkProfiles;
  ui::TabSheet* TabProxy;
  ui::TabSheet* TabTestDNS;
  ui::PopupMenu* PopupMenu_General;
  ui::MenuItem* ThemeMenu;
  ui::MenuItem* ThemeAuto;
  ui::MenuItem* ThemeLight;
  ui::MenuItem* ThemeDark;
  ui::MenuItem* ThemeHighContrastNote;
  ui::MenuItem* LanguageMenu;
  ui::MenuItem* MenuItem2;
  ui::MenuItem* CheckUpdateMenu;
  ui::MenuItem* DnsBenchMenu;
  ui::MenuItem* ChangesMenu = nullptr;  // only with a change journal
  ui::MenuItem* MenuItem3;
  ui::MenuItem* AboutMenu;
  ui::PopupMenu* PopupMenuLanguage;
  ui::ImageList* ImageList3;

 protected:
  // The settings the window keeps in the settings file.
  virtual void LoadNastr();
  virtual void SaveNastr();
  // The creation sequence's steps, each carried out by the page that owns it;
  // virtual so tests can record their order.
  virtual void ClearPingLabels();
  virtual void LoadFiltersReload();
  virtual void LoadNetworkCards();
  virtual void UpdateNETOption();
  virtual void LoadDNS(const std::string& path);
  virtual void ComboBoxDNSChange();
  // The profiles page's show event.
  virtual void TabNetworkProfilesShow();

  std::string ProgramFolder();
  ui::Application& App() const { return Form::App(); }

  shell::Services& services_;

 private:
  void CreateComponents();
  std::string SettingsFolderPath(const char* file_name);
  void Navigate(ui::Button* selected, int page_index);
  void FollowSystemTheme();
  // Checks `item` alone and applies `style` (null: the system's mode).
  void ChooseTheme(ui::MenuItem* item, const char* style);

  std::unique_ptr<repair::UsefulCommandsPage> commands_;
  std::unique_ptr<profiles::ProfilesPage> profiles_;
  std::unique_ptr<adapter::AdapterPage> adapter_;
  std::unique_ptr<proxy::ProxyBand> proxy_;
  std::unique_ptr<dnstest::DnsCheckGroup> dns_check_;
  std::unique_ptr<dnstest::DnsTestPage> dns_test_;
  std::unique_ptr<i18n::Localization> languages_;

  bool portable_ = false;
  std::string time_separator_ = ":";
  bool general_menu_open_ = false;
};

// The update window lives with the updater.
using TForm10 = update::TForm10;

}  // namespace app
