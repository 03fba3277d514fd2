#include <gtest/gtest.h>

#include "fakes/FakeRegistry.h"
#include "platform/OsVersion.h"

namespace {

using platform::OsVersion;
using platform::RegRoot;
constexpr char kKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

TEST(OsVersionRecord, RegistryTakesPrecedenceAboveWindows7) {
  struct Case {
    const char* what;
    OsVersion reported;
    std::function<void(fakes::FakeRegistry&)> seed;
    OsVersion expected;
  } cases[] = {
      {"numbers and CurrentBuild", {6, 2, 9200},
       [](auto& r) {
         r.SetDWord(RegRoot::LocalMachine, kKey, "CurrentMajorVersionNumber", 10);
         r.SetDWord(RegRoot::LocalMachine, kKey, "CurrentMinorVersionNumber", 0);
         r.SetString(RegRoot::LocalMachine, kKey, "CurrentBuild", "19045");
       },
       {10, 0, 19045}},
      {"no major number: CurrentVersion text", {6, 2, 9200},
       [](auto& r) {
         r.SetString(RegRoot::LocalMachine, kKey, "CurrentVersion", "6.3");
         r.SetString(RegRoot::LocalMachine, kKey, "CurrentBuild", "9600");
       },
       {6, 3, 9600}},
      {"CurrentBuild not a number: CurrentBuildNumber", {6, 2, 9200},
       [](auto& r) {
         r.SetDWord(RegRoot::LocalMachine, kKey, "CurrentMajorVersionNumber", 10);
         r.SetDWord(RegRoot::LocalMachine, kKey, "CurrentMinorVersionNumber", 0);
         r.SetString(RegRoot::LocalMachine, kKey, "CurrentBuild", "22631.x");
         r.SetString(RegRoot::LocalMachine, kKey, "CurrentBuildNumber", "22631");
       },
       {10, 0, 22631}},
      {"Windows 7 keeps what the call reported", {6, 1, 7601},
       [](auto& r) { r.SetDWord(RegRoot::LocalMachine, kKey, "CurrentMajorVersionNumber", 10); },
       {6, 1, 7601}},
      {"major number stored as text is ignored", {6, 2, 9200},
       [](auto& r) {
         r.SetString(RegRoot::LocalMachine, kKey, "CurrentMajorVersionNumber", "10");
         r.SetString(RegRoot::LocalMachine, kKey, "CurrentVersion", "6.3");
       },
       {6, 3, 9200}},
      {"key absent", {6, 2, 9200}, [](auto&) {}, {6, 2, 9200}},
  };
  for (const Case& c : cases) {
    fakes::FakeRegistry registry;
    c.seed(registry);
    EXPECT_EQ(platform::ResolveOsVersion(c.reported, registry), c.expected) << c.what;
  }
}

TEST(OsVersionRecord, ReadsWithoutElevation) {
  fakes::FakeRegistry registry;
  registry.elevated = false;
  registry.SetDWord(RegRoot::LocalMachine, kKey, "CurrentMajorVersionNumber", 10);
  registry.SetString(RegRoot::LocalMachine, kKey, "CurrentBuild", "19045");
  EXPECT_EQ(platform::ResolveOsVersion({6, 2, 9200}, registry), (OsVersion{10, 2, 19045}));
}

}  // namespace
