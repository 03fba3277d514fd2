// The updater's desktop and signature check, in memory. Signatures of the fake are 64
// bytes derived from the data (and wrapped as DER like real ones), so a file signed
// with FakeSign passes and anything else fails, while the bytes still go through the
// program's own DER and key handling.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/Crypto.h"
#include "platform/Desktop.h"
#include "update/Signature.h"

namespace fakes {

// Update folders and held files in memory; starts are recorded with the files that
// were held at that moment.
class FakeDesktop : public platform::Desktop {
 public:
  struct Started {
    std::string program;
    std::string parameters;
    bool hidden;
    std::set<std::string> held;  // paths held while it was started
  };
  std::string temp = "C:\\Users\\user\\AppData\\Local\\Temp\\";
  std::string system_folder = "C:\\Windows\\System32\\";
  unsigned oem_code_page = 866;
  bool refuse_folders = false;
  // Not empty: a start fails with this text.
  std::string start_error;

  std::unique_ptr<platform::UpdateFolder> CreateUpdateFolder() override {
    std::lock_guard lock(mutex_);
    if (refuse_folders) return nullptr;
    return std::make_unique<Folder>(*this, temp + "Velmora-update-" + std::to_string(++folders_made) + "\\");
  }
  platform::StartResult Start(const std::string& program, const std::string& parameters, bool hidden) override {
    std::lock_guard lock(mutex_);
    if (!start_error.empty()) return {false, start_error};
    started.push_back({program, parameters, hidden, held});
    return {true, {}};
  }
  std::string SystemFolder() override { return system_folder; }
  unsigned OemCodePage() override { return oem_code_page; }
  void ExitProcessNow() override { ++exits; }

  // What was written, by full path.
  std::string Text(const std::string& path) {
    std::lock_guard lock(mutex_);
    auto it = written.find(path);
    return it == written.end() ? std::string() : it->second;
  }
  size_t WrittenCount() {
    std::lock_guard lock(mutex_);
    return written.size();
  }

  std::vector<Started> started;
  std::map<std::string, std::string> written;
  std::set<std::string> held;
  int folders_made = 0;
  int exits = 0;

 private:
  class Held : public platform::HeldFile {
   public:
    Held(FakeDesktop& desktop, std::string path) : desktop_(desktop), path_(std::move(path)) {}
    ~Held() override {
      std::lock_guard lock(desktop_.mutex_);
      desktop_.held.erase(path_);
    }
    const std::string& Path() const override { return path_; }

   private:
    FakeDesktop& desktop_;
    std::string path_;
  };
  class Folder : public platform::UpdateFolder {
   public:
    Folder(FakeDesktop& desktop, std::string path) : desktop_(desktop), path_(std::move(path)) {}
    const std::string& Path() const override { return path_; }
    std::unique_ptr<platform::HeldFile> Write(const std::string& name, const std::vector<uint8_t>& data) override {
      std::lock_guard lock(desktop_.mutex_);
      const std::string path = path_ + name;
      if (desktop_.written.count(path)) return nullptr;  // new files only
      desktop_.written[path] = std::string(data.begin(), data.end());
      desktop_.held.insert(path);
      return std::make_unique<Held>(desktop_, path);
    }

   private:
    FakeDesktop& desktop_;
    std::string path_;
  };
  std::mutex mutex_;
};

// The raw signature the fake verifier expects for `data`.
inline platform::P256RawSignature FakeRawSignature(const std::vector<uint8_t>& data) {
  platform::P256RawSignature raw{};
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < raw.size(); ++i) {
    for (uint8_t b : data) h = (h ^ b) * 1099511628211ull;
    h = (h ^ i) * 1099511628211ull;
    raw[i] = static_cast<uint8_t>(h >> 24);
  }
  raw[0] = static_cast<uint8_t>((raw[0] & 0x7f) | 0x01);   // positive, no leading zero
  raw[32] = static_cast<uint8_t>((raw[32] & 0x7f) | 0x01);
  return raw;
}

// The DER signature file of `data` for the fake verifier.
inline std::string FakeSign(const std::string& data);

// The signature file the fake verifier accepts for `file_name` of release `version`.
inline std::string FakeReleaseSign(const std::string& version, const std::string& file_name,
                                   const std::string& data) {
  std::vector<uint8_t> bytes = update::ReleaseSignedBytes(version, file_name, data);
  return FakeSign(std::string(bytes.begin(), bytes.end()));
}

// The DER signature file of `data` for the fake verifier.
inline std::string FakeSign(const std::string& data) {
  platform::P256RawSignature raw = FakeRawSignature({data.begin(), data.end()});
  std::string der = {0x30, 68, 0x02, 32};
  der.append(reinterpret_cast<const char*>(raw.data()), 32);
  der += {0x02, 32};
  der.append(reinterpret_cast<const char*>(raw.data() + 32), 32);
  return der;
}

class FakeVerifier : public platform::SignatureVerifier {
 public:
  // Only this key is accepted.
  platform::P256PublicPoint key{};
  int calls = 0;
  bool VerifyP256Sha256(const std::vector<uint8_t>& data, const platform::P256RawSignature& signature,
                        const platform::P256PublicPoint& public_key) override {
    ++calls;
    return public_key == key && signature == FakeRawSignature(data);
  }
};

}  // namespace fakes
