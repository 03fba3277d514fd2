// Messages over a byte stream: the length ahead of each one, and a reader that gets
// the bytes in whatever pieces the connection hands over.
#include <gtest/gtest.h>

#include <numeric>

#include "platform/DnsStream.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Message(size_t size, uint8_t first = 1) {
  Bytes m(size);
  std::iota(m.begin(), m.end(), first);
  return m;
}

TEST(DnsStream, AFrameCarriesTheLengthMostSignificantByteFirst) {
  EXPECT_EQ(*platform::FrameDnsMessage({7, 8, 9}), (Bytes{0, 3, 7, 8, 9}));
  auto big = platform::FrameDnsMessage(Message(300));
  ASSERT_TRUE(big);
  EXPECT_EQ((*big)[0], 1);
  EXPECT_EQ((*big)[1], 44);
  EXPECT_EQ(big->size(), 302u);
  EXPECT_TRUE(platform::FrameDnsMessage(Message(0xFFFF)));
  // Nothing to frame, or more than two bytes of length can say.
  EXPECT_FALSE(platform::FrameDnsMessage({}));
  EXPECT_FALSE(platform::FrameDnsMessage(Message(0x10000)));
}

// However the stream is cut, the reader gives the same messages in the same order.
TEST(DnsStream, TheReaderGivesWholeMessagesWhateverThePieces) {
  const std::vector<Bytes> messages{Message(1), Message(12, 40), Message(300, 7), Message(0xFFFF, 3)};
  Bytes stream;
  for (const Bytes& m : messages) {
    Bytes framed = *platform::FrameDnsMessage(m);
    stream.insert(stream.end(), framed.begin(), framed.end());
  }
  for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{13}, size_t{1000}, stream.size()}) {
    SCOPED_TRACE(piece);
    platform::DnsStreamReader reader;
    std::vector<Bytes> got;
    for (size_t at = 0; at < stream.size(); at += piece) {
      reader.Feed(stream.data() + at, std::min(piece, stream.size() - at));
      while (auto m = reader.Next()) got.push_back(*m);
    }
    EXPECT_EQ(got, messages);
    EXPECT_EQ(reader.Held(), 0u);
    EXPECT_FALSE(reader.Broken());
  }
}

TEST(DnsStream, AnUnfinishedMessageIsHeldAndAnEmptyOneBreaksTheStream) {
  platform::DnsStreamReader reader;
  const Bytes start{0, 5, 1, 2};
  reader.Feed(start.data(), start.size());
  EXPECT_FALSE(reader.Next());
  EXPECT_EQ(reader.Held(), 4u);

  platform::DnsStreamReader broken;
  const Bytes bad{0, 0, 0, 1, 9};
  broken.Feed(bad.data(), bad.size());
  EXPECT_FALSE(broken.Next());
  EXPECT_TRUE(broken.Broken());
  // Nothing after it is taken for a message.
  EXPECT_FALSE(broken.Next());
  const Bytes more{0, 1, 7};
  broken.Feed(more.data(), more.size());
  EXPECT_FALSE(broken.Next());
}

}  // namespace
