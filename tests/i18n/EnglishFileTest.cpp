#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "shell/Catalogue.h"
#include "app/MainForm.h"
#include "dnsbench/DnsBenchForm.h"
#include "dnsbench/FakeDnsNet.h"
#include "common/IniFile.h"
#include "common/Text.h"
#include "fakes/FakePlatform.h"
#include "fakes/HeadlessHost.h"

namespace {

std::vector<uint8_t> ReadEnglishFile() {
  std::ifstream in(VELMORA_ENGLISH_FILE, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every text of the three windows has an English entry: with English selected and
// the missing-keys log present, translating every window leaves the log empty. A text
// added later without an entry in English.ini fails here.
TEST(EnglishFile, TranslatesEveryTextOfEveryWindow) {
  const std::vector<uint8_t> english = ReadEnglishFile();
  ASSERT_FALSE(english.empty()) << VELMORA_ENGLISH_FILE;
  const common::DecodedText text = common::DecodeFile(english, 1251);
  EXPECT_EQ(text.encoding, common::Encoding::Utf8Bom);
  const common::IniFile ini = common::IniFile::Parse(text.utf8, common::IniOptions::LanguageFile());
  EXPECT_EQ(ini.ReadString("Language information", "LANGNAME", ""), "English");

  fakes::FakePlatform platform;
  fakes::HeadlessHost host;
  ui::Application app(host);
  app.SetTitle("Velmora");
  auto* main = app.CreateForm<app::TForm1>(platform.services);
  app.CreateForm<app::TForm10>(platform.services);
  app.CreateForm<app::TForm8>(platform.services);
  dnsbench_test::MicroClock clock;
  dnsbench_test::FakeDnsNet net{clock};
  dnsbench_test::FakeClipboard clipboard;
  dnsbench::BenchPlatform bench{net, clock, clipboard, {}};
  app.CreateForm<dnsbench::TFormDnsBench>(main->Adapter(), main->DnsTest(), bench);
  const std::string log = "C:\\Program Files\\Velmora.log";
  platform.files.SetFile(main->PortablePath(), "[Language]\r\nLanguage=English\r\n");
  platform.files.SetFile("C:\\Program Files\\Velmora\\Language\\English.ini", english);
  platform.files.SetFile(log, "");

  main->CleanTranslationsLikeGlobload();
  main->LoadLanguage();
  main->globload();

  const auto missing = common::LoadTextFile(platform.files, log, 1251);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->utf8, "") << "texts without an English entry:\n" << missing->utf8;
  EXPECT_EQ(main->DnsTest().ButtonTestDNS->Caption(), "Test DNS");
  // Texts that others follow directly keep a (no-break) space at their end.
  EXPECT_EQ(shell::Msg(*main, "LangElements"), "Items:\u00A0");
}

}  // namespace
