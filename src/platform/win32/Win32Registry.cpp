#include "platform/win32/Win32Registry.h"

#include <windows.h>

#include <vector>

#include "platform/win32/Wide.h"
#include "platform/win32/Win32Processes.h"

namespace platform::win32 {
namespace {

HKEY RootKey(RegRoot root) {
  return root == RegRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

class Win32Key : public RegistryKey {
 public:
  explicit Win32Key(HKEY key) : key_(key) {}
  ~Win32Key() override { RegCloseKey(key_); }

  bool ValueExists(const std::string& name) override {
    return RegQueryValueExW(key_, Widen(name).c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
  }
  std::optional<RegType> ValueType(const std::string& name) override {
    DWORD type = 0;
    if (RegQueryValueExW(key_, Widen(name).c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
      return std::nullopt;
    return static_cast<RegType>(type);
  }
  std::optional<std::string> ReadString(const std::string& name) override {
    std::wstring wname = Widen(name);
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key_, wname.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    // The value may change between the two calls; retry while it grows.
    for (int attempt = 0; attempt < 4; ++attempt) {
      std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
      DWORD bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
      LONG rc = RegQueryValueExW(key_, wname.c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(buffer.data()), &bytes);
      if (rc == ERROR_MORE_DATA) {
        size = bytes;
        continue;
      }
      if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
      // Stored strings need not end in a zero; take what is there up to the first one.
      std::wstring text(buffer.data(), bytes / sizeof(wchar_t));
      if (auto zero = text.find(L'\0'); zero != std::wstring::npos) text.resize(zero);
      return Narrow(text);
    }
    return std::nullopt;
  }
  std::optional<std::vector<uint8_t>> ReadBytes(const std::string& name) override {
    std::wstring wname = Widen(name);
    DWORD size = 0;
    if (RegQueryValueExW(key_, wname.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
      return std::nullopt;
    // The value may change between the two calls; retry while it grows.
    for (int attempt = 0; attempt < 4; ++attempt) {
      std::vector<uint8_t> bytes(size);
      DWORD got = size;
      LONG rc = RegQueryValueExW(key_, wname.c_str(), nullptr, nullptr, bytes.empty() ? nullptr : bytes.data(), &got);
      if (rc == ERROR_MORE_DATA) {
        size = got;
        continue;
      }
      if (rc != ERROR_SUCCESS) return std::nullopt;
      bytes.resize(got);
      return bytes;
    }
    return std::nullopt;
  }
  std::optional<uint32_t> ReadDWord(const std::string& name) override {
    DWORD type = 0, value = 0, size = sizeof(value);
    if (RegQueryValueExW(key_, Widen(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value))
      return std::nullopt;
    return value;
  }
  bool WriteString(const std::string& name, const std::string& value) override {
    std::wstring wide = Widen(value);
    return RegSetValueExW(key_, Widen(name).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(wide.c_str()),
                          static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
  bool WriteDWord(const std::string& name, uint32_t value) override {
    DWORD v = value;
    return RegSetValueExW(key_, Widen(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v),
                          sizeof(v)) == ERROR_SUCCESS;
  }
  bool WriteBytes(const std::string& name, RegType type, const std::vector<uint8_t>& bytes) override {
    static const BYTE kNothing = 0;
    return RegSetValueExW(key_, Widen(name).c_str(), 0, static_cast<DWORD>(type),
                          bytes.empty() ? &kNothing : bytes.data(), static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
  }
  bool DeleteValue(const std::string& name) override {
    return RegDeleteValueW(key_, Widen(name).c_str()) == ERROR_SUCCESS;
  }
  std::vector<std::string> SubKeys() override {
    std::vector<std::string> names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD len = 256;
      LONG rc = RegEnumKeyExW(key_, i, name, &len, nullptr, nullptr, nullptr, nullptr);
      if (rc != ERROR_SUCCESS) break;
      names.push_back(Narrow(std::wstring(name, len)));
    }
    return names;
  }
  std::vector<std::string> ValueNames() override {
    std::vector<std::string> names;
    std::vector<wchar_t> name(16384);
    for (DWORD i = 0;; ++i) {
      DWORD len = static_cast<DWORD>(name.size());
      LONG rc = RegEnumValueW(key_, i, name.data(), &len, nullptr, nullptr, nullptr, nullptr);
      if (rc != ERROR_SUCCESS) break;
      names.push_back(Narrow(std::wstring(name.data(), len)));
    }
    return names;
  }

 private:
  HKEY key_;
};

}  // namespace

namespace {

LONG OpenKey(RegRoot root, const std::string& path, uint32_t access, bool create, HKEY* key) {
  if (create)
    return RegCreateKeyExW(RootKey(root), Widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                           key, nullptr);
  return RegOpenKeyExW(RootKey(root), Widen(path).c_str(), 0, access, key);
}

}  // namespace

std::unique_ptr<RegistryKey> Win32Registry::Open(RegRoot root, const std::string& path,
                                                 uint32_t access, bool create) {
  // Most callers only ask whether the key is there: no error text is made for them.
  HKEY key = nullptr;
  if (OpenKey(root, path, access, create, &key) != ERROR_SUCCESS) return nullptr;
  return std::make_unique<Win32Key>(key);
}

KeyOpening Win32Registry::OpenExplained(RegRoot root, const std::string& path, uint32_t access,
                                        bool create) {
  KeyOpening opening;
  HKEY key = nullptr;
  LONG rc = OpenKey(root, path, access, create, &key);
  if (rc != ERROR_SUCCESS) {
    opening.missing = rc == ERROR_FILE_NOT_FOUND;
    opening.error = SystemErrorText(static_cast<uint32_t>(rc));
    return opening;
  }
  opening.key = std::make_unique<Win32Key>(key);
  return opening;
}

bool Win32Registry::DeleteKey(RegRoot root, const std::string& path, uint32_t view) {
  return RegDeleteKeyExW(RootKey(root), Widen(path).c_str(), view, 0) == ERROR_SUCCESS;
}

}  // namespace platform::win32
