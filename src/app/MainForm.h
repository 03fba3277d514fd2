// The main window: frame, navigation, the general menu and the creation sequence.
// Every page's operations are methods of this window and work on its components.
#pragma once

#include <string>

#include "app/Services.h"
#include "ui/Application.h"
#include "ui/Controls.h"
#include "ui/Form.h"

namespace app {

// A log line: the time as "hh:nn:ss" with the regional separator, " - ", the message.
std::string FormatLogLine(const platform::LocalTime& time, const std::string& separator,
                          const std::string& msg);

// Caption mark of the build's bitness.
const char* BitnessMark();

class TForm1 : public ui::Form {
 public:
  TForm1(ui::Application& app, Services& services);

  // Creation and close handlers.
  void FormCreate() override;
  void FormClose() override;
  void MouseMove() override { WMMouseMove(); }

  // Navigation.
  void ButtonProxyClick();
  void ButtonDNSClick();
  void ButtonNetworkProfilesClick();
  void ButtonUsefulCommandsClick();

  // The "≡" button and the general-menu mark.
  void SpeedButton_GeneralMenuClick();
  void WMMouseMove() { general_menu_open_ = false; }
  bool GeneralMenuOpen() const { return general_menu_open_; }
  void ThemeAutoClick();
  void ThemeLightClick();
  void ThemeDarkClick();
  void CheckUpdateMenuClick();
  void AboutMenuClick();

  bool IsWindows10Or11();

  // Settings file and DNS list paths; both create the settings folder.
  std::string PortablePath();
  virtual std::string PortablePathDNS();
  // Starts a console tool hidden; false when it cannot start.
  bool RunCommand(const std::string& command, const std::string& params, bool wait);
  // Appends "hh:nn:ss - msg" to the activity log, then lets pending messages run.
  void Log(const std::string& msg);
  // The same from a worker thread: stamped now, appended on the UI thread in order.
  void LogFromWorker(const std::string& msg);
  // A report line without a time stamp, and the closing separator line.
  void LogRaw(const std::string& line);
  void LogSeparator() { LogRaw(std::string(40, '-')); }

  // The adapters' hardware addresses, written into the activity log.
  void ButtonMACAddressClick();
  bool AppendAdapterList(ui::Memo& log);

  // The network card list of the adapter page.
  void ComboBoxEditInterfacesChange();
  void ButtonUpdateClick() { UpdateNETOption(); }

  // The network profiles page.
  enum class ComputerNameKind { DnsHostname = 1 };
  virtual void LoadNet();
  void UpdateNetClick() { LoadNet(); }
  std::string GetCurrentUserName();
  std::string GetComputerNameText(ComputerNameKind kind);
  void RenameNetClick() { RenameProfile(); }
  void RenameProfilesMenuClick() { RenameProfile(); }
  void RenameProfile();
  void DeleteNetClick() { DeleteSelectedProfile(); }
  void DelProfilesMenuClick() { DeleteSelectedProfile(); }
  void DeleteKey();
  void DeleteNetAllClick();
  void DelSelectedProfilesMenuClick();
  void CheckAllProfiles(bool state);
  void ProfilesCheclAllMenuClick() { CheckAllProfiles(true); }
  void ProfilesUnCheclAllMenuClick() { CheckAllProfiles(false); }
  ui::Panel* TabNetworkProfilesButtons;
  ui::Button* UpdateNet;
  ui::Button* RenameNet;
  ui::Button* DeleteNet;
  ui::Button* DeleteNetAll;
  ui::Edit* USERName;
  ui::Edit* ComputerName;
  ui::Panel* TabNetworkProfilesView;
  ui::ListView* ListViewNetworkProfiles;
  ui::StatusBar* StatusBarProfile;
  ui::PopupMenu* PopupMenuProfile;
  ui::MenuItem* EditProfilesMenu;
  ui::MenuItem* PublicMenu;
  ui::MenuItem* PrivateMenu;
  ui::MenuItem* RenameProfilesMenu;
  ui::MenuItem* N4;
  ui::MenuItem* ProfilesCheclAllMenu;
  ui::MenuItem* ProfilesUnCheclAllMenu;
  ui::MenuItem* N1;
  ui::MenuItem* DelSelectedProfilesMenu;
  ui::MenuItem* DelProfilesMenu;

