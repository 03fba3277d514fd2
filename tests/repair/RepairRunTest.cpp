// The repair run and the SMB switches from the page's buttons: what they log, in
// which order, what they report when steps fail, and the panels and the indicator
// while they last.
#include <gtest/gtest.h>

#include <stdexcept>

#include "repair/RepairActions.h"
#include "repair/RepairFixture.h"

namespace {

using repair_support::RepairFixture;

const std::string kSeparator(40, '-');
const std::string kRaw = "[raw] ";

TEST_F(RepairFixture, AllTenTickedRunInTheRunOrderNotTheScreenOrder) {
  for (const auto& entry : page().RunOrder()) entry.box->SetChecked(true);
  ClickAndWait(page().ButtonApplay);
  std::vector<std::string> expected = {"Начало комплексного ремонта интернета..."};
  for (const char* caption : {"Очистка DNS", "Очистка кэша ARP", "Сброс TCP/IP", "Обновление IP", "Сброс Firewall",
                              "Сброс Proxy", "Ремонт Workgroup", "Показать в сети", "Перестроить WMI",
                              "Восстановление сетевых адаптеров"}) {
    expected.push_back(caption);
    expected.push_back("Успешно!");
  }
  expected.push_back("Автоматическое исправление завершено");
  expected.push_back("Рекомендуется перезагрузить компьютер для применения всех изменений");
  expected.push_back(kRaw + kSeparator);
  EXPECT_EQ(LogTexts(), expected);
  // The actions themselves ran in that order too: the first step of each.
  std::vector<std::string> firsts;
  for (const char* first : {"run+wait ipconfig /flushdns", "run+wait netsh interface IP delete arpcache",
                            "run+wait netsh int ip reset", "run+wait ipconfig /release", "run+wait netsh advfirewall reset",
                            "create HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings 0xF003F",
                            "run+wait net stop winmgmt /y", "run devcon disable *DEV_8168* *DEV_8169* *DEV_8136* *DEV_8137* *DEV_8139*"})
    firsts.push_back(first);
  size_t at = 0;
  for (const std::string& line : trace.lines)
    if (at < firsts.size() && line == firsts[at]) ++at;
  EXPECT_EQ(at, firsts.size()) << "first steps out of order";
}

TEST_F(RepairFixture, EitherGroupStartsARunAndNothingTickedDoesNothing) {
  ClickAndWait(page().ButtonApplay);
  EXPECT_TRUE(Log().empty());
  EXPECT_TRUE(trace.lines.empty());
  EXPECT_TRUE(page().TabComButtons->Enabled());

  Tick({page().CheckBoxRebuildWMI});  // a box of the "Pro" group alone
  ClickAndWait(page().ButtonApplay);
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{"Начало комплексного ремонта интернета...", "Перестроить WMI", "Успешно!",
                                                  "Автоматическое исправление завершено",
                                                  "Рекомендуется перезагрузить компьютер для применения всех изменений",
                                                  kRaw + kSeparator}));
  EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{3000, 2000}));
}

TEST_F(RepairFixture, TwoRunsAppendTheSecondAfterTheFirstSeparator) {
  Tick({page().CheckBoxClearARPcache});
  ClickAndWait(page().ButtonApplay);
  size_t first = Log().size();
  clock.now = {12, 0, 0};
  ClickAndWait(page().ButtonApplay);
  ASSERT_EQ(Log().size(), 2 * first);
  EXPECT_EQ(Log()[first - 1], kSeparator);
  EXPECT_EQ(std::vector<std::string>(Log().begin(), Log().begin() + first),
            std::vector<std::string>(Log().begin() + first, Log().end()));
}

TEST_F(RepairFixture, FailedStepsAreNamedAndTheActionLogsAnErrorWhileTheRunGoesOn) {
  registry.elevated = false;
  processes.exit_codes["net stop dnscache /y"] = 2;
  processes.missing_tools.insert("devcon");
  Tick({page().CheckBoxFlushDNS, page().CheckBoxResetProxy, page().CheckBoxRepairWorkgroup,
        page().CheckBoxClearARPcache, page().CheckBoxRestoreNetworkAdapters});
  ClickAndWait(page().ButtonApplay);
  const std::string hklm = kRaw + "HKEY_LOCAL_MACHINE\\";
  EXPECT_EQ(LogTexts(),
            (std::vector<std::string>{
                "Начало комплексного ремонта интернета...",
                "Очистка DNS",
                kRaw + "net stop dnscache /y: exit code 2",
                "Ошибка!",
                "Очистка кэша ARP",
                "Успешно!",
                "Сброс Proxy",
                hklm + "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings: Access is denied.",
                "Ошибка!",
                "Ремонт Workgroup",
                hklm + "SYSTEM\\CurrentControlSet\\Services\\LanmanServer\\Parameters: Access is denied.",
                hklm + "SYSTEM\\CurrentControlSet\\Services\\NetBT\\Parameters\\Interfaces: Access is denied.",
                "Ошибка!",
                "Восстановление сетевых адаптеров",
                kRaw + "devcon disable *DEV_8168* *DEV_8169* *DEV_8136* *DEV_8137* *DEV_8139*: cannot be started "
                       "(The system cannot find the file specified.)",
                kRaw + "devcon enable *DEV_8168* *DEV_8169* *DEV_8136* *DEV_8137* *DEV_8139*: cannot be started "
                       "(The system cannot find the file specified.)",
                "Ошибка!",
                "Автоматическое исправление завершено",
                "Рекомендуется перезагрузить компьютер для применения всех изменений",
                kRaw + kSeparator,
            }));
  // Without elevation the user's own proxy block is still written.
  const fakes::FakeRegistry::Value* override_value = registry.Find(
      platform::RegRoot::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", "ProxyOverride");
  ASSERT_NE(override_value, nullptr);
  EXPECT_EQ(override_value->text, "<local>");
  // The pauses still happen: the missing tool does not shorten the action.
  EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{2000, 3000}));
}

