// INI files held in memory: the settings file, the DNS list and the language files.
//
// Reading follows the system's profile-string functions: section and key names are
// compared without case, blanks around names and values are ignored, and of two
// entries with the same name the first one wins. A line without "=" inside a section
// is a key without a value. Lines starting with ";" are comments.
//
// Writing keeps whatever the program did not change: sections stay in the order they
// first appeared, keys in the order they were first written, comments and other lines
// where they stood, untouched lines byte for byte. Each section is followed by exactly
// one empty line; empty lines elsewhere are not kept. Lines end in CR LF.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Text.h"
#include "platform/FileSystem.h"

namespace common {

struct IniOptions {
  // What becomes of the lines under a header that repeats an earlier section's name.
  // Either way no second section is opened.
  enum class RepeatedSection {
    // They are added to the end of the first section (the settings file: nothing a
    // hand edit put there is lost when the program rewrites the file).
    Join,
    // They are skipped, and so are gone once the file is rewritten (language files;
    // the DNS list, whose readers see only the first section of a name).
    Ignore,
  };
  RepeatedSection repeated_section = RepeatedSection::Join;
  // Values read through the system's profile functions lose one pair of matching
  // quotes around them ('x' or "x"); the file itself keeps them.
  bool unquote_values = false;

  static IniOptions Settings() { return {RepeatedSection::Join, true}; }
  static IniOptions LanguageFile() { return {RepeatedSection::Ignore, false}; }
  static IniOptions DnsList() { return {RepeatedSection::Ignore, true}; }
};

struct IniEntry {
  std::string key;
  // nullopt for a line without "=".
  std::optional<std::string> value;
  bool operator==(const IniEntry&) const = default;
};

// One line as every reader of these files sees it. Blanks (space, tab, vertical tab,
// form feed) around the line, names and values do not count. After trimming, an empty
// line is blank; a line starting with ";" is a comment; one starting with "[" and
// holding a "]" is a section header named by what lies between the "[" and the last
// "]"; any other line is an entry whose key is the text before its first "=" (the
// whole line without one). The reader and anything that walks a file's lines itself
// (a one-line delete, say) classify lines with this, so they count the same entries.
struct IniLine {
  enum class Kind { Blank, Comment, Header, Entry };
  Kind kind = Kind::Blank;
  std::string_view name;  // section name of a header, key of an entry
  std::optional<std::string_view> value;  // entries: the text after "=", if any
};
IniLine ClassifyIniLine(std::string_view line);
std::string_view TrimIniBlanks(std::string_view text);

// Decimal with an optional sign, or hexadecimal after "0x"/"0X" (up to eight digits,
// taken as a 32-bit pattern: "0xFFFFFFFF" is -1). Blanks around the number are
// allowed; anything else, or a number out of the 32-bit range, gives nullopt.
std::optional<int> ParseIniInteger(std::string_view text);

// The value without one pair of matching quotes around it ('x' or "x"), as the
// system's profile functions return it.
std::string_view UnquoteIniValue(std::string_view value);
// The value as it must be written so that a reader that trims blanks and removes one
// pair of quotes gets it back unchanged: in double quotes when it has blanks at an
// end or would itself lose a pair of quotes, as it is otherwise.
std::string QuoteIniValue(std::string_view value);

class IniFile {
 public:
  IniFile() = default;

  static IniFile Parse(std::string_view utf8_text, IniOptions options = {});
  std::string Serialize() const;

  bool empty() const { return sections_.empty() && preamble_.empty(); }

  // ---- reading ----
  bool HasSection(std::string_view section) const;
  // True when the section holds an entry of that name (with or without a value).
  bool HasKey(std::string_view section, std::string_view key) const;
  // Section names as spelled where each first appeared, in file order.
  std::vector<std::string> SectionNames() const;
  // Key names of the section in order, repeats included; empty for a missing section.
  std::vector<std::string> KeyNames(std::string_view section) const;
  std::vector<IniEntry> Entries(std::string_view section) const;
  // The value of the first entry of that name; nullopt when there is none or it has
  // no value (a line without "=").
  std::optional<std::string> FindValue(std::string_view section, std::string_view key) const;

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value) const;
  // A missing or non-numeric value gives the default (see ParseIniInteger).
  int ReadInteger(std::string_view section, std::string_view key, int default_value) const;
  // Read as an integer, non-zero meaning true.
  bool ReadBool(std::string_view section, std::string_view key, bool default_value) const;

