// The repair run and the SMB switches from the page's buttons: what they log, in
// which order, what they report when steps fail, and the panels and the indicator
// while they last.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "repair/RepairActions.h"
#include "repair/RepairFixture.h"

namespace {

using repair_support::RepairFixture;

const std::string kSeparator(40, '-');
const std::string kRaw = "[raw] ";

// The log's time-stamped lines; the step lines without a stamp are left out.
std::vector<std::string> StampedOnly(const std::vector<std::string>& texts) {
  std::vector<std::string> stamped;
  for (const std::string& text : texts)
    if (text.rfind("[raw] ", 0) != 0) stamped.push_back(text);
  return stamped;
}

TEST_F(RepairFixture, AllTenTickedRunInTheRunOrderNotTheScreenOrder) {
  traced_system.files.insert("C:\\Windows\\system32\\devcon.exe");
  for (const auto& entry : page().RunOrder()) entry.box->SetChecked(true);
  ClickAndWait(page().ButtonApplay);
  std::vector<std::string> expected = {"Начало комплексного ремонта интернета..."};
  for (const char* caption : {"Очистка DNS", "Очистка кэша ARP", "Сброс TCP/IP", "Обновление IP", "Сброс Firewall",
                              "Сброс Proxy", "Ремонт Workgroup", "Показать в сети", "Перестроить WMI",
                              "Восстановление сетевых адаптеров"}) {
    expected.push_back(caption);
    // The visibility repair leaves commands running that nobody waits for.
    expected.push_back(std::string(caption) == "Показать в сети" ? "Запущено, но результат проверен не полностью"
                                                                 : "Успешно!");
  }
  expected.push_back("Автоматическое исправление завершено; шагов с ошибкой: 0; запущено без проверки: 18");
  expected.push_back("Рекомендуется перезагрузить компьютер для применения всех изменений");
  EXPECT_EQ(StampedOnly(LogTexts()), expected);
  EXPECT_EQ(Log().back(), kSeparator);
  // The actions themselves ran in that order too: the first step of each.
  std::vector<std::string> firsts;
  for (const char* first : {"run+wait %sys%\\ipconfig.exe /flushdns", "run+wait %sys%\\netsh.exe interface IP delete arpcache",
                            "run+wait %sys%\\netsh.exe int ip reset", "run+wait %sys%\\ipconfig.exe /release",
                            "run+wait %sys%\\netsh.exe advfirewall reset",
                            "create HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings 0xF003F",
                            "run+wait %sys%\\net.exe stop winmgmt /y",
                            "run+wait %sys%\\devcon.exe disable *DEV_8168* *DEV_8169* *DEV_8136* *DEV_8137* *DEV_8139*"})
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
                                                  "Автоматическое исправление завершено; шагов с ошибкой: 0",
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
  processes.exit_codes["net stop dnscache /y"] = 2;  // devcon is not on this machine
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
                       "(devcon.exe is neither in the system folder nor beside the program)",
                kRaw + "devcon enable *DEV_8168* *DEV_8169* *DEV_8136* *DEV_8137* *DEV_8139*: cannot be started "
                       "(devcon.exe is neither in the system folder nor beside the program)",
                "Ошибка!",
                "Автоматическое исправление завершено; шагов с ошибкой: 6",
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
                                                  "Успешно!", "Автоматическое исправление завершено; шагов с ошибкой: 2",
                                                  "Рекомендуется перезагрузить компьютер для применения всех изменений",
                                                  kRaw + kSeparator}));
}

TEST_F(RepairFixture, TheLogShowsTheCaptionsAsDisplayedAtTheTimeOfTheRun) {
  form->Find("LangRepairStart")->SetCaption("Start of the repair...");
  form->Find("LangSuccessfully")->SetCaption("Done!");
  form->Find("LangRepairEnd")->SetCaption("Repair finished");
  form->Find("LangFailedSteps")->SetCaption("failed steps");
  page().CheckBoxResetTCPIP->SetCaption("Reset TCP/IP");
  Tick({page().CheckBoxResetTCPIP});
  ClickAndWait(page().ButtonApplay);
  ASSERT_GE(LogTexts().size(), 4u);
  EXPECT_EQ(LogTexts()[0], "Start of the repair...");
  EXPECT_EQ(LogTexts()[1], "Reset TCP/IP");
  EXPECT_EQ(LogTexts()[2], "Done!");
  EXPECT_EQ(LogTexts()[3], "Repair finished; failed steps: 0");
  EXPECT_EQ(Log().back(), kSeparator);
}