TEST_F(RepairFixture, ThePanelIsDisabledAndTheIndicatorTurnsOnlyWhileARunLastsAlsoWhenAnActionThrows) {
  struct Seen {
    bool panel_enabled, apply_usable, smb_usable, indicator_visible, indicator_animates;
  };
  std::vector<Seen> seen;
  ui::WorkerLink ui_thread = application->GetWorkers().Link();
  auto& p = page();
  traced_processes.on_start = [&](const std::string& line) {
    ui_thread.Synchronize([&] {
      seen.push_back({p.TabComButtons->Enabled(), p.ButtonApplay->EffectivelyEnabled(),
                      p.ButtonSMBAccess->EffectivelyEnabled(), p.ActivityIndicator1->Visible(),
                      p.ActivityIndicator1->Animate()});
    });
    if (line == "ipconfig /flushdns") throw std::runtime_error("the tool crashed");
    if (line == "netsh int ip reset") throw 42;
  };
  EXPECT_FALSE(p.ActivityIndicator1->Visible());
  Tick({p.CheckBoxFlushDNS, p.CheckBoxResetTCPIP, p.CheckBoxRenewIP});
  UserClick(p.ButtonApplay);
  EXPECT_FALSE(p.TabComButtons->Enabled()) << "disabled from the click on";
  WaitForWorkers();
  ASSERT_FALSE(seen.empty());
  for (const Seen& s : seen) {
    EXPECT_FALSE(s.panel_enabled);
    EXPECT_FALSE(s.apply_usable);
    EXPECT_FALSE(s.smb_usable);
    EXPECT_TRUE(s.indicator_visible);
    EXPECT_TRUE(s.indicator_animates);
  }
  EXPECT_TRUE(p.TabComButtons->Enabled());
  EXPECT_FALSE(p.ActivityIndicator1->Visible());
  EXPECT_FALSE(p.ActivityIndicator1->Animate());
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{"Начало комплексного ремонта интернета...", "Очистка DNS",
                                                  kRaw + "FlushDNS: the tool crashed", "Ошибка!", "Сброс TCP/IP",
                                                  kRaw + "ResetTCPIP: unexpected error", "Ошибка!", "Обновление IP",
                                                  "Успешно!", "Автоматическое исправление завершено",
                                                  "Рекомендуется перезагрузить компьютер для применения всех изменений",
                                                  kRaw + kSeparator}));
}

TEST_F(RepairFixture, TheLogShowsTheCaptionsAsDisplayedAtTheTimeOfTheRun) {
  form->Find("LangRepairStart")->SetCaption("Start of the repair...");
  form->Find("LangSuccessfully")->SetCaption("Done!");
  page().CheckBoxNetworkVisibility->SetCaption("Show on network");
  Tick({page().CheckBoxNetworkVisibility});
  ClickAndWait(page().ButtonApplay);
  ASSERT_GE(LogTexts().size(), 3u);
  EXPECT_EQ(LogTexts()[0], "Start of the repair...");
  EXPECT_EQ(LogTexts()[1], "Show on network");
  EXPECT_EQ(LogTexts()[2], "Done!");
  EXPECT_EQ(Log().back(), kSeparator);
}

std::vector<std::string> SmbBlock(const char* heading, std::vector<std::string> entry_results = {"Успешно!", "Успешно!", "Успешно!"},
                                  const char* closing = "Успешно!") {
  return {heading,
          "Небезопасные гостевые логины...", entry_results[0],
          "Подпись безопасности клиента...", entry_results[1],
          "Подпись безопасности сервера...", entry_results[2],
          closing,
          kRaw + kSeparator};
}

