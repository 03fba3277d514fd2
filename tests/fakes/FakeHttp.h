// An in-memory HTTP client: every request is recorded with the settings of the client
// that sent it and answered by `handler` (a failure without one). Like the real client
// it follows `redirects` (refusing https to http when the settings say so) and fails
// an answer larger than the settings allow.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <memory>
#include <string>
#include <vector>

#include "platform/Http.h"

namespace fakes {

class FakeHttp : public platform::Http {
 public:
  struct Request {
    std::string url;
    platform::HttpSettings settings;
  };
  std::function<platform::HttpResponse(const Request&)> handler;
  // URL -> the URL a redirect leads to.
  std::map<std::string, std::string> redirects;
  std::vector<Request> requests;
  std::atomic<int> clients_created{0};
  std::atomic<int> clients_alive{0};

  // Convenience answers.
  static platform::HttpResponse Ok(std::string body = {}) { return {true, 200, std::move(body), {}}; }
  static platform::HttpResponse Fail(std::string error, int status = 0) {
    return {false, status, {}, std::move(error)};
  }

  std::unique_ptr<platform::HttpClient> CreateClient(const platform::HttpSettings& settings) override {
    ++clients_created;
    return std::make_unique<Client>(*this, settings);
  }

 private:
  std::mutex mutex_;
  class Client : public platform::HttpClient {
   public:
    Client(FakeHttp& http, platform::HttpSettings settings) : http_(http), settings_(std::move(settings)) {
      ++http_.clients_alive;
    }
    ~Client() override { --http_.clients_alive; }
    platform::HttpResponse Get(const std::string& url) override {
      std::string current = url;
      for (int hop = 0;; ++hop) {
        std::unique_lock lock(http_.mutex_);
        http_.requests.push_back({current, settings_});
        Request request = http_.requests.back();
        auto redirect = http_.redirects.find(current);
        if (redirect == http_.redirects.end() || !settings_.follow_redirects) {
          auto handler = http_.handler;
          lock.unlock();
          if (!handler) return Fail("no route to host");
          platform::HttpResponse response = handler(request);
          if (settings_.max_body_bytes && response.body.size() > settings_.max_body_bytes)
            return Fail("The answer is larger than allowed", response.status);
          return response;
        }
        if (hop >= 10) return Fail("Too many redirects");
        if (!settings_.allow_https_to_http && current.rfind("https://", 0) == 0 &&
            redirect->second.rfind("https://", 0) != 0)
          return Fail("A redirect from https to http was refused", 302);
        current = redirect->second;
      }
    }

   private:
    FakeHttp& http_;
    platform::HttpSettings settings_;
  };
};

}  // namespace fakes
