#include <gtest/gtest.h>

#include "fakes/HeadlessHost.h"
#include "ui/Application.h"
#include "ui/Controls.h"

namespace {

TEST(ErrorReport, AppendsAFullStopOnlyAfterCharactersAboveIt) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"Access denied", "Access denied."},
      {"Done.", "Done."},
      {"Ошибка!", "Ошибка!"},           // "!" lies below "."
      {"code 5", "code 5."},             // digits lie above "."
      {"(x)", "(x)"},                    // ")" lies below "."
      {"a,", "a,"},                      // "," lies below "."
      {"path/", "path/."},               // "/" lies just above "."
      {"Сбой", "Сбой."},                 // Cyrillic letters
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ui::ErrorReportText(c.in), c.out) << c.in;

  fakes::HeadlessHost host;
  ui::Application app(host);
  app.SetTitle("Velmora");
  app.Guard([] { throw std::runtime_error("Registry key is locked"); });
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "Registry key is locked.");
  EXPECT_EQ(host.boxes[0].title, "Velmora");
  EXPECT_EQ(host.boxes[0].flags, ui::kMbIconError);
}

struct Window : ui::Form {
  using ui::Form::Form;
};

TEST(Components, ContainersDisableTheirChildren) {
  fakes::HeadlessHost host;
  ui::Application app(host);
  auto* form = app.CreateForm<Window>("Form1");
  auto* panel = form->Create<ui::Panel>(form, "TabComButtons");
  auto* group = form->Create<ui::GroupBox>(panel, "GroupBoxSafe");
  auto* box = form->Create<ui::CheckBox>(group, "CheckBoxFlushDNS");
  EXPECT_TRUE(box->EffectivelyEnabled());
  panel->SetEnabled(false);
  EXPECT_TRUE(box->Enabled());
  EXPECT_FALSE(box->EffectivelyEnabled());
  panel->SetEnabled(true);
  group->SetEnabled(false);
  EXPECT_FALSE(box->EffectivelyEnabled());
  EXPECT_EQ(box->Parent(), group);
  EXPECT_EQ(form->Find("CheckBoxFlushDNS"), box);
  EXPECT_EQ(form->Find("checkboxflushdns"), nullptr);  // names are exact
}

TEST(Components, TextPropertiesByNameFollowTheKind) {
  fakes::HeadlessHost host;
  ui::Application app(host);
  auto* form = app.CreateForm<Window>("Form1");
  auto* button = form->Create<ui::Button>(form, "ButtonPing");
  auto* edit = form->Create<ui::Edit>(form, "EditIP");
  auto* menu = form->CreateNonVisual<ui::PopupMenu>("PopupMenuProfile");
  struct Case {
    ui::Component* c;
    const char* property;
    bool has;
  } cases[] = {{button, "Caption", true}, {button, "Hint", true},   {button, "Text", false},
               {edit, "Text", true},      {edit, "TextHint", true}, {edit, "Caption", false},
               {menu, "Caption", false},  {menu, "Hint", false},    {form, "Caption", true},
               {button, "Title", false}};
  for (const Case& c : cases) {
    EXPECT_EQ(c.c->HasTextProperty(c.property), c.has) << c.c->Name() << "." << c.property;
    EXPECT_EQ(c.c->SetTextProperty(c.property, "x"), c.has);
    EXPECT_EQ(c.c->GetTextProperty(c.property).has_value(), c.has);
  }
  EXPECT_EQ(edit->Text(), "x");
  EXPECT_EQ(button->Caption(), "x");
}

TEST(Components, RadioMenuItemsKeepOneCheckPerGroup) {
  fakes::HeadlessHost host;
  ui::Application app(host);
  auto* form = app.CreateForm<Window>("Form1");
  auto* menu = form->CreateNonVisual<ui::PopupMenu>("Menu");
  ui::MenuItem* items[3];
  for (int i = 0; i < 3; ++i) {
    items[i] = form->Create<ui::MenuItem>(menu, "Item" + std::to_string(i));
    items[i]->SetRadioItem(true);
    items[i]->SetAutoCheck(true);
  }
  int clicks = 0;
  items[2]->OnClick = [&] { ++clicks; };
  items[0]->SetChecked(true);
  items[2]->Click();
  EXPECT_FALSE(items[0]->Checked());
  EXPECT_TRUE(items[2]->Checked());
  EXPECT_EQ(clicks, 1);
}

TEST(Components, SynchronizeFromAWorkerRunsOnTheUiThreadInOrder) {
  fakes::HeadlessHost host;
  ui::Application app(host);
  std::vector<int> order;
  std::thread::id ui_thread = std::this_thread::get_id();
  bool all_on_ui = true;
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i)
      app.Synchronize([&, i] {
        all_on_ui = all_on_ui && std::this_thread::get_id() == ui_thread;
        order.push_back(i);
      });
  });
  while (order.size() < 3) app.ProcessMessages();
  worker.join();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
  EXPECT_TRUE(all_on_ui);
}

}  // namespace

namespace {

TEST(Components, ComboBoxSelectionAndUserChange) {
  fakes::HeadlessHost host;
  ui::Application app(host);
  auto* form = app.CreateForm<Window>("Form1");
  auto* combo = form->Create<ui::ComboBox>(form, "ComboBoxDNS");
  int changes = 0;
  combo->OnChange = [&] { ++changes; };
  combo->SetItems({"Alpha", "Beta"});
  EXPECT_EQ(combo->ItemIndex(), -1);
  combo->SetItemIndex(1);
  EXPECT_EQ(combo->Text(), "Beta");
  EXPECT_EQ(changes, 0) << "a program's own change runs no handler";
  combo->UserSelected(0);
  EXPECT_EQ(combo->Text(), "Alpha");
  EXPECT_EQ(changes, 1);
  combo->SetItemIndex(7);
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(combo->GetTextProperty("Text"), "");
  EXPECT_FALSE(combo->HasTextProperty("Caption"));
}

TEST(Components, ListViewKeepsTheSelectionOnItsRowWhenRowsGo) {
  fakes::HeadlessHost host;
  ui::Application app(host);
  auto* form = app.CreateForm<Window>("Form1");
  auto* list = form->Create<ui::ListView>(form, "ListViewDNS");
  for (const char* name : {"a", "b", "c", "d"}) list->AddRow({name, {std::string(name) + "1"}, false});
  struct Case {
    int selected, deleted;
    const char* expected_row;  // caption of the selected row after, or null
  } cases[] = {{2, 0, "c"}, {2, 2, "d"}, {3, 3, "c"}, {1, 3, "b"}};
  for (const Case& c : cases) {
    list->Clear();
    for (const char* name : {"a", "b", "c", "d"}) list->AddRow({name, {}, false});
    list->SetSelected(c.selected);
    list->DeleteRow(c.deleted);
    ASSERT_GE(list->Selected(), 0);
    EXPECT_EQ(list->Rows()[list->Selected()].caption, c.expected_row) << c.selected << "/" << c.deleted;
  }
  list->SetChecked(1, true);
  EXPECT_TRUE(list->Rows()[1].checked);
  list->Clear();
  EXPECT_EQ(list->Selected(), -1);
}

}  // namespace
