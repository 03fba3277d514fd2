// What the program relies on from WMI, checked against the fake natively and against
// the real WMI of a Wine prefix. The fake is given adapters shaped like the ones this
// platform reports; the real one has the system's own.
#pragma once

#include <gtest/gtest.h>

#include "platform/Wmi.h"

namespace contract {

inline void CheckWmiContract(platform::Wmi& wmi) {
  using platform::Variant;
  auto services = wmi.CreateLocator()->ConnectServer("localhost", "\\root\\cimv2", "", "");
  ASSERT_TRUE(services) << "both spellings of the namespace connect";
  ASSERT_TRUE(wmi.CreateLocator()->ConnectServer("localhost", "root\\CIMV2", "", ""));

  auto found = services->ExecQuery("SELECT * FROM Win32_NetworkAdapterConfiguration Where IpEnabled=True",
                                   "WQL", platform::kWbemFlagForwardOnly);
  auto first = found->Next();
  ASSERT_TRUE(first) << "an IP-enabled adapter is listed";
  Variant description = first->Get("Description");
  ASSERT_EQ(description.type, Variant::Type::String);
  EXPECT_EQ(first->Get("IPEnabled").type, Variant::Type::Boolean);
  EXPECT_EQ(first->Get("IPEnabled").integer, 1);
  Variant addresses = first->Get("IPAddress");
  EXPECT_TRUE(addresses.IsNull() || addresses.type == Variant::Type::Array);
  EXPECT_TRUE(first->Get("PropertyNoPlatformHas").IsNull()) << "a missing property reads as null";
  while (found->Next()) {
  }
  EXPECT_FALSE(found->Next()) << "the end stays the end";

  // The same adapter found again by its description, quoted as the program quotes it.
  auto again = services->ExecQuery("SELECT * FROM Win32_NetworkAdapterConfiguration Where Description=" +
                                       platform::WqlQuote(description.text),
                                   "WQL", platform::kWbemFlagForwardOnly);
  auto same = again->Next();
  ASSERT_TRUE(same);
  EXPECT_EQ(same->Get("Description").text, description.text);

  // (Escapes inside a quoted name are Windows' WQL; Wine's takes text up to the next
  // quote, so names holding quotes are checked against the fake only.)
  auto none = services->ExecQuery("SELECT * FROM Win32_NetworkAdapterConfiguration Where Description=" +
                                      platform::WqlQuote("No such card"),
                                  "WQL", platform::kWbemFlagForwardOnly);
  EXPECT_FALSE(none->Next()) << "an unknown name is a plain miss";

  EXPECT_THROW(services->ExecQuery("SELEC nothing", "WQL", platform::kWbemFlagForwardOnly)->Next(),
               platform::WmiError);
  EXPECT_THROW(first->Call("NoSuchMethodAnywhere", {Variant::Strings({"x"})}), platform::WmiError);
}

}  // namespace contract