TEST_F(RepairFixture, SmbOnThenOffWritesTwoClosedBlocksAndWaitsForEachPowerShell) {
  ClickAndWait(page().ButtonSMBAccess);
  ClickAndWait(page().ButtonSMBDenied);
  std::vector<std::string> expected = SmbBlock("ВКЛЮЧЕНИЕ всех настроек SMB");
  for (const std::string& line : SmbBlock("ВЫКЛЮЧЕНИЕ всех настроек SMB")) expected.push_back(line);
  EXPECT_EQ(LogTexts(), expected);
  for (const std::string& line : Log()) EXPECT_EQ(line.find("Signature|"), std::string::npos) << line;
  for (const char* key : {"EnableInsecureGuestLogons", "ClientSecuritySignature", "ServerSecuritySignature"})
    for (const std::string& line : Log()) EXPECT_EQ(line.find(key), std::string::npos) << line;

  std::vector<std::string> params;
  for (const auto& request : processes.shell_requests) {
    EXPECT_EQ(request.file, "powershell.exe");
    EXPECT_TRUE(request.waited);
    EXPECT_EQ(request.timeout_ms, repair::UsefulCommandsPage::kPowerShellTimeoutMs);
    params.push_back(request.params);
  }
  EXPECT_EQ(params, (std::vector<std::string>{
                        "-Command \"Set-SmbClientConfiguration -EnableInsecureGuestLogons $true -Force\"",
                        "-Command \"Set-SmbClientConfiguration -RequireSecuritySignature $false -Force\"",
                        "-Command \"Set-SmbServerConfiguration -RequireSecuritySignature $false -Force\"",
                        "-Command \"Set-SmbClientConfiguration -EnableInsecureGuestLogons $false -Force\"",
                        "-Command \"Set-SmbClientConfiguration -RequireSecuritySignature $true -Force\"",
                        "-Command \"Set-SmbServerConfiguration -RequireSecuritySignature $true -Force\"",
                    }));
  EXPECT_EQ(clock.sleeps, std::vector<uint32_t>(6, 1000));
  EXPECT_EQ(traced_system.broadcasts, (std::vector<uint32_t>{repair::kBroadcastTimeoutMs, repair::kBroadcastTimeoutMs}));
}

TEST_F(RepairFixture, APowerShellThatFailsOrOutlastsItsWaitIsAnErrorWithItsReason) {
  processes.shell_exit_codes["-Command \"Set-SmbClientConfiguration -RequireSecuritySignature $false -Force\""] = 1;
  processes.shell_time_outs.insert("-Command \"Set-SmbServerConfiguration -RequireSecuritySignature $false -Force\"");
  ClickAndWait(page().ButtonSMBAccess);
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{
                            "ВКЛЮЧЕНИЕ всех настроек SMB",
                            "Небезопасные гостевые логины...", "Успешно!",
                            "Подпись безопасности клиента...", kRaw + "Ошибка! powershell.exe: exit code 1", "Ошибка!",
                            "Подпись безопасности сервера...", kRaw + "Ошибка! powershell.exe: no result within 60 s",
                            "Ошибка!",
                            "Ошибка!",
                            kRaw + kSeparator}));

  processes.shell_results["powershell.exe"] = 2;
  page().MemoLogCom->SetLines({});
  ClickAndWait(page().ButtonSMBDenied);
  ASSERT_GE(LogTexts().size(), 3u);
  EXPECT_EQ(LogTexts()[2], kRaw + "Ошибка! powershell.exe: cannot be started (The system cannot find the file specified.)");
}

TEST_F(RepairFixture, DuringASwitchNeitherNavigationNorThePanelReactsAndBothComeBackAfterAnError) {
  ui::WorkerLink ui_thread = application->GetWorkers().Link();
  auto& p = page();
  form->ButtonUsefulCommandsClick();
  ui::TabSheet* before = form->PageControl->ActivePage();
  std::vector<bool> navigation_enabled, page_changed, run_started;
  traced_processes.on_start = [&](const std::string&) {
    ui_thread.Synchronize([&] {
      navigation_enabled.push_back(form->TabControlPanelNetwork->Enabled());
      UserClick(form->ButtonDNS);
      page_changed.push_back(form->PageControl->ActivePage() != before);
      p.CheckBoxFlushDNS->SetChecked(true);
      UserClick(p.ButtonApplay);
      run_started.push_back(p.RepairThreadsRunning() > 0);
    });
    throw 7;  // an error that escapes the switch
  };
  UserClick(p.ButtonSMBAccess);
  EXPECT_FALSE(form->TabControlPanelNetwork->Enabled()) << "disabled from the click on";
  WaitForWorkers();
  EXPECT_EQ(navigation_enabled, (std::vector<bool>{false}));
  EXPECT_EQ(page_changed, (std::vector<bool>{false}));
  EXPECT_EQ(run_started, (std::vector<bool>{false}));
  EXPECT_TRUE(form->TabControlPanelNetwork->Enabled());
  EXPECT_TRUE(p.TabComButtons->Enabled());
  EXPECT_FALSE(p.ActivityIndicator1->Visible());
  EXPECT_FALSE(p.ActivityIndicator1->Animate());
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{"ВКЛЮЧЕНИЕ всех настроек SMB", "Небезопасные гостевые логины...",
                                                  kRaw + "Ошибка! unexpected error", "Ошибка!", kRaw + kSeparator}));
  EXPECT_EQ(traced_system.broadcasts.size(), 1u) << "the notice goes out also after an error";
}

}  // namespace
