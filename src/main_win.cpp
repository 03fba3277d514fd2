// Program entry of Velmora.exe: the real platform services and the Win32 UI host.
#include <windows.h>

#include "app/CommandLine.h"
#include "app/Startup.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32Crypto.h"
#include "platform/win32/Win32Desktop.h"
#include "build_settings.h"
#include "platform/win32/Win32DnsTransport.h"
#include "platform/win32/Win32Echo.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Http.h"
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32System.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32VersionResources.h"
#include "platform/win32/Win32Wmi.h"
#include "shell/Journal.h"
#include "ui/win32/Win32Host.h"

namespace {

// The command line's answer goes to the console the program was started from, or to
// the file or pipe its standard output was handed.
void WriteOutput(const std::string& text) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE || GetFileType(out) == FILE_TYPE_UNKNOWN) {
    if (AttachConsole(ATTACH_PARENT_PROCESS))
      out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    else
      return;
  }
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  if (GetFileType(out) == FILE_TYPE_CHAR) {
    std::wstring wide = platform::win32::Widen(text);
    if (WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr)) return;
  }
  WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before anything else can load a library: system libraries (also those loaded when
  // first called, such as WinHTTP and Winsock) come from the system folder only, never
  // from the program's folder, the current folder or the search path.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  platform::win32::Win32System system;
  system.GetOsVersion();  // the version record is filled as the process starts
  platform::win32::Win32Registry real_registry;
  platform::win32::Win32VersionResources versions;
  platform::win32::Win32FileSystem files;
  platform::win32::Win32Processes real_processes;
  platform::win32::Win32Clock clock;
  // Every registry change and console command of the program is recorded on its way.
  shell::Journal journal{real_registry, real_processes, files, clock};
  platform::Registry& registry = journal.Registry();
  platform::Processes& processes = journal.Processes();
  platform::win32::Win32Wmi wmi;
  platform::win32::Win32Echo echo{wmi};
  platform::win32::Win32Http http;
  shell::Services services{registry, system, versions, files, processes, clock, wmi, echo, http, &journal};

  platform::win32::Win32Desktop desktop;
  platform::win32::Win32SignatureVerifier verifier;
  update::UpdaterPlatform updater{desktop, verifier};

  platform::win32::Win32DnsTransport dns_transport;
  platform::win32::Win32Clipboard clipboard;
  dnsbench::Options bench_options;
  bench_options.rebinding_name = VELMORA_DNS_REBINDING_NAME;
  dnsbench::BenchPlatform bench{dns_transport, clock, clipboard, bench_options};

  app::StartupHooks hooks;
  hooks.updater = &updater;
  hooks.dnsbench = &bench;
  hooks.make_host = [] { return std::make_shared<ui::win32::Win32Host>(); };
  hooks.end_process_now = [] { ExitProcess(0); };
  hooks.arguments = app::SplitArguments(platform::win32::Narrow(GetCommandLineW()));
  hooks.write_output = WriteOutput;
  return app::RunVelmora(services, hooks);
}
