#include "common/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using common::Encoding;

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

// ---- UTF-8 / UTF-16 ------------------------------------------------------------

TEST(TextUtf, ConvertsBetweenUtf8AndUtf16) {
  // ASCII, Cyrillic (two bytes), the euro sign (three bytes), an emoji (four bytes,
  // a surrogate pair in UTF-16).
  const std::string utf8 = "A\xD0\x96\xE2\x82\xAC\xF0\x9F\x98\x80";
  const std::u16string utf16 = u"A\u0416\u20AC\U0001F600";
  EXPECT_EQ(common::Utf8ToUtf16(utf8), utf16);
  EXPECT_EQ(common::Utf16ToUtf8(utf16), utf8);
  EXPECT_EQ(utf16.size(), 5u);
}

TEST(TextUtf, InvalidUtf8BecomesReplacementCharacters) {
  const std::string r = "\xEF\xBF\xBD";  // U+FFFD
  struct Case {
    std::string input;
    std::string expected;
  } cases[] = {
      {"a\x80z", "a" + r + "z"},                        // stray continuation byte
      {"\xC0\xAF", r + r},                              // overlong "/"
      {"\xE2\x82", r},                                  // cut off at the end
      {"\xE2\x82" "A", r + "A"},                        // cut off before the next character
      {"\xED\xA0\x80", r + r + r},                      // an encoded surrogate
      {"\xF4\x90\x80\x80", r + r + r + r},              // past U+10FFFF
      {"\xFF", r},
      {"ok \xEF\xBF\xBD", "ok \xEF\xBF\xBD"},           // a real U+FFFD is kept
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(common::SanitizeUtf8(c.input), c.expected);
    EXPECT_EQ(common::Utf16ToUtf8(common::Utf8ToUtf16(c.input)), c.expected);
    EXPECT_EQ(common::IsValidUtf8(c.input), c.input == c.expected);
  }
}

