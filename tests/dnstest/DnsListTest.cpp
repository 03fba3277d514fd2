#include "dnstest/DnsFixture.h"
#include "dnstest/DnsList.h"

#include "common/IniFile.h"

#include <functional>

namespace {

using dnstest_support::DnsFixture;
using Strings = std::vector<std::string>;

using DnsList = DnsFixture;

TEST_F(DnsList, BothViewsReadTheSectionWithTheProfileRules) {
  WriteList(
      "; servers\r\n"
      "[Other]\r\n"
      "Elsewhere=1.2.3.4,5.6.7.8\r\n"
      "[ipv4_default]\r\n"
      "  Full = 8.8.8.8,8.8.4.4  \r\n"
      "Single=9.9.9.9\r\n"
      "Trailing=1.1.1.1,\r\n"
      "; a comment\r\n"
      "NoValue\r\n"
      "full=7.7.7.7,6.6.6.6\r\n");
  Reload();
  EXPECT_EQ(Names(), (Strings{"Full", "Single", "Trailing", "NoValue", "full"}));
  // The second "full" is looked up by name and so shows the first entry's addresses.
  EXPECT_EQ(Column(0), (Strings{"8.8.8.8", "", "1.1.1.1", "", "8.8.8.8"}));
  EXPECT_EQ(Column(1), (Strings{"8.8.4.4", "", "", "", "8.8.4.4"}));
  EXPECT_EQ(Column(2), Strings(5, "0"));
  EXPECT_EQ(Column(3), Strings(5, "0"));

  EXPECT_EQ(form->DnsCheck().ComboBoxDNS->Items(), (Strings{"Full", "Single", "Trailing", "NoValue", "full"}));
  EXPECT_EQ(form->DnsCheck().ComboBoxDNS->ItemIndex(), 0);
  EXPECT_EQ(form->DnsCheck().EditPreferredDNS1->Text(), "8.8.8.8");
  EXPECT_EQ(form->DnsCheck().EditAlternativeDNS1->Text(), "8.8.4.4");

  struct Pick {
    int index;
    std::string dns1, dns2;
  };
  for (const Pick& pick : {Pick{1, "", ""}, Pick{2, "1.1.1.1", ""}, Pick{3, "", ""}, Pick{4, "8.8.8.8", "8.8.4.4"}}) {
    form->DnsCheck().ComboBoxDNS->UserSelected(pick.index);
    EXPECT_EQ(form->DnsCheck().EditPreferredDNS1->Text(), pick.dns1) << pick.index;
    EXPECT_EQ(form->DnsCheck().EditAlternativeDNS1->Text(), pick.dns2) << pick.index;
  }
}

TEST_F(DnsList, AnsiAndUtf8FilesReadAsWell) {
  // UTF-8 without a byte-order mark is what a plain text editor saves by default.
  for (auto encoding : {common::Encoding::Ansi, common::Encoding::Utf8Bom, common::Encoding::Utf8}) {
    WriteList("[Ipv4_Default]\r\nRU - Сервер=77.88.8.1,77.88.8.8\r\n", encoding);
    Reload();
    EXPECT_EQ(Names(), Strings{"RU - Сервер"}) << static_cast<int>(encoding);
    EXPECT_EQ(form->DnsCheck().EditAlternativeDNS1->Text(), "77.88.8.8");
  }
}

TEST_F(DnsList, AMissingFileGivesEmptyViewsWithoutAMessage) {
  form->DnsTest().ListViewDNS->AddRow({"stale", {"1", "2", "0", "0"}, false});
  form->DnsCheck().EditPreferredDNS1->SetText("kept?");
  Reload();
  EXPECT_TRUE(form->DnsTest().ListViewDNS->Rows().empty());
  EXPECT_TRUE(form->DnsCheck().ComboBoxDNS->Items().empty());
  EXPECT_EQ(form->DnsCheck().ComboBoxDNS->ItemIndex(), -1);
  EXPECT_EQ(form->DnsCheck().EditPreferredDNS1->Text(), "");
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_FALSE(files.Contents(dns_path).has_value());  // nothing creates the file
}

// The window's creation fills the table, the drop-down and its first choice from one
// reading of the file; a later refresh reads it again, so it sees what changed.
TEST_F(DnsList, CreationReadsTheFileOnceForEveryView) {
  WriteList("[Ipv4_Default]\r\nA=1.1.1.1,1.0.0.1\r\nB=8.8.8.8,8.8.4.4\r\n");
  const int before = files.Reads(dns_path);
  form->FormCreate();
  EXPECT_EQ(files.Reads(dns_path) - before, 1);
  EXPECT_EQ(Names(), (Strings{"A", "B"}));
  EXPECT_EQ(form->DnsCheck().ComboBoxDNS->Items(), (Strings{"A", "B"}));
  EXPECT_EQ(form->DnsCheck().EditPreferredDNS1->Text(), "1.1.1.1");
  EXPECT_EQ(form->DnsCheck().EditAlternativeDNS1->Text(), "1.0.0.1");

  WriteList("[Ipv4_Default]\r\nC=9.9.9.9,149.112.112.112\r\n");
  Reload();
  EXPECT_EQ(files.Reads(dns_path) - before, 4) << "each view reads for itself after start-up";
  EXPECT_EQ(Names(), Strings{"C"});
  EXPECT_EQ(form->DnsCheck().EditPreferredDNS1->Text(), "9.9.9.9");
}

TEST_F(DnsList, AnUnreadableFileIsReportedOnceAndTheWindowStillOpens) {
  WriteList("[Ipv4_Default]\r\nA=1.1.1.1,1.0.0.1\r\n");
  files.SetUnreadable(dns_path);
  form->FormCreate();
  ASSERT_EQ(host.boxes.size(), 1u);  // one report for the table and the drop-down
  EXPECT_NE(host.boxes[0].text.find("dns.ini"), std::string::npos);
  EXPECT_TRUE(form->DnsTest().ListViewDNS->Rows().empty());
  EXPECT_TRUE(form->DnsCheck().ComboBoxDNS->Items().empty());
  EXPECT_EQ(form->PageControl->ActivePage(), form->TabProxy);  // start-up went on
}

TEST_F(DnsList, TheComponentsAndThePopupMenu) {
  Strings captions;
  std::vector<int> widths, minimums;
  for (const auto& column : form->DnsTest().ListViewDNS->Columns()) {
    captions.push_back(column.caption);
    widths.push_back(column.width);
    minimums.push_back(column.min_width);
  }
  EXPECT_EQ(captions, (Strings{"Имя сервера", "DNS 1", "DNS 2", "Время 1", "Время 2"}));
  EXPECT_EQ(widths, (std::vector<int>{200, 100, 100, 70, 70}));
  EXPECT_EQ(minimums, widths);
  EXPECT_TRUE(form->DnsTest().ListViewDNS->Columns()[3].centered);
  EXPECT_TRUE(form->DnsTest().ListViewDNS->Columns()[4].centered);
  EXPECT_EQ(form->DnsTest().ListViewDNS->GetPopupMenu(), form->DnsTest().PopupMenuTestDNS);

  Strings items;
  for (ui::MenuItem* item : form->DnsTest().PopupMenuTestDNS->Items())
    items.push_back(item->IsSeparator() ? "-" : item->Name() + "|" + item->Caption() + "|" + item->ShortCut());
  EXPECT_EQ(items, (Strings{"MenuRefreshDNS|Обновить|Ctrl+F5", "-", "MenuCopyDNS1|Копировать DNS 1|",
                            "MenuCopyDNS2|Копировать DNS 2|", "-", "MenuCopyDNS1DNS2|Копировать DNS 1 и DNS 2|", "-",
                            "MenuListDefault|Вернуть список|Ctrl+R", "-", "MenuDeleteDNS|Удалить DNS|Delete", "-",
                            "MenuDnsBench|Тест DNS-серверов запросами|"}));
  EXPECT_EQ(form->DnsCheck().GroupBoxDNScheck->Bounds(), (ui::Rect{8, 232, 560, 93}));
  EXPECT_EQ(form->DnsCheck().GroupBoxDNScheck->Parent(), form->TabProxy);
  EXPECT_EQ(form->DnsCheck().ComboBoxDNS->Bounds().width, 241);
  EXPECT_TRUE(form->DnsCheck().EditPreferredDNS1->ReadOnly());
  EXPECT_TRUE(form->DnsCheck().EditAlternativeDNS1->ReadOnly());
  EXPECT_FALSE(form->DnsTest().MemoDNS->Visible());
  EXPECT_EQ(form->DnsTest().MemoDNS->Lines().size(), 33u);
}

TEST_F(DnsList, RestoringTheDefaultListWritesThe33LinesThenTheIpv6SectionAsUtf16) {
  form->DnsCheck().EditPreferredDNS1->SetText("left alone 1");
  form->DnsCheck().EditAlternativeDNS1->SetText("left alone 2");
  form->DnsTest().MenuListDefault->Click();

  auto bytes = files.Contents(dns_path);
  ASSERT_TRUE(bytes.has_value());
  ASSERT_GE(bytes->size(), 2u);
  EXPECT_EQ((*bytes)[0], 0xFF);
  EXPECT_EQ((*bytes)[1], 0xFE);
  std::string text = common::DecodeFile(*bytes, 1251).utf8;
  Strings lines = common::SplitLines(text);
  ASSERT_EQ(lines.size(), 33u + dnstest::DefaultIpv6Lines().size());
  EXPECT_EQ(lines.front(), "[Ipv4_Default]");
  EXPECT_EQ(lines[1], "RU - Yandex=77.88.8.1,77.88.8.8");
  EXPECT_EQ(lines[7], "US - Google Public DNS=8.8.8.8,8.8.4.4");
  EXPECT_EQ(lines[32], "BG - MegaLan=95.111.55.251,95.111.55.250");
  // The memo's lines unchanged, then the IPv6 section.
  EXPECT_EQ(Strings(lines.begin(), lines.begin() + 33), form->DnsTest().MemoDNS->Lines());
  EXPECT_EQ(lines[33], "[Ipv6_Default]");
  EXPECT_EQ(Strings(lines.begin() + 33, lines.end()), dnstest::DefaultIpv6Lines());
  EXPECT_EQ(form->DnsTest().Ipv6Of("US - Google Public DNS"), (Strings{"2001:4860:4860::8888", "2001:4860:4860::8844"}));
  EXPECT_EQ(form->DnsTest().Ipv6Of("BG - MegaLan"), Strings{});
  // Every line, the last included, ends in CR LF.
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_EQ(text.find("\n"), text.find("\r\n") + 1);

  EXPECT_EQ(form->DnsTest().ListViewDNS->Rows().size(), 32u);
  EXPECT_EQ(form->DnsCheck().ComboBoxDNS->Items().size(), 32u);
  EXPECT_EQ(form->DnsCheck().ComboBoxDNS->ItemIndex(), 0);
  EXPECT_EQ(form->DnsCheck().ComboBoxDNS->Text(), "RU - Yandex");
  EXPECT_EQ(form->DnsCheck().EditPreferredDNS1->Text(), "left alone 1");
  EXPECT_EQ(form->DnsCheck().EditAlternativeDNS1->Text(), "left alone 2");
  EXPECT_EQ(form->DnsTest().ListViewDNS->Rows()[31].sub_items, (Strings{"95.111.55.251", "95.111.55.250", "0", "0"}));
}

// The optional IPv6 section: found by the server's name whatever its case, the first
// line of a name and the first section of that name; texts that are no IPv6 address
// are passed over (two addresses at most), and a server without a line has none.
TEST_F(DnsList, TheIpv6SectionGivesEachServerItsIpv6Addresses) {
  WriteList(
      "[Ipv4_Default]\r\n"
      "First=192.0.2.1,192.0.2.2\r\n"
      "Partial=192.0.2.3,192.0.2.4\r\n"
      "Bad=192.0.2.5,\r\n"
      "NoSix=192.0.2.6,192.0.2.7\r\n"
      "OnlySix=\r\n"
      "[Ipv6_Default]\r\n"
      "first=2001:db8::1,2001:db8::2\r\n"
      "First=2001:db8::3\r\n"
      "Partial= 2001:db8::4 \r\n"
      "Bad=192.0.2.9, not an address ,2001:db8::6\r\n"
      "OnlySix=::1,2001:db8::7,2001:db8::8\r\n"
      "[IPV6_DEFAULT]\r\n"
      "NoSix=2001:db8::99\r\n");
  Reload();
  EXPECT_EQ(Names(), (Strings{"First", "Partial", "Bad", "NoSix", "OnlySix"}));
  auto& page = form->DnsTest();
  EXPECT_EQ(page.Ipv6Of("First"), (Strings{"2001:db8::1", "2001:db8::2"})) << "the first section's line wins";
  EXPECT_EQ(page.Ipv6Of("FIRST"), (Strings{"2001:db8::1", "2001:db8::2"}));
  EXPECT_EQ(page.Ipv6Of("Partial"), Strings{"2001:db8::4"});
  EXPECT_EQ(page.Ipv6Of("Bad"), Strings{"2001:db8::6"}) << "texts that are no IPv6 address are passed over";
  EXPECT_EQ(page.Ipv6Of("NoSix"), Strings{}) << "a repeated section is not read";
  EXPECT_EQ(page.Ipv6Of("OnlySix"), (Strings{"::1", "2001:db8::7"}));
  // The IPv4 views are as without the section.
  EXPECT_EQ(page.ListViewDNS->Rows()[0].sub_items, (Strings{"192.0.2.1", "192.0.2.2", "0", "0"}));
}

// Deleting a server takes its IPv6 line with it once no other line of that name is
// left, and touches nothing else.
TEST_F(DnsList, DeletingAServerDeletesItsIpv6Line) {
  WriteList(
      "[Ipv4_Default]\r\nA=192.0.2.1,192.0.2.2\r\nB=192.0.2.3,192.0.2.4\r\nB=192.0.2.5,\r\n"
      "[Ipv6_Default]\r\n; kept\r\nb=2001:db8::b\r\nA=2001:db8::a\r\n");
  Reload();
  auto& page = form->DnsTest();
  page.ListViewDNS->SetSelected(0);
  page.MenuDeleteDNSClick();
  EXPECT_EQ(FileText(),
            "[Ipv4_Default]\r\nB=192.0.2.3,192.0.2.4\r\nB=192.0.2.5,\r\n"
            "[Ipv6_Default]\r\n; kept\r\nb=2001:db8::b\r\n");
  page.ListViewDNS->SetSelected(0);
  page.MenuDeleteDNSClick();
  EXPECT_NE(FileText().find("b=2001:db8::b"), std::string::npos) << "another B is still listed";
  page.ListViewDNS->SetSelected(0);
  page.MenuDeleteDNSClick();
  EXPECT_EQ(FileText(), "[Ipv4_Default]\r\n[Ipv6_Default]\r\n; kept\r\n");
}

TEST_F(DnsList, AFailedRestoreIsReportedAndLeavesTheViews) {
  WriteList("[Ipv4_Default]\r\nOld=1.1.1.1,2.2.2.2\r\n");
  Reload();
  files.SetReadOnly(dns_path);
  application->Guard([&] { form->DnsTest().MenuListDefaultClick(); });
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_NE(host.boxes[0].text.find("dns.ini"), std::string::npos);
  EXPECT_EQ(Names(), Strings{"Old"});
  EXPECT_EQ(FileText(), "[Ipv4_Default]\r\nOld=1.1.1.1,2.2.2.2\r\n");
}

TEST_F(DnsList, DeletingTheLastRowSelectsTheNewLastRow) {
  WriteList("[Ipv4_Default]\r\nA=1.1.1.1,1.0.0.1\r\nB=2.2.2.2,2.0.0.2\r\nC=3.3.3.3,3.0.0.3\r\n");
  Reload();
  form->DnsTest().ListViewDNS->SetSelected(2);
  form->DnsTest().MenuDeleteDNS->Click();
  EXPECT_EQ(Names(), (Strings{"A", "B"}));
  EXPECT_EQ(form->DnsTest().ListViewDNS->Selected(), 1);
  EXPECT_EQ(FileText(), "[Ipv4_Default]\r\nA=1.1.1.1,1.0.0.1\r\nB=2.2.2.2,2.0.0.2\r\n");
  EXPECT_EQ(form->DnsCheck().ComboBoxDNS->Items(), (Strings{"A", "B"}));

  // A middle row: the row that moved up takes the selection.
  form->DnsTest().ListViewDNS->SetSelected(0);
  form->DnsTest().MenuDeleteDNS->Click();
  EXPECT_EQ(Names(), Strings{"B"});
  EXPECT_EQ(form->DnsTest().ListViewDNS->Selected(), 0);

  // Nothing selected: nothing happens.
  form->DnsTest().ListViewDNS->SetSelected(-1);
  form->DnsTest().MenuDeleteDNS->Click();
  EXPECT_EQ(Names(), Strings{"B"});
  EXPECT_EQ(FileText(), "[Ipv4_Default]\r\nB=2.2.2.2,2.0.0.2\r\n");
}

TEST_F(DnsList, DeletingTheOnlyRowLeavesTheDropDownAsItWas) {
  WriteList("[Ipv4_Default]\r\nOnly=1.1.1.1,1.0.0.1\r\n");
  Reload();
  form->DnsTest().ListViewDNS->SetSelected(0);
  form->DnsTest().MenuDeleteDNS->Click();
  EXPECT_TRUE(form->DnsTest().ListViewDNS->Rows().empty());
  EXPECT_EQ(FileText(), "[Ipv4_Default]\r\n");
  EXPECT_EQ(form->DnsCheck().ComboBoxDNS->Items(), Strings{"Only"});
  EXPECT_EQ(form->DnsCheck().ComboBoxDNS->ItemIndex(), 0);
  // The drop-down now names a server the file no longer holds.
  form->DnsCheck().ComboBoxDNS->UserSelected(0);
  EXPECT_EQ(form->DnsCheck().EditPreferredDNS1->Text(), "");
  EXPECT_EQ(form->DnsCheck().EditAlternativeDNS1->Text(), "");
}

// A hand-edited file: comments, lines before the first section, another section
// before and after ours, a repeated header, mixed line ends, the ANSI code page.
TEST_F(DnsList, DeleteRemovesTheSelectedServerAndKeepsTheRestOfAHandEditedFile) {
  const std::string before =
      "; my servers\r\n"
      "stray line\r\n"
      "[Notes]\r\n"
      "Home=192.168.0.1,\r\n"
      "[Ipv4_Default]\n"
      "; Russian ones\r\n"
      "RU - Первый=77.88.8.1,77.88.8.8\r\n"
      "\r\n"
      "RU - Второй=77.88.8.88,77.88.8.2\r\n"
      "US - Third=8.8.8.8,8.8.4.4\n"
      "[Later]\r\n"
      "Another=5.5.5.5,6.6.6.6\r\n"
      "[IPV4_DEFAULT]\r\n"
      "Ignored=9.9.9.9,9.9.9.10\r\n";
  WriteList(before, common::Encoding::Ansi);
  Reload();
  ASSERT_EQ(Names(), (Strings{"RU - Первый", "RU - Второй", "US - Third"}));
  form->DnsTest().ListViewDNS->SetSelected(1);
  form->DnsTest().MenuDeleteDNS->Click();

  std::string expected = before;
  expected.erase(expected.find("RU - Второй"), std::string("RU - Второй=77.88.8.88,77.88.8.2\r\n").size());
  auto bytes = files.Contents(dns_path);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(*bytes, common::EncodeFile(expected, common::Encoding::Ansi, 1251));  // same encoding, same bytes
  EXPECT_EQ(Names(), (Strings{"RU - Первый", "US - Third"}));
  form->DnsTest().LoadFiltersReload();
  EXPECT_EQ(Names(), (Strings{"RU - Первый", "US - Third"}));

  // The last entry of our section, followed by another section.
  form->DnsTest().ListViewDNS->SetSelected(1);
  form->DnsTest().MenuDeleteDNS->Click();
  EXPECT_EQ(common::DecodeFile(*files.Contents(dns_path), 1251).utf8.find("US - Third"), std::string::npos);
  EXPECT_NE(FileText().find("Another=5.5.5.5"), std::string::npos);
  EXPECT_NE(FileText().find("Ignored=9.9.9.9"), std::string::npos);
  EXPECT_NE(FileText().find("Home=192.168.0.1"), std::string::npos);
}

TEST_F(DnsList, DeleteWritesBackInTheEncodingItRead) {
  for (auto encoding : {common::Encoding::Utf16LeBom, common::Encoding::Utf16BeBom, common::Encoding::Utf8Bom,
                        common::Encoding::Utf8, common::Encoding::Ansi}) {
    WriteList("[Ipv4_Default]\r\nA=1.1.1.1,1.0.0.1\r\nБ=2.2.2.2,2.0.0.2\r\n", encoding);
    Reload();
    form->DnsTest().ListViewDNS->SetSelected(0);
    form->DnsTest().MenuDeleteDNS->Click();
    EXPECT_EQ(*files.Contents(dns_path), common::EncodeFile("[Ipv4_Default]\r\nБ=2.2.2.2,2.0.0.2\r\n", encoding, 1251))
        << static_cast<int>(encoding);
  }
}

TEST_F(DnsList, CopyCommandsFillTheAdaptersDnsBoxes) {
  WriteList("[Ipv4_Default]\r\nA=1.1.1.1,1.0.0.1\r\nB=2.2.2.2\r\n");
  Reload();
  form->Adapter().EditPreferredDNS->SetText("p");
  form->Adapter().EditAlternativeDNS->SetText("a");
  form->DnsTest().MenuCopyDNS1DNS2->Click();  // no row selected: nothing
  EXPECT_EQ(form->Adapter().EditPreferredDNS->Text(), "p");
  form->DnsTest().ListViewDNS->SetSelected(0);
  form->DnsTest().MenuCopyDNS1->Click();
  EXPECT_EQ(form->Adapter().EditPreferredDNS->Text(), "1.1.1.1");
  EXPECT_EQ(form->Adapter().EditAlternativeDNS->Text(), "a");
  form->DnsTest().MenuCopyDNS2->Click();
  EXPECT_EQ(form->Adapter().EditAlternativeDNS->Text(), "1.0.0.1");
  form->DnsTest().ListViewDNS->SetSelected(1);
  form->DnsTest().MenuCopyDNS1DNS2->Click();
  EXPECT_EQ(form->Adapter().EditPreferredDNS->Text(), "");
  EXPECT_EQ(form->Adapter().EditAlternativeDNS->Text(), "");

  form->DnsCheck().ComboBoxDNS->UserSelected(0);
  form->DnsCheck().ButtonCopyDNS->Click();
  EXPECT_EQ(form->Adapter().EditPreferredDNS->Text(), "1.1.1.1");
  EXPECT_EQ(form->Adapter().EditAlternativeDNS->Text(), "1.0.0.1");
}

TEST_F(DnsList, RefreshResetsTheTimeColumns) {
  WriteList("[Ipv4_Default]\r\nA=1.1.1.1,1.0.0.1\r\n");
  Reload();
  form->DnsTest().ListViewDNS->SetRow(0, {"A", {"1.1.1.1", "1.0.0.1", "12 ms", "13 ms"}, false});
  form->DnsTest().MenuRefreshDNS->Click();
  EXPECT_EQ(form->DnsTest().ListViewDNS->Rows()[0].sub_items, (Strings{"1.1.1.1", "1.0.0.1", "0", "0"}));
}

// Blanks around each address are not part of it, in both views and in what the
// copy commands put into the adapter's boxes.
TEST_F(DnsList, BlanksAroundEachAddressAreDropped) {
  WriteList("[Ipv4_Default]\r\nSpaces= 1.1.1.1 , 1.0.0.1 \r\nTabs=\t8.8.8.8\t,\t8.8.4.4\t\r\nOne= 9.9.9.9 , \r\n");
  Reload();
  EXPECT_EQ(Column(0), (Strings{"1.1.1.1", "8.8.8.8", "9.9.9.9"}));
  EXPECT_EQ(Column(1), (Strings{"1.0.0.1", "8.8.4.4", ""}));
  EXPECT_EQ(form->DnsCheck().EditPreferredDNS1->Text(), "1.1.1.1");
  EXPECT_EQ(form->DnsCheck().EditAlternativeDNS1->Text(), "1.0.0.1");
  form->DnsCheck().ButtonCopyDNS->Click();
  EXPECT_EQ(form->Adapter().EditPreferredDNS->Text(), "1.1.1.1");
  EXPECT_EQ(form->Adapter().EditAlternativeDNS->Text(), "1.0.0.1");
  form->DnsTest().ListViewDNS->SetSelected(1);
  form->DnsTest().MenuCopyDNS1DNS2->Click();
  EXPECT_EQ(form->Adapter().EditPreferredDNS->Text(), "8.8.8.8");
  EXPECT_EQ(form->Adapter().EditAlternativeDNS->Text(), "8.8.4.4");
}

// The system's profile functions drop one pair of quotes around a value, so a list
// written with quotes gives the same addresses in both views.
TEST_F(DnsList, QuotesAroundAValueAreDroppedAsTheSystemReadsThem) {
  WriteList("[Ipv4_Default]\r\nDouble=\"1.1.1.1,1.0.0.1\"\r\nSingle='8.8.8.8,8.8.4.4'\r\nOdd=\"9.9.9.9,9.9.9.10\r\n");
  Reload();
  EXPECT_EQ(Column(0), (Strings{"1.1.1.1", "8.8.8.8", "\"9.9.9.9"}));
  EXPECT_EQ(Column(1), (Strings{"1.0.0.1", "8.8.4.4", "9.9.9.10"})) << "an unmatched quote stays";
  EXPECT_EQ(form->DnsCheck().EditPreferredDNS1->Text(), "1.1.1.1");
  EXPECT_EQ(form->DnsCheck().EditAlternativeDNS1->Text(), "1.0.0.1");
}

// Whatever a hand edit left between the entries, deleting row i removes the line the
// table showed as row i and no other: the table and the delete count the same lines.
TEST_F(DnsList, DeleteRemovesTheLineOfTheChosenRowWhateverSurroundsIt) {
  struct Case {
    const char* what;
    std::string file;
  };
  const Case cases[] = {
      {"form feed before a comment",
       "[Ipv4_Default]\r\nFirst=1.1.1.1,1.0.0.1\r\n\f;comment\r\nSecond=8.8.8.8,8.8.4.4\r\nThird=9.9.9.9,1.2.3.4\r\n"},
      {"a line of one vertical tab",
       "[Ipv4_Default]\r\nFirst=1.1.1.1,1.0.0.1\r\n\v\r\nSecond=8.8.8.8,8.8.4.4\r\nThird=9.9.9.9,1.2.3.4\r\n"},
      {"blanks of every kind",
       "[Ipv4_Default]\r\n \t\f\v \r\n\v;note\r\nFirst=1.1.1.1,\r\n\t ; tabbed comment\r\n\fSecond = 2.2.2.2\r\nThird\r\n"},
      {"a header behind a form feed, other sections around",
       "[Before]\r\nA=1\r\n\f[Ipv4_Default]\r\nFirst=1.1.1.1,\r\n\v[Other]\r\nB=2\r\n[Ipv4_Default]\r\nIgnored=3.3.3.3,\r\n"},
      {"lines before any section",
       "stray\r\n;c\r\n[Ipv4_Default]\r\nFirst=1.1.1.1,\r\nSecond=2.2.2.2,\r\n"},
  };
  for (const Case& c : cases) {
    WriteList(c.file);
    Reload();
    const Strings names = Names();
    ASSERT_FALSE(names.empty()) << c.what;
    const size_t lines = common::SplitLines(c.file).size();
    for (size_t row = 0; row < names.size(); ++row) {
      WriteList(c.file);
      Reload();
      form->DnsTest().ListViewDNS->SetSelected(static_cast<int>(row));
      form->DnsTest().MenuDeleteDNS->Click();
      Strings expected = names;
      expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(row));
      EXPECT_EQ(common::SplitLines(FileText()).size(), lines - 1) << c.what << ", row " << row;
      form->DnsTest().LoadFiltersReload();
      EXPECT_EQ(Names(), expected) << c.what << ", row " << row;
    }
  }
}

