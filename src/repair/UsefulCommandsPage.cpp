#include "repair/UsefulCommandsPage.h"

#include <exception>
#include <stdexcept>

#include "adapter/MacReport.h"
#include "platform/ToolPaths.h"
#include "repair/RepairActions.h"
#include "shell/Journal.h"

namespace repair {

namespace {

// Message items logged before each SMB entry, by the entry's position.
constexpr const char* kSmbEntryItems[] = {"LangInsecureGuestLogins", "LangClientSecuritySignature",
                                          "LangServerSecuritySignature"};
constexpr uint32_t kSmbEntryPauseMs = 1000;

// The windows went away while a worker was running: it ends quietly.
struct WindowGone {};

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  for (;;) {
    auto at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

std::string ErrorText(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unexpected error";
  }
}

}  // namespace

// Where the system keeps what the SMB commands set.
const std::pair<const char*, const char*> kSmbStoredValues[] = {
    {"SYSTEM\\CurrentControlSet\\Services\\LanmanWorkstation\\Parameters", "AllowInsecureGuestAuth"},
    {"SYSTEM\\CurrentControlSet\\Services\\LanmanWorkstation\\Parameters", "RequireSecuritySignature"},
    {"SYSTEM\\CurrentControlSet\\Services\\LanmanServer\\Parameters", "RequireSecuritySignature"},
};

const std::vector<std::string>& SmbCommandTable(bool switch_on) {
  static const std::vector<std::string> on = {
      "EnableInsecureGuestLogons|Set-SmbClientConfiguration -EnableInsecureGuestLogons $true -Force",
      "ClientSecuritySignature|Set-SmbClientConfiguration -RequireSecuritySignature $false -Force",
      "ServerSecuritySignature|Set-SmbServerConfiguration -RequireSecuritySignature $false -Force",
  };
  static const std::vector<std::string> off = {
      "EnableInsecureGuestLogons|Set-SmbClientConfiguration -EnableInsecureGuestLogons $false -Force",
      "ClientSecuritySignature|Set-SmbClientConfiguration -RequireSecuritySignature $true -Force",
      "ServerSecuritySignature|Set-SmbServerConfiguration -RequireSecuritySignature $true -Force",
  };
  return switch_on ? on : off;
}

// What a worker of the page holds: the services, the way to the UI thread and the
// page, which it touches only inside hand-overs (dropped once the windows are gone).
class UsefulCommandsPage::WorkerSide {
 public:
  WorkerSide(UsefulCommandsPage* page, shell::Services& services, const ui::WorkerLink& ui_thread,
             std::function<void(const std::string&)> log)
      : page_(page), services_(services), ui_thread_(ui_thread), log_(std::move(log)) {}

  // Runs fn on the UI thread; ends the worker when the windows are gone.
  template <class Fn>
  void OnUi(Fn fn) {
    if (!ui_thread_.Synchronize(std::function<void()>(std::move(fn)))) throw WindowGone{};
  }
  std::string Msg(const char* item) {
    std::string text;
    OnUi([&] { text = page_->Msg(item); });
    return text;
  }
  void Log(const std::string& text) {
    log_(text);
    if (ui_thread_.Closed()) throw WindowGone{};
  }
  void LogItem(const char* item) { Log(Msg(item)); }
  void LogRaw(const std::string& line) {
    OnUi([&] { page_->shell_.LogRaw(line); });
  }
  void LogSeparator() {
    OnUi([&] { page_->shell_.LogSeparator(); });
  }

  void RepairThread();
  void SmbThread(bool switch_on);
  void ApplySmbSettings(bool switch_on);
  bool RunPowerShell(const std::string& command, uint32_t timeout_ms);