TEST(TextUtf, UnpairedSurrogatesBecomeReplacementCharacters) {
  const std::u16string lone_high = {u'a', char16_t(0xD83D), u'b'};
  const std::u16string lone_low = {char16_t(0xDE00)};
  const std::u16string reversed = {char16_t(0xDE00), char16_t(0xD83D)};
  EXPECT_EQ(common::Utf16ToUtf8(lone_high), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(common::Utf16ToUtf8(lone_low), "\xEF\xBF\xBD");
  EXPECT_EQ(common::Utf16ToUtf8(reversed), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

// ---- ANSI code pages -----------------------------------------------------------

TEST(TextAnsi, Cp1251MapsCyrillicBothWays) {
  // "Привет, Ёё №5 €" in code page 1251.
  const std::string bytes = "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xB8 \xB9" "5 \x88";
  const std::string utf8 = "Привет, Ёё №5 €";
  EXPECT_EQ(common::AnsiToUtf8(bytes, 1251), utf8);
  EXPECT_EQ(common::Utf8ToAnsi(utf8, 1251), bytes);
  // The whole alphabet sits at 0xC0..0xFF.
  EXPECT_EQ(common::AnsiToUtf8("\xC0\xDF\xE0\xFF", 1251), "АЯая");
}

TEST(TextAnsi, Cp1252MapsWesternBothWays) {
  const std::string bytes = "caf\xE9 \x80 \x9C\x9F \x93q\x94";
  const std::string utf8 = "café € œŸ “q”";
  EXPECT_EQ(common::AnsiToUtf8(bytes, 1252), utf8);
  EXPECT_EQ(common::Utf8ToAnsi(utf8, 1252), bytes);
}

TEST(TextAnsi, EveryByteSurvivesARoundTrip) {
  // Undefined bytes (0x81 in 1252, 0x98 in 1251, ...) included; a table with a
  // duplicate or a wrong entry breaks this.
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  for (unsigned cp : {874u, 1250u, 1251u, 1252u, 1253u, 1254u, 1255u, 1256u, 1257u, 1258u}) {
    SCOPED_TRACE(cp);
    const std::string utf8 = common::AnsiToUtf8(all, cp);
    EXPECT_TRUE(common::IsValidUtf8(utf8));
    EXPECT_EQ(common::Utf8ToAnsi(utf8, cp), all);
  }
}

TEST(TextAnsi, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(common::Utf8ToAnsi("a Ж b", 1252), "a ? b");
  EXPECT_EQ(common::Utf8ToAnsi("é", 1251), "?");
  // One mark per character, also for one outside the 16-bit range.
  EXPECT_EQ(common::Utf8ToAnsi("x\xF0\x9F\x98\x80y", 1251), "x?y");
}

TEST(TextAnsi, Utf8SystemCodePageReadsAndWritesUtf8) {
  EXPECT_TRUE(common::IsSupportedAnsiCodePage(common::kCodePageUtf8));
  EXPECT_TRUE(common::IsSupportedAnsiCodePage(1251));
  EXPECT_FALSE(common::IsSupportedAnsiCodePage(932));
  const auto decoded = common::DecodeFile(Bytes("Тема=1"), common::kCodePageUtf8);
  EXPECT_EQ(decoded.encoding, Encoding::Ansi);
  EXPECT_EQ(decoded.utf8, "Тема=1");
  EXPECT_EQ(common::EncodeFile("Тема=1", Encoding::Ansi, common::kCodePageUtf8), Bytes("Тема=1"));
}

// ---- Files -------------------------------------------------------------------

TEST(TextFile, RecognisesByteOrderMarks) {
  struct Case {
    const char* name;
    std::string bytes;
    Encoding encoding;
    std::string utf8;
  } cases[] = {
      {"empty", "", Encoding::Ansi, ""},
      {"no mark, 1251", "\xC4\xE0=1", Encoding::Ansi, "Да=1"},
      // Without a mark, text that is valid UTF-8 and holds more than ASCII is UTF-8:
      // Cyrillic in an ANSI code page almost never forms valid UTF-8.
      {"no mark, UTF-8", "\xD0\x94\xD0\xB0=1", Encoding::Utf8, "Да=1"},
      {"no mark, ASCII only", "A=1\r\n", Encoding::Ansi, "A=1\r\n"},
      {"no mark, UTF-8 cut off at the end", "\xD0\x94\xD0", Encoding::Ansi, "Р”Р"},
      {"no mark, 1251 letter then UTF-8", "\xE6\xD0\x94", Encoding::Ansi, "жР”"},
      {"UTF-8", "\xEF\xBB\xBF\xD0\x94\xD0\xB0=1", Encoding::Utf8Bom, "Да=1"},
      {"UTF-8 mark only", "\xEF\xBB\xBF", Encoding::Utf8Bom, ""},
      {"UTF-8 mark cut short", "\xEF\xBB", Encoding::Ansi, "\xD0\xBF\xC2\xBB"},  // "п»"
      {"UTF-16 LE", std::string("\xFF\xFE\x14\x04\x30\x04=\0", 8), Encoding::Utf16LeBom, "Да="},
      {"UTF-16 BE", std::string("\xFE\xFF\x04\x14\x04\x30\0=", 8), Encoding::Utf16BeBom, "Да="},
      {"UTF-16 LE, odd last byte", std::string("\xFF\xFE" "A\0" "B", 5), Encoding::Utf16LeBom, "A"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto decoded = common::DecodeFile(Bytes(c.bytes), 1251);
    EXPECT_EQ(decoded.encoding, c.encoding);
    EXPECT_EQ(decoded.utf8, c.utf8);
  }
}

TEST(TextFile, EncodesWithTheMarkOfEachEncoding) {
  const std::string text = "Aж\r\n";
  EXPECT_EQ(common::EncodeFile(text, Encoding::Ansi, 1251), Bytes("A\xE6\r\n"));
  EXPECT_EQ(common::EncodeFile(text, Encoding::Utf8Bom, 1251),
            Bytes("\xEF\xBB\xBF" "A\xD0\xB6\r\n"));
  EXPECT_EQ(common::EncodeFile(text, Encoding::Utf8, 1251), Bytes("A\xD0\xB6\r\n"));
  EXPECT_EQ(common::EncodeFile(text, Encoding::Utf16LeBom, 1251),
            Bytes(std::string("\xFF\xFE" "A\0\x36\x04\r\0\n\0", 10)));
  EXPECT_EQ(common::EncodeFile(text, Encoding::Utf16BeBom, 1251),
            Bytes(std::string("\xFE\xFF\0A\x04\x36\0\r\0\n", 10)));
  for (Encoding e :
       {Encoding::Ansi, Encoding::Utf8Bom, Encoding::Utf8, Encoding::Utf16LeBom, Encoding::Utf16BeBom}) {
    const auto decoded = common::DecodeFile(common::EncodeFile(text, e, 1251), 1251);
    EXPECT_EQ(decoded.encoding, e);
    EXPECT_EQ(decoded.utf8, text);
  }
}

TEST(TextFile, SplitsAndJoinsLines) {
  using Lines = std::vector<std::string>;
  struct Case {
    std::string text;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"\r\n", {""}},
      {"a\r\nb", {"a", "b"}},
      {"a\nb\rc", {"a", "b", "c"}},
      {"a\r\n\r\nb\r\n\r\n", {"a", "", "b", ""}},
      {"a\r\r\nb", {"a", "", "b"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(common::SplitLines(c.text), c.lines);
  }
  EXPECT_EQ(common::JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
  EXPECT_EQ(common::JoinLines({}), "");
}

// ---- Case ----------------------------------------------------------------------

TEST(TextCase, ComparesNamesWithoutCase) {
  struct Case {
    std::string a, b;
    bool equal;
  } cases[] = {
      {"Option", "oPTION", true},
      {"ThemeDark", "themedark", true},
      {"ЯЗЫК", "язык", true},
      {"Ёлка", "ёЛКА", true},
      {"ÀÉÎÕÜÞ", "àéîõüþ", true},
      {"ЄІЇЎ", "єіїў", true},
      {"ŁÓDŹ", "łódź", true},
      {"×", "÷", false},  // Latin-1 signs, not letters
      {"е", "ё", false},
      {"Ж", "Ш", false},
      {"ß", "SS", false},
      {"abc", "abcd", false},
      {"", "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.a + " / " + c.b);
    EXPECT_EQ(common::EqualsTextNoCase(c.a, c.b), c.equal);
    EXPECT_EQ(common::ToLowerText(c.a) == common::ToLowerText(c.b), c.equal);
  }
}

TEST(TextCase, LowerCasesOnlyLetters) {
  EXPECT_EQ(common::ToLowerText("ThemeDark Тёмная ÀÖ×Ø [1]"), "themedark тёмная àö×ø [1]");
}

TEST(TextCase, OrdersWithoutCase) {
  EXPECT_LT(common::CompareTextNoCase("apple", "Banana"), 0);
  EXPECT_GT(common::CompareTextNoCase("Banana", "apple"), 0);
  EXPECT_LT(common::CompareTextNoCase("English", "english2"), 0);
  EXPECT_LT(common::CompareTextNoCase("Абв", "аБГ"), 0);
  EXPECT_EQ(common::CompareTextNoCase("Русский", "РУССКИЙ"), 0);
}

TEST(TextCase, AsciiOnlyComparisonLeavesOtherLettersExact) {
  EXPECT_TRUE(common::EqualsAsciiNoCase("Form1.ButtonTestDNS", "FORM1.buttontestdns"));
  EXPECT_FALSE(common::EqualsAsciiNoCase("Русский", "русский"));
  EXPECT_FALSE(common::EqualsAsciiNoCase("É", "é"));
  EXPECT_FALSE(common::EqualsAsciiNoCase("Form1", "Form10"));
}

}  // namespace
