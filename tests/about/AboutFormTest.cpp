// The about window: its layout, the legal notice, the version line copied from the
// main window at each showing, the links and the Ok button.
#include <gtest/gtest.h>

#include "app/MainForm.h"
#include "fakes/FakePlatform.h"
#include "fakes/HeadlessHost.h"

namespace {

// A version resource holding only a legal notice, as the executable carries it.
std::vector<uint8_t> VersionBlockWithCopyright(std::u16string_view notice) {
  struct Node {
    std::u16string key;
    std::vector<uint8_t> value;  // UTF-16 text with its terminating zero
    std::vector<Node> children;
  };
  auto put16 = [](std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto pad = [](std::vector<uint8_t>& out) {
    while (out.size() % 4) out.push_back(0);
  };
  std::function<void(std::vector<uint8_t>&, const Node&)> append = [&](std::vector<uint8_t>& out,
                                                                        const Node& node) {
    size_t begin = out.size();
    put16(out, 0);
    put16(out, static_cast<uint16_t>(node.value.size() / 2));
    put16(out, 1);
    for (char16_t c : node.key) put16(out, c);
    put16(out, 0);
    pad(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const Node& child : node.children) {
      pad(out);
      append(out, child);
    }
    size_t length = out.size() - begin;
    out[begin] = static_cast<uint8_t>(length & 0xFF);
    out[begin + 1] = static_cast<uint8_t>(length >> 8);
  };
  std::vector<uint8_t> text;
  for (char16_t c : notice) put16(text, c);
  put16(text, 0);
  Node root{u"VS_VERSION_INFO", {}, {Node{u"StringFileInfo", {}, {Node{u"040904E4", {}, {Node{u"LegalCopyright", text, {}}}}}}}};
  std::vector<uint8_t> out;
  append(out, root);
  return out;
}

struct AboutFixture : ::testing::Test, fakes::FakePlatform {
  fakes::HeadlessHost host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* main = nullptr;
  app::TForm8* about = nullptr;

  void Open() {
    application = std::make_unique<ui::Application>(host);
    application->SetTitle("Velmora");
    main = application->CreateForm<app::TForm1>(services);
    about = application->CreateForm<app::TForm8>(
        services, app::AboutLinks{"https://chat.test/maker", "one@mail.test", "two@mail.test", "http://site.test"});
  }
};

TEST_F(AboutFixture, LayoutLabelsAndWindowKind) {
  versions.blocks[system.ProgramPath()] = VersionBlockWithCopyright(u"\u00A9 2026 Maker");
  Open();
  EXPECT_EQ(about->Name(), "Form8");
  EXPECT_EQ(about->Caption(), "О программе");
  EXPECT_EQ(about->ClientWidth(), 334);
  EXPECT_EQ(about->ClientHeight(), 161);
  EXPECT_EQ(about->MinWidth(), 350);
  EXPECT_EQ(about->MinHeight(), 200);
  EXPECT_FALSE(about->Resizable());
  EXPECT_FALSE(about->MinimizeBox());
  EXPECT_FALSE(about->MaximizeBox());
  EXPECT_TRUE(about->OwnTaskbarButton());
  EXPECT_TRUE(about->RoundedCorners());
  EXPECT_EQ(about->GetPosition(), ui::Position::DesktopCenter);
  EXPECT_EQ(about->TabControlButtons->Bounds(), (ui::Rect{0, 126, 334, 35}));
  EXPECT_EQ(about->TabControlBody->Bounds(), (ui::Rect{0, 0, 334, 126}));
  EXPECT_EQ(about->Button1->Bounds(), (ui::Rect{0, 0, 334, 35}));
  EXPECT_EQ(about->Button1->Caption(), "Ok");
  EXPECT_TRUE(about->Button1->GetFont().bold);
  EXPECT_EQ(about->Image1->Bounds(), (ui::Rect{12, 14, 32, 32}));
  EXPECT_EQ(about->Image1->IconResource(), "MAINICON");

  struct Line {
    ui::Label* label;
    const char* caption;
    int top, height;
    bool link;
  } lines[] = {
      {about->LabelVersion, "", 0, 20, false},
      {about->LabelCopyright, "\xC2\xA9 2026 Maker", 20, 17, false},
      {about->LabelTelegram, "Telegram", 37, 17, true},
      {about->LabelGMail, "one@mail.test", 54, 17, true},
      {about->LabelYaMail, "two@mail.test", 71, 17, true},
      {about->LabelMainWebSite, "Сайт основной", 88, 17, true},
  };
  for (const Line& line : lines) {
    SCOPED_TRACE(line.label->Name());
    EXPECT_EQ(line.label->Caption(), line.caption);
    EXPECT_EQ(line.label->Bounds(), (ui::Rect{0, line.top, 334, line.height}));
    EXPECT_TRUE(line.label->Centered());
    EXPECT_EQ(line.label->GetFont().underline, line.link);
    EXPECT_EQ(line.label->GetCursor() == ui::Cursor::HandPoint, line.link);
  }
}

TEST_F(AboutFixture, WithoutALegalNoticeTheLineStaysEmpty) {
  Open();  // the fake executable has no version resource
  EXPECT_EQ(about->LabelCopyright->Caption(), "");
}

TEST_F(AboutFixture, TheVersionLineIsTheMainCaptionAtTheMomentOfShowing) {
  Open();
  const std::string first_caption = main->Caption();
  std::vector<std::string> seen;
  host.modal_actions.push_back([&](ui::Form&) { seen.push_back(about->LabelVersion->Caption()); });
  host.popup_actions.push_back([&](ui::PopupMenu&) { main->AboutMenu->Click(); });
  main->SpeedButton_GeneralMenu->Click();
  EXPECT_FALSE(main->GeneralMenuOpen()) << "the menu button is up again";
  main->SetCaption("Velmora 9.9 translated");
  host.modal_actions.push_back([&](ui::Form&) { seen.push_back(about->LabelVersion->Caption()); });
  main->AboutMenuClick();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], first_caption);
  EXPECT_EQ(seen[1], "Velmora 9.9 translated");
  EXPECT_EQ(host.modals, (std::vector<std::string>{"Form8", "Form8"}));
  EXPECT_EQ(main->AboutMenu->ShortCut(), "F1");
}

TEST_F(AboutFixture, EachLinkOpensItsConfiguredTargetWithTheAboutWindowAsOwner) {
  Open();
  host.modal_actions.push_back([&](ui::Form&) {
    for (ui::Label* link : {about->LabelTelegram, about->LabelGMail, about->LabelYaMail, about->LabelMainWebSite}) {
      int pumps = host.process_messages_calls;
      link->Click();
      EXPECT_GT(host.process_messages_calls, pumps) << link->Name();
    }
  });
  main->AboutMenuClick();
  EXPECT_EQ(host.shell_opens, (std::vector<std::string>{"Form8|https://chat.test/maker", "Form8|mailto:one@mail.test",
                                                        "Form8|mailto:two@mail.test", "Form8|http://site.test"}));
}

TEST_F(AboutFixture, OkClosesTheWindow) {
  Open();
  bool visible_after_ok = true;
  host.modal_actions.push_back([&](ui::Form& form) {
    ASSERT_TRUE(form.Visible());
    about->Button1->Click();
    visible_after_ok = form.Visible();
  });
  main->AboutMenuClick();
  EXPECT_FALSE(visible_after_ok);
}

}  // namespace
