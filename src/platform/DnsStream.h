// DNS over a byte stream (TCP, and later TLS): every message goes with its length in
// two bytes ahead of it, most significant first. The reader takes the bytes as they
// come, in pieces of any size, and gives back whole messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The message with its length ahead of it; nullopt when it is empty or longer than a
// length of two bytes can say.
std::optional<std::vector<uint8_t>> FrameDnsMessage(const std::vector<uint8_t>& message);

class DnsStreamReader {
 public:
  // Takes the next bytes of the stream.
  void Feed(const uint8_t* data, size_t size);
  // The next whole message, or nullopt until one has arrived. A frame that says its
  // message is empty breaks the stream: nothing more is read from it.
  std::optional<std::vector<uint8_t>> Next();
  bool Broken() const { return broken_; }
  // Bytes held that are not yet a whole message.
  size_t Held() const { return buffer_.size() - start_; }

 private:
  std::vector<uint8_t> buffer_;
  size_t start_ = 0;
  bool broken_ = false;
};

}  // namespace platform
