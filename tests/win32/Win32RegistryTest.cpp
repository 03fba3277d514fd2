#include <gtest/gtest.h>

#include "platform/RegistryContract.h"
#include "platform/win32/Win32Registry.h"

namespace {

TEST(Win32Registry, KeepsTheRegistryContract) {
  platform::win32::Win32Registry registry;
  contract::CheckRegistryContract(registry, "Software\\VelmoraContract");
}

}  // namespace
