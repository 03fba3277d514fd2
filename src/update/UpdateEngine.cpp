#include "update/UpdateEngine.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "common/DetachedThread.h"
#include "common/Text.h"
#include "update/Signature.h"

namespace update {

namespace {

std::atomic<int> g_abandoned{0};

// Runs `work` on a thread of its own and waits at most `timeout_ms` for it. Work that
// outlasts its bound is left to end by itself and its result goes nowhere, so a
// server that trickles its answer cannot hold the caller past the bound whatever the
// HTTP stack does with its own time-outs.
template <class Result>
std::optional<Result> RunBounded(uint32_t timeout_ms, std::function<Result()> work) {
  struct State {
    std::mutex mutex;
    std::condition_variable done_changed;
    bool done = false;
    bool abandoned = false;
    std::optional<Result> result;
  };
  auto state = std::make_shared<State>();
  common::StartDetachedThread([state, work = std::move(work)] {
    Result result = work();
    std::lock_guard lock(state->mutex);
    state->result = std::move(result);
    state->done = true;
    if (state->abandoned) --g_abandoned;
    state->done_changed.notify_all();
  });
  std::unique_lock lock(state->mutex);
  if (!state->done_changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return state->done; })) {
    state->abandoned = true;
    ++g_abandoned;
    return std::nullopt;
  }
  return std::move(state->result);
}

// Passes progress on to the caller's listener until the caller stops waiting; from
// then on it asks the transfer to stop.
class ProgressRelay : public platform::HttpProgress {
 public:
  explicit ProgressRelay(platform::HttpProgress& target) : target_(&target) {}
  void WorkBegin(int64_t expected) override {
    std::lock_guard lock(mutex_);
    if (target_) target_->WorkBegin(expected);
  }
  bool Work(int64_t received) override {
    std::lock_guard lock(mutex_);
    return target_ && target_->Work(received);
  }
  void WorkEnd() override {
    std::lock_guard lock(mutex_);
    if (target_) target_->WorkEnd();
  }
  void Cut() {
    std::lock_guard lock(mutex_);
    target_ = nullptr;
  }

 private:
  std::mutex mutex_;
  platform::HttpProgress* target_;
};

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r\n\f\v";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

struct Answer {
  platform::HttpResponse file;
  platform::HttpResponse signature;
};

bool Good(const platform::HttpResponse& reply) { return reply.ok && reply.status == 200; }

}  // namespace

int AbandonedRequests() { return g_abandoned.load(); }

UpdateEngine::UpdateEngine(platform::Http& http, platform::SignatureVerifier& verifier, platform::Desktop& desktop,
                           std::string public_key, UpdateLimits limits)
    : http_(http), verifier_(verifier), desktop_(desktop), public_key_(std::move(public_key)), limits_(limits) {}

bool UpdateEngine::Verify(const std::string& version, const std::string& file_name, const std::string& data,
                          const std::string& signature) const {
  return VerifyReleaseSignature(verifier_, public_key_, ReleaseSignedBytes(version, file_name, data), Bytes(signature));
}

CheckResult UpdateEngine::Check(const std::vector<std::string>& servers, const ProxyChoice& proxy,
                                bool portable) const {
  CheckResult result;
  for (const std::string& server : servers) {
    const std::string folder = server + GetUpdateBaseName() + "/";
    platform::HttpSettings file_settings = VersionRequestSettings(proxy);
    file_settings.max_body_bytes = limits_.version_bytes;
    file_settings.total_timeout_ms = limits_.version_total_ms;
    platform::HttpSettings signature_settings = file_settings;
    signature_settings.max_body_bytes = limits_.signature_bytes;
    platform::Http* http = &http_;
    std::optional<Answer> answer = RunBounded<Answer>(limits_.version_total_ms, [=] {
      Answer a;
      // A new client for every server.
      a.file = http->CreateClient(file_settings)->Get(folder + "version.txt");
      if (Good(a.file) && !Trim(a.file.body).empty())
        a.signature = http->CreateClient(signature_settings)->Get(folder + "version.txt.sig");
      return a;
    });
    if (!answer || !Good(answer->file)) continue;
    const std::string version = Trim(answer->file.body);
    if (version.empty() || !Good(answer->signature)) continue;
    if (!Verify(version, "version.txt", answer->file.body, answer->signature.body)) {
      result.not_signed = true;
      continue;
    }
    result.found = true;
    result.not_signed = false;
    result.server.version = version;
    result.server.download_url = folder + (portable ? GetZipFileName() : GetSetupFileName());
    return result;
  }
  return result;
}

