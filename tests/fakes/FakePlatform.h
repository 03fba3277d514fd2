// Every platform service as an in-memory fake, bundled as the program's windows take
// them. `log` collects the events that fakes record in order.
#pragma once

#include <string>
#include <vector>

#include "shell/Services.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeHttp.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeSystem.h"
#include "fakes/FakeWmi.h"
#include "platform/WmiEcho.h"

namespace fakes {

struct FakePlatform {
  std::vector<std::string> log;
  FakeRegistry registry;
  FakeSystem system{log};
  FakeVersionResources versions;
  FakeFileSystem files;
  FakeProcesses processes;
  FakeClock clock;
  FakeWmi wmi;
  // Echo requests go through the fake WMI: tests answer Win32_PingStatus queries.
  platform::WmiEcho echo{wmi};
  FakeHttp http;
  shell::Services services{registry, system, versions, files, processes, clock, wmi, echo, http};
};

}  // namespace fakes