// A request that would change the table while it loads waits for the load: the table
// then holds exactly what the file holds, never two lists mixed.
TEST_F(DnsList, RequestsDuringALoadRunOnceItHasFinished) {
  std::string file = "[Ipv4_Default]\r\n";
  Strings names;
  for (int i = 0; i < 40; ++i) {
    names.push_back("Server " + std::to_string(i));
    file += names.back() + "=10.0.0." + std::to_string(i) + ",10.0.1." + std::to_string(i) + "\r\n";
  }
  Strings defaults;
  for (const std::string& line : form->DnsTest().MemoDNS->Lines())
    if (line.front() != '[') defaults.push_back(line.substr(0, line.find('=')));
  ASSERT_EQ(defaults.size(), 32u);
  ui::ListView& list = *form->DnsTest().ListViewDNS;

  struct Case {
    const char* what;
    std::function<void()> first, second;
    Strings expected;
  };
  auto refresh = [&] { form->DnsTest().MenuRefreshDNS->Click(); };
  auto restore = [&] { form->DnsTest().MenuListDefault->Click(); };
  Strings without_first(names.begin() + 1, names.end());
  auto delete_first = [&] {
    list.SetSelected(0);
    form->DnsTest().MenuDeleteDNS->Click();
  };
  const Case cases[] = {
      {"refresh twice", refresh, refresh, names},
      {"refresh, then restore", refresh, restore, defaults},
      {"restore, then refresh", restore, refresh, defaults},
      {"refresh, then delete the first row", refresh, delete_first, without_first},
  };
  for (const Case& c : cases) {
    WriteList(file);
    Reload();
    host.Post(c.second);  // runs when the load first lets messages run
    c.first();
    EXPECT_EQ(Names(), c.expected) << c.what;
    EXPECT_EQ(form->DnsCheck().ComboBoxDNS->Items().size(), c.expected.size()) << c.what;
    // What the table shows is what the file holds.
    form->DnsTest().LoadFiltersReload();
    EXPECT_EQ(Names(), c.expected) << c.what;
  }
}

// Closing the window during a load ends it at the next row; what waited is dropped.
TEST_F(DnsList, AClosingWindowEndsALoadAtTheNextRow) {
  std::string file = "[Ipv4_Default]\r\n";
  for (int i = 0; i < 40; ++i) file += "Server " + std::to_string(i) + "=10.0.0." + std::to_string(i) + ",\r\n";
  WriteList(file);
  host.Post([&] {
    form->DnsTest().MenuRefreshDNS->Click();
    application->Terminate();
  });
  form->DnsTest().MenuRefreshDNS->Click();
  // Messages first run after the first row.
  EXPECT_EQ(Names(), Strings{"Server 0"});
}

}  // namespace
