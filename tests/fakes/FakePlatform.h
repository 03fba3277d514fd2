// Every platform service as an in-memory fake, bundled as the program's windows take
// them. `log` collects the events that fakes record in order.
#pragma once

#include <string>
#include <vector>

#include "app/Services.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeSystem.h"
#include "fakes/FakeWmi.h"

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
  app::Services services{registry, system, versions, files, processes, clock, wmi};
};

}  // namespace fakes
