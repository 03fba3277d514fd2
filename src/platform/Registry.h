// The registry service. Keys of the machine-wide hive are opened in the 64-bit view
// with the access the caller asks for; an open that the account may not make fails,
// so callers see the key as absent.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class RegRoot { LocalMachine, CurrentUser };

// Access rights and view flags, with the platform's values.
namespace reg_access {
inline constexpr uint32_t kQueryValue = 0x0001;
inline constexpr uint32_t kSetValue = 0x0002;
inline constexpr uint32_t kCreateSubKey = 0x0004;
inline constexpr uint32_t kEnumerateSubKeys = 0x0008;
inline constexpr uint32_t kRead = 0x20019;
inline constexpr uint32_t kWrite = 0x20006;
inline constexpr uint32_t kAllAccess = 0xF003F;
inline constexpr uint32_t kWow64_64Key = 0x0100;
inline constexpr uint32_t kWow64_32Key = 0x0200;
// Rights that change something: refused on the machine hive without elevation.
inline constexpr uint32_t kWriteRights = 0x0002 | 0x0004 | 0x0020 | 0x00010000 | 0x00040000 | 0x00080000;
}  // namespace reg_access

enum class RegType : uint32_t {
  None = 0,
  String = 1,
  ExpandString = 2,
  Binary = 3,
  DWord = 4,
  MultiString = 7,
  QWord = 11,
};

class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  virtual bool ValueExists(const std::string& name) = 0;
  // The stored type; nullopt when the value is absent.
  virtual std::optional<RegType> ValueType(const std::string& name) = 0;
  // nullopt when absent or not of a string type (REG_SZ, REG_EXPAND_SZ).
  virtual std::optional<std::string> ReadString(const std::string& name) = 0;
  // nullopt when absent or not a REG_DWORD.
  virtual std::optional<uint32_t> ReadDWord(const std::string& name) = 0;
  virtual bool WriteString(const std::string& name, const std::string& value) = 0;
  virtual bool WriteDWord(const std::string& name, uint32_t value) = 0;
  // Stores `bytes` as they are, as a value of `type` (what ReadBytes gave back puts
  // the value back exactly).
  virtual bool WriteBytes(const std::string& name, RegType type, const std::vector<uint8_t>& bytes) = 0;
  virtual bool DeleteValue(const std::string& name) = 0;
  // Names of the direct subkeys, in the registry's own order.
  virtual std::vector<std::string> SubKeys() = 0;
  virtual std::vector<std::string> ValueNames() = 0;
  // The stored bytes of a value of any type (text as UTF-16 with its terminator, a
  // REG_DWORD as four little-endian bytes); nullopt when absent.
  virtual std::optional<std::vector<uint8_t>> ReadBytes(const std::string& name) = 0;
};

// An open that says why it failed.
struct KeyOpening {
  std::unique_ptr<RegistryKey> key;
  // The key does not exist (an open without `create`).
  bool missing = false;
  // Why the key could not be opened, in the system's words.
  std::string error;
};

class Registry {
 public:
  virtual ~Registry() = default;
  // Opens `path` under `root` with `access` (rights plus view flag); with `create`
  // missing keys are made. Null when the key is absent or the access is refused.
  virtual std::unique_ptr<RegistryKey> Open(RegRoot root, const std::string& path,
                                            uint32_t access, bool create) = 0;
  // As Open, and when the key cannot be opened, says why.
  virtual KeyOpening OpenExplained(RegRoot root, const std::string& path, uint32_t access, bool create) {
    KeyOpening opening;
    opening.key = Open(root, path, access, create);
    if (!opening.key) opening.error = "the key cannot be opened";
    return opening;
  }
  // Deletes a key that has no subkeys.
  virtual bool DeleteKey(RegRoot root, const std::string& path, uint32_t view) = 0;
};

}  // namespace platform
