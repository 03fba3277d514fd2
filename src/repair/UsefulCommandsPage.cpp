#include "repair/UsefulCommandsPage.h"

#include "adapter/MacReport.h"

namespace repair {

UsefulCommandsPage::UsefulCommandsPage(app::Shell& shell, ui::TabSheet& page) : Page(shell) {
  TabComButtons = Create<ui::Panel>(&page, "TabComButtons");
  TabComButtons->SetAlign(ui::Align::Right);
  TabComButtons->SetBounds({0, 0, 152, 0});
  ActivityIndicator1 = Create<ui::ActivityIndicator>(TabComButtons, "ActivityIndicator1");
  ActivityIndicator1->SetAlign(ui::Align::Bottom);
  ActivityIndicator1->SetBounds({0, 0, 152, 32});
  CreateRepairBoxes();
  TabLOGCom = Create<ui::Panel>(&page, "TabLOGCom");
  TabLOGCom->SetAlign(ui::Align::Client);
  MemoLogCom = Create<ui::Memo>(TabLOGCom, "MemoLogCom");
  MemoLogCom->SetAlign(ui::Align::Client);
  MemoLogCom->SetReadOnly(true);
}

void UsefulCommandsPage::CreateRepairBoxes() {
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

std::vector<ui::CheckBox*> UsefulCommandsPage::RepairBoxesInSaveOrder() const {
  return {CheckBoxFlushDNS,      CheckBoxResetTCPIP,        CheckBoxResetProxy,
          CheckBoxRebuildWMI,    CheckBoxResetFirewall,     CheckBoxRepairWorkgroup,
          CheckBoxClearARPcache, CheckBoxNetworkVisibility, CheckBoxRestoreNetworkAdapters,
          CheckBoxRenewIP};
}

void UsefulCommandsPage::ButtonMACAddressClick() {
  // The panel stays disabled while the report is written: Log lets messages run.
  TabComButtons->SetEnabled(false);
  try {
    shell_.Log(ButtonMACAddress->Caption());
    adapter::AppendAdapterList(services_.system, *MemoLogCom);
    shell_.LogSeparator();
  } catch (...) {
    TabComButtons->SetEnabled(true);
    throw;
  }
  TabComButtons->SetEnabled(true);
}

}  // namespace repair
