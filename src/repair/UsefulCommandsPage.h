// The useful commands page: the activity log on the left, and on the right the
// repair check boxes, the apply button, the SMB switches, the MAC button and the busy
// indicator.
//
// Owns: TabLOGCom with MemoLogCom; TabComButtons with GroupBoxSafely and GroupBoxPro
// (the ten repair check boxes), ButtonApplay, the dividing lines RadioGroup1 and
// RadioGroup2, ButtonSMBAccess, ButtonSMBDenied, ButtonMACAddress and
// ActivityIndicator1. The repair run (RepairThread) and the SMB switches (SMBThread,
// SMBThreadDisable) run on workers.
// May call: the shell (log, worker log, navigation enabling).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/Page.h"

namespace repair {

// The three PowerShell entries of one SMB direction: "key|command".
const std::vector<std::string>& SmbCommandTable(bool switch_on);

class UsefulCommandsPage : public shell::Page {
 public:
  UsefulCommandsPage(shell::Shell& shell, ui::TabSheet& page);

  // Starts a repair run of the ticked actions; nothing ticked does nothing.
  void ButtonApplayClick();
  // True when one of the group box's own children is a ticked check box.
  static bool IsAnyChecked(const ui::Component& group_box);
  // The SMB switches: on (SMBThread) and off (SMBThreadDisable).
  void ButtonSMBAccessClick();
  void ButtonSMBDeniedClick();
  // The adapters' hardware addresses, written into the activity log.
  void ButtonMACAddressClick();
  // The repair check boxes in the order the settings file stores them.
  std::vector<ui::CheckBox*> RepairBoxesInSaveOrder() const;
  // The repair check boxes in the run's order, each with its action's name.
  struct RunOrderEntry {
    ui::CheckBox* box;
    std::string_view action;
  };
  std::vector<RunOrderEntry> RunOrder() const;

  // Workers of the page still running.
  int RepairThreadsRunning() const;
  int SmbThreadsRunning() const;

  // How long a switch waits for each PowerShell process before calling it failed.
  uint32_t powershell_timeout_ms = kPowerShellTimeoutMs;
  static constexpr uint32_t kPowerShellTimeoutMs = 60000;

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
  ui::Button* ButtonApplay;
  ui::GroupBox* RadioGroup1;
  ui::Button* ButtonSMBAccess;
  ui::Button* ButtonSMBDenied;
  ui::GroupBox* RadioGroup2;
  ui::Button* ButtonMACAddress;

 private:
  class WorkerSide;
  void CreateRepairBoxes();
  void CreateButtons();
  void StartSmbSwitch(bool switch_on);
  // Shows or hides the indicator with its animation (UI thread).
  void SetBusy(bool busy);
  // A repair run or an SMB switch is under way, from its click to its last hand-over
  // (UI thread): none other starts meanwhile, whatever the panel's state says.
  bool work_under_way_ = false;
};

}  // namespace repair
