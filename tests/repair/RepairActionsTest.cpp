// Every repair action against the list of what it must do, step by step: commands
// with their exact parameters and wait flags, pauses, and registry blocks with the key,
// its access and view, whether it may be created, and each value with its type.
#include <gtest/gtest.h>

#include "repair/RepairActions.h"
#include "repair/RepairFixture.h"

namespace {

using repair_support::RepairFixture;

const char* const kHklmKey = " 0xF013F";  // full access, 64-bit view
const char* const kHkcuKey = " 0xF003F";  // full access, default view

std::string Machine(const char* path) { return std::string("create HKLM\\") + path + kHklmKey; }

struct Expected {
  const char* action;
  std::vector<std::string> trace;
};

std::vector<Expected> ExpectedActions() {
  const std::string lanman = "SYSTEM\\CurrentControlSet\\Services\\LanmanServer\\Parameters";
  const std::string netbt = "SYSTEM\\CurrentControlSet\\Services\\NetBT\\Parameters\\Interfaces";
  const std::string internet = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
  const std::string policy = "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\";
  std::vector<std::string> visibility = {
      Machine("SYSTEM\\CurrentControlSet\\Services\\FDResPub"), "  Start = dword 2",
      Machine("SYSTEM\\CurrentControlSet\\Services\\SSDPSRV"), "  Start = dword 2",
      Machine("SYSTEM\\CurrentControlSet\\Services\\upnphost"), "  Start = dword 2",
      Machine("SYSTEM\\CurrentControlSet\\Services\\Dnscache\\Parameters"), "  EnableICMPRedirect = dword 1",
      Machine("SYSTEM\\CurrentControlSet\\Services\\LanmanWorkstation\\Parameters"),
      "  UseCachedCredentials = dword 1", "  EnablePlainTextPassword = dword 1",
      "open HKLM\\" + netbt + kHklmKey, "  NetbiosOptions = dword 2",
      "create HKLM\\" + lanman + kHklmKey, "  restrictnullsessaccess = dword 0", "  EnableSecuritySignature = dword 0",
      "  requiresecuritysignature = dword 0",
      Machine("SYSTEM\\CurrentControlSet\\Services\\Browser\\Parameters"), "  MaintainServerList = dword 1",
      "  IsDomainMaster = dword 1",
      "create HKLM\\" + policy + "DomainProfile" + kHklmKey, "  EnableFirewall = dword 0", "  DisableNotifications = dword 1",
      "create HKLM\\" + policy + "StandardProfile" + kHklmKey, "  EnableFirewall = dword 0", "  DisableNotifications = dword 1"};
  for (const char* service : {"Browser", "FDResPub", "SSDPSRV", "upnphost", "Dnscache", "FDHost", "LanmanServer",
                              "LanmanWorkstation"}) {
    visibility.push_back(std::string("shell %sys%\\net.exe start \"") + service + "\"");
    visibility.push_back("pause 2000");
  }
  for (const char* step : {
           "run %sys%\\nbtstat.exe -RR",
           "BroadcastSettingChange",
           "run %sys%\\net.exe start FDResPub",
           "run %sys%\\net.exe start SSDPSRV",
           "run %sys%\\net.exe start upnphost",
           "run %sys%\\netsh.exe advfirewall firewall add rule name=\"NetBIOS Name Service\" dir=in action=allow protocol=UDP localport=137",
           "run %sys%\\netsh.exe advfirewall firewall add rule name=\"NetBIOS Datagram Service\" dir=in action=allow protocol=UDP localport=138",
           "run %sys%\\netsh.exe advfirewall firewall add rule name=\"NetBIOS Session Service\" dir=in action=allow protocol=TCP localport=139",
           "run+wait %sys%\\sc.exe config FDResPub start= auto",
           "run %sys%\\sc.exe start FDResPub",
           "run+wait %sys%\\net.exe stop WlanSvc",
           "pause 3000",
           "run %sys%\\net.exe start WlanSvc",
           "run %sys%\\net.exe start Wcmsvc",
       })
    visibility.push_back(step);

  return {
      {"FlushDNS",
       {"run+wait %sys%\\ipconfig.exe /flushdns", "run+wait %sys%\\ipconfig.exe /registerdns", "run+wait %sys%\\net.exe stop dnscache /y", "pause 2000",
        "run+wait %sys%\\net.exe start dnscache"}},
      {"ClearARPcache", {"run+wait %sys%\\netsh.exe interface IP delete arpcache", "run+wait %sys%\\arp.exe -d"}},
      {"ResetTCPIP", {"run+wait %sys%\\netsh.exe int ip reset", "run+wait %sys%\\netsh.exe int ipv4 reset", "run+wait %sys%\\netsh.exe int ipv6 reset"}},
      {"RenewIP", {"run+wait %sys%\\ipconfig.exe /release", "pause 3000", "run+wait %sys%\\ipconfig.exe /renew", "run+wait %sys%\\ipconfig.exe /all"}},
      {"ResetFirewall",
       {"run+wait %sys%\\netsh.exe advfirewall reset", "run+wait %sys%\\netsh.exe advfirewall set allprofiles state on",
        "run+wait %sys%\\netsh.exe advfirewall firewall set rule group=\"@FirewallAPI.dll,-28502\" new enable=Yes",
        "run+wait %sys%\\netsh.exe advfirewall firewall set rule group=\"@FirewallAPI.dll,-32752\" new enable=Yes"}},
      {"ResetProxy",
       {"create HKCU\\" + internet + kHkcuKey, "  ProxyEnable = dword 0", "  ProxyServer = sz \"\"",
        "  ProxyOverride = sz \"<local>\"", "  AutoConfigURL = sz \"\"", "create HKLM\\" + internet + kHklmKey,
        "  ProxyEnable = dword 0", "  ProxyServer = sz \"\""}},
      {"RepairWorkgroup",
       {"create HKLM\\" + lanman + kHklmKey, "  restrictnullsessaccess = dword 0", "  AutoShareServer = dword 1",
        "  AutoShareWks = dword 1", "create HKLM\\" + netbt + kHklmKey, "  NetbiosOptions = dword 2"}},
      {"RepairNetworkVisibility", visibility},
      {"RebuildWMI",
       {"run+wait %sys%\\net.exe stop winmgmt /y", "pause 3000", "run+wait %sys%\\wbem\\winmgmt.exe /resetrepository", "pause 2000",
        "run+wait %sys%\\net.exe start winmgmt"}},
      {"RestoreNetworkAdapters",
       {"run+wait C:\\Program Files\\Velmora\\devcon.exe disable *DEV_8168* *DEV_8169* *DEV_8136* *DEV_8137* *DEV_8139*", "pause 3000",
        "run+wait C:\\Program Files\\Velmora\\devcon.exe enable *DEV_8168* *DEV_8169* *DEV_8136* *DEV_8137* *DEV_8139*"}},
  };
}

// The short form of a traced start ("run+wait %sys%\\net.exe stop x" gives "net stop x").
std::string ShortStart(const std::string& line) {
  std::string rest = line.substr(line.find(' ') + 1);
  size_t exe = rest.find(".exe ");
  std::string path = rest.substr(0, exe), params = rest.substr(exe + 5);
  return path.substr(path.find_last_of('\\') + 1) + " " + params;
}

TEST_F(RepairFixture, EveryActionDoesExactlyItsStepsInOrderAndAllSucceedOnAWillingMachine) {
  // The NetBT key exists, so the visibility repair writes it too; devcon comes with
  // the program.
  registry.CreateKey(platform::RegRoot::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\NetBT\\Parameters\\Interfaces");
  traced_system.files.insert("C:\\Program Files\\Velmora\\devcon.exe");
  std::vector<Expected> expected = ExpectedActions();
  ASSERT_EQ(repair::RepairActions().size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].action);
    EXPECT_EQ(repair::RepairActions()[i].name, expected[i].action) << "the run's order";
    trace.lines.clear();
    repair::StepsReport report = repair::RunSteps(traced, repair::FindRepairAction(expected[i].action).steps);
    EXPECT_EQ(trace.lines, expected[i].trace);
    EXPECT_EQ(report.Failed(), 0);
    // Exactly the starts that were not waited for are reported as unchecked.
    std::vector<std::string> not_waited, unchecked;
    for (const std::string& line : expected[i].trace)
      if (line.rfind("run ", 0) == 0 || line.rfind("shell ", 0) == 0) not_waited.push_back(ShortStart(line));
    for (const repair::StepNote& note : report.notes) unchecked.push_back(note.what);
    EXPECT_EQ(unchecked, not_waited);
  }
  // Every wait is bounded.
  for (const auto& start : processes.started) {
    if (start.wait) {
      EXPECT_EQ(start.timeout_ms, repair::kCommandTimeoutMs) << start.command_line;
    }
  }
  // The broadcast bounds its wait for each window.
  EXPECT_EQ(traced_system.broadcasts, std::vector<uint32_t>{repair::kBroadcastTimeoutMs});
}

