#include <gtest/gtest.h>

#include "shell/Catalogue.h"
#include "app/MainForm.h"
#include "app/RecordingMainForm.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeSystem.h"
#include "fakes/HeadlessHost.h"

namespace {

using testing_support::RecordingMainForm;

struct MainFormFixture : ::testing::Test, fakes::FakePlatform {
  fakes::HeadlessHost host;
  ui::Application application{host};
  RecordingMainForm* form = nullptr;

  void SetUp() override {
    application.SetTitle("Velmora");
    form = application.CreateForm<RecordingMainForm>(services, log);
    application.CreateForm<app::TForm10>(services);
    application.CreateForm<app::TForm8>(services);
    log.clear();
  }

  std::vector<std::string> BoldButtons() const {
    std::vector<std::string> bold;
    for (ui::Button* b : {form->ButtonProxy, form->ButtonDNS, form->ButtonNetworkProfiles,
                          form->ButtonUsefulCommands})
      if (b->GetFont().bold) bold.push_back(b->Name());
    return bold;
  }
  int Count(const std::string& entry) const {
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
  }
};

TEST_F(MainFormFixture, OpensOnTheAdapterPageWithHiddenTabsAndTheDesignedFrame) {
  EXPECT_EQ(form->ClientWidth(), 684);
  EXPECT_EQ(form->ClientHeight(), 511);
  EXPECT_FALSE(form->MaximizeBox());
  EXPECT_FALSE(form->Resizable());
  EXPECT_EQ(form->GetPosition(), ui::Position::DesktopCenter);
  EXPECT_EQ(form->PageControl->ActivePage(), form->TabProxy);
  EXPECT_EQ(BoldButtons(), std::vector<std::string>{"ButtonProxy"});
  for (ui::TabSheet* page : form->PageControl->Pages()) EXPECT_FALSE(page->TabVisible()) << page->Name();
  // Layout: top strip, 108-wide navigation panel, pages fill the rest (no tab row).
  EXPECT_EQ(form->TabControlNetwork1->Bounds(), (ui::Rect{0, 0, 684, 32}));
  EXPECT_EQ(form->TabControlPanelNetwork->Bounds(), (ui::Rect{0, 32, 108, 479}));
  EXPECT_EQ(form->PageControl->Bounds(), (ui::Rect{108, 32, 576, 479}));
  EXPECT_EQ(form->TabProxy->Bounds(), (ui::Rect{0, 0, 576, 479}));
  EXPECT_EQ(form->Commands().TabComButtons->Bounds(), (ui::Rect{424, 0, 152, 479}));
  EXPECT_FALSE(form->Visible());
}

TEST_F(MainFormFixture, EachNavigationButtonSelectsItsPageAndIsTheOnlyBoldOne) {
  struct Case {
    ui::Button* button;
    int page;
  } cases[] = {{form->ButtonUsefulCommands, 0}, {form->ButtonNetworkProfiles, 1},
               {form->ButtonDNS, 3}, {form->ButtonProxy, 2}};
  for (const Case& c : cases) {
    int pumps = host.process_messages_calls;
    c.button->Click();
    EXPECT_EQ(form->PageControl->ActivePageIndex(), c.page) << c.button->Name();
    EXPECT_EQ(BoldButtons(), std::vector<std::string>{c.button->Name()});
    EXPECT_GT(host.process_messages_calls, pumps) << "pending messages run after navigating";
  }
}

TEST_F(MainFormFixture, ProfilesButtonReloadsTheListOncePerPressEvenWhenShown) {
  form->ButtonNetworkProfiles->Click();
  EXPECT_EQ(Count("TabNetworkProfilesShow"), 1);
  form->ButtonNetworkProfiles->Click();
  form->ButtonNetworkProfiles->Click();
  EXPECT_EQ(Count("TabNetworkProfilesShow"), 3);
  form->ButtonDNS->Click();
  EXPECT_EQ(Count("TabNetworkProfilesShow"), 3);
}

TEST_F(MainFormFixture, GeneralMenuOpensBelowTheButtonRightAligned) {
  form->SpeedButton_GeneralMenu->Click();
  ASSERT_EQ(host.popups.size(), 1u);
  EXPECT_EQ(host.popups[0].menu, "PopupMenu_General");
  const ui::Rect& b = form->SpeedButton_GeneralMenu->Bounds();
  EXPECT_EQ(host.popups[0].at, (ui::Point{200 + b.Right(), 150 + b.Bottom()}));
  EXPECT_TRUE(form->PopupMenu_General->RightAligned());
  EXPECT_FALSE(form->PopupMenu_General->AutoPopup());
}

TEST_F(MainFormFixture, GeneralMenuMarkAfterEscapeCommandAndMouseMove) {
  auto clicks_that_open = [&](int clicks) {
    size_t before = host.popups.size();
    for (int i = 0; i < clicks; ++i) form->SpeedButton_GeneralMenu->Click();
    return host.popups.size() - before;
  };
  // Dismissed with Esc: the next click only resets the mark, the one after opens.
  EXPECT_EQ(clicks_that_open(1), 1u);
  EXPECT_TRUE(form->GeneralMenuOpen());
  EXPECT_EQ(clicks_that_open(1), 0u);
  EXPECT_EQ(host.end_menu_calls, 1);
  EXPECT_FALSE(form->GeneralMenuOpen());
  EXPECT_EQ(clicks_that_open(1), 1u);

  // After a command the next click opens again.
  form->WMMouseMove();
  host.popup_actions.push_back([&](ui::PopupMenu&) { form->AboutMenu->Click(); });
  EXPECT_EQ(clicks_that_open(1), 1u);
  EXPECT_EQ(host.modals, std::vector<std::string>{"Form8"});
  EXPECT_EQ(clicks_that_open(1), 1u);

  // A mouse move over the window resets the mark.
  form->MouseMove();
  EXPECT_EQ(clicks_that_open(1), 1u);
}

TEST_F(MainFormFixture, MenuCommandsCloseTheMarkAndShowTheirWindows) {
  struct Case {
    ui::MenuItem* item;
    const char* modal;  // window shown, or null
  } cases[] = {{form->ThemeDark, nullptr}, {form->ThemeLight, nullptr}, {form->ThemeAuto, nullptr},
               {form->CheckUpdateMenu, "Form10"}, {form->AboutMenu, "Form8"}};
  for (const Case& c : cases) {
    host.modals.clear();
    form->SpeedButton_GeneralMenu->Click();
    ASSERT_TRUE(form->GeneralMenuOpen());
    c.item->Click();
    EXPECT_FALSE(form->GeneralMenuOpen()) << c.item->Name();
    EXPECT_EQ(host.modals, c.modal ? std::vector<std::string>{c.modal} : std::vector<std::string>{});
  }
  // The theme items are radio items: the last one clicked is the only one checked.
  form->ThemeLight->Click();
  EXPECT_TRUE(form->ThemeLight->Checked());
  EXPECT_FALSE(form->ThemeAuto->Checked());
  EXPECT_FALSE(form->ThemeDark->Checked());
}

TEST_F(MainFormFixture, GeneralMenuItemsCaptionsAndShortcut) {
  std::vector<std::string> captions;
  for (ui::MenuItem* item : form->PopupMenu_General->Items()) captions.push_back(item->Caption());
  EXPECT_EQ(captions, (std::vector<std::string>{"Тема", "Язык", "-", "Проверить обновления", "Тест DNS-серверов запросами", "-",
                                                "О программе"}));
  std::vector<std::string> themes;
  for (ui::MenuItem* item : form->ThemeMenu->Items()) themes.push_back(item->Name() + "=" + item->Caption());
  EXPECT_EQ(themes, (std::vector<std::string>{"ThemeAuto=Системная", "ThemeLight=Светлая", "ThemeDark=Темная",
                                              "ThemeHighContrastNote=Включена высокая контрастность: действуют цвета системы"}));
  EXPECT_FALSE(form->ThemeHighContrastNote->Visible()) << "shown only while the system shows high contrast";
  EXPECT_EQ(form->AboutMenu->ShortCut(), "F1");
}

TEST_F(MainFormFixture, CatalogueHoldsItsEntriesInOrderAndIsReadAtTheMomentOfUse) {
  std::vector<ui::MenuItem*> items = form->PopupMenuLanguage->Items();
  ASSERT_EQ(items.size(), std::size(shell::kCatalogue));
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i]->Name(), shell::kCatalogue[i].name);
    EXPECT_EQ(items[i]->Caption(), shell::kCatalogue[i].text);
  }
  EXPECT_EQ(shell::Msg(*form, "LangNetworkName"), "Название сети: ");
  EXPECT_EQ(shell::Msg(*form, "LanfErrorName"), "Название не изменено");
  form->Find("LangStop")->SetCaption("Stop");
  EXPECT_EQ(shell::Msg(*form, "LangStop"), "Stop");
}

TEST_F(MainFormFixture, CloseSavesTheSettingsThenLetsMessagesRun) {
  int pumps = host.process_messages_calls;
  form->FormClose();
  EXPECT_EQ(log, std::vector<std::string>{"SaveNastr"});
  EXPECT_GT(host.process_messages_calls, pumps);
}

TEST(MainFormCaption, ShowsBitnessAndPortableMark) {
  for (bool portable : {false, true}) {
    fakes::FakePlatform fake;
    if (portable) fake.system.files.insert("C:\\Program Files\\Velmora\\portable.ini");
    fakes::HeadlessHost host;
    ui::Application application{host};
    auto* form = application.CreateForm<app::TForm1>(fake.services);
    std::string caption = form->Caption();
    EXPECT_EQ(form->Portable(), portable);
    EXPECT_EQ(caption.rfind("Velmora ", 0), 0u) << caption;
    std::string tail = portable ? "(64-bit) Portable" : "(64-bit)";
    EXPECT_EQ(caption.substr(caption.size() - tail.size()), tail) << caption;
  }
}

}  // namespace
