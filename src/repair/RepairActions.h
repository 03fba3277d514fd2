// The repair actions as data: each action is a list of steps (commands, pauses,
// registry blocks, the service starts and the settings-change notice) that one small
// executor carries out over the platform services, so the tables below read like the
// lists of what each action does, and tests can walk them all.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shell/Services.h"
#include "platform/Registry.h"

namespace repair {

enum class StepKind {
  Command,        // a console tool started hidden, optionally waited for
  Pause,          // the running thread sleeps
  RegistryBlock,  // one key opened (or created), its values written, closed
  StartServices,  // StartNetworkServices: "net start" for each NetworkServiceNames entry
  Broadcast,      // the settings-change notice to every top-level window
};

struct RegValue {
  std::string_view name;
  platform::RegType type;
  uint32_t number = 0;     // REG_DWORD
  std::string_view text;   // REG_SZ
};

struct Step {
  StepKind kind = StepKind::Command;
  // Command
  std::string_view program;
  std::string_view params;
  bool wait = false;
  // Pause
  uint32_t pause_ms = 0;
  // RegistryBlock: machine-wide keys in the 64-bit view, the user's key in the default
  // view, both with full access.
  platform::RegRoot root = platform::RegRoot::LocalMachine;
  std::string_view key;
  bool create = false;  // a missing key is made; otherwise the block is skipped
  std::vector<RegValue> values;
};

struct RepairAction {
  std::string_view name;
  std::vector<Step> steps;
};

// The ten actions, in the run's order: FlushDNS, ClearARPcache, ResetTCPIP, RenewIP,
// ResetFirewall, ResetProxy, RepairWorkgroup, RepairNetworkVisibility, RebuildWMI,
// RestoreNetworkAdapters.
const std::vector<RepairAction>& RepairActions();
// One action by name; throws std::out_of_range for an unknown name.
const RepairAction& FindRepairAction(std::string_view name);

// The services that the network-visibility repair starts, in this order.
inline constexpr std::string_view NetworkServiceNames[] = {
    "Browser", "FDResPub", "SSDPSRV", "upnphost", "Dnscache", "FDHost", "LanmanServer", "LanmanWorkstation"};

// Registry access of the blocks.
inline constexpr uint32_t kMachineKeyAccess = platform::reg_access::kAllAccess | platform::reg_access::kWow64_64Key;
inline constexpr uint32_t kUserKeyAccess = platform::reg_access::kAllAccess;

// How long a command that is waited for may run before its step counts as failed
// (it is left running).
inline constexpr uint32_t kCommandTimeoutMs = 300000;
// How long the settings-change notice waits for each window before skipping it.
inline constexpr uint32_t kBroadcastTimeoutMs = 2000;
// The pause after each "net start" request that the shell accepted.
inline constexpr uint32_t kServiceStartPauseMs = 2000;

// The full name of a key, as failures report it: "HKEY_LOCAL_MACHINE\...".
std::string KeyDisplayName(platform::RegRoot root, std::string_view key);

// What became of a step that the log must mention: one that failed, or a command
// that was only started (not waited for), whose outcome nobody checked.
struct StepNote {
  bool failed = false;
  std::string what;  // the command ("net stop WlanSvc") or the key and value
  std::string why;   // for a failed step: the reason, in the system's words or ours
};

struct StepsReport {
  std::vector<StepNote> notes;  // in the order of the steps
  int Failed() const;
  int Unchecked() const;
  void Add(StepsReport other);
};

// Starts one service through the shell's open verb on the system's "net" with
// start "<name>"; after an accepted request pauses 2000 ms. True when the shell
// accepted it.
bool NetStartService(shell::Services& services, std::string_view name);
// NetStartService for each of NetworkServiceNames in order: a failed step for each
// request the shell refused, an unchecked one for each it accepted (the started
// "net" is not waited for).
StepsReport StartNetworkServices(shell::Services& services);

// Carries out the steps in order. Reported: each failed step, naming it and why (a
// tool that could not start, a waited command's non-zero exit code or one that
// outlasted kCommandTimeoutMs, a key that could not be opened or a value that could
// not be written), and each command started without waiting. A failed step does not
// stop the others. Errors of the services themselves pass through.
StepsReport RunSteps(shell::Services& services, const std::vector<Step>& steps);

}  // namespace repair
