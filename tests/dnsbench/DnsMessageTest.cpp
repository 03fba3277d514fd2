// The DNS message writer and reader: names at every length edge, compression pointers
// good and bad, counts that lie, truncation, and responses checked against their query.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dnsbench/DnsMessage.h"

using namespace dnsbench;

namespace {

// Builds raw messages byte by byte, so tests can write what no encoder would.
struct Raw {
  Bytes b;
  Raw& U8(uint8_t v) {
    b.push_back(v);
    return *this;
  }
  Raw& U16(uint16_t v) { return U8(static_cast<uint8_t>(v >> 8)).U8(static_cast<uint8_t>(v)); }
  Raw& U32(uint32_t v) { return U16(static_cast<uint16_t>(v >> 16)).U16(static_cast<uint16_t>(v)); }
  Raw& Header(uint16_t id, uint16_t flags, uint16_t qd, uint16_t an, uint16_t ns = 0, uint16_t ar = 0) {
    return U16(id).U16(flags).U16(qd).U16(an).U16(ns).U16(ar);
  }
  Raw& Label(const std::string& s) {
    U8(static_cast<uint8_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
    return *this;
  }
  Raw& Name(const std::string& dotted) {
    size_t start = 0;
    while (start < dotted.size()) {
      size_t dot = dotted.find('.', start);
      if (dot == std::string::npos) dot = dotted.size();
      Label(dotted.substr(start, dot - start));
      start = dot + 1;
    }
    return U8(0);
  }
  Raw& Pointer(uint16_t offset) { return U16(static_cast<uint16_t>(0xC000 | offset)); }
  Raw& Question(const std::string& name, uint16_t type = kTypeA) { return Name(name).U16(type).U16(kClassIn); }
  // An A record whose owner is a pointer to `owner_offset`.
  Raw& APointed(uint16_t owner_offset, uint8_t last) {
    return Pointer(owner_offset).U16(kTypeA).U16(kClassIn).U32(60).U16(4).U8(192).U8(0).U8(2).U8(last);
  }
};

constexpr uint16_t kResponse = kFlagQr | kFlagRd | kFlagRa;
constexpr uint16_t kQuestionAt = 12;  // offset of the question name

std::string Repeat(char c, size_t n) { return std::string(n, c); }

}  // namespace

TEST(DnsMessage, NameLengthEdges) {
  const std::string l63 = Repeat('a', 63);
  // 3 labels of 63 + one of 61: 4*1 + 250 + 1 = 255 wire bytes exactly.
  const std::string n255 = l63 + "." + l63 + "." + l63 + "." + Repeat('b', 61);
  const std::string n256 = l63 + "." + l63 + "." + l63 + "." + Repeat('b', 62);
  struct Case {
    std::string name;
    bool ok;
  } cases[] = {
      {"example.com", true},         {"example.com.", true},   {l63 + ".com", true},
      {Repeat('a', 64) + ".com", false}, {n255, true},         {n256, false},
      {"a..b", false},               {".a", false},            {"", true},
      {"a\\.b.c", true},             {"\\255x.c", true},       {"\\256.c", false},
      {"\\12.c", false},             {"a\\", false},
  };
  for (const auto& c : cases) {
    std::string error;
    auto bytes = EncodeQuery(7, c.name, kTypeA, &error);
    EXPECT_EQ(bytes.has_value(), c.ok) << c.name.size() << " " << c.name << " " << error;
    if (!bytes) continue;
    auto back = Read(*bytes, &error);
    ASSERT_TRUE(back) << error;
    ASSERT_EQ(back->questions.size(), 1u);
    std::string expected = c.name;
    if (!expected.empty() && expected.back() == '.') expected.pop_back();
    EXPECT_EQ(back->questions[0].name, expected);
  }
  // The reader holds the same edges on the wire.
  auto read_name = [](const std::string& dotted) {
    Raw r;
    r.Header(1, 0, 1, 0).Question(dotted);
    return Read(r.b).has_value();
  };
  EXPECT_TRUE(read_name(n255));
  EXPECT_FALSE(read_name(n256));
  Raw long_label;
  long_label.Header(1, 0, 1, 0).Label(Repeat('a', 64)).U8(0).U16(1).U16(1);
  std::string error;
  EXPECT_FALSE(Read(long_label.b, &error));  // 64 = 0x40: a label type nobody uses
  EXPECT_NE(error.find("label type"), std::string::npos) << error;
}

TEST(DnsMessage, WritesTheExpectedQueryBytes) {
  auto bytes = EncodeQuery(0xBEEF, "ab.c", kTypeAaaa);
  ASSERT_TRUE(bytes);
  Bytes expected = {0xBE, 0xEF, 0x01, 0x00, 0, 1, 0, 0, 0, 0, 0, 0, 2, 'a', 'b', 1, 'c', 0, 0, 28, 0, 1};
  EXPECT_EQ(*bytes, expected);
}

TEST(DnsMessage, CompressionPointers) {
  struct Case {
    const char* what;
    Bytes bytes;
    bool ok;
    const char* error;
  };
  auto answer_with_owner = [](auto owner) {
    Raw r;
    r.Header(1, kResponse, 1, 1).Question("www.example.com");
    owner(r);
    r.U16(kTypeA).U16(kClassIn).U32(60).U16(4).U8(1).U8(2).U8(3).U8(4);
    return r.b;
  };
  std::vector<Case> cases = {
      {"pointer to the question", answer_with_owner([](Raw& r) { r.Pointer(kQuestionAt); }), true, ""},
      {"label then pointer", answer_with_owner([](Raw& r) { r.Label("x").Pointer(kQuestionAt + 4); }), true, ""},
      {"pointer at itself", answer_with_owner([](Raw& r) { r.Pointer(static_cast<uint16_t>(r.b.size())); }), false,
       "backwards"},
      {"pointer forward", answer_with_owner([](Raw& r) { r.Pointer(static_cast<uint16_t>(r.b.size() + 2)); }), false,
       "backwards"},
      {"pointer past the end", answer_with_owner([](Raw& r) { r.Pointer(0x3FFF); }), false, "past the end"},
      {"pointer cut in half", [] {
         Raw r;
         r.Header(1, kResponse, 1, 0).Label("a").U8(0xC0);
         return r.b;
       }(), false, "pointer"},
  };
  // A loop: the answer's owner is "x" then a pointer back to a pointer that points to
  // the answer's own first label.
  {
    Raw r;
    r.Header(1, kResponse, 1, 1).Question("a");
    uint16_t loop_start = static_cast<uint16_t>(r.b.size());
    r.Label("x").Pointer(loop_start);
    r.U16(kTypeA).U16(kClassIn).U32(60).U16(4).U32(0);
    cases.push_back({"pointer loop", r.b, false, "backwards"});
  }
  for (const auto& c : cases) {
    std::string error;
    auto m = Read(c.bytes, &error);
    EXPECT_EQ(m.has_value(), c.ok) << c.what;
    if (!c.ok) {
      EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
    }
  }
  auto m = Read(cases[1].bytes);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->answers[0].name, "x.example.com");
}

