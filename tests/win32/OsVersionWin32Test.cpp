#include <gtest/gtest.h>

#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32System.h"

namespace {

TEST(OsVersionWin32, PrefixReportsWindows10FromItsRegistry) {
  platform::OsVersion v = platform::win32::Win32System::ReadOsVersion();
  // The test prefix is set to Windows 10; the record must agree with its registry.
  platform::win32::Win32Registry registry;
  auto key = registry.Open(platform::RegRoot::LocalMachine,
                           "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                           platform::reg_access::kRead | platform::reg_access::kWow64_64Key, false);
  ASSERT_TRUE(key);
  auto build = key->ReadString("CurrentBuild");
  ASSERT_TRUE(build.has_value());
  EXPECT_EQ(v.major, 10u);
  EXPECT_EQ(v.minor, 0u);
  EXPECT_EQ(std::to_string(v.build), *build);
  EXPECT_GT(v.build, 10239u);
}

}  // namespace