// What the log says about single steps: a command only started is "started", never
// done; a waited one that fails or outlasts its bound is an error with its reason; the
// closing line counts the failed steps (and the unchecked ones, when there are any).
TEST_F(RepairFixture, StepLinesSayStartedForWhatWasNotWaitedForAndTheClosingLineCountsFailures) {
  const std::string not_waited = ": запущено без ожидания, результат не проверялся";
  const std::string devcon_missing = ": cannot be started (devcon.exe is neither in the system folder nor beside the program)";
  const std::string disable = "devcon disable *DEV_8168* *DEV_8169* *DEV_8136* *DEV_8137* *DEV_8139*";
  const std::string enable = "devcon enable *DEV_8168* *DEV_8169* *DEV_8136* *DEV_8137* *DEV_8139*";
  struct Case {
    const char* name;
    std::function<void(RepairFixture&)> arrange;
    std::function<ui::CheckBox*(repair::UsefulCommandsPage&)> box;
    std::vector<std::string> action_lines;  // between the caption and the closing line
    std::string closing;                    // after "Автоматическое исправление завершено; "
  } cases[] = {
      {"a waited step that fails",
       [](RepairFixture& f) { f.processes.exit_codes["netsh int ipv4 reset"] = 1; },
       [](repair::UsefulCommandsPage& p) { return p.CheckBoxResetTCPIP; },
       {kRaw + "netsh int ipv4 reset: exit code 1", "Ошибка!"},
       "шагов с ошибкой: 1"},
      {"a waited step that outlasts its bound",
       [](RepairFixture& f) { f.processes.time_outs.insert("winmgmt /resetrepository"); },
       [](repair::UsefulCommandsPage& p) { return p.CheckBoxRebuildWMI; },
       {kRaw + "winmgmt /resetrepository: no result within 300 s", "Ошибка!"},
       "шагов с ошибкой: 1"},
      {"a waited step whose tool is missing, and the next one still runs",
       [](RepairFixture&) {},
       [](repair::UsefulCommandsPage& p) { return p.CheckBoxRestoreNetworkAdapters; },
       {kRaw + disable + devcon_missing, kRaw + enable + devcon_missing, "Ошибка!"},
       "шагов с ошибкой: 2"},
      {"devcon beside the program, both steps waited and done",
       [](RepairFixture& f) { f.traced_system.files.insert("C:\\Program Files\\Velmora\\devcon.exe"); },
       [](repair::UsefulCommandsPage& p) { return p.CheckBoxRestoreNetworkAdapters; },
       {"Успешно!"},
       "шагов с ошибкой: 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    processes = fakes::FakeProcesses{};
    traced_system.files.clear();
    page().MemoLogCom->SetLines({});
    for (const auto& entry : page().RunOrder()) entry.box->SetChecked(false);
    c.arrange(*this);
    ui::CheckBox* box = c.box(page());
    box->SetChecked(true);
    ClickAndWait(page().ButtonApplay);
    std::vector<std::string> expected = {"Начало комплексного ремонта интернета...", box->Caption()};
    for (const std::string& line : c.action_lines) expected.push_back(line);
    expected.push_back("Автоматическое исправление завершено; " + c.closing);
    expected.push_back("Рекомендуется перезагрузить компьютер для применения всех изменений");
    expected.push_back(kRaw + kSeparator);
    EXPECT_EQ(LogTexts(), expected);
  }
}

TEST_F(RepairFixture, TheVisibilityRepairReportsItsUnwaitedCommandsAsStartedAndOneThatCannotStartAsAFailure) {
  processes.missing_tools.insert("nbtstat");
  Tick({page().CheckBoxNetworkVisibility});
  ClickAndWait(page().ButtonApplay);
  const std::string started = ": запущено без ожидания, результат не проверялся";
  std::vector<std::string> raw;
  for (const std::string& text : LogTexts())
    if (text.rfind(kRaw, 0) == 0 && text != kRaw + kSeparator) raw.push_back(text.substr(kRaw.size()));
  std::vector<std::string> expected;
  for (const char* service : {"Browser", "FDResPub", "SSDPSRV", "upnphost", "Dnscache", "FDHost", "LanmanServer",
                              "LanmanWorkstation"})
    expected.push_back(std::string("net start \"") + service + "\"" + started);
  expected.push_back("nbtstat -RR: cannot be started (The system cannot find the file specified.)");
  for (const char* command :
       {"net start FDResPub", "net start SSDPSRV", "net start upnphost",
        "netsh advfirewall firewall add rule name=\"NetBIOS Name Service\" dir=in action=allow protocol=UDP localport=137",
        "netsh advfirewall firewall add rule name=\"NetBIOS Datagram Service\" dir=in action=allow protocol=UDP localport=138",
        "netsh advfirewall firewall add rule name=\"NetBIOS Session Service\" dir=in action=allow protocol=TCP localport=139",
        "sc start FDResPub", "net start WlanSvc", "net start Wcmsvc"})
    expected.push_back(command + started);
  EXPECT_EQ(raw, expected) << "the waited sc config and net stop WlanSvc succeeded, so they have no line";
  EXPECT_EQ(StampedOnly(LogTexts()),
            (std::vector<std::string>{"Начало комплексного ремонта интернета...", "Показать в сети", "Ошибка!",
                                      "Автоматическое исправление завершено; шагов с ошибкой: 1; запущено без проверки: 17",
                                      "Рекомендуется перезагрузить компьютер для применения всех изменений"}));

  // With every start going through, the action is still not called done.
  processes.missing_tools.clear();
  page().MemoLogCom->SetLines({});
  ClickAndWait(page().ButtonApplay);
  std::vector<std::string> stamped = StampedOnly(LogTexts());
  ASSERT_EQ(stamped.size(), 5u);
  EXPECT_EQ(stamped[2], "Запущено, но результат проверен не полностью");
  EXPECT_EQ(stamped[3], "Автоматическое исправление завершено; шагов с ошибкой: 0; запущено без проверки: 18");
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
    EXPECT_EQ(request.file, "C:\\Windows\\system32\\WindowsPowerShell\\v1.0\\powershell.exe");
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

  processes.shell_results["powershell"] = 2;
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

// Accessibility tools and automation reach a handler even while its button is
// disabled: a click that arrives during a run or a switch starts nothing more.
TEST_F(RepairFixture, AClickThatReachesAHandlerDuringARunOrASwitchStartsNothingMore) {
  using Page = repair::UsefulCommandsPage;
  struct Case {
    const char* what;
    void (Page::*start)();
  };
  const Case cases[] = {{"repair run", &Page::ButtonApplayClick},
                        {"SMB switch on", &Page::ButtonSMBAccessClick},
                        {"SMB switch off", &Page::ButtonSMBDeniedClick}};
  ui::WorkerLink ui_thread = application->GetWorkers().Link();
  auto& p = page();
  Tick({p.CheckBoxFlushDNS});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<int> workers_after_clicks;
    traced_processes.on_start = [&](const std::string&) {
      ui_thread.Synchronize([&] {
        for (void (Page::*handler)() : {&Page::ButtonApplayClick, &Page::ButtonSMBAccessClick,
                                        &Page::ButtonSMBDeniedClick})
          (p.*handler)();
        workers_after_clicks.push_back(p.RepairThreadsRunning() + p.SmbThreadsRunning());
      });
    };
    (p.*c.start)();
    WaitForWorkers();
    ASSERT_FALSE(workers_after_clicks.empty());
    for (int workers : workers_after_clicks) EXPECT_EQ(workers, 1);
    // Once it has ended, the next click starts again.
    EXPECT_TRUE(p.TabComButtons->Enabled());
    traced_processes.on_start = nullptr;
    const size_t lines = Log().size();
    p.ButtonApplayClick();
    WaitForWorkers();
    EXPECT_GT(Log().size(), lines);
  }
}

}  // namespace
