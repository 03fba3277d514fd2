// HTTP GET requests with WinHTTP and the system's TLS.
#pragma once

#include "platform/Http.h"

namespace platform::win32 {

class Win32Http : public platform::Http {
 public:
  std::unique_ptr<platform::HttpClient> CreateClient(const platform::HttpSettings& settings) override;
};

}  // namespace platform::win32