FetchResult UpdateEngine::Fetch(const std::string& url, const std::string& version, const ProxyChoice& proxy,
                                platform::HttpProgress& progress) const {
  FetchResult result;
  if (url.empty()) return result;
  const std::string encoded = EncodeUrlPath(url);
  platform::HttpSettings file_settings = DownloadSettings(proxy);
  file_settings.max_body_bytes = limits_.download_bytes;
  file_settings.total_timeout_ms = limits_.download_total_ms;
  platform::HttpSettings signature_settings = VersionRequestSettings(proxy);
  signature_settings.max_body_bytes = limits_.signature_bytes;
  signature_settings.total_timeout_ms = limits_.version_total_ms;
  auto relay = std::make_shared<ProgressRelay>(progress);
  platform::Http* http = &http_;
  std::optional<Answer> answer = RunBounded<Answer>(limits_.download_total_ms, [=] {
    Answer a;
    a.file = http->CreateClient(file_settings)->Download(encoded, *relay);
    if (Good(a.file)) a.signature = http->CreateClient(signature_settings)->Get(encoded + ".sig");
    return a;
  });
  relay->Cut();
  if (!answer) return result;
  if (!Good(answer->file)) {
    result.failure = answer->file.error == "Operation aborted" ? UpdateFailure::Cancelled : UpdateFailure::Connection;
    return result;
  }
  if (!Good(answer->signature)) return result;
  if (!Verify(version, FileNameFromUrl(url), answer->file.body, answer->signature.body)) {
    result.failure = UpdateFailure::NotSigned;
    return result;
  }
  result.failure = UpdateFailure::None;
  result.data = std::move(answer->file.body);
  return result;
}

StagedUpdate UpdateEngine::StageInstaller(const std::string& file_name, const std::string& data,
                                          const std::string& parameters) const {
  StagedUpdate staged;
  staged.folder = desktop_.CreateUpdateFolder();
  if (!staged.folder) return staged;
  std::unique_ptr<platform::HeldFile> installer = staged.folder->Write(file_name, Bytes(data));
  if (!installer) return staged;
  staged.program = installer->Path();
  staged.parameters = parameters;
  staged.hidden = false;
  staged.held.push_back(std::move(installer));
  staged.failure = UpdateFailure::None;
  return staged;
}

StagedUpdate UpdateEngine::StagePortable(const std::string& zip_name, const std::string& data,
                                         const std::string& program_dir, const std::string& exe_name,
                                         const std::string& script_name) const {
  StagedUpdate staged;
  const std::string system_folder = desktop_.SystemFolder();
  if (system_folder.empty()) return staged;
  staged.folder = desktop_.CreateUpdateFolder();
  if (!staged.folder) return staged;
  std::unique_ptr<platform::HeldFile> archive = staged.folder->Write(zip_name, Bytes(data));
  if (!archive) return staged;
  std::optional<std::string> script = common::Utf8ToOem(
      PortableUpdateScript(program_dir, exe_name, archive->Path(), system_folder), desktop_.OemCodePage());
  if (!script) {
    staged.failure = UpdateFailure::Script;
    return staged;
  }
  std::unique_ptr<platform::HeldFile> script_file = staged.folder->Write(script_name, Bytes(*script));
  if (!script_file) {
    staged.failure = UpdateFailure::Script;
    return staged;
  }
  staged.program = system_folder + "cmd.exe";
  staged.parameters = "/d /c \"\"" + script_file->Path() + "\"\"";
  staged.hidden = true;
  staged.held.push_back(std::move(archive));
  staged.held.push_back(std::move(script_file));
  staged.failure = UpdateFailure::None;
  return staged;
}

platform::StartResult UpdateEngine::Start(const StagedUpdate& staged) const {
  if (staged.failure != UpdateFailure::None || staged.program.empty())
    return {false, "nothing was prepared to start"};
  return desktop_.Start(staged.program, staged.parameters, staged.hidden);
}

}  // namespace update
