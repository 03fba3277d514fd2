#include <gtest/gtest.h>

#include "fakes/FakeRegistry.h"
#include "platform/RegistryContract.h"

namespace {

using platform::RegRoot;
namespace acc = platform::reg_access;

TEST(FakeRegistry, KeepsTheRegistryContract) {
  fakes::FakeRegistry registry;
  contract::CheckRegistryContract(registry, "Software\\VelmoraContract");
}

TEST(FakeRegistry, WithoutElevationTheMachineHiveOpensOnlyForReading) {
  fakes::FakeRegistry registry;
  const std::string path = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkList\\Profiles";
  registry.CreateKey(RegRoot::LocalMachine, path);
  registry.elevated = false;
  EXPECT_FALSE(registry.Open(RegRoot::LocalMachine, path, acc::kAllAccess | acc::kWow64_64Key, false));
  EXPECT_FALSE(registry.Open(RegRoot::LocalMachine, path, acc::kWrite | acc::kWow64_64Key, true));
  EXPECT_TRUE(registry.Open(RegRoot::LocalMachine, path, acc::kRead | acc::kWow64_64Key, false));
  EXPECT_TRUE(registry.Open(RegRoot::CurrentUser, "Software\\Velmora", acc::kAllAccess, true))
      << "the user's own hive stays writable";
}

TEST(FakeRegistry, The32BitViewDoesNotSee64BitKeys) {
  fakes::FakeRegistry registry;
  registry.SetString(RegRoot::LocalMachine, "SOFTWARE\\Maker", "Value", "64");
  EXPECT_TRUE(registry.Open(RegRoot::LocalMachine, "SOFTWARE\\Maker", acc::kRead | acc::kWow64_64Key, false));
  EXPECT_FALSE(registry.Open(RegRoot::LocalMachine, "SOFTWARE\\Maker", acc::kRead | acc::kWow64_32Key, false));
}

}  // namespace