TEST(DnsMessage, CountsThatLieAndShortMessages) {
  struct Case {
    const char* what;
    Bytes bytes;
  };
  Raw good;
  good.Header(9, kResponse, 1, 2).Question("a.b").APointed(kQuestionAt, 1).APointed(kQuestionAt, 2);
  ASSERT_TRUE(Read(good.b));
  auto with_counts = [&](uint16_t an, uint16_t ns, uint16_t ar) {
    Bytes b = good.b;
    b[6] = 0, b[7] = static_cast<uint8_t>(an), b[9] = static_cast<uint8_t>(ns), b[11] = static_cast<uint8_t>(ar);
    return b;
  };
  Bytes extra = good.b;
  extra.push_back(0);
  Bytes cut = good.b;
  cut.pop_back();
  Bytes bad_rdlength = good.b;
  bad_rdlength[bad_rdlength.size() - 5] = 5;  // the second record says 5 address bytes
  std::vector<Case> cases = {
      {"more answers than present", with_counts(3, 0, 0)},
      {"authority promised", with_counts(2, 1, 0)},
      {"additional promised", with_counts(2, 0, 1)},
      {"fewer answers than present", with_counts(1, 0, 0)},
      {"byte left over", extra},
      {"last byte missing", cut},
      {"A data of five bytes", bad_rdlength},
      {"header only in part", Bytes(good.b.begin(), good.b.begin() + 11)},
      {"empty", {}},
  };
  for (const auto& c : cases) EXPECT_FALSE(Read(c.bytes)) << c.what;
}

