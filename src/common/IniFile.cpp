#include "common/IniFile.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <utility>

namespace common {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A value or name must not carry a line break into the file.
std::string OneLine(std::string_view s) {
  std::string out(s);
  std::replace(out.begin(), out.end(), '\r', ' ');
  std::replace(out.begin(), out.end(), '\n', ' ');
  return out;
}

}  // namespace

std::string_view TrimIniBlanks(std::string_view text) { return Trim(text); }

IniLine ClassifyIniLine(std::string_view raw) {
  IniLine line;
  const std::string_view trimmed = Trim(raw);
  if (trimmed.empty()) return line;
  if (trimmed.front() == ';') {
    line.kind = IniLine::Kind::Comment;
    return line;
  }
  if (trimmed.front() == '[') {
    const size_t close = trimmed.rfind(']');
    if (close != std::string_view::npos) {
      line.kind = IniLine::Kind::Header;
      line.name = Trim(trimmed.substr(1, close - 1));
      return line;
    }
  }
  line.kind = IniLine::Kind::Entry;
  const size_t eq = trimmed.find('=');
  if (eq == std::string_view::npos) {
    line.name = trimmed;
  } else {
    line.name = Trim(trimmed.substr(0, eq));
    line.value = Trim(trimmed.substr(eq + 1));
  }
  return line;
}

std::optional<int> ParseIniInteger(std::string_view text) {
  std::string_view t = Trim(text);
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    uint64_t value = 0;
    for (const char c : t.substr(2)) {
      int digit;
      if (c >= '0' && c <= '9') digit = c - '0';
      else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      else return std::nullopt;
      value = value * 16 + static_cast<uint64_t>(digit);
      if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    return static_cast<int>(static_cast<int32_t>(static_cast<uint32_t>(value)));
  }
  bool negative = false;
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  if (t.empty()) return std::nullopt;
  int64_t value = 0;
  for (const char c : t) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<int>(value);
}

// ---- IniFile -------------------------------------------------------------------

IniFile IniFile::Parse(std::string_view utf8_text, IniOptions options) {
  IniFile file;
  file.unquote_values_ = options.unquote_values;
  std::unordered_map<std::string, size_t> index_of;  // folded name -> section
  constexpr size_t kNone = static_cast<size_t>(-1);
  size_t current = kNone;
  bool skipping = false;

  for (std::string& raw : SplitLines(utf8_text)) {
    const IniLine kind = ClassifyIniLine(raw);
    if (kind.kind == IniLine::Kind::Blank) continue;

    if (kind.kind == IniLine::Kind::Header) {
      Section section;
      section.name = std::string(kind.name);
      section.folded_name = ToLowerText(section.name);
      const auto found = index_of.find(section.folded_name);
      if (found == index_of.end()) {
        section.header = std::move(raw);
        current = file.sections_.size();
        index_of.emplace(section.folded_name, current);
        file.sections_.push_back(std::move(section));
        skipping = false;
      } else if (options.repeated_section == IniOptions::RepeatedSection::Join) {
        current = found->second;
        skipping = false;
      } else {
        skipping = true;
      }
      continue;
    }
    if (skipping) continue;
    if (current == kNone) {
      file.preamble_.push_back(std::move(raw));
      continue;
    }

    Line line;
    if (kind.kind == IniLine::Kind::Entry) {
      line.is_entry = true;
      line.key = std::string(kind.name);
      if (kind.value) line.value = std::string(*kind.value);
      line.folded_key = ToLowerText(line.key);
    }
    line.text = std::move(raw);
    file.sections_[current].lines.push_back(std::move(line));
  }
  return file;
}

std::string IniFile::Serialize() const {
  std::string out;
  for (const auto& line : preamble_) out.append(line).append("\r\n");
  for (const auto& section : sections_) {
    out.append(section.header).append("\r\n");
    for (const auto& line : section.lines) out.append(line.text).append("\r\n");
    out.append("\r\n");
  }
  return out;
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
  const std::string folded = ToLowerText(Trim(name));
  for (const auto& section : sections_)
    if (section.folded_name == folded) return &section;
  return nullptr;
}

