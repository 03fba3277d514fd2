// DNS answers over TCP: the stream reader gives the same messages however the bytes are
// cut into pieces, every message it gives is exactly the frame's length, and what it
// gives framed again is the stream it read.
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "dnsbench/DnsMessage.h"
#include "platform/DnsStream.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<Bytes> ReadAll(const uint8_t* data, size_t size, const std::vector<size_t>& cuts, bool* broken,
                           size_t* held) {
  platform::DnsStreamReader reader;
  std::vector<Bytes> out;
  size_t at = 0, cut = 0;
  while (at < size) {
    size_t piece = cuts.empty() ? size : cuts[cut++ % cuts.size()];
    if (piece > size - at) piece = size - at;
    reader.Feed(data + at, piece);
    at += piece;
    while (auto message = reader.Next()) out.push_back(*message);
  }
  *broken = reader.Broken();
  *held = reader.Held();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input input(data, size);
  // The first bytes choose the piece sizes (1 to 64); the rest is the stream.
  std::vector<size_t> cuts;
  for (int i = 0, n = input.Byte() % 8; i < n; ++i) cuts.push_back(1 + input.Byte() % 64);
  const auto rest = input.Rest();
  const uint8_t* stream = reinterpret_cast<const uint8_t*>(rest.data());
  const size_t length = rest.size();

  bool whole_broken = false, cut_broken = false;
  size_t whole_held = 0, cut_held = 0;
  const auto whole = ReadAll(stream, length, {}, &whole_broken, &whole_held);
  const auto cut = ReadAll(stream, length, cuts, &cut_broken, &cut_held);
  fuzz::Check(whole == cut, "the pieces change the messages read");
  fuzz::Check(whole_broken == cut_broken, "the pieces change whether the stream breaks");

  // The messages framed again are the start of the stream that was read.
  Bytes again;
  for (const Bytes& message : whole) {
    auto framed = platform::FrameDnsMessage(message);
    fuzz::Check(framed.has_value(), "a message read cannot be framed");
    again.insert(again.end(), framed->begin(), framed->end());
  }
  fuzz::Check(again.size() <= length && Bytes(stream, stream + again.size()) == again,
              "framing the messages read does not give the stream back");
  if (!whole_broken) fuzz::Check(again.size() + whole_held == length, "bytes lost between messages");

  // Each answer goes on to the message reader, as an answer from a connection does.
  for (const Bytes& message : whole) (void)dnsbench::CheckResponse(0, "a.test", dnsbench::kTypeA, message);
  return 0;
}
