#include "fakes/FakeRegistry.h"

#include "common/Text.h"

#include <algorithm>
#include <cctype>

namespace fakes {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

const char* RootName(platform::RegRoot root) {
  return root == platform::RegRoot::LocalMachine ? "HKLM" : "HKCU";
}

class FakeKey : public platform::RegistryKey {
 public:
  FakeKey(FakeRegistry& owner, FakeRegistry::Node& node, bool writable)
      : owner_(owner), node_(node), writable_(writable) {}

  bool ValueExists(const std::string& name) override { return FindValue(name) != nullptr; }
  std::optional<platform::RegType> ValueType(const std::string& name) override {
    if (auto* v = FindValue(name)) return v->type;
    return std::nullopt;
  }
  std::optional<std::string> ReadString(const std::string& name) override {
    auto* v = FindValue(name);
    if (!v || (v->type != platform::RegType::String && v->type != platform::RegType::ExpandString))
      return std::nullopt;
    return v->text;
  }
  std::optional<std::vector<uint8_t>> ReadBytes(const std::string& name) override {
    auto* v = FindValue(name);
    if (!v) return std::nullopt;
    switch (v->type) {
      case platform::RegType::String:
      case platform::RegType::ExpandString: {
        if (!v->bytes.empty()) return v->bytes;
        std::vector<uint8_t> bytes;
        for (char16_t unit : common::Utf8ToUtf16(v->text) + u'\0') {
          bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
          bytes.push_back(static_cast<uint8_t>(unit >> 8));
        }
        return bytes;
      }
      case platform::RegType::DWord:
        if (!v->bytes.empty()) return v->bytes;
        return std::vector<uint8_t>{static_cast<uint8_t>(v->number), static_cast<uint8_t>(v->number >> 8),
                                    static_cast<uint8_t>(v->number >> 16), static_cast<uint8_t>(v->number >> 24)};
      default:
        return v->bytes;
    }
  }
  std::optional<uint32_t> ReadDWord(const std::string& name) override {
    auto* v = FindValue(name);
    if (!v || v->type != platform::RegType::DWord) return std::nullopt;
    return v->number;
  }
  bool WriteString(const std::string& name, const std::string& value) override {
    if (!CanWrite()) return false;
    FakeRegistry::Value& v = Slot(name);
    v.type = platform::RegType::String;
    v.text = value;
    v.bytes.clear();
    return true;
  }
  bool WriteDWord(const std::string& name, uint32_t value) override {
    if (!CanWrite()) return false;
    FakeRegistry::Value& v = Slot(name);
    v.type = platform::RegType::DWord;
    v.number = value;
    v.bytes.clear();
    return true;
  }
  bool WriteBytes(const std::string& name, platform::RegType type, const std::vector<uint8_t>& bytes) override {
    if (!CanWrite()) return false;
    FakeRegistry::Value& v = Slot(name);
    v = {v.name, type, {}, 0, bytes};
    if (type == platform::RegType::DWord && bytes.size() == 4)
      v.number = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    if ((type == platform::RegType::String || type == platform::RegType::ExpandString) && bytes.size() % 2 == 0) {
      // The text up to the first zero, as the system's string reads give it.
      std::u16string units;
      for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char16_t unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == 0) break;
        units += unit;
      }
      v.text = common::Utf16ToUtf8(units);
    }
    return true;
  }
  bool DeleteValue(const std::string& name) override {
    if (!CanWrite()) return false;
    auto it = std::find_if(node_.values.begin(), node_.values.end(),
                           [&](const auto& v) { return Lower(v.name) == Lower(name); });
    if (it == node_.values.end()) return false;
    node_.values.erase(it);
    return true;
  }
  std::vector<std::string> SubKeys() override {
    std::vector<std::string> names;
    for (const auto& [lower, child] : node_.children) names.push_back(child->name);
    return names;
  }
  std::vector<std::string> ValueNames() override {
    std::vector<std::string> names;
    for (const auto& v : node_.values) names.push_back(v.name);
    return names;
  }

 private:
  bool CanWrite() const { return writable_ && !owner_.fail_writes; }
  FakeRegistry::Value* FindValue(const std::string& name) {
    for (auto& v : node_.values)
      if (Lower(v.name) == Lower(name)) return &v;
    return nullptr;
  }
  FakeRegistry::Value& Slot(const std::string& name) {
    if (auto* v = FindValue(name)) return *v;
    node_.values.push_back({name, platform::RegType::None, {}, 0, {}});
    return node_.values.back();
  }

  FakeRegistry& owner_;
  FakeRegistry::Node& node_;
  bool writable_;
};

}  // namespace

