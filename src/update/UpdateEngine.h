// The updater's engine: the version check, the download and its signature check, the
// update folder the files are handed over from, and the start of what replaces the
// program. The update window drives it; tests drive it without a window. Every
// request has a size bound and an overall time bound, whatever the server does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Crypto.h"
#include "platform/Desktop.h"
#include "platform/Http.h"
#include "update/UpdateCheck.h"

namespace update {

struct UpdateLimits {
  uint64_t version_bytes = 256;    // version.txt
  uint64_t signature_bytes = 512;  // a .sig file (a DER P-256 signature has at most 72)
  uint64_t download_bytes = uint64_t{512} << 20;
  uint32_t version_total_ms = 10000;  // one server's version request, start to end
  uint32_t download_total_ms = 30u * 60u * 1000u;
};

enum class UpdateFailure {
  None,
  Connection,  // no answer, a failed or refused request, an answer over its bound
  NotSigned,   // an answer the release key did not sign for this file and release
  Cancelled,
  NoFolder,    // the update folder or a file in it could not be made
  Script,      // the update script could not be written in the command processor's code page
};

struct CheckResult {
  bool found = false;
  // No server gave a signed answer, and at least one gave an answer whose signature
  // did not verify.
  bool not_signed = false;
  ServerVersion server;
};

struct FetchResult {
  UpdateFailure failure = UpdateFailure::Connection;
  std::string data;  // the verified file
};

// Files handed over from an update folder, held until what reads them has started.
struct StagedUpdate {
  UpdateFailure failure = UpdateFailure::NoFolder;
  std::unique_ptr<platform::UpdateFolder> folder;
  std::vector<std::unique_ptr<platform::HeldFile>> held;
  // What to start: a full path, its parameters and whether its window is hidden.
  std::string program;
  std::string parameters;
  bool hidden = false;
};

class UpdateEngine {
 public:
  UpdateEngine(platform::Http& http, platform::SignatureVerifier& verifier, platform::Desktop& desktop,
               std::string public_key, UpdateLimits limits = {});

  // Asks each server in turn for version.txt and its signature; the first signed,
  // non-empty answer wins. Safe on any thread.
  CheckResult Check(const std::vector<std::string>& servers, const ProxyChoice& proxy, bool portable) const;

  // Downloads `url` and its signature and accepts the file only when the release key
  // signed it under its name for `version`. `progress` hears of the transfer (on this
  // thread); its Work returning false cancels. Safe on any thread.
  FetchResult Fetch(const std::string& url, const std::string& version, const ProxyChoice& proxy,
                    platform::HttpProgress& progress) const;

  // The installer in an update folder of its own, with the parameters to start it with.
  StagedUpdate StageInstaller(const std::string& file_name, const std::string& data,
                              const std::string& parameters) const;
  // The archive and the script that unpacks it over the program folder, in an update
  // folder of their own; the command processor runs the script, hidden.
  StagedUpdate StagePortable(const std::string& zip_name, const std::string& data, const std::string& program_dir,
                             const std::string& exe_name, const std::string& script_name) const;

  // Starts what was staged; the files stay held until the start has been answered.
  platform::StartResult Start(const StagedUpdate& staged) const;

  // Whether `signature` is the release key's for `file_name` of release `version`.
  bool Verify(const std::string& version, const std::string& file_name, const std::string& data,
              const std::string& signature) const;

  const UpdateLimits& Limits() const { return limits_; }

 private:
  platform::Http& http_;
  platform::SignatureVerifier& verifier_;
  platform::Desktop& desktop_;
  std::string public_key_;
  UpdateLimits limits_;
};

// Requests that are still running after their caller stopped waiting for them (they
// end by themselves).
int AbandonedRequests();

}  // namespace update
