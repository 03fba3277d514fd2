// The main window's settings: where the files live, and what the window keeps in
// Config\Option.ini.
#include <stdexcept>

#include "app/MainForm.h"
#include "common/FileInfoUtils.h"
#include "common/IniFile.h"
#include "shell/SettingsFolder.h"

namespace app {

namespace {

constexpr char kSection[] = "Option";

}  // namespace

std::string TForm1::SettingsFolderPath(const char* file_name) {
  return shell::SettingsFolder(services_, portable_, App().Title()) + "\\" + file_name;
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
      if (!item->RadioItem()) continue;  // the high-contrast note is no choice
      item->SetChecked(ini.ReadBool(kSection, item->Name(), false));
      if (item->Checked()) item->Click();
    }
    adapter_->CheckBoxEnableDNS->SetChecked(ini.ReadBool(kSection, "CheckBoxEnableDNS", false));
    adapter_->CheckBoxEnableDNSClick();
    for (ui::CheckBox* box : commands_->RepairBoxesInSaveOrder())
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
  for (ui::MenuItem* item : ThemeMenu->Items())
    if (item->RadioItem()) document->ini.WriteBool(kSection, item->Name(), item->Checked());
  document->ini.WriteBool(kSection, "CheckBoxEnableDNS", adapter_->CheckBoxEnableDNS->Checked());
  for (ui::CheckBox* box : commands_->RepairBoxesInSaveOrder())
    document->ini.WriteBool(kSection, box->Name(), box->Checked());
  if (!document->Save(services_.files, path, code_page))
    throw std::runtime_error("Cannot write the settings file " + path);
}

}  // namespace app
