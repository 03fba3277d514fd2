// Text encodings and case-insensitive comparison of names.
//
// The program holds text as UTF-8. Files arrive in one of five encodings: the
// system's ANSI code page, UTF-8 without a byte-order mark (what plain text editors
// save by default), UTF-8, UTF-16 little-endian or UTF-16 big-endian with their
// byte-order marks. A file is written back in the encoding it was read in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace common {

// ---- UTF-8 / UTF-16 ----------------------------------------------------------

// Invalid UTF-8 (stray continuation bytes, overlong forms, encoded surrogates, code
// points past U+10FFFF, cut-off sequences) becomes U+FFFD, one per maximal invalid
// part; an unpaired surrogate in UTF-16 becomes U+FFFD too. Valid text round-trips.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
// The same text with every invalid sequence replaced by U+FFFD.
std::string SanitizeUtf8(std::string_view utf8);
bool IsValidUtf8(std::string_view utf8);

// ---- ANSI code pages -----------------------------------------------------------

inline constexpr unsigned kCodePageUtf8 = 65001;

// The single-byte code pages a system may use as its ANSI code page: 874 and
// 1250 to 1258. Code page 65001 (a system set to UTF-8) is handled as UTF-8.
bool IsSupportedAnsiCodePage(unsigned code_page);

// Bytes in `code_page` to UTF-8. Every byte maps to a character: bytes the code page
// leaves undefined map to the control character of the same number, so they survive
// a round trip. An unsupported code page is read as 1252.
std::string AnsiToUtf8(std::string_view bytes, unsigned code_page);
// UTF-8 to bytes in `code_page`; characters the code page cannot hold become '?'.
std::string Utf8ToAnsi(std::string_view utf8, unsigned code_page);

// UTF-8 to bytes in the OEM code page `code_page` (437 or 866; any code page for
// plain ASCII); nullopt when a character cannot be written in it exactly.
std::optional<std::string> Utf8ToOem(std::string_view utf8, unsigned code_page);

// ---- Files -------------------------------------------------------------------

enum class Encoding { Ansi, Utf8Bom, Utf16LeBom, Utf16BeBom, Utf8 };

struct DecodedText {
  Encoding encoding = Encoding::Ansi;
  std::string utf8;  // without the byte-order mark
};

// Recognises the byte-order mark (EF BB BF, FF FE, FE FF). Without one, text that
// IsUtf8WithoutMark accepts is UTF-8 (Encoding::Utf8), other bytes are read in
// `ansi_code_page`. A trailing odd byte of UTF-16 text is dropped.
DecodedText DecodeFile(const std::vector<uint8_t>& bytes, unsigned ansi_code_page);
// Text without a byte-order mark that is UTF-8 rather than the ANSI code page: valid
// UTF-8 holding at least one byte beyond ASCII. (Cyrillic or Western text in a
// single-byte code page is almost never valid UTF-8; pure ASCII reads the same
// either way and stays with the code page.)
bool IsUtf8WithoutMark(std::string_view bytes);
// The bytes of `utf8` in `encoding`, the byte-order mark first for the BOM encodings.
std::vector<uint8_t> EncodeFile(std::string_view utf8, Encoding encoding, unsigned ansi_code_page);

// Splits at CR LF, LF or CR. A line break at the very end does not start another
// line; empty text has no lines.
std::vector<std::string> SplitLines(std::string_view text);
// Every line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

// ---- Case ----------------------------------------------------------------------

// Lower case of ASCII, Latin-1, Latin Extended-A (and Ơ, Ư), Greek and Cyrillic
// (А-Я, Ё, the other letters of U+0400..U+042F and the paired letters of the
// Cyrillic block); other characters are returned unchanged.
char32_t ToLowerChar(char32_t c);
std::string ToLowerText(std::string_view utf8);
// Compares code point by code point after lower-casing: <0, 0 or >0.
int CompareTextNoCase(std::string_view a, std::string_view b);
bool EqualsTextNoCase(std::string_view a, std::string_view b);
// Only the letters A to Z are matched without case; every other byte must be equal.
bool EqualsAsciiNoCase(std::string_view a, std::string_view b);

}  // namespace common
