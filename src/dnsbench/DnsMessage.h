// A small, strict DNS message writer and reader (RFC 1035 wire format) for timing
// servers by real queries: A and AAAA questions, answers checked against the query
// they claim to answer. Anything the reader cannot account for byte by byte is refused.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dnsbench {

using Bytes = std::vector<uint8_t>;

enum : uint16_t { kTypeA = 1, kTypeNs = 2, kTypeCname = 5, kTypePtr = 12, kTypeAaaa = 28, kClassIn = 1 };
enum : uint8_t { kRcodeNoError = 0, kRcodeFormErr = 1, kRcodeServFail = 2, kRcodeNxDomain = 3, kRcodeRefused = 5 };

// Header flag bits as they sit in the second 16-bit word.
enum : uint16_t {
  kFlagQr = 0x8000,
  kFlagAa = 0x0400,
  kFlagTc = 0x0200,
  kFlagRd = 0x0100,
  kFlagRa = 0x0080,
};

struct Question {
  std::string name;  // presentation form, no trailing dot; "\\." and "\\DDD" escapes
  uint16_t type = kTypeA;
  uint16_t klass = kClassIn;
  bool operator==(const Question&) const = default;
};

struct Record {
  std::string name;
  uint16_t type = kTypeA;
  uint16_t klass = kClassIn;
  uint32_t ttl = 0;
  // A, AAAA: the address bytes; other types: the raw data, except that the names
  // inside NS, CNAME and PTR are decoded into `target` (they may be compressed).
  Bytes data;
  std::string target;
  bool operator==(const Record&) const = default;
};

struct Message {
  uint16_t id = 0;
  uint16_t flags = 0;  // everything of the second header word
  std::vector<Question> questions;
  std::vector<Record> answers;
  std::vector<Record> authority;
  std::vector<Record> additional;
  bool operator==(const Message&) const = default;

  uint8_t Rcode() const { return static_cast<uint8_t>(flags & 0x000F); }
  bool IsResponse() const { return (flags & kFlagQr) != 0; }
  bool Truncated() const { return (flags & kFlagTc) != 0; }
};

// Splits a presentation name into wire labels; false (with a reason) when a label is
// empty or longer than 63 bytes, the whole name longer than 255 bytes on the wire, or
// an escape is malformed. "" and "." are the root.
bool NameToLabels(const std::string& name, std::vector<std::string>& labels, std::string* error = nullptr);

// The wire form of a message (names uncompressed). nullopt with a reason when a name
// does not fit the limits above, or a record's data is longer than 65535 bytes.
std::optional<Bytes> Encode(const Message& message, std::string* error = nullptr);

// A recursive query for one name.
std::optional<Bytes> EncodeQuery(uint16_t id, const std::string& name, uint16_t type,
                                 std::string* error = nullptr);

// Reads a whole message. Refused (nullopt, reason in `error`): shorter than its
// header or than its counts promise, bytes left over, labels over 63, names over 255,
// compression pointers that point forward, at themselves or past the end, label types
// 01 and 10, A/AAAA data of the wrong size, names in NS/CNAME/PTR data that do not fill
// the data exactly.
std::optional<Message> Read(const uint8_t* data, size_t size, std::string* error = nullptr);
inline std::optional<Message> Read(const Bytes& bytes, std::string* error = nullptr) {
  return Read(bytes.data(), bytes.size(), error);
}

// Names compared as DNS does: ASCII letters without regard to case.
bool SameName(const std::string& a, const std::string& b);

// An address record's data as text ("192.0.2.1", "2001:db8::1"); empty for others.
std::string AddressText(const Record& record);

// What an answer to one of our queries amounts to.
enum class Verdict {
  kAnswer,            // a well-formed response to this query (any rcode)
  kMalformed,         // not a DNS message the reader accepts
  kNotResponse,       // QR bit clear
  kWrongId,           // a response, but to another query
  kQuestionMismatch,  // id matches, question does not
  kTruncated,         // TC set: the answer did not fit
};

struct Checked {
  Verdict verdict = Verdict::kMalformed;
  uint8_t rcode = 0;
  // Addresses of the asked type owned by the asked name or the end of its CNAME chain.
  std::vector<std::string> addresses;
  std::string detail;
};

Checked CheckResponse(uint16_t id, const std::string& name, uint16_t type, const uint8_t* data, size_t size);
inline Checked CheckResponse(uint16_t id, const std::string& name, uint16_t type, const Bytes& bytes) {
  return CheckResponse(id, name, type, bytes.data(), bytes.size());
}

const char* VerdictName(Verdict verdict);

}  // namespace dnsbench