TEST(DnsMessage, ReadsWhatItWritesWithAllSections) {
  Message m;
  m.id = 0x1234;
  m.flags = kResponse | kFlagAa | kRcodeNoError;
  m.questions.push_back({"www.Example.com", kTypeA, kClassIn});
  m.answers.push_back({"www.Example.com", kTypeCname, kClassIn, 300, {}, "edge.example.net"});
  m.answers.push_back({"edge.example.net", kTypeA, kClassIn, 60, {198, 51, 100, 7}, ""});
  m.authority.push_back({"example.net", kTypeNs, kClassIn, 3600, {}, "ns\\.1.example.net"});
  m.additional.push_back({"", 41, 1232, 0, {}, ""});  // an EDNS record
  auto bytes = Encode(m);
  ASSERT_TRUE(bytes);
  auto back = Read(*bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, m);
}

TEST(DnsMessage, ChecksResponsesAgainstTheQuery) {
  const std::string q = "host.test";
  auto response = [&](uint16_t id, uint16_t flags, const std::string& qname, uint16_t qtype, int answers) {
    Raw r;
    r.Header(id, flags, 1, static_cast<uint16_t>(answers)).Question(qname, qtype);
    for (int i = 0; i < answers; ++i) r.APointed(kQuestionAt, static_cast<uint8_t>(10 + i));
    return r.b;
  };
  struct Case {
    const char* what;
    Bytes bytes;
    Verdict verdict;
    uint8_t rcode;
    std::vector<std::string> addresses;
  } cases[] = {
      {"answer", response(5, kResponse, q, kTypeA, 2), Verdict::kAnswer, 0, {"192.0.2.10", "192.0.2.11"}},
      {"name in other case", response(5, kResponse, "HOST.Test", kTypeA, 1), Verdict::kAnswer, 0, {"192.0.2.10"}},
      {"nxdomain", response(5, kResponse | kRcodeNxDomain, q, kTypeA, 0), Verdict::kAnswer, kRcodeNxDomain, {}},
      {"wrong id", response(6, kResponse, q, kTypeA, 1), Verdict::kWrongId, 0, {}},
      {"query echoed back", response(5, kFlagRd, q, kTypeA, 0), Verdict::kNotResponse, 0, {}},
      {"other name", response(5, kResponse, "other.test", kTypeA, 1), Verdict::kQuestionMismatch, 0, {}},
      {"other type", response(5, kResponse, q, kTypeAaaa, 0), Verdict::kQuestionMismatch, 0, {}},
      {"truncated", response(5, kResponse | kFlagTc, q, kTypeA, 0), Verdict::kTruncated, 0, {}},
      {"cut short", Bytes(8, 0), Verdict::kMalformed, 0, {}},
  };
  for (const auto& c : cases) {
    Checked got = CheckResponse(5, q, kTypeA, c.bytes);
    EXPECT_EQ(got.verdict, c.verdict) << c.what << ": " << VerdictName(got.verdict);
    EXPECT_EQ(got.rcode, c.rcode) << c.what;
    EXPECT_EQ(got.addresses, c.addresses) << c.what;
  }
  // A truncated response whose body is cut off is still reported as truncated.
  Bytes cut = response(5, kResponse | kFlagTc, q, kTypeA, 1);
  cut.resize(cut.size() - 6);
  EXPECT_EQ(CheckResponse(5, q, kTypeA, cut).verdict, Verdict::kTruncated);
}

TEST(DnsMessage, FollowsAliasesAndIgnoresStrayRecords) {
  Message m;
  m.id = 1;
  m.flags = kResponse;
  m.questions.push_back({"www.test", kTypeAaaa, kClassIn});
  m.answers.push_back({"www.test", kTypeCname, kClassIn, 1, {}, "cdn.test"});
  m.answers.push_back({"unrelated.test", kTypeAaaa, kClassIn, 1, Bytes(16, 0xAB), ""});
  Bytes v6(16, 0);
  v6[0] = 0x20, v6[1] = 0x01, v6[2] = 0x0d, v6[3] = 0xb8, v6[15] = 1;
  m.answers.push_back({"cdn.test", kTypeAaaa, kClassIn, 1, v6, ""});
  auto got = CheckResponse(1, "www.test", kTypeAaaa, *Encode(m));
  ASSERT_EQ(got.verdict, Verdict::kAnswer);
  EXPECT_EQ(got.addresses, std::vector<std::string>{"2001:db8::1"});
}