  // ---- writing ----
  // Sets the first entry of that name (keeping the spelling of its name), or adds the
  // key after the section's last entry, or adds the section at the end of the file.
  // Line breaks in names and values become blanks, so the file keeps its shape.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);
  // "1" or "0".
  void WriteBool(std::string_view section, std::string_view key, bool value);
  // Removes the first entry of that name; false when there is none.
  bool DeleteKey(std::string_view section, std::string_view key);
  // Removes the section with all its lines; false when there is none.
  bool EraseSection(std::string_view section);

 private:
  struct Line {
    bool is_entry = false;
    std::string text;  // the line as read or as last rendered
    std::string key;   // entries only: trimmed name
    std::string folded_key;
    std::optional<std::string> value;  // entries only: trimmed value
  };
  struct Section {
    std::string header;  // the header line as read or rendered
    std::string name;
    std::string folded_name;
    std::vector<Line> lines;
  };

  const Section* FindSection(std::string_view name) const;
  Section* FindSection(std::string_view name);
  static const Line* FindEntry(const Section& section, std::string_view folded_key);

  std::optional<std::string> ReadValue(const Line& line) const;

  bool unquote_values_ = false;
  std::vector<std::string> preamble_;  // lines before the first section
  std::vector<Section> sections_;
};

// ---- Whole files ---------------------------------------------------------------

// The file's text and the encoding it was stored in; nullopt when it cannot be read
// (missing included).
std::optional<DecodedText> LoadTextFile(platform::FileSystem& fs, const std::string& path,
                                        unsigned ansi_code_page);
// Writes the whole content to a temporary file beside `path`, then moves it onto
// `path`. On failure the temporary file is removed, `path` keeps its old content and
// the result is false.
bool SaveFileAtomically(platform::FileSystem& fs, const std::string& path,
                        const std::vector<uint8_t>& bytes);
bool SaveTextFile(platform::FileSystem& fs, const std::string& path, std::string_view utf8,
                  Encoding encoding, unsigned ansi_code_page);
// `encoding`, or UTF-16 LE with its mark when `encoding` is the ANSI code page and the
// text holds characters the code page cannot.
Encoding EncodingThatHolds(std::string_view utf8, Encoding encoding, unsigned ansi_code_page);

// An INI file together with the encoding it was read in.
struct IniDocument {
  IniFile ini;
  // A file new to the disk is written in the ANSI code page, without byte-order mark.
  Encoding encoding = Encoding::Ansi;

  // A missing file gives an empty document; nullopt when the file exists but cannot
  // be read.
  static std::optional<IniDocument> Load(platform::FileSystem& fs, const std::string& path,
                                         unsigned ansi_code_page, IniOptions options = {});
  // Writes the whole file in `encoding`, atomically (see SaveFileAtomically). A file
  // in the ANSI code page that now holds characters the code page cannot is written
  // as UTF-16 little-endian with its byte-order mark instead (the Unicode form the
  // system's profile functions read too), so that no character turns into "?"; a file
  // the code page can hold is written as before.
  bool Save(platform::FileSystem& fs, const std::string& path, unsigned ansi_code_page) const;
};

// ---- Line-exact editing --------------------------------------------------------

// One line of an INI text as a language-file reader sees it (repeated sections
// ignored), with its bytes and its own line end, for rewriting a file that people edit
// by hand without disturbing anything but the lines taken out.
struct IniTextLine {
  static constexpr size_t kNoSection = static_cast<size_t>(-1);
  enum class Role {
    Other,   // blank, comment, before the first header, or under a repeated header
    Header,  // opens a section
    Entry,   // an entry of a section (with or without "=")
  };
  std::string text;  // without its line end
  std::string end;   // "\r\n", "\n", "\r", or "" for a last line without one
  Role role = Role::Other;
  // The section the line stands in, numbered by first appearance; kNoSection before
  // the first header and under a header that repeats an earlier section's name.
  size_t section = kNoSection;
  std::string name;  // headers: the section name; entries: the key; both trimmed
};

std::vector<IniTextLine> SplitIniText(std::string_view utf8_text);
// Sets role, section and name of every line again from its text, as SplitIniText
// does; the lines and their ends stay as they are.
void ClassifyIniTextLines(std::vector<IniTextLine>& lines);
// The text again: each line followed by its own line end.
std::string JoinIniText(const std::vector<IniTextLine>& lines);

}  // namespace common
