// An in-memory registry with the behaviour the program relies on: keys and values
// named without regard to case, subkeys listed in sorted order, value types, the
// 64-bit view, and elevation (without it, opening a machine-wide key with any write
// right fails, as the system refuses it).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "platform/Registry.h"

namespace fakes {

class FakeRegistry : public platform::Registry {
 public:
  struct Value {
    std::string name;
    platform::RegType type;
    std::string text;  // string types
    uint32_t number = 0;  // REG_DWORD
    std::vector<uint8_t> bytes;  // other types (binary, 64-bit numbers, lists of texts)
  };
  struct Node {
    std::string name;
    std::map<std::string, std::unique_ptr<Node>> children;  // keyed by lower-case name
    std::vector<Value> values;
  };

  bool elevated = true;
  // A process of this bitness sees HKLM\SOFTWARE of the 32-bit view under
  // WOW6432Node unless it asks for the 64-bit view.
  bool process_is_64bit = true;
  // Paths ("HKLM\\..." or "HKCU\\...") whose opens fail whatever the rights.
  std::set<std::string> fail_open;
  bool fail_writes = false;

  std::unique_ptr<platform::RegistryKey> Open(platform::RegRoot root, const std::string& path,
                                              uint32_t access, bool create) override;
  // Failures in the system's words: access refused, or the key not found.
  platform::KeyOpening OpenExplained(platform::RegRoot root, const std::string& path,
                                     uint32_t access, bool create) override;
  bool DeleteKey(platform::RegRoot root, const std::string& path, uint32_t view) override;

  // Direct set-up and inspection for tests (no rights checked).
  void SetString(platform::RegRoot root, const std::string& path, const std::string& name,
                 const std::string& value, platform::RegType type = platform::RegType::String);
  void SetDWord(platform::RegRoot root, const std::string& path, const std::string& name,
                uint32_t value);
  // A value of any type given by its stored bytes.
  void SetBytes(platform::RegRoot root, const std::string& path, const std::string& name,
                platform::RegType type, std::vector<uint8_t> bytes);
  void CreateKey(platform::RegRoot root, const std::string& path);
  bool KeyExists(platform::RegRoot root, const std::string& path) const;
  const Value* Find(platform::RegRoot root, const std::string& path, const std::string& name) const;

  Node* Lookup(platform::RegRoot root, const std::string& path, bool create);
  std::string MapView(platform::RegRoot root, const std::string& path, uint32_t access) const;

 private:
  Node hklm_{"HKEY_LOCAL_MACHINE", {}, {}};
  Node hkcu_{"HKEY_CURRENT_USER", {}, {}};
};

}  // namespace fakes
