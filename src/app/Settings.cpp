// The main window's settings: where the files live, and what the window keeps in
// Config\Option.ini.
#include <stdexcept>

#include "app/MainForm.h"
#include "common/FileInfoUtils.h"
#include "common/IniFile.h"

namespace app {

namespace {

constexpr char kSection[] = "Option";

std::string WithSeparator(std::string folder) {
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder;
}

}  // namespace

void TForm1::CreateRepairBoxes() {
  auto box = [this](ui::Component* group, const char* name, const char* caption, int top, int height = 17) {
    ui::CheckBox* check = Create<ui::CheckBox>(group, name);
    check->SetCaption(caption);
    check->SetBounds({10, top, 132, height});
    return check;
  };
  GroupBoxSafely = Create<ui::GroupBox>(TabComButtons, "GroupBoxSafely");
  GroupBoxSafely->SetCaption("Безопасно");
  GroupBoxSafely->SetBounds({4, 4, 144, 100});
  CheckBoxFlushDNS = box(GroupBoxSafely, "CheckBoxFlushDNS", "Очистка DNS", 18);
  CheckBoxClearARPcache = box(GroupBoxSafely, "CheckBoxClearARPcache", "Очистка кэша ARP", 38);
  CheckBoxResetTCPIP = box(GroupBoxSafely, "CheckBoxResetTCPIP", "Сброс TCP/IP", 58);
  CheckBoxNetworkVisibility = box(GroupBoxSafely, "CheckBoxNetworkVisibility", "Показать в сети", 78);

  GroupBoxPro = Create<ui::GroupBox>(TabComButtons, "GroupBoxPro");
  GroupBoxPro->SetCaption("Pro");
  GroupBoxPro->SetBounds({4, 108, 144, 160});
  CheckBoxRenewIP = box(GroupBoxPro, "CheckBoxRenewIP", "Обновление IP", 18);
  CheckBoxResetProxy = box(GroupBoxPro, "CheckBoxResetProxy", "Сброс Proxy", 38);
  CheckBoxRepairWorkgroup = box(GroupBoxPro, "CheckBoxRepairWorkgroup", "Ремонт Workgroup", 58);
  CheckBoxResetFirewall = box(GroupBoxPro, "CheckBoxResetFirewall", "Сброс Firewall", 78);
  CheckBoxRebuildWMI = box(GroupBoxPro, "CheckBoxRebuildWMI", "Перестроить WMI", 98);
  CheckBoxRestoreNetworkAdapters =
      box(GroupBoxPro, "CheckBoxRestoreNetworkAdapters", "Восстановление сетевых адаптеров", 118, 30);

  ButtonMACAddress = Create<ui::Button>(TabComButtons, "ButtonMACAddress");
  ButtonMACAddress->SetCaption("MAC Address");
  ButtonMACAddress->SetBounds({21, 280, 110, 25});
  ButtonMACAddress->OnClick = [this] { ButtonMACAddressClick(); };
}

std::vector<ui::CheckBox*> TForm1::RepairBoxesInSaveOrder() const {
  return {CheckBoxFlushDNS,      CheckBoxResetTCPIP,        CheckBoxResetProxy,
          CheckBoxRebuildWMI,    CheckBoxResetFirewall,     CheckBoxRepairWorkgroup,
          CheckBoxClearARPcache, CheckBoxNetworkVisibility, CheckBoxRestoreNetworkAdapters,
          CheckBoxRenewIP};
}

std::string TForm1::SettingsFolderPath(const char* file_name) {
  std::string folder;
  if (portable_) {
    folder = ProgramFolder() + "Config";
  } else {
    // An empty maker name still adds its separator: the path then holds "\\".
    folder = WithSeparator(services_.system.AppDataFolder()) +
             WithSeparator(common::GetCompanyName(services_.versions, services_.system.ProgramPath())) +
             App().Title() + "\\Config";
  }
  services_.files.CreateDirectories(folder);
  return folder + "\\" + file_name;
}

std::string TForm1::PortablePath() { return SettingsFolderPath("Option.ini"); }
std::string TForm1::PortablePathDNS() { return SettingsFolderPath("dns.ini"); }

void TForm1::LoadNastr() {
  try {
    auto document = common::IniDocument::Load(services_.files, PortablePath(),
                                              services_.system.AnsiCodePage(),
                                              common::IniOptions::Settings());
    if (!document) return;
    const common::IniFile& ini = document->ini;
    for (ui::MenuItem* item : ThemeMenu->Items()) {
      item->SetChecked(ini.ReadBool(kSection, item->Name(), false));
      if (item->Checked()) item->Click();
    }
    CheckBoxEnableDNS->SetChecked(ini.ReadBool(kSection, "CheckBoxEnableDNS", false));
    CheckBoxEnableDNSClick();
    for (ui::CheckBox* box : RepairBoxesInSaveOrder())
      box->SetChecked(ini.ReadBool(kSection, box->Name(), false));
  } catch (...) {
    // Loading settings never stops the window from opening.
  }
}

void TForm1::SaveNastr() {
  const std::string path = PortablePath();
  const unsigned code_page = services_.system.AnsiCodePage();
  auto document = common::IniDocument::Load(services_.files, path, code_page, common::IniOptions::Settings());
  if (!document) throw std::runtime_error("Cannot read the settings file " + path);
  for (ui::MenuItem* item : ThemeMenu->Items()) document->ini.WriteBool(kSection, item->Name(), item->Checked());
  document->ini.WriteBool(kSection, "CheckBoxEnableDNS", CheckBoxEnableDNS->Checked());
  for (ui::CheckBox* box : RepairBoxesInSaveOrder())
    document->ini.WriteBool(kSection, box->Name(), box->Checked());
  if (!document->Save(services_.files, path, code_page))
    throw std::runtime_error("Cannot write the settings file " + path);
}

}  // namespace app
