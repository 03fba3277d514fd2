// An in-memory HTTP client: every request is recorded with the settings of the client
// that sent it and answered by `handler` (a failure without one).
#pragma once

#include <functional>
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
  std::vector<Request> requests;
  int clients_created = 0;
  int clients_alive = 0;

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
  class Client : public platform::HttpClient {
   public:
    Client(FakeHttp& http, platform::HttpSettings settings) : http_(http), settings_(std::move(settings)) {
      ++http_.clients_alive;
    }
    ~Client() override { --http_.clients_alive; }
    platform::HttpResponse Get(const std::string& url) override {
      http_.requests.push_back({url, settings_});
      Request request = http_.requests.back();
      if (!http_.handler) return Fail("no route to host");
      return http_.handler(request);
    }

   private:
    FakeHttp& http_;
    platform::HttpSettings settings_;
  };
};

}  // namespace fakes
