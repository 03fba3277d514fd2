#include <gtest/gtest.h>

#include "fakes/FakeWmi.h"
#include "platform/WmiContract.h"

namespace {

using platform::Variant;

TEST(FakeWmi, KeepsTheWmiContract) {
  fakes::FakeWmi wmi;
  // Shaped as this platform's WMI reports adapters: IPv6 first, no DHCP server.
  wmi.Add("Win32_NetworkAdapterConfiguration")
      .Set("Description", Variant::Str("eth0"))
      .Set("IPEnabled", Variant::Bool(true))
      .Set("IPAddress", Variant::Strings({"fd00::2", "192.0.2.2"}));
  wmi.Add("Win32_NetworkAdapterConfiguration")
      .Set("Description", Variant::Str("lo"))
      .Set("IPEnabled", Variant::Bool(false));
  contract::CheckWmiContract(wmi);
  EXPECT_EQ(wmi.objects_alive, 0);
}

}  // namespace