 private:
  void CreateProfilesPage();
  void LoadNetOnce();
  void DeleteSelectedProfile();
  void DeleteProfileKey(int row);
  void ShowProfileCount();
  bool AskDeleteAllProfiles();
  // Lets pending messages run between rows: after the first row of an operation and
  // then whenever a short interval has passed, so the list visibly grows or shrinks
  // and the window stays responsive without a repaint per row.
  void LetProfilesRepaint(bool first);
  uint32_t profiles_last_repaint_ = 0;
  // A load or a delete walk is running: handlers that would change the list wait
  // for it, and a reload asked for meanwhile runs once the list is complete.
  bool profiles_busy_ = false;
  bool profiles_reload_pending_ = false;

 public:
  // The DNS check box enables the two DNS boxes.
  void CheckBoxEnableDNSClick();
  bool Portable() const { return portable_; }

  // Start-up steps that belong to the language files.
  virtual void CleanTranslationsLikeGlobload() {}
  virtual void LoadLanguage() {}
  virtual void globload() {}

  // The profiles page's show event: reloads the profile list and the two name boxes.
  virtual void TabNetworkProfilesShow();

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
  ui::Panel* TabLOGCom;
  ui::Memo* MemoLogCom;
  ui::Panel* TabComButtons;
  ui::ActivityIndicator* ActivityIndicator1;
  ui::GroupBox* GroupBoxSafely;
  ui::GroupBox* GroupBoxPro;
  ui::CheckBox* CheckBoxFlushDNS;
  ui::CheckBox* CheckBoxClearARPcache;
  ui::CheckBox* CheckBoxResetTCPIP;
  ui::CheckBox* CheckBoxNetworkVisibility;
  ui::CheckBox* CheckBoxRenewIP;
  ui::CheckBox* CheckBoxResetProxy;
  ui::CheckBox* CheckBoxRepairWorkgroup;
  ui::CheckBox* CheckBoxResetFirewall;
  ui::CheckBox* CheckBoxRebuildWMI;
  ui::CheckBox* CheckBoxRestoreNetworkAdapters;
  ui::Button* ButtonMACAddress;
  ui::TabSheet* TabNetworkProfiles;
  ui::TabSheet* TabProxy;
  ui::GroupBox* GroupBoxNetworkCards;
  ui::ComboBox* ComboBoxEditInterfaces;
  ui::Edit* EditInterfaces;
  ui::Button* ButtonUpdate;
  ui::GroupBox* GroupBoxDNS;
  ui::CheckBox* CheckBoxEnableDNS;
  ui::Label* LBPreferredDNS;
  ui::Edit* EditPreferredDNS;
  ui::Label* LBAlternativeDNS;
  ui::Edit* EditAlternativeDNS;
  ui::TabSheet* TabTestDNS;
  ui::PopupMenu* PopupMenu_General;
  ui::MenuItem* ThemeMenu;
  ui::MenuItem* ThemeAuto;
  ui::MenuItem* ThemeLight;
  ui::MenuItem* ThemeDark;
  ui::MenuItem* LanguageMenu;
  ui::MenuItem* MenuItem2;
  ui::MenuItem* CheckUpdateMenu;
  ui::MenuItem* MenuItem3;
  ui::MenuItem* AboutMenu;
  ui::PopupMenu* PopupMenuLanguage;
  ui::ImageList* ImageList3;

 protected:
  // Creation steps of the pages that are filled in by their own modules.
  virtual void ClearPingLabels() {}
  virtual void LoadFiltersReload() {}
  virtual void LoadNastr();
  virtual void SaveNastr();
  virtual void LoadNetworkCards();
  // Steps of the card refresh that the address and proxy readers fill in.
  virtual void ClearProxyBoxes() {}
  virtual void GetAdapterAddresses() {}
  virtual void FillProxyBoxes() {}
  virtual void GetTCPIPDNSAddresses() {}
  virtual void UpdateNETOption() {}
  virtual void LoadDNS(const std::string& path) {}
  virtual void ComboBoxDNSChange() {}

  std::string ProgramFolder();
  ui::Application& App() const { return Form::App(); }

  Services& services_;

 private:
  void CreateComponents();
  void CreateRepairBoxes();
  void CreateDnsGroup();
  void CreateNetworkCardsGroup();
  std::string SettingsFolderPath(const char* file_name);
  // The repair check boxes in the order the settings file stores them.
  std::vector<ui::CheckBox*> RepairBoxesInSaveOrder() const;
  void Navigate(ui::Button* selected, int page_index);

  bool portable_ = false;
  std::string time_separator_ = ":";
  bool general_menu_open_ = false;
};

// The update window; its contents arrive with the updater.
class TForm10 : public ui::Form {
 public:
  TForm10(ui::Application& app, Services& services);
};

// The about window.
class TForm8 : public ui::Form {
 public:
  TForm8(ui::Application& app, Services& services);
};

}  // namespace app
