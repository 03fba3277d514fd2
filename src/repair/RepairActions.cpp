#include "repair/RepairActions.h"

#include <stdexcept>

#include "platform/ToolPaths.h"

namespace repair {
namespace {

using platform::RegRoot;
using platform::RegType;

Step Of(StepKind kind) {
  Step step;
  step.kind = kind;
  return step;
}

Step Cmd(std::string_view program, std::string_view params, bool wait) {
  Step step = Of(StepKind::Command);
  step.program = program;
  step.params = params;
  step.wait = wait;
  return step;
}
Step Wait(std::string_view program, std::string_view params) { return Cmd(program, params, true); }
Step NoWait(std::string_view program, std::string_view params) { return Cmd(program, params, false); }

Step Pause(uint32_t ms) {
  Step step = Of(StepKind::Pause);
  step.pause_ms = ms;
  return step;
}

enum Creation { OpenOnly = 0, CreateMissing = 1 };

Step Block(RegRoot root, std::string_view key, Creation creation, std::vector<RegValue> values) {
  Step step = Of(StepKind::RegistryBlock);
  step.root = root;
  step.key = key;
  step.create = creation == CreateMissing;
  step.values = std::move(values);
  return step;
}
Step Machine(std::string_view key, std::vector<RegValue> values, Creation creation = CreateMissing) {
  return Block(RegRoot::LocalMachine, key, creation, std::move(values));
}

RegValue Dw(std::string_view name, uint32_t number) { return {name, RegType::DWord, number, {}}; }
RegValue Sz(std::string_view name, std::string_view text) { return {name, RegType::String, 0, text}; }

constexpr std::string_view kInternetSettings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr std::string_view kLanmanServer = "SYSTEM\\CurrentControlSet\\Services\\LanmanServer\\Parameters";
constexpr std::string_view kNetBtInterfaces = "SYSTEM\\CurrentControlSet\\Services\\NetBT\\Parameters\\Interfaces";

std::vector<RepairAction> MakeActions() {
  std::vector<RepairAction> actions;
  actions.push_back({"FlushDNS",
                     {Wait("ipconfig", "/flushdns"),
                      Wait("ipconfig", "/registerdns"),
                      Wait("net", "stop dnscache /y"),
                      Pause(2000),
                      Wait("net", "start dnscache")}});
  actions.push_back({"ClearARPcache",
                     {Wait("netsh", "interface IP delete arpcache"),
                      Wait("arp", "-d")}});
  actions.push_back({"ResetTCPIP",
                     {Wait("netsh", "int ip reset"),
                      Wait("netsh", "int ipv4 reset"),
                      Wait("netsh", "int ipv6 reset")}});
  actions.push_back({"RenewIP",
                     {Wait("ipconfig", "/release"),
                      Pause(3000),
                      Wait("ipconfig", "/renew"),
                      Wait("ipconfig", "/all")}});
  actions.push_back({"ResetFirewall",
                     {Wait("netsh", "advfirewall reset"),
                      Wait("netsh", "advfirewall set allprofiles state on"),
                      // The groups by their indirect names, which the firewall knows in
                      // every language ("File and Printer Sharing" and "Network
                      // Discovery" match no rule on a system in another language).
                      Wait("netsh", "advfirewall firewall set rule group=\"@FirewallAPI.dll,-28502\" new enable=Yes"),
                      Wait("netsh", "advfirewall firewall set rule group=\"@FirewallAPI.dll,-32752\" new enable=Yes")}});
  // No change notice afterwards: running programs see the reset when they next read it.
  actions.push_back({"ResetProxy",
                     {Block(RegRoot::CurrentUser, kInternetSettings, CreateMissing,
                            {Dw("ProxyEnable", 0), Sz("ProxyServer", ""), Sz("ProxyOverride", "<local>"),
                             Sz("AutoConfigURL", "")}),
                      Machine(kInternetSettings, {Dw("ProxyEnable", 0), Sz("ProxyServer", "")})}});
  // NetbiosOptions goes onto the Interfaces key itself, not onto the adapters' subkeys.
  actions.push_back({"RepairWorkgroup",
                     {Machine(kLanmanServer, {Dw("restrictnullsessaccess", 0), Dw("AutoShareServer", 1),
                                              Dw("AutoShareWks", 1)}),
                      Machine(kNetBtInterfaces, {Dw("NetbiosOptions", 2)})}});
  actions.push_back(
      {"RepairNetworkVisibility",
       {
           // Discovery services start automatically (2); DNS and workstation settings.
           Machine("SYSTEM\\CurrentControlSet\\Services\\FDResPub", {Dw("Start", 2)}),
           Machine("SYSTEM\\CurrentControlSet\\Services\\SSDPSRV", {Dw("Start", 2)}),
           Machine("SYSTEM\\CurrentControlSet\\Services\\upnphost", {Dw("Start", 2)}),
           Machine("SYSTEM\\CurrentControlSet\\Services\\Dnscache\\Parameters", {Dw("EnableICMPRedirect", 1)}),
           Machine("SYSTEM\\CurrentControlSet\\Services\\LanmanWorkstation\\Parameters",
                   {Dw("UseCachedCredentials", 1), Dw("EnablePlainTextPassword", 1)}),
           // RepairSharingRegistry: the NetBT key is only written where it exists.
           Machine(kNetBtInterfaces, {Dw("NetbiosOptions", 2)}, OpenOnly),
           Machine(kLanmanServer, {Dw("restrictnullsessaccess", 0), Dw("EnableSecuritySignature", 0),
                                   Dw("requiresecuritysignature", 0)}),
           Machine("SYSTEM\\CurrentControlSet\\Services\\Browser\\Parameters",
                   {Dw("MaintainServerList", 1), Dw("IsDomainMaster", 1)}),
           // DisableFirewallProfiles.
           Machine("SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\DomainProfile",
                   {Dw("EnableFirewall", 0), Dw("DisableNotifications", 1)}),
           Machine("SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile",
                   {Dw("EnableFirewall", 0), Dw("DisableNotifications", 1)}),
           Of(StepKind::StartServices),
           NoWait("nbtstat", "-RR"),
           Of(StepKind::Broadcast),
           NoWait("net", "start FDResPub"),
           NoWait("net", "start SSDPSRV"),
           NoWait("net", "start upnphost"),
           NoWait("netsh",
                  "advfirewall firewall add rule name=\"NetBIOS Name Service\" dir=in action=allow protocol=UDP "
                  "localport=137"),
           NoWait("netsh",
                  "advfirewall firewall add rule name=\"NetBIOS Datagram Service\" dir=in action=allow "
                  "protocol=UDP localport=138"),
           NoWait("netsh",
                  "advfirewall firewall add rule name=\"NetBIOS Session Service\" dir=in action=allow "
                  "protocol=TCP localport=139"),
           // The service is started next: its start type is set first.
           Wait("sc", "config FDResPub start= auto"),
           NoWait("sc", "start FDResPub"),
           // Started again below: the stop has to be over first.
           Wait("net", "stop WlanSvc"),
           Pause(3000),
           NoWait("net", "start WlanSvc"),
           NoWait("net", "start Wcmsvc"),
       }});
  actions.push_back({"RebuildWMI",
                     {Wait("net", "stop winmgmt /y"),
                      Pause(3000),
                      Wait("winmgmt", "/resetrepository"),
                      Pause(2000),
                      Wait("net", "start winmgmt")}});
  // The enable starts three seconds after the disable has ended; both are waited for,
  // since adapters left disabled are the one outcome the user must hear of.
  actions.push_back({"RestoreNetworkAdapters",
                     {Wait("devcon", "disable *DEV_8168* *DEV_8169* *DEV_8136* *DEV_8137* *DEV_8139*"),
                      Pause(3000),
                      Wait("devcon", "enable *DEV_8168* *DEV_8169* *DEV_8136* *DEV_8137* *DEV_8139*")}});
  return actions;
}

std::string CommandLine(const Step& step) {
  return std::string(step.program) + " " + std::string(step.params);
}

StepNote Failure(std::string what, std::string why) { return {true, std::move(what), std::move(why)}; }

void RunCommand(shell::Services& services, const Step& step, StepsReport& report) {
  std::string what = CommandLine(step);
  platform::ToolLocation tool = platform::LocateTool(services.system, step.program);
  if (!tool.Found()) {
    report.notes.push_back(Failure(what, "cannot be started (" + tool.error + ")"));
    return;
  }
  platform::ProcessOutcome outcome = services.processes.Execute(
      tool.path, std::string(step.params), step.wait, step.wait ? kCommandTimeoutMs : 0);
  if (!outcome.started)
    report.notes.push_back(Failure(what, "cannot be started (" + outcome.error + ")"));
  else if (!step.wait)
    report.notes.push_back({false, what, {}});
  else if (outcome.timed_out)
    report.notes.push_back(Failure(what, "no result within " + std::to_string(kCommandTimeoutMs / 1000) + " s"));
  else if (!outcome.exit_code)
    report.notes.push_back(Failure(what, outcome.error.empty() ? "no exit code" : outcome.error));
  else if (*outcome.exit_code != 0)
    report.notes.push_back(Failure(what, "exit code " + std::to_string(*outcome.exit_code)));
}

void RunRegistryBlock(shell::Services& services, const Step& step, StepsReport& report) {
  uint32_t access = step.root == platform::RegRoot::LocalMachine ? kMachineKeyAccess : kUserKeyAccess;
  std::string key_name = KeyDisplayName(step.root, step.key);
  platform::KeyOpening opening =
      services.registry.OpenExplained(step.root, std::string(step.key), access, step.create);
  if (!opening.key) {
    // A key that is only written where it exists is no failure when it is missing.
    if (!(opening.missing && !step.create)) report.notes.push_back(Failure(key_name, opening.error));
    return;
  }
  for (const RegValue& value : step.values) {
    bool written = value.type == platform::RegType::DWord
                       ? opening.key->WriteDWord(std::string(value.name), value.number)
                       : opening.key->WriteString(std::string(value.name), std::string(value.text));
    if (!written)
      report.notes.push_back(Failure(key_name + "\\" + std::string(value.name), "the value cannot be written"));
  }
}

}  // namespace

const std::vector<RepairAction>& RepairActions() {
  static const std::vector<RepairAction> actions = MakeActions();
  return actions;
}

const RepairAction& FindRepairAction(std::string_view name) {
  for (const RepairAction& action : RepairActions())
    if (action.name == name) return action;
  throw std::out_of_range("no repair action " + std::string(name));
}

std::string KeyDisplayName(platform::RegRoot root, std::string_view key) {
  return std::string(root == platform::RegRoot::LocalMachine ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\") +
         std::string(key);
}

int StepsReport::Failed() const {
  int n = 0;
  for (const StepNote& note : notes) n += note.failed;
  return n;
}

int StepsReport::Unchecked() const { return static_cast<int>(notes.size()) - Failed(); }

void StepsReport::Add(StepsReport other) {
  for (StepNote& note : other.notes) notes.push_back(std::move(note));
}

namespace {
std::string NetStartWhat(std::string_view name) { return "net start \"" + std::string(name) + "\""; }
}  // namespace

bool NetStartService(shell::Services& services, std::string_view name) {
  platform::ToolLocation net = platform::LocateTool(services.system, "net");
  bool accepted = net.Found() && services.processes.ShellOpen(net.path, "start \"" + std::string(name) + "\"") > 32;
  if (accepted) services.clock.Sleep(kServiceStartPauseMs);
  return accepted;
}

StepsReport StartNetworkServices(shell::Services& services) {
  StepsReport report;
  for (std::string_view name : NetworkServiceNames) {
    if (NetStartService(services, name))
      report.notes.push_back({false, NetStartWhat(name), {}});
    else
      report.notes.push_back(Failure(NetStartWhat(name), "the shell refused the request"));
  }
  return report;
}

StepsReport RunSteps(shell::Services& services, const std::vector<Step>& steps) {
  StepsReport report;
  for (const Step& step : steps) {
    switch (step.kind) {
      case StepKind::Command:
        RunCommand(services, step, report);
        break;
      case StepKind::Pause:
        services.clock.Sleep(step.pause_ms);
        break;
      case StepKind::RegistryBlock:
        RunRegistryBlock(services, step, report);
        break;
      case StepKind::StartServices:
        report.Add(StartNetworkServices(services));
        break;
      case StepKind::Broadcast:
        // Windows that do not answer within the bound are skipped; that is no failure.
        services.system.BroadcastSettingChange(kBroadcastTimeoutMs);
        break;
    }
  }
  return report;
}

}  // namespace repair