IniFile::Section* IniFile::FindSection(std::string_view name) {
  return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

const IniFile::Line* IniFile::FindEntry(const Section& section, std::string_view folded_key) {
  for (const auto& line : section.lines)
    if (line.is_entry && line.folded_key == folded_key) return &line;
  return nullptr;
}

bool IniFile::HasSection(std::string_view section) const { return FindSection(section) != nullptr; }

bool IniFile::HasKey(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  return s && FindEntry(*s, ToLowerText(Trim(key)));
}

std::vector<std::string> IniFile::SectionNames() const {
  std::vector<std::string> names;
  names.reserve(sections_.size());
  for (const auto& section : sections_) names.push_back(section.name);
  return names;
}

std::vector<std::string> IniFile::KeyNames(std::string_view section) const {
  std::vector<std::string> names;
  if (const Section* s = FindSection(section))
    for (const auto& line : s->lines)
      if (line.is_entry) names.push_back(line.key);
  return names;
}

std::string_view UnquoteIniValue(std::string_view value) {
  if (value.size() > 1 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

std::string QuoteIniValue(std::string_view value) {
  if (Trim(value) == value && UnquoteIniValue(value) == value) return std::string(value);
  std::string quoted;
  quoted.reserve(value.size() + 2);
  quoted.push_back('"');
  quoted.append(value);
  quoted.push_back('"');
  return quoted;
}

std::optional<std::string> IniFile::ReadValue(const Line& line) const {
  if (!line.value || !unquote_values_) return line.value;
  return std::string(UnquoteIniValue(*line.value));
}

std::vector<IniEntry> IniFile::Entries(std::string_view section) const {
  std::vector<IniEntry> entries;
  if (const Section* s = FindSection(section))
    for (const auto& line : s->lines)
      if (line.is_entry) entries.push_back({line.key, ReadValue(line)});
  return entries;
}

std::optional<std::string> IniFile::FindValue(std::string_view section,
                                              std::string_view key) const {
  const Section* s = FindSection(section);
  if (!s) return std::nullopt;
  const Line* line = FindEntry(*s, ToLowerText(Trim(key)));
  if (!line) return std::nullopt;
  return ReadValue(*line);
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view default_value) const {
  std::optional<std::string> value = FindValue(section, key);
  return value ? std::move(*value) : std::string(default_value);
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int default_value) const {
  const std::optional<std::string> value = FindValue(section, key);
  if (!value) return default_value;
  return ParseIniInteger(*value).value_or(default_value);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool default_value) const {
  const std::optional<std::string> value = FindValue(section, key);
  if (!value) return default_value;
  const std::optional<int> number = ParseIniInteger(*value);
  return number ? *number != 0 : default_value;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  const std::string section_name = OneLine(Trim(section));
  const std::string key_name = OneLine(Trim(key));
  const std::string text = OneLine(value);

  Section* s = FindSection(section_name);
  if (!s) {
    Section added;
    added.header = "[" + section_name + "]";
    added.name = section_name;
    added.folded_name = ToLowerText(section_name);
    sections_.push_back(std::move(added));
    s = &sections_.back();
  }

  const std::string folded_key = ToLowerText(key_name);
  if (Line* line = const_cast<Line*>(FindEntry(*s, folded_key))) {
    if (line->value == text) return;  // unchanged: the line keeps its spelling
    line->value = text;
    line->text = line->key + "=" + text;
    return;
  }

  Line line;
  line.is_entry = true;
  line.key = key_name;
  line.folded_key = folded_key;
  line.value = text;
  line.text = key_name + "=" + text;
  // After the last entry, so comments that close the section stay below it.
  auto last_entry = std::find_if(s->lines.rbegin(), s->lines.rend(),
                                 [](const Line& l) { return l.is_entry; });
  const auto at = last_entry == s->lines.rend() ? s->lines.end() : last_entry.base();
  s->lines.insert(at, std::move(line));
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

bool IniFile::DeleteKey(std::string_view section, std::string_view key) {
  Section* s = FindSection(section);
  if (!s) return false;
  const Line* line = FindEntry(*s, ToLowerText(Trim(key)));
  if (!line) return false;
  s->lines.erase(s->lines.begin() + (line - s->lines.data()));
  return true;
}

bool IniFile::EraseSection(std::string_view section) {
  const Section* s = FindSection(section);
  if (!s) return false;
  sections_.erase(sections_.begin() + (s - sections_.data()));
  return true;
}

// ---- Whole files ---------------------------------------------------------------

std::optional<DecodedText> LoadTextFile(platform::FileSystem& fs, const std::string& path,
                                        unsigned ansi_code_page) {
  const std::optional<std::vector<uint8_t>> bytes = fs.ReadFile(path);
  if (!bytes) return std::nullopt;
  return DecodeFile(*bytes, ansi_code_page);
}

bool SaveFileAtomically(platform::FileSystem& fs, const std::string& path,
                        const std::vector<uint8_t>& bytes) {
  const std::string temporary = path + ".tmp";
  if (!fs.WriteFile(temporary, bytes) || !fs.Rename(temporary, path)) {
    fs.RemoveFile(temporary);
    return false;
  }
  return true;
}

bool SaveTextFile(platform::FileSystem& fs, const std::string& path, std::string_view utf8,
                  Encoding encoding, unsigned ansi_code_page) {
  return SaveFileAtomically(fs, path, EncodeFile(utf8, encoding, ansi_code_page));
}

Encoding EncodingThatHolds(std::string_view utf8, Encoding encoding, unsigned ansi_code_page) {
  if (encoding != Encoding::Ansi) return encoding;
  if (AnsiToUtf8(Utf8ToAnsi(utf8, ansi_code_page), ansi_code_page) == utf8) return encoding;
  return Encoding::Utf16LeBom;
}

std::optional<IniDocument> IniDocument::Load(platform::FileSystem& fs, const std::string& path,
                                             unsigned ansi_code_page, IniOptions options) {
  const std::optional<DecodedText> text = LoadTextFile(fs, path, ansi_code_page);
  if (!text) {
    if (fs.FileExists(path)) return std::nullopt;
    return IniDocument{};
  }
  return IniDocument{IniFile::Parse(text->utf8, options), text->encoding};
}

bool IniDocument::Save(platform::FileSystem& fs, const std::string& path,
                       unsigned ansi_code_page) const {
  const std::string text = ini.Serialize();
  return SaveTextFile(fs, path, text, EncodingThatHolds(text, encoding, ansi_code_page), ansi_code_page);
}

// ---- Line-exact editing --------------------------------------------------------

std::vector<IniTextLine> SplitIniText(std::string_view utf8_text) {
  std::vector<IniTextLine> lines;
  size_t pos = 0;
  while (pos < utf8_text.size()) {
    IniTextLine line;
    const size_t stop = utf8_text.find_first_of("\r\n", pos);
    if (stop == std::string_view::npos) {
      line.text = std::string(utf8_text.substr(pos));
      pos = utf8_text.size();
    } else {
      line.text = std::string(utf8_text.substr(pos, stop - pos));
      const size_t end_length =
          utf8_text[stop] == '\r' && stop + 1 < utf8_text.size() && utf8_text[stop + 1] == '\n' ? 2 : 1;
      line.end = std::string(utf8_text.substr(stop, end_length));
      pos = stop + end_length;
    }
    lines.push_back(std::move(line));
  }
  ClassifyIniTextLines(lines);
  return lines;
}

void ClassifyIniTextLines(std::vector<IniTextLine>& lines) {
  std::unordered_map<std::string, size_t> index_of;  // folded name -> section
  size_t current = IniTextLine::kNoSection;
  for (IniTextLine& line : lines) {
    line.role = IniTextLine::Role::Other;
    line.name.clear();
    // The same reading as IniFile::Parse with repeated sections ignored.
    const std::string_view trimmed = Trim(line.text);
    bool header = false;
    if (!trimmed.empty() && trimmed.front() == '[') {
      const size_t close = trimmed.rfind(']');
      if (close != std::string_view::npos) {
        header = true;
        std::string name(Trim(trimmed.substr(1, close - 1)));
        const auto [found, added] = index_of.emplace(ToLowerText(name), index_of.size());
        if (added) {
          current = found->second;
          line.role = IniTextLine::Role::Header;
          line.name = std::move(name);
        } else {
          current = IniTextLine::kNoSection;
        }
      }
    }
    if (!header && current != IniTextLine::kNoSection && !trimmed.empty() && trimmed.front() != ';') {
      line.role = IniTextLine::Role::Entry;
      line.name = std::string(Trim(trimmed.substr(0, std::min(trimmed.find('='), trimmed.size()))));
    }
    line.section = current;
  }
}

std::string JoinIniText(const std::vector<IniTextLine>& lines) {
  std::string out;
  for (const IniTextLine& line : lines) out.append(line.text).append(line.end);
  return out;
}

}  // namespace common
