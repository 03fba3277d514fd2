// What the program relies on from the registry, checked against the fake natively and
// against the real registry of a Wine prefix, so the fake cannot drift from it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/Registry.h"

namespace contract {

inline void CheckRegistryContract(platform::Registry& registry, const std::string& scratch) {
  using platform::RegRoot;
  using platform::RegType;
  namespace acc = platform::reg_access;
  const uint32_t all = acc::kAllAccess | acc::kWow64_64Key;

  EXPECT_FALSE(registry.Open(RegRoot::CurrentUser, scratch + "\\Missing", acc::kRead, false))
      << "a missing key does not open";
  platform::KeyOpening missing = registry.OpenExplained(RegRoot::CurrentUser, scratch + "\\Missing", all, false);
  EXPECT_FALSE(missing.key);
  EXPECT_TRUE(missing.missing) << "a missing key says so, apart from other failures";
  EXPECT_FALSE(missing.error.empty()) << "and why, in words";
  auto key = registry.Open(RegRoot::CurrentUser, scratch, all, true);
  ASSERT_TRUE(key) << "create makes the key and its parents";
  platform::KeyOpening present = registry.OpenExplained(RegRoot::CurrentUser, scratch, all, false);
  EXPECT_TRUE(present.key);
  EXPECT_FALSE(present.missing);

  EXPECT_TRUE(key->WriteString("ProfileName", "Сеть 2"));
  EXPECT_TRUE(key->WriteDWord("Category", 2));
  EXPECT_EQ(key->ReadString("PROFILENAME"), "Сеть 2") << "value names ignore case";
  EXPECT_EQ(key->ReadDWord("Category"), 2u);
  EXPECT_EQ(key->ValueType("Category"), RegType::DWord);
  EXPECT_EQ(key->ValueType("ProfileName"), RegType::String);
  EXPECT_FALSE(key->ReadDWord("ProfileName").has_value()) << "a string is not a number";
  EXPECT_FALSE(key->ReadString("Category").has_value()) << "a number is not a string";
  EXPECT_FALSE(key->ValueType("Absent").has_value());
  EXPECT_TRUE(key->ValueExists("category"));
  EXPECT_TRUE(key->DeleteValue("Category"));
  EXPECT_FALSE(key->ValueExists("Category"));
  EXPECT_FALSE(key->DeleteValue("Category")) << "deleting an absent value fails";
  EXPECT_TRUE(key->WriteString("Empty", ""));
  EXPECT_EQ(key->ReadString("Empty"), "");

  for (const char* name : {"b", "A", "c"})
    ASSERT_TRUE(registry.Open(RegRoot::CurrentUser, scratch + "\\" + name, all, true));
  ASSERT_TRUE(registry.Open(RegRoot::CurrentUser, scratch + "\\b\\inner", all, true));
  auto reopened = registry.Open(RegRoot::CurrentUser, scratch, acc::kRead, false);
  ASSERT_TRUE(reopened);
  EXPECT_EQ(reopened->SubKeys(), (std::vector<std::string>{"A", "b", "c"}))
      << "subkeys come sorted without regard to case";

  EXPECT_FALSE(registry.DeleteKey(RegRoot::CurrentUser, scratch + "\\b", acc::kWow64_64Key))
      << "a key with subkeys is not deleted";
  EXPECT_TRUE(registry.DeleteKey(RegRoot::CurrentUser, scratch + "\\b\\inner", acc::kWow64_64Key));
  EXPECT_TRUE(registry.DeleteKey(RegRoot::CurrentUser, scratch + "\\b", acc::kWow64_64Key));
  EXPECT_FALSE(registry.Open(RegRoot::CurrentUser, scratch + "\\b", acc::kRead, false));
  EXPECT_FALSE(registry.DeleteKey(RegRoot::CurrentUser, scratch + "\\b", acc::kWow64_64Key));

  for (const char* name : {"A", "c"})
    registry.DeleteKey(RegRoot::CurrentUser, scratch + "\\" + name, acc::kWow64_64Key);
  key.reset();
  reopened.reset();
  registry.DeleteKey(RegRoot::CurrentUser, scratch, acc::kWow64_64Key);
}

}  // namespace contract
