// The real platform services of the Wine prefix, bundled for tests. The test program
// has no version resource of its own, so its maker name stays empty.
#pragma once

#include "shell/Services.h"
#include "fakes/FakeSystem.h"
#include "platform/win32/Win32Echo.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Http.h"
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32System.h"
#include "platform/win32/Win32Wmi.h"

namespace win32_test {

struct RealPlatform {
  platform::win32::Win32Registry registry;
  platform::win32::Win32System system;
  fakes::FakeVersionResources versions;
  platform::win32::Win32FileSystem files;
  platform::win32::Win32Processes processes;
  platform::win32::Win32Clock clock;
  platform::win32::Win32Wmi wmi;
  platform::win32::Win32Echo echo{wmi};
  platform::win32::Win32Http http;
  shell::Services services{registry, system, versions, files, processes, clock, wmi, echo, http};
};

}  // namespace win32_test
