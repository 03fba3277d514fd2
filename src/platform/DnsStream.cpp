#include "platform/DnsStream.h"

namespace platform {

std::optional<std::vector<uint8_t>> FrameDnsMessage(const std::vector<uint8_t>& message) {
  if (message.empty() || message.size() > 0xFFFF) return std::nullopt;
  std::vector<uint8_t> framed;
  framed.reserve(message.size() + 2);
  framed.push_back(static_cast<uint8_t>(message.size() >> 8));
  framed.push_back(static_cast<uint8_t>(message.size() & 0xFF));
  framed.insert(framed.end(), message.begin(), message.end());
  return framed;
}

void DnsStreamReader::Feed(const uint8_t* data, size_t size) {
  if (broken_ || size == 0) return;
  // Whole messages already taken are dropped before the buffer grows, so a long
  // stream of answers keeps at most one message and a piece of the next.
  if (start_ > 0 && start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  } else if (start_ > 4096 && start_ * 2 > buffer_.size()) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
  }
  buffer_.insert(buffer_.end(), data, data + size);
}

std::optional<std::vector<uint8_t>> DnsStreamReader::Next() {
  if (broken_ || Held() < 2) return std::nullopt;
  const size_t length = static_cast<size_t>(buffer_[start_]) << 8 | buffer_[start_ + 1];
  if (length == 0) {
    broken_ = true;
    return std::nullopt;
  }
  if (Held() < 2 + length) return std::nullopt;
  auto first = buffer_.begin() + static_cast<std::ptrdiff_t>(start_ + 2);
  std::vector<uint8_t> message(first, first + static_cast<std::ptrdiff_t>(length));
  start_ += 2 + length;
  return message;
}

}  // namespace platform
