// The DNS message reader: whatever it accepts re-encodes, and the encoding reads back
// to the same message; the response check never disagrees with the reader.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "dnsbench/DnsMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  auto message = dnsbench::Read(data, size, &error);
  if (size >= 12) {
    // Checked against the question it carries (or a fixed one), the verdict must agree
    // with the reader: an answer only when the reader took the whole message.
    uint16_t id = static_cast<uint16_t>(data[0] << 8 | data[1]);
    std::string name = message && !message->questions.empty() ? message->questions[0].name : "a.test";
    uint16_t type = message && !message->questions.empty() ? message->questions[0].type : dnsbench::kTypeA;
    auto checked = dnsbench::CheckResponse(id, name, type, data, size);
    if (checked.verdict == dnsbench::Verdict::kAnswer) fuzz::Check(message.has_value(), "answer the reader refuses");
  }
  if (!message) return 0;
  std::string why;
  auto bytes = dnsbench::Encode(*message, &why);
  fuzz::Check(bytes.has_value(), "accepted message does not re-encode", why);
  auto again = dnsbench::Read(*bytes, &why);
  fuzz::Check(again.has_value(), "re-encoded message is refused", why);
  fuzz::Check(*again == *message, "re-encoded message reads differently");
  return 0;
}
