// The useful commands page: the activity log on the left, and on the right the
// repair check boxes, the buttons and the busy indicator.
//
// Owns: TabLOGCom with MemoLogCom; TabComButtons with GroupBoxSafely and GroupBoxPro
// (the ten repair check boxes), ButtonMACAddress and ActivityIndicator1.
// May call: the shell (log, command runner).
#pragma once

#include <vector>

#include "app/Page.h"

namespace repair {

class UsefulCommandsPage : public app::Page {
 public:
  UsefulCommandsPage(app::Shell& shell, ui::TabSheet& page);

  // The adapters' hardware addresses, written into the activity log.
  void ButtonMACAddressClick();
  // The repair check boxes in the order the settings file stores them.
  std::vector<ui::CheckBox*> RepairBoxesInSaveOrder() const;

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

 private:
  void CreateRepairBoxes();
};

}  // namespace repair
