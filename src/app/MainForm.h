// The main window: frame, navigation, the general menu and the creation sequence.
// Every page's operations are methods of this window and work on its components.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

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

  // The per-user proxy band of the adapter page.
  std::string detectIEProxyServer();
  std::string detectIEProxyServerProxyAdress();
  std::string detectIEProxyServerProxyPort();
  uint32_t detectIEProxyServerEnabled();
  void SetProxy();
  void ButtonChangeProxyClick();
  void ButtonChangeProxyAddressClick() { ButtonChangeProxyClick(); }
  void CheckBoxProxyServerClick();
  void CheckBoxScriptClick();
  // The fixed proxy the program's own requests use: true only with a usable address
  // and port. Touches no component, so workers may call it.
  bool GetSystemProxy(std::string& address, int& port, bool& enabled);

  // The IP and DNS groups of the adapter page: the selected card's address, mask and
  // gateway from WMI, its DNS servers and DHCP switch from its TCP/IP key.
  virtual void GetAdapterAddresses();
  virtual void GetTCPIPDNSAddresses();
  // Refreshes the adapter page and the proxy band; reports nothing.
  virtual void UpdateNETOption();
  void ButtonChangeIPClick();
  void SetAdapterAddresses(const std::string& description, const std::string& address,
                           const std::string& mask, const std::string& gateway);
  void CheckBoxEnableDHCPClick();

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
  void ButtonChangeDNSClick();
  void SetTCPIPDNSAddresses();
  // The machine's own first IPv4 address; empty when its name does not resolve.
  std::string GetIP();
  bool Portable() const { return portable_; }

  // Start-up steps that belong to the language files.
  virtual void CleanTranslationsLikeGlobload() {}
  virtual void LoadLanguage() {}
  virtual void globload() {}

  // The profiles page's show event: reloads the profile list and the two name boxes.
  virtual void TabNetworkProfilesShow();

  // The DNS server list, ping and test run.
  // The list file's entries as both views read them, in file order.
  struct DnsEntry {
    std::string name;
    std::string dns1;
    std::string dns2;
  };
  std::vector<DnsEntry> ReadDnsList(const std::string& path);
  virtual void LoadDNS(const std::string& path);
  virtual void ComboBoxDNSChange();
  void LoadDNSTest(const std::string& path);
  virtual void LoadFiltersReload();
  virtual void ClearPingLabels();
  // Removes the index-th entry of the server section, as the views count them.
  void DeleteFromIniFile(int index);
  void MenuRefreshDNSClick() { LoadFiltersReload(); }
  void MenuCopyDNS1Click();
  void MenuCopyDNS2Click();
  void MenuCopyDNS1DNS2Click();
  void MenuListDefaultClick();
  void MenuDeleteDNSClick();
  void ButtonCopyDNSClick();
  // A click into a read-only address box selects its whole text, ready for copying.
  void EditPreferredDNS1Click() { EditPreferredDNS1->SelectAll(); }
  void EditAlternativeDNS1Click() { EditAlternativeDNS1->SelectAll(); }
  void EditNetIPClick() { EditNetIP->SelectAll(); }
  // Pings: a series of echo requests shown in LabelDNS1 / LabelDNS2.
  static std::string PingStatusText(int64_t code);
  void PingDNS1(const std::string& address, uint16_t attempts, uint16_t buffer_size);
  void PingDNS2(const std::string& address, uint16_t attempts, uint16_t buffer_size);
  void ButtonPingClick();
  // The test run over the list and its two timing operations.
  void ButtonTestDNSClick();
  void PingDNS1Gen(const std::string& address, uint16_t attempts, uint16_t buffer_size);
  void PingDNS2Gen(const std::string& address, uint16_t attempts, uint16_t buffer_size);
  void PingThroughProxyMethod(const std::string& address, int attempts);
  void PingThroughProxyMethod2(const std::string& address, int attempts);
  // The public address from the echo service, or the machine's own when that fails.
  std::string GetMyRealIP();
  void LabelGetIPClick();
  // Lookups started by LabelGetIPClick that have not finished yet.
  int RealIPThreadsRunning() const { return real_ip_threads_.load(); }
  bool StopDNSTest = false;
  std::string PingResultDNS1 = "0";
  std::string PingResultDNS2 = "0";

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
  ui::GroupBox* GroupBoxIP;
  ui::CheckBox* CheckBoxEnableDHCP;
  ui::Label* LBIPAddress;
  ui::Edit* EditIPAddress;
  ui::Label* LBSubnetMask;
  ui::Edit* EditSubnetMask;
  ui::Label* LBMainGateway;
  ui::Edit* EditMainGateway;
  ui::Button* ButtonChangeIP;
  ui::GroupBox* GroupBoxDNS;
  ui::CheckBox* CheckBoxEnableDNS;
  ui::Label* LBPreferredDNS;
  ui::Edit* EditPreferredDNS;
  ui::Label* LBAlternativeDNS;
  ui::Edit* EditAlternativeDNS;
  ui::Button* ButtonChangeDNS;
  ui::Panel* TabControlNetwork;
  ui::GroupBox* GroupBoxProxy;
  ui::CheckBox* CheckBoxScript;
  ui::Label* LBScriptAddress;
  ui::Edit* EditScriptAddress;
  ui::Button* ButtonChangeProxy;
  ui::GroupBox* GroupBoxProxy1;
  ui::CheckBox* CheckBoxProxyServer;
  ui::Label* LBProxyAdress;
  ui::Edit* EditProxyAdress;
  ui::Label* LBProxyPort;
  ui::Edit* EditProxyPort;
  ui::Button* ButtonChangeProxyAddress;
  ui::TabSheet* TabTestDNS;
  ui::GroupBox* GroupBoxDNScheck;
  ui::ComboBox* ComboBoxDNS;
  ui::Edit* EditPreferredDNS1;
  ui::Edit* EditAlternativeDNS1;
  ui::Label* LabelDNS1;
  ui::Label* LabelDNS2;
  ui::Button* ButtonPing;
  ui::Button* ButtonCopyDNS;
  ui::Label* LabelGetIP;
  ui::Edit* EditNetIP;
  ui::Panel* TabControlDNSList;
  ui::ListView* ListViewDNS;
  ui::StatusBar* StatusBar2;
  ui::Memo* MemoDNS;
  ui::StatusBar* StatusBar1;
  ui::Panel* TabControl1;
  ui::Button* ButtonTestDNS;
  ui::PopupMenu* PopupMenuTestDNS;
  ui::MenuItem* MenuRefreshDNS;
  ui::MenuItem* MenuCopyDNS1;
  ui::MenuItem* MenuCopyDNS2;
  ui::MenuItem* MenuCopyDNS1DNS2;
  ui::MenuItem* MenuListDefault;
  ui::MenuItem* MenuDeleteDNS;
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
  virtual void LoadNastr();
  virtual void SaveNastr();
  virtual void LoadNetworkCards();

  std::string ProgramFolder();
  ui::Application& App() const { return Form::App(); }

  Services& services_;

 private:
  void CreateComponents();
  void CreateRepairBoxes();
  void CreateAddressGroups();
  // Italic while the box's text is not a well-formed address.
  void MarkAddress(ui::Edit& edit);
  // The selected card's TCP/IP key, created when missing; null without the rights.
  std::unique_ptr<platform::RegistryKey> OpenCardKey();
  void CreateNetworkCardsGroup();
  void CreateProxyBand();
  void CreateDnsCheckGroup();
  void CreateDnsTestPage();
  void PingSeries(ui::Label& label, const std::string& address, uint16_t attempts, uint16_t buffer_size);
  void PingGen(std::string& result, bool second, const std::string& address, uint16_t attempts,
               uint16_t buffer_size);
  void PingThroughProxy(std::string& result, bool second, const std::string& address, int attempts);
  void RealIPThreadRun();
  void FinishDnsTest();
  void ClearProxyBoxes();
  void FillProxyBoxes();
  std::string SettingsFolderPath(const char* file_name);
  // The repair check boxes in the order the settings file stores them.
  std::vector<ui::CheckBox*> RepairBoxesInSaveOrder() const;
  void Navigate(ui::Button* selected, int page_index);

  bool portable_ = false;
  std::string time_separator_ = ":";
  bool general_menu_open_ = false;
  std::atomic<int> real_ip_threads_{0};
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
