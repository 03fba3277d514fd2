#include "common/FileInfoUtils.h"

#include <cstddef>
#include <cstdio>

#include "common/Text.h"

namespace common {
namespace {

// A version resource is a tree of blocks. Each block starts with three 16-bit words
// (total length in bytes, value length, value type: 1 text, 0 binary), then its
// zero-terminated UTF-16 key, padding to a 32-bit boundary, the value, padding again
// and the child blocks, each starting on a 32-bit boundary. Offsets are aligned
// relative to the start of the whole resource, which the system always hands out
// aligned. Nothing in the block is trusted: every length is checked against the bytes
// really there before it is used.

constexpr size_t kHeaderSize = 6;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr size_t kFixedInfoSize = 52;  // thirteen double words
constexpr const char* kDefaultTableKey = "040904E4";

size_t AlignUp4(size_t offset) { return (offset + 3) & ~static_cast<size_t>(3); }

uint16_t ReadWord(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

uint32_t ReadDword(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<uint32_t>(ReadWord(bytes, offset)) |
         (static_cast<uint32_t>(ReadWord(bytes, offset + 2)) << 16);
}

struct Block {
  size_t begin = 0;
  size_t end = 0;           // begin + declared total length, never past the parent
  size_t key_begin = 0;     // first UTF-16 unit of the key
  size_t key_units = 0;     // without the terminating zero
  uint16_t value_length = 0;  // as declared: UTF-16 units for text, bytes for binary
  uint16_t type = 0;
  size_t value_begin = 0;
  size_t value_available = 0;  // bytes of the value that really lie inside the block
  size_t children_begin = 0;
};

// The block at `begin`, which must lie wholly before `limit`; nullopt when it does not
// or when its key is not terminated inside it.
std::optional<Block> ReadBlock(const std::vector<uint8_t>& bytes, size_t begin, size_t limit) {
  if (begin > limit || limit - begin < kHeaderSize) return std::nullopt;
  const uint16_t length = ReadWord(bytes, begin);
  if (length < kHeaderSize || length > limit - begin) return std::nullopt;

  Block block;
  block.begin = begin;
  block.end = begin + length;
  block.value_length = ReadWord(bytes, begin + 2);
  block.type = ReadWord(bytes, begin + 4);
  block.key_begin = begin + kHeaderSize;

  size_t pos = block.key_begin;
  for (;;) {
    if (block.end - pos < 2) return std::nullopt;
    if (ReadWord(bytes, pos) == 0) break;
    pos += 2;
  }
  block.key_units = (pos - block.key_begin) / 2;

  const size_t value_bytes =
      block.type == 1 ? static_cast<size_t>(block.value_length) * 2 : block.value_length;
  block.value_begin = AlignUp4(pos + 2);
  if (block.value_begin >= block.end) {
    block.value_begin = block.end;
    block.value_available = 0;
  } else {
    const size_t room = block.end - block.value_begin;
    block.value_available = value_bytes < room ? value_bytes : room;
  }
  block.children_begin = AlignUp4(block.value_begin + value_bytes);
  return block;
}

char16_t AsciiLower(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool KeyEquals(const std::vector<uint8_t>& bytes, const Block& block, std::u16string_view name) {
  if (block.key_units != name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char16_t unit = static_cast<char16_t>(ReadWord(bytes, block.key_begin + 2 * i));
    if (AsciiLower(unit) != AsciiLower(name[i])) return false;
  }
  return true;
}

std::optional<Block> FindChild(const std::vector<uint8_t>& bytes, const Block& parent,
                               std::u16string_view name) {
  size_t pos = parent.children_begin;
  while (pos < parent.end) {
    const std::optional<Block> child = ReadBlock(bytes, pos, parent.end);
    if (!child) return std::nullopt;  // a broken length leaves no way to the next sibling
    if (KeyEquals(bytes, *child, name)) return child;
    pos = AlignUp4(child->end);
  }
  return std::nullopt;
}

// The UTF-16 text in [begin, begin + 2 * max_units), up to the first zero unit.
std::u16string ReadUtf16(const std::vector<uint8_t>& bytes, size_t begin, size_t max_units) {
  std::u16string text;
  for (size_t i = 0; i < max_units; ++i) {
    const char16_t unit = static_cast<char16_t>(ReadWord(bytes, begin + 2 * i));
    if (unit == 0) break;
    text += unit;
  }
  return text;
}

// The loaded version resource and the queries the program makes of it: a path of
// block names separated by "\", compared without regard to case; "\" alone is the
// root, whose value is the fixed file information.
class VersionBlock {
 public:
  explicit VersionBlock(std::vector<uint8_t> bytes)
      : bytes_(std::move(bytes)), root_(ReadBlock(bytes_, 0, bytes_.size())) {}

  std::optional<Block> Query(std::string_view path) const {
    if (!root_) return std::nullopt;
    Block block = *root_;
    size_t pos = 0;
    while (pos < path.size()) {
      size_t next = path.find('\\', pos);
      if (next == std::string_view::npos) next = path.size();
      if (next > pos) {
        const std::optional<Block> child =
            FindChild(bytes_, block, Utf8ToUtf16(path.substr(pos, next - pos)));
        if (!child) return std::nullopt;
        block = *child;
      }
      pos = next + 1;
    }
    return block;
  }

  // The text of a value: up to `max_units` UTF-16 units, never past the block's end,
  // ending at the first zero.
  std::string Text(const Block& block, size_t max_units) const {
    const size_t room = (block.end - block.value_begin) / 2;
    return Utf16ToUtf8(
        ReadUtf16(bytes_, block.value_begin, max_units < room ? max_units : room));
  }

  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  std::optional<Block> root_;
};

std::optional<VersionBlock> LoadBlock(platform::VersionResources& versions,
                                      const std::string& file) {
  std::optional<std::vector<uint8_t>> bytes = versions.Load(file);
  if (!bytes || bytes->empty()) return std::nullopt;
  return VersionBlock(std::move(*bytes));
}

// The string table named by the first entry of the translation table (language then
// code page, lower-case hex), or the US English / Western European table when there
// is no usable entry.
std::string TableKey(const VersionBlock& block) {
  const std::optional<Block> translation = block.Query("\\VarFileInfo\\Translation");
  if (!translation || translation->value_available < 4) return kDefaultTableKey;
  const uint16_t language = ReadWord(block.bytes(), translation->value_begin);
  const uint16_t code_page = ReadWord(block.bytes(), translation->value_begin + 2);
  char key[9];
  std::snprintf(key, sizeof key, "%04x%04x", static_cast<unsigned>(language),
                static_cast<unsigned>(code_page));
  if (std::string_view(key) == "00000000") return kDefaultTableKey;
  return key;
}

std::optional<Block> QueryString(const VersionBlock& block, const std::string& value_name) {
  std::optional<Block> value =
      block.Query("\\StringFileInfo\\" + TableKey(block) + "\\" + value_name);
  if (!value || value->value_length == 0) return std::nullopt;
  return value;
}

std::string FixedFileVersion(const VersionBlock& block) {
  const std::optional<Block> root = block.Query("\\");
  if (!root || root->value_available < kFixedInfoSize) return {};
  const std::vector<uint8_t>& bytes = block.bytes();
  if (ReadDword(bytes, root->value_begin) != kFixedInfoSignature) return {};
  const uint32_t most = ReadDword(bytes, root->value_begin + 8);
  const uint32_t least = ReadDword(bytes, root->value_begin + 12);
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>(most >> 16),
                static_cast<int>(most & 0xFFFF), static_cast<int>(least >> 16),
                static_cast<int>(least & 0xFFFF));
  return text;
}

}  // namespace

std::string NormaliseVersionText(std::string_view text) {
  std::string result;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      result += c;
    } else if (c == '.' || c == ',') {
      if (!result.empty() && result.back() != '.') result += '.';
    } else if (c == ' ') {
      continue;
    } else {
      break;
    }
  }
  if (!result.empty() && result.back() == '.') result.pop_back();
  return result;
}

std::string GetFileInfoString(platform::VersionResources& versions, const std::string& file,
                              const std::string& value_name) {
  const std::optional<VersionBlock> block = LoadBlock(versions, file);
  if (!block) return {};
  const std::optional<Block> value = QueryString(*block, value_name);
  if (!value) return {};
  // The value is read up to its terminating zero, whatever length the block declares.
  return block->Text(*value, SIZE_MAX);
}

std::string GetFileVersion(platform::VersionResources& versions, const std::string& file) {
  const std::optional<VersionBlock> block = LoadBlock(versions, file);
  if (!block) return {};
  if (const std::optional<Block> value = QueryString(*block, "FileVersion")) {
    // Only as many characters as the block declares take part.
    std::string version = NormaliseVersionText(block->Text(*value, value->value_length));
    if (!version.empty()) return version;
  }
  return FixedFileVersion(*block);
}

std::string GetLegalCopyright(platform::VersionResources& versions, const std::string& file) {
  return GetFileInfoString(versions, file, "LegalCopyright");
}

std::string GetCompanyName(platform::VersionResources& versions, const std::string& file) {
  return GetFileInfoString(versions, file, "CompanyName");
}

}  // namespace common
