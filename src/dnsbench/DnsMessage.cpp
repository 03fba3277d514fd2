#include "dnsbench/DnsMessage.h"

#include <cstdio>

namespace dnsbench {
namespace {

constexpr size_t kHeaderSize = 12;
constexpr size_t kMaxLabel = 63;
constexpr size_t kMaxName = 255;  // wire bytes, final zero included

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

bool IsNameType(uint16_t type) { return type == kTypeNs || type == kTypeCname || type == kTypePtr; }

std::string LabelText(const uint8_t* p, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    uint8_t c = p[i];
    if (c == '.' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x21 || c > 0x7E) {
      char buf[5];
      std::snprintf(buf, sizeof buf, "\\%03u", static_cast<unsigned>(c));
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

void Put16(Bytes& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}
void Put32(Bytes& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v >> 16));
  Put16(out, static_cast<uint16_t>(v));
}

bool PutName(Bytes& out, const std::string& name, std::string* error) {
  std::vector<std::string> labels;
  if (!NameToLabels(name, labels, error)) return false;
  for (const auto& label : labels) {
    out.push_back(static_cast<uint8_t>(label.size()));
    out.insert(out.end(), label.begin(), label.end());
  }
  out.push_back(0);
  return true;
}

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool U16(size_t& pos, uint16_t& v) {
    if (pos > size_ || size_ - pos < 2) return Fail("message ends inside a field");
    v = static_cast<uint16_t>(data_[pos] << 8 | data_[pos + 1]);
    pos += 2;
    return true;
  }
  bool U32(size_t& pos, uint32_t& v) {
    uint16_t hi = 0, lo = 0;
    if (!U16(pos, hi) || !U16(pos, lo)) return false;
    v = static_cast<uint32_t>(hi) << 16 | lo;
    return true;
  }

  // Reads a name at pos; pos moves past it (past the first pointer when compressed).
  bool Name(size_t& pos, std::string& name) {
    name.clear();
    size_t at = pos;
    size_t limit = pos;  // every pointer must point before the part read so far
    size_t wire = 1;     // the final zero
    bool jumped = false;
    while (true) {
      if (at >= size_) return Fail("message ends inside a name");
      uint8_t len = data_[at];
      if ((len & 0xC0) == 0xC0) {
        if (at + 1 >= size_) return Fail("message ends inside a compression pointer");
        size_t target = static_cast<size_t>(len & 0x3F) << 8 | data_[at + 1];
        if (target >= size_) return Fail("compression pointer past the end");
        // Each pointer must land before everything this name has used so far: the
        // positions strictly decrease, so no chain of pointers can loop.
        if (target >= limit) return Fail("compression pointer does not point backwards");
        if (!jumped) pos = at + 2;
        jumped = true;
        at = limit = target;
        continue;
      }
      if ((len & 0xC0) != 0) return Fail("unknown label type");
      if (len == 0) {
        if (!jumped) pos = at + 1;
        return true;
      }
      if (size_ - at - 1 < len) return Fail("message ends inside a label");
      wire += 1u + len;
      if (wire > kMaxName) return Fail("name longer than 255 bytes");
      if (!name.empty()) name += '.';
      name += LabelText(data_ + at + 1, len);
      at += 1u + len;
    }
  }

  bool Records(size_t& pos, uint16_t count, std::vector<Record>& out) {
    for (uint16_t i = 0; i < count; ++i) {
      Record r;
      uint16_t rdlength = 0;
      if (!Name(pos, r.name) || !U16(pos, r.type) || !U16(pos, r.klass) || !U32(pos, r.ttl) ||
          !U16(pos, rdlength))
        return false;
      if (size_ - pos < rdlength) return Fail("record data runs past the end");
      size_t end = pos + rdlength;
      if ((r.type == kTypeA && rdlength != 4) || (r.type == kTypeAaaa && rdlength != 16))
        return Fail("address record of the wrong size");
      if (IsNameType(r.type)) {
        size_t at = pos;
        // The name is read against the whole message (it may be compressed) but must
        // end exactly where the record's data ends.
        Reader inner(data_, end);
        if (!inner.Name(at, r.target)) return Fail(inner.error_);
        if (at != end) return Fail("name in record data does not fill it");
      } else {
        r.data.assign(data_ + pos, data_ + end);
      }
      pos = end;
      out.push_back(std::move(r));
    }
    return true;
  }