std::string FakeRegistry::MapView(platform::RegRoot root, const std::string& path,
                                  uint32_t access) const {
  bool view32 = (access & platform::reg_access::kWow64_32Key) ||
                (!process_is_64bit && !(access & platform::reg_access::kWow64_64Key));
  if (root == platform::RegRoot::LocalMachine && view32) {
    auto parts = SplitPath(path);
    if (!parts.empty() && Lower(parts[0]) == "software") {
      std::string mapped = parts[0] + "\\WOW6432Node";
      for (size_t i = 1; i < parts.size(); ++i) mapped += "\\" + parts[i];
      return mapped;
    }
  }
  return path;
}

FakeRegistry::Node* FakeRegistry::Lookup(platform::RegRoot root, const std::string& path,
                                         bool create) {
  Node* node = root == platform::RegRoot::LocalMachine ? &hklm_ : &hkcu_;
  for (const std::string& part : SplitPath(path)) {
    auto it = node->children.find(Lower(part));
    if (it == node->children.end()) {
      if (!create) return nullptr;
      it = node->children.emplace(Lower(part), std::make_unique<Node>(Node{part, {}, {}})).first;
    }
    node = it->second.get();
  }
  return node;
}

std::unique_ptr<platform::RegistryKey> FakeRegistry::Open(platform::RegRoot root,
                                                          const std::string& path,
                                                          uint32_t access, bool create) {
  return OpenExplained(root, path, access, create).key;
}

platform::KeyOpening FakeRegistry::OpenExplained(platform::RegRoot root, const std::string& path,
                                                 uint32_t access, bool create) {
  platform::KeyOpening opening;
  const char* denied = "Access is denied.";
  if (fail_open.count(std::string(RootName(root)) + "\\" + path)) {
    opening.error = denied;
    return opening;
  }
  bool wants_write = (access & platform::reg_access::kWriteRights) != 0;
  if (root == platform::RegRoot::LocalMachine && !elevated && (wants_write || create)) {
    opening.error = denied;
    return opening;
  }
  Node* node = Lookup(root, MapView(root, path, access), create);
  if (!node) {
    opening.missing = true;
    opening.error = "The system cannot find the file specified.";
    return opening;
  }
  opening.key = std::make_unique<FakeKey>(*this, *node, wants_write);
  return opening;
}

bool FakeRegistry::DeleteKey(platform::RegRoot root, const std::string& path, uint32_t view) {
  if (root == platform::RegRoot::LocalMachine && !elevated) return false;
  if (fail_writes) return false;
  auto parts = SplitPath(MapView(root, path, view));
  if (parts.empty()) return false;
  std::string leaf = parts.back();
  parts.pop_back();
  std::string parent_path;
  for (const auto& p : parts) parent_path += p + "\\";
  Node* parent = Lookup(root, parent_path, false);
  if (!parent) return false;
  auto it = parent->children.find(Lower(leaf));
  if (it == parent->children.end() || !it->second->children.empty()) return false;
  parent->children.erase(it);
  return true;
}

void FakeRegistry::SetString(platform::RegRoot root, const std::string& path,
                             const std::string& name, const std::string& value,
                             platform::RegType type) {
  Node* node = Lookup(root, path, true);
  for (auto& v : node->values)
    if (Lower(v.name) == Lower(name)) {
      v.type = type, v.text = value, v.bytes.clear();
      return;
    }
  node->values.push_back({name, type, value, 0, {}});
}

void FakeRegistry::SetDWord(platform::RegRoot root, const std::string& path,
                            const std::string& name, uint32_t value) {
  Node* node = Lookup(root, path, true);
  for (auto& v : node->values)
    if (Lower(v.name) == Lower(name)) {
      v.type = platform::RegType::DWord, v.number = value, v.bytes.clear();
      return;
    }
  node->values.push_back({name, platform::RegType::DWord, {}, value, {}});
}

void FakeRegistry::SetBytes(platform::RegRoot root, const std::string& path, const std::string& name,
                            platform::RegType type, std::vector<uint8_t> bytes) {
  Node* node = Lookup(root, path, true);
  uint32_t number = 0;
  if (type == platform::RegType::DWord && bytes.size() == 4)
    number = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
  for (auto& v : node->values)
    if (Lower(v.name) == Lower(name)) {
      v = {v.name, type, {}, number, std::move(bytes)};
      return;
    }
  node->values.push_back({name, type, {}, number, std::move(bytes)});
}

void FakeRegistry::CreateKey(platform::RegRoot root, const std::string& path) {
  Lookup(root, path, true);
}

bool FakeRegistry::KeyExists(platform::RegRoot root, const std::string& path) const {
  return const_cast<FakeRegistry*>(this)->Lookup(root, path, false) != nullptr;
}

const FakeRegistry::Value* FakeRegistry::Find(platform::RegRoot root, const std::string& path,
                                              const std::string& name) const {
  Node* node = const_cast<FakeRegistry*>(this)->Lookup(root, path, false);
  if (!node) return nullptr;
  for (const auto& v : node->values)
    if (Lower(v.name) == Lower(name)) return &v;
  return nullptr;
}

}  // namespace fakes