TEST_F(RepairFixture, RegistryBlocksLandInThe64BitViewWithTheirTypesAndRepeatTheSame) {
  for (int run = 0; run < 2; ++run) {
    EXPECT_TRUE(repair::RunSteps(traced, repair::FindRepairAction("ResetProxy").steps).notes.empty());
    EXPECT_TRUE(repair::RunSteps(traced, repair::FindRepairAction("RepairWorkgroup").steps).notes.empty());
  }
  using platform::RegRoot;
  using platform::RegType;
  const char* internet = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
  struct Case {
    RegRoot root;
    std::string key, name;
    RegType type;
    std::string text;
    uint32_t number;
  } cases[] = {
      {RegRoot::CurrentUser, internet, "ProxyEnable", RegType::DWord, "", 0},
      {RegRoot::CurrentUser, internet, "ProxyOverride", RegType::String, "<local>", 0},
      // An empty string value, not a missing one.
      {RegRoot::CurrentUser, internet, "AutoConfigURL", RegType::String, "", 0},
      {RegRoot::LocalMachine, internet, "ProxyServer", RegType::String, "", 0},
      {RegRoot::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\LanmanServer\\Parameters", "AutoShareWks",
       RegType::DWord, "", 1},
      // Created on the Interfaces key itself where it was missing.
      {RegRoot::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\NetBT\\Parameters\\Interfaces",
       "NetbiosOptions", RegType::DWord, "", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fakes::FakeRegistry::Value* value = registry.Find(c.root, c.key, c.name);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, c.type);
    if (c.type == RegType::String) EXPECT_EQ(value->text, c.text);
    else EXPECT_EQ(value->number, c.number);
  }
  std::string in_32bit_view = registry.MapView(RegRoot::LocalMachine, internet, platform::reg_access::kAllAccess);
  ASSERT_NE(in_32bit_view, internet);
  EXPECT_FALSE(registry.KeyExists(RegRoot::LocalMachine, in_32bit_view)) << "nothing went to the 32-bit view";
}

TEST_F(RepairFixture, TheVisibilityRepairSkipsAMissingNetBtKeyWithoutCreatingItOrCallingItAFailure) {
  repair::StepsReport report = repair::RunSteps(traced, repair::FindRepairAction("RepairNetworkVisibility").steps);
  EXPECT_EQ(report.Failed(), 0);
  EXPECT_FALSE(registry.KeyExists(platform::RegRoot::LocalMachine,
                                  "SYSTEM\\CurrentControlSet\\Services\\NetBT\\Parameters\\Interfaces"));
}

TEST_F(RepairFixture, ARefusedServiceStartIsAFailureAndSkipsItsPause) {
  processes.shell_results["net"] = 2;
  repair::StepsReport report = repair::StartNetworkServices(traced);
  ASSERT_EQ(report.Failed(), 8);
  EXPECT_EQ(report.notes[0].what, "net start \"Browser\"");
  EXPECT_EQ(report.notes[0].why, "the shell refused the request");
  EXPECT_TRUE(clock.sleeps.empty());
  processes.shell_results.clear();
  EXPECT_TRUE(repair::NetStartService(traced, "FDHost"));
  EXPECT_EQ(clock.sleeps, std::vector<uint32_t>{2000});
}

}  // namespace