  bool Fail(std::string why) {
    error_ = std::move(why);
    return false;
  }
  const std::string& Error() const { return error_; }

 private:
  const uint8_t* data_;
  size_t size_;
  std::string error_;
};

bool PutRecord(Bytes& out, const Record& r, std::string* error) {
  if (!PutName(out, r.name, error)) return false;
  Put16(out, r.type);
  Put16(out, r.klass);
  Put32(out, r.ttl);
  Bytes data;
  if (IsNameType(r.type)) {
    if (!PutName(data, r.target, error)) return false;
  } else {
    data = r.data;
  }
  if (data.size() > 0xFFFF) {
    SetError(error, "record data longer than 65535 bytes");
    return false;
  }
  Put16(out, static_cast<uint16_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  return true;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool NameToLabels(const std::string& name, std::vector<std::string>& labels, std::string* error) {
  labels.clear();
  if (name.empty() || name == ".") return true;
  std::string label;
  size_t wire = 1;
  auto finish = [&]() -> bool {
    if (label.empty()) {
      SetError(error, "empty label in \"" + name + "\"");
      return false;
    }
    if (label.size() > kMaxLabel) {
      SetError(error, "label longer than 63 bytes");
      return false;
    }
    wire += 1 + label.size();
    if (wire > kMaxName) {
      SetError(error, "name longer than 255 bytes");
      return false;
    }
    labels.push_back(std::move(label));
    label.clear();
    return true;
  };
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c == '.') {
      if (!finish()) return false;
      if (i + 1 == name.size()) return true;  // one trailing dot: the root
      continue;
    }
    if (c == '\\') {
      if (i + 1 >= name.size()) {
        SetError(error, "name ends in a lone backslash");
        return false;
      }
      char d = name[i + 1];
      if (d >= '0' && d <= '9') {
        if (i + 3 >= name.size() || !(name[i + 2] >= '0' && name[i + 2] <= '9') ||
            !(name[i + 3] >= '0' && name[i + 3] <= '9')) {
          SetError(error, "escape \\DDD needs three digits");
          return false;
        }
        int v = (d - '0') * 100 + (name[i + 2] - '0') * 10 + (name[i + 3] - '0');
        if (v > 255) {
          SetError(error, "escape \\DDD above 255");
          return false;
        }
        label += static_cast<char>(v);
        i += 3;
      } else {
        label += d;
        i += 1;
      }
      continue;
    }
    label += c;
  }
  return finish();
}

std::optional<Bytes> Encode(const Message& m, std::string* error) {
  if (m.questions.size() > 0xFFFF || m.answers.size() > 0xFFFF || m.authority.size() > 0xFFFF ||
      m.additional.size() > 0xFFFF) {
    SetError(error, "too many entries in a section");
    return std::nullopt;
  }
  Bytes out;
  Put16(out, m.id);
  Put16(out, m.flags);
  Put16(out, static_cast<uint16_t>(m.questions.size()));
  Put16(out, static_cast<uint16_t>(m.answers.size()));
  Put16(out, static_cast<uint16_t>(m.authority.size()));
  Put16(out, static_cast<uint16_t>(m.additional.size()));
  for (const auto& q : m.questions) {
    if (!PutName(out, q.name, error)) return std::nullopt;
    Put16(out, q.type);
    Put16(out, q.klass);
  }
  for (const auto* section : {&m.answers, &m.authority, &m.additional})
    for (const auto& r : *section)
      if (!PutRecord(out, r, error)) return std::nullopt;
  return out;
}

std::optional<Bytes> EncodeQuery(uint16_t id, const std::string& name, uint16_t type, std::string* error) {
  Message m;
  m.id = id;
  m.flags = kFlagRd;
  m.questions.push_back({name, type, kClassIn});
  return Encode(m, error);
}

std::optional<Message> Read(const uint8_t* data, size_t size, std::string* error) {
  if (size < kHeaderSize) {
    SetError(error, "shorter than a header");
    return std::nullopt;
  }
  Reader r(data, size);
  Message m;
  size_t pos = 0;
  uint16_t qd = 0, an = 0, ns = 0, ar = 0;
  r.U16(pos, m.id);
  r.U16(pos, m.flags);
  r.U16(pos, qd);
  r.U16(pos, an);
  r.U16(pos, ns);
  r.U16(pos, ar);
  for (uint16_t i = 0; i < qd; ++i) {
    Question q;
    if (!r.Name(pos, q.name) || !r.U16(pos, q.type) || !r.U16(pos, q.klass)) {
      SetError(error, r.Error());
      return std::nullopt;
    }
    m.questions.push_back(std::move(q));
  }
  if (!r.Records(pos, an, m.answers) || !r.Records(pos, ns, m.authority) ||
      !r.Records(pos, ar, m.additional)) {
    SetError(error, r.Error());
    return std::nullopt;
  }
  if (pos != size) {
    SetError(error, "bytes after the last record");
    return std::nullopt;
  }
  return m;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::string AddressText(const Record& r) {
  char buf[64];
  if (r.type == kTypeA && r.data.size() == 4) {
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", r.data[0], r.data[1], r.data[2], r.data[3]);
    return buf;
  }
  if (r.type != kTypeAaaa || r.data.size() != 16) return {};
  uint16_t g[8];
  for (int i = 0; i < 8; ++i) g[i] = static_cast<uint16_t>(r.data[2 * i] << 8 | r.data[2 * i + 1]);
  // The longest run of two or more zero groups becomes "::".
  int best = -1, best_len = 0;
  for (int i = 0; i < 8;) {
    if (g[i] != 0) {
      ++i;
      continue;
    }
    int j = i;
    while (j < 8 && g[j] == 0) ++j;
    if (j - i > best_len && j - i >= 2) {
      best = i;
      best_len = j - i;
    }
    i = j;
  }
  std::string out;
  for (int i = 0; i < 8; ++i) {
    if (i == best) {
      out += "::";
      i += best_len - 1;
      continue;
    }
    if (!out.empty() && out.back() != ':') out += ':';
    std::snprintf(buf, sizeof buf, "%x", g[i]);
    out += buf;
  }
  return out;
}

Checked CheckResponse(uint16_t id, const std::string& name, uint16_t type, const uint8_t* data, size_t size) {
  Checked c;
  if (size < kHeaderSize) {
    c.detail = "shorter than a header";
    return c;
  }
  uint16_t got_id = static_cast<uint16_t>(data[0] << 8 | data[1]);
  uint16_t flags = static_cast<uint16_t>(data[2] << 8 | data[3]);
  if ((flags & kFlagQr) == 0) {
    c.verdict = Verdict::kNotResponse;
    return c;
  }
  if (got_id != id) {
    c.verdict = Verdict::kWrongId;
    return c;
  }
  if (flags & kFlagTc) {
    c.verdict = Verdict::kTruncated;
    return c;
  }
  auto m = Read(data, size, &c.detail);
  if (!m) return c;
  if (m->questions.size() != 1 || !SameName(m->questions[0].name, name) || m->questions[0].type != type ||
      m->questions[0].klass != kClassIn) {
    c.verdict = Verdict::kQuestionMismatch;
    return c;
  }
  c.verdict = Verdict::kAnswer;
  c.rcode = m->Rcode();
  // Follow the CNAME chain from the asked name (a few steps; a loop just ends it).
  std::string owner = name;
  for (int step = 0; step < 8; ++step) {
    const Record* alias = nullptr;
    for (const auto& r : m->answers) {
      if (r.klass != kClassIn || !SameName(r.name, owner)) continue;
      if (r.type == type) c.addresses.push_back(AddressText(r));
      if (r.type == kTypeCname && !alias) alias = &r;
    }
    if (!c.addresses.empty() || !alias) break;
    owner = alias->target;
  }
  return c;
}

const char* VerdictName(Verdict v) {
  switch (v) {
    case Verdict::kAnswer: return "answer";
    case Verdict::kMalformed: return "malformed";
    case Verdict::kNotResponse: return "not a response";
    case Verdict::kWrongId: return "wrong id";
    case Verdict::kQuestionMismatch: return "question mismatch";
    case Verdict::kTruncated: return "truncated";
  }
  return "?";
}

}  // namespace dnsbench