 private:
  UsefulCommandsPage* page_;
  shell::Services& services_;
  ui::WorkerLink ui_thread_;
  std::function<void(const std::string&)> log_;
};

UsefulCommandsPage::UsefulCommandsPage(shell::Shell& shell, ui::TabSheet& page) : Page(shell) {
  TabComButtons = Create<ui::Panel>(&page, "TabComButtons");
  TabComButtons->SetAlign(ui::Align::Right);
  TabComButtons->SetBounds({0, 0, 152, 0});
  ActivityIndicator1 = Create<ui::ActivityIndicator>(TabComButtons, "ActivityIndicator1");
  ActivityIndicator1->SetAlign(ui::Align::Bottom);
  ActivityIndicator1->SetBounds({0, 0, 152, 32});
  ActivityIndicator1->SetVisible(false);
  CreateRepairBoxes();
  CreateButtons();
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
}

void UsefulCommandsPage::CreateButtons() {
  auto button = [this](const char* name, const char* caption, int top) {
    ui::Button* b = Create<ui::Button>(TabComButtons, name);
    b->SetCaption(caption);
    b->SetBounds({21, top, 110, 25});
    return b;
  };
  // An empty frame two pixels high draws as a line across the panel.
  auto line = [this](const char* name, int top) {
    ui::GroupBox* g = Create<ui::GroupBox>(TabComButtons, name);
    g->SetBounds({4, top, 144, 2});
    return g;
  };
  ButtonApplay = button("ButtonApplay", "Применить", 276);
  ButtonApplay->OnClick = [this] { ButtonApplayClick(); };
  RadioGroup1 = line("RadioGroup1", 311);
  ButtonSMBAccess = button("ButtonSMBAccess", "SMB доступ", 321);
  ButtonSMBAccess->OnClick = [this] { ButtonSMBAccessClick(); };
  ButtonSMBDenied = button("ButtonSMBDenied", "SMB отменить", 352);
  ButtonSMBDenied->OnClick = [this] { ButtonSMBDeniedClick(); };
  RadioGroup2 = line("RadioGroup2", 387);
  ButtonMACAddress = button("ButtonMACAddress", "MAC Address", 397);
  ButtonMACAddress->OnClick = [this] { ButtonMACAddressClick(); };
}

std::vector<ui::CheckBox*> UsefulCommandsPage::RepairBoxesInSaveOrder() const {
  return {CheckBoxFlushDNS,      CheckBoxResetTCPIP,        CheckBoxResetProxy,
          CheckBoxRebuildWMI,    CheckBoxResetFirewall,     CheckBoxRepairWorkgroup,
          CheckBoxClearARPcache, CheckBoxNetworkVisibility, CheckBoxRestoreNetworkAdapters,
          CheckBoxRenewIP};
}

std::vector<UsefulCommandsPage::RunOrderEntry> UsefulCommandsPage::RunOrder() const {
  return {
      {CheckBoxFlushDNS, "FlushDNS"},
      {CheckBoxClearARPcache, "ClearARPcache"},
      {CheckBoxResetTCPIP, "ResetTCPIP"},
      {CheckBoxRenewIP, "RenewIP"},
      {CheckBoxResetFirewall, "ResetFirewall"},
      {CheckBoxResetProxy, "ResetProxy"},
      {CheckBoxRepairWorkgroup, "RepairWorkgroup"},
      {CheckBoxNetworkVisibility, "RepairNetworkVisibility"},
      {CheckBoxRebuildWMI, "RebuildWMI"},
      {CheckBoxRestoreNetworkAdapters, "RestoreNetworkAdapters"},
  };
}

bool UsefulCommandsPage::IsAnyChecked(const ui::Component& group_box) {
  for (const ui::Component* child : group_box.Children())
    if (child->GetKind() == ui::Kind::CheckBox && static_cast<const ui::CheckBox*>(child)->Checked()) return true;
  return false;
}

void UsefulCommandsPage::SetBusy(bool busy) {
  ActivityIndicator1->SetVisible(busy);
  ActivityIndicator1->SetAnimate(busy);
}

int UsefulCommandsPage::RepairThreadsRunning() const { return App().GetWorkers().Running("RepairThread"); }

int UsefulCommandsPage::SmbThreadsRunning() const {
  return App().GetWorkers().Running("SMBThread") + App().GetWorkers().Running("SMBThreadDisable");
}

void UsefulCommandsPage::ButtonApplayClick() {
  if (work_under_way_) return;
  if (!IsAnyChecked(*GroupBoxSafely) && !IsAnyChecked(*GroupBoxPro)) return;
  // Disabled from the click on, so no second run and no switch can start.
  work_under_way_ = true;
  TabComButtons->SetEnabled(false);
  auto side = std::make_shared<WorkerSide>(this, services_, App().GetWorkers().Link(),
                                           shell_.WorkerLog(App().GetWorkers().Link()));
  App().GetWorkers().Start("RepairThread", [side](const ui::WorkerLink&) { side->RepairThread(); });
}

void UsefulCommandsPage::WorkerSide::RepairThread() {
  UsefulCommandsPage* page = page_;
  try {
    try {
      std::vector<RunOrderEntry> ticked;
      OnUi([&] {
        page->TabComButtons->SetEnabled(false);
        page->SetBusy(true);
        // The panel is disabled, so the set cannot change during the run.
        for (const RunOrderEntry& entry : page->RunOrder())
          if (entry.box->Checked()) ticked.push_back(entry);
      });
      LogItem("LangRepairStart");
      // The whole run is one entry of the change journal.
      shell::JournalScope journal_entry(services_.journal,
                                        services_.journal ? Msg("LangJournalRepair") : std::string());
      int failed_steps = 0, unchecked_steps = 0;
      for (const RunOrderEntry& entry : ticked) {
        std::string caption;
        OnUi([&] { caption = entry.box->Caption(); });  // as displayed now, translated or not
        Log(caption);
        StepsReport report;
        try {
          report = RunSteps(services_, FindRepairAction(entry.action).steps);
        } catch (...) {
          // An error escaping an action fails that action; the run goes on.
          report.notes.push_back({true, std::string(entry.action), ErrorText(std::current_exception())});
        }
        std::string not_waited = Msg("LangStepNotWaited");
        for (const StepNote& note : report.notes)
          LogRaw(note.what + ": " + (note.failed ? note.why : not_waited));
        failed_steps += report.Failed();
        unchecked_steps += report.Unchecked();
        // Done only when every step was seen to succeed.
        LogItem(report.Failed() ? "LangError" : report.Unchecked() ? "LangStartedOnly" : "LangSuccessfully");
      }
      // The closing line counts the failed steps, and those nobody could check.
      std::string closing = Msg("LangRepairEnd") + "; " + Msg("LangFailedSteps") + ": " + std::to_string(failed_steps);
      if (unchecked_steps) closing += "; " + Msg("LangUncheckedSteps") + ": " + std::to_string(unchecked_steps);
      Log(closing);
      LogItem("LangRestart");
      LogSeparator();
    } catch (const WindowGone&) {
      throw;
    } catch (...) {
      // A failure of the run itself (not of an action): reported, and the panel
      // still comes back below.
      LogRaw(ErrorText(std::current_exception()));
      LogItem("LangError");
      LogSeparator();
    }
  } catch (const WindowGone&) {
    return;
  } catch (...) {
  }
  ui_thread_.Synchronize([page] {
    page->SetBusy(false);
    page->TabComButtons->SetEnabled(true);
    page->work_under_way_ = false;
  });
}

void UsefulCommandsPage::ButtonSMBAccessClick() { StartSmbSwitch(true); }
void UsefulCommandsPage::ButtonSMBDeniedClick() { StartSmbSwitch(false); }

void UsefulCommandsPage::StartSmbSwitch(bool switch_on) {
  // Both panels are disabled from the click on: no second switch, no repair run and
  // no page change while one lasts.
  if (work_under_way_) return;
  work_under_way_ = true;
  TabComButtons->SetEnabled(false);
  shell_.SetNavigationEnabled(false);
  auto side = std::make_shared<WorkerSide>(this, services_, App().GetWorkers().Link(),
                                           shell_.WorkerLog(App().GetWorkers().Link()));
  App().GetWorkers().Start(switch_on ? "SMBThread" : "SMBThreadDisable",
                           [side, switch_on](const ui::WorkerLink&) { side->SmbThread(switch_on); });
}

void UsefulCommandsPage::WorkerSide::SmbThread(bool switch_on) {
  UsefulCommandsPage* page = page_;
  try {
    OnUi([page] {
      page->TabComButtons->SetEnabled(false);
      page->shell_.SetNavigationEnabled(false);
    });
    try {
      shell::JournalScope journal_entry(services_.journal, services_.journal
                                                                ? Msg(switch_on ? "LangSMBON" : "LangSMBOFF")
                                                                : std::string());
      if (services_.journal) {
        // The settings the SMB commands change, as the system keeps them.
        for (const auto& [key, value] : kSmbStoredValues)
          services_.journal->RecordValue(platform::RegRoot::LocalMachine, platform::reg_access::kWow64_64Key, key,
                                         value);
        services_.journal->AddNote(Msg("LangJournalSmbNote"));
      }
      ApplySmbSettings(switch_on);
    } catch (const WindowGone&) {
      throw;
    } catch (...) {
      LogRaw(Msg("LangError") + " " + ErrorText(std::current_exception()));
      LogItem("LangError");
      LogSeparator();
    }
  } catch (const WindowGone&) {
    return;
  } catch (...) {
  }
  ui_thread_.Synchronize([page] {
    page->SetBusy(false);
    page->shell_.SetNavigationEnabled(true);
    page->TabComButtons->SetEnabled(true);
    page->work_under_way_ = false;
  });
}

void UsefulCommandsPage::WorkerSide::ApplySmbSettings(bool switch_on) {
  UsefulCommandsPage* page = page_;
  uint32_t timeout_ms = 0;
  OnUi([page, &timeout_ms] {
    page->SetBusy(true);
    timeout_ms = page->powershell_timeout_ms;
  });
  auto finish = [&] {
    // Every window hears of the change, also after an error; a window that does not
    // answer is skipped after the bound.
    services_.system.BroadcastSettingChange(kBroadcastTimeoutMs);
    OnUi([page] { page->SetBusy(false); });
  };
  try {
    LogItem(switch_on ? "LangSMBON" : "LangSMBOFF");
    bool all_done = true;
    const std::vector<std::string>& entries = SmbCommandTable(switch_on);
    for (size_t position = 0; position < entries.size(); ++position) {
      std::vector<std::string> parts = Split(entries[position], '|');
      if (parts.size() != 2) continue;
      LogItem(kSmbEntryItems[position]);  // the key part is never logged
      bool done = RunPowerShell(parts[1], timeout_ms);
      LogItem(done ? "LangSuccessfully" : "LangError");
      all_done = all_done && done;
      services_.clock.Sleep(kSmbEntryPauseMs);
    }
    LogItem(all_done ? "LangSuccessfully" : "LangError");
    LogSeparator();
  } catch (const WindowGone&) {
    throw;
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

bool UsefulCommandsPage::WorkerSide::RunPowerShell(const std::string& command, uint32_t timeout_ms) {
  std::string detail;
  try {
    platform::ToolLocation powershell = platform::LocateTool(services_.system, "powershell.exe");
    platform::ProcessOutcome outcome;
    if (powershell.Found())
      outcome = services_.processes.ShellOpenAndWait(powershell.path, "-Command \"" + command + "\"", timeout_ms);
    else
      outcome.error = powershell.error;
    if (!outcome.started)
      detail = "powershell.exe: cannot be started (" + outcome.error + ")";
    else if (outcome.timed_out)
      detail = "powershell.exe: no result within " + std::to_string(timeout_ms / 1000) + " s";
    else if (!outcome.exit_code)
      detail = "powershell.exe: " + outcome.error;
    else if (*outcome.exit_code != 0)
      detail = "powershell.exe: exit code " + std::to_string(*outcome.exit_code);
    else
      return true;
  } catch (const std::exception& e) {
    detail = e.what();
  }
  LogRaw(Msg("LangError") + " " + detail);
  return false;
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
