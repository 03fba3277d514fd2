#include <gtest/gtest.h>

#include <optional>

#include "shell/Catalogue.h"
#include "app/MainForm.h"
#include "fakes/FakePlatform.h"
#include "fakes/HeadlessHost.h"

namespace {

using platform::RegRoot;
constexpr char kProfiles[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkList\\Profiles";

struct Profile {
  std::string guid;
  std::optional<std::string> name;
  std::optional<std::string> description;
  std::optional<uint32_t> category;
};

struct Profiles : ::testing::Test, fakes::FakePlatform {
  fakes::HeadlessHost host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* form = nullptr;

  static std::string KeyOf(const std::string& guid) { return std::string(kProfiles) + "\\" + guid; }
  void Add(const Profile& p) {
    registry.CreateKey(RegRoot::LocalMachine, KeyOf(p.guid));
    if (p.name) registry.SetString(RegRoot::LocalMachine, KeyOf(p.guid), "ProfileName", *p.name);
    if (p.description) registry.SetString(RegRoot::LocalMachine, KeyOf(p.guid), "Description", *p.description);
    if (p.category) registry.SetDWord(RegRoot::LocalMachine, KeyOf(p.guid), "Category", *p.category);
  }
  // Profiles {01}, {02}, ... named "Net 1", "Net 2", ..., all private.
  void AddNumbered(int count) {
    for (int i = 1; i <= count; ++i) {
      char guid[16];
      std::snprintf(guid, sizeof guid, "{%04d}", i);
      Add({guid, "Net " + std::to_string(i), "Desc " + std::to_string(i), 1u});
    }
  }
  void ClearMachineHive() { registry.Lookup(RegRoot::LocalMachine, "", false)->children.clear(); }
  bool Exists(const std::string& guid) const { return registry.KeyExists(RegRoot::LocalMachine, KeyOf(guid)); }
  std::string NameIn(const std::string& guid) const {
    auto* v = registry.Find(RegRoot::LocalMachine, KeyOf(guid), "ProfileName");
    return v ? v->text : "<none>";
  }

  // Opens the main window and shows the profiles page as its navigation button does.
  app::TForm1* Open() {
    application = std::make_unique<ui::Application>(host);
    application->SetTitle("Velmora");
    form = application->CreateForm<app::TForm1>(services);
    form->ButtonNetworkProfiles->Click();
    return form;
  }
  ui::ListView& List() const { return *form->Profiles().ListViewNetworkProfiles; }
  std::vector<std::string> Captions() const {
    std::vector<std::string> captions;
    for (const auto& row : List().Rows()) captions.push_back(row.caption);
    return captions;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& row : List().Rows()) names.push_back(row.sub_items.at(0));
    return names;
  }
  std::string Status() const { return form->Profiles().StatusBarProfile->SimpleText(); }
  int Checked() const {
    int n = 0;
    for (const auto& row : List().Rows()) n += row.checked;
    return n;
  }
  // Runs a handler as the window does: an escaping error goes to the error report.
  void Run(const std::function<void()>& handler) { application->Guard(handler); }
};

TEST_F(Profiles, RowsCarryNumberNameDescriptionCategoryAndTheHiddenKey) {
  Add({"{B-PUBLIC}", "Cafe", "Free Wi-Fi", 0u});
  Add({"{A-PRIVATE}", "Дом", std::nullopt, 1u});
  Add({"{C-DOMAIN}", "corp.example", "Corporate", 2u});
  Open();

  // Registry order (sorted by key name), numbered from 01.
  EXPECT_EQ(Captions(), (std::vector<std::string>{"01", "02", "03"}));
  const std::string root = "HKEY_LOCAL_MACHINE";
  const std::string path = std::string("\\") + kProfiles + "\\";
  EXPECT_EQ(List().Rows()[0].sub_items,
            (std::vector<std::string>{"Дом", "", "Частная", root, path + "{A-PRIVATE}"}));
  EXPECT_EQ(List().Rows()[1].sub_items,
            (std::vector<std::string>{"Cafe", "Free Wi-Fi", "Общедоступная", root, path + "{B-PUBLIC}"}));
  EXPECT_EQ(List().Rows()[2].sub_items,
            (std::vector<std::string>{"corp.example", "Corporate", "", root, path + "{C-DOMAIN}"}));
  EXPECT_EQ(Status(), "Элементов:  3");
  EXPECT_EQ(List().Selected(), 0);
  EXPECT_EQ(Checked(), 0);
  EXPECT_EQ(form->Profiles().USERName->Text(), "user");
  EXPECT_EQ(form->Profiles().ComputerName->Text(), "desktop-1");
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(Profiles, NothingToListGivesAnEmptyListCountZeroAndNoMessage) {
  struct Case {
    const char* what;
    bool profiles_key;
    int profiles;
    bool elevated;
  } cases[] = {
      {"no Profiles key", false, 0, true},
      {"empty Profiles key", true, 0, true},
      {"not elevated", true, 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClearMachineHive();
    if (c.profiles_key) registry.CreateKey(RegRoot::LocalMachine, kProfiles);
    AddNumbered(c.profiles);
    registry.elevated = c.elevated;
    host.boxes.clear();
    Open();
    EXPECT_TRUE(List().Rows().empty());
    EXPECT_EQ(List().Selected(), -1);
    EXPECT_EQ(Status(), "Элементов:  0");
    EXPECT_TRUE(host.boxes.empty());
  }
}

TEST_F(Profiles, NumbersHaveAtLeastTwoDigitsAndAreNeverCut) {
  AddNumbered(100);
  Open();
  ASSERT_EQ(List().Rows().size(), 100u);
  EXPECT_EQ(List().Rows()[0].caption, "01");
  EXPECT_EQ(List().Rows()[8].caption, "09");
  EXPECT_EQ(List().Rows()[98].caption, "99");
  EXPECT_EQ(List().Rows()[99].caption, "100");
  EXPECT_EQ(Status(), "Элементов:  100");
}

TEST_F(Profiles, BadKeysAndValuesNeitherStopTheListNorShiftTheHiddenCells) {
  Add({"{1}", "First", "d1", 1u});
  Add({"{2}", "Locked", "d2", 1u});
  Add({"{3}", std::nullopt, std::nullopt, std::nullopt});  // a bare key
  Add({"{4}", "Text category", "d4", std::nullopt});
  registry.SetString(RegRoot::LocalMachine, KeyOf("{4}"), "Category", "1");
  Add({"{5}", std::nullopt, "d5", 7u});
  registry.SetDWord(RegRoot::LocalMachine, KeyOf("{5}"), "ProfileName", 42);
  Add({"{6}", "Last", "d6", 0u});
  registry.fail_open.insert("HKLM\\" + KeyOf("{2}"));
  Open();

  // The key that does not open is left out and uses up no number.
  EXPECT_EQ(Captions(), (std::vector<std::string>{"01", "02", "03", "04", "05"}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"First", "", "Text category", "", "Last"}));
  for (const auto& row : List().Rows()) {
    ASSERT_EQ(row.sub_items.size(), 5u);
    EXPECT_EQ(row.sub_items[3], "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(row.sub_items[4].rfind("\\SOFTWARE\\", 0), 0u) << row.sub_items[4];
  }
  EXPECT_EQ(List().Rows()[1].sub_items[2], "");  // no Category at all
  EXPECT_EQ(List().Rows()[2].sub_items[2], "");  // Category stored as text
  EXPECT_EQ(List().Rows()[3].sub_items[2], "");  // an unknown number
  EXPECT_EQ(List().Rows()[4].sub_items[2], "Общедоступная");
  EXPECT_EQ(Status(), "Элементов:  5");
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(Profiles, TextsComeFromTheCatalogueAsItStandsAtTheTime) {
  AddNumbered(2);
  Open();
  form->FindAs<ui::MenuItem>("LangElements")->SetCaption("Items: ");
  form->FindAs<ui::MenuItem>("LangPrivate")->SetCaption("Private");
  form->Profiles().UpdateNet->Click();
  EXPECT_EQ(Status(), "Items:  2");
  EXPECT_EQ(List().Rows()[0].sub_items[2], "Private");
}

TEST_F(Profiles, UserAndComputerNames) {
  system.user_name = std::nullopt;
  system.computer_name = "host-with-a-long-dns-name";
  Open();
  EXPECT_EQ(form->Profiles().USERName->Text(), "Unknown");
  EXPECT_EQ(form->Profiles().ComputerName->Text(), "host-with-a-long-dns-name");

  // A computer name that cannot be read is an error the user sees; the box stays empty.
  system.user_name = "admin";
  system.computer_name = std::nullopt;
  Run([&] { form->ButtonNetworkProfiles->Click(); });
  EXPECT_EQ(form->Profiles().USERName->Text(), "admin");
  EXPECT_EQ(form->Profiles().ComputerName->Text(), "");
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].title, "Velmora");
  EXPECT_EQ(host.boxes[0].flags, ui::kMbOk | ui::kMbIconError);
}

TEST_F(Profiles, ARefreshDuringALoadWaitsAndThenRebuildsOnce) {
  AddNumbered(3);
  application = std::make_unique<ui::Application>(host);
  form = application->CreateForm<app::TForm1>(services);
  // While the first row is shown, a profile appears and the user clicks Refresh.
  host.Post([&] {
    Add({"{0000-new}", "New", "", 1u});
    form->Profiles().UpdateNet->Click();
  });
  form->Profiles().LoadNet();
  EXPECT_EQ(Captions(), (std::vector<std::string>{"01", "02", "03", "04"}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"New", "Net 1", "Net 2", "Net 3"}));
  EXPECT_EQ(Status(), "Элементов:  4");
  EXPECT_EQ(List().Selected(), 0);
}

TEST_F(Profiles, RenameWritesOnlyANewNameAndAlwaysRebuilds) {
  struct Case {
    const char* what;
    std::optional<std::string> answer;  // nullopt: Cancel
    std::string stored;                 // ProfileName afterwards
    bool unchanged_message;
  } cases[] = {
      {"new name", "Office Wi-Fi", "Office Wi-Fi", false},
      {"letter case only", "office", "office", false},
      {"same name", "Office", "Office", true},
      {"empty answer", "", "Office", true},
      {"cancel", std::nullopt, "Office", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    registry.SetString(RegRoot::LocalMachine, KeyOf("{1}"), "ProfileName", "Office");
    registry.SetDWord(RegRoot::LocalMachine, KeyOf("{1}"), "Category", 1);
    Add({"{2}", "Home", "", 0u});
    Open();
    List().SetChecked(1, true);
    host.boxes.clear();
    host.inputs.clear();
    host.input_answers = {c.answer};
    form->Profiles().RenameNet->Click();
    ASSERT_EQ(host.inputs.size(), 1u);
    EXPECT_EQ(host.inputs[0], "Переименовать сеть|Название сети: |Office");
    EXPECT_EQ(NameIn("{1}"), c.stored);
    if (c.unchanged_message) {
      ASSERT_EQ(host.boxes.size(), 1u);
      EXPECT_EQ(host.boxes[0].text, "Название не изменено");
      EXPECT_EQ(host.boxes[0].flags, ui::kMbOk);
    } else {
      EXPECT_TRUE(host.boxes.empty());
    }
    EXPECT_EQ(Names()[0], c.stored);
    EXPECT_EQ(Checked(), 0) << "the list was rebuilt";
    EXPECT_EQ(List().Selected(), 0);
  }
}

TEST_F(Profiles, RenameThatCannotWriteReportsTheValueAndLeavesTheList) {
  Add({"{1}", "Office", "", 1u});
  Open();
  List().SetChecked(0, true);
  registry.fail_writes = true;
  host.input_answers = {std::string("Renamed")};
  Run([&] { form->Profiles().RenameProfilesMenu->Click(); });
  EXPECT_EQ(NameIn("{1}"), "Office");
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "Failed to set data for 'ProfileName'");
  EXPECT_EQ(host.boxes[0].title, "Velmora");
  EXPECT_EQ(Checked(), 1) << "the list is not rebuilt after the failure";
}

TEST_F(Profiles, DeleteAsksWithTheNameInBracketsAndRebuildsOnEitherAnswer) {
  for (int answer : {ui::kIdNo, ui::kIdYes}) {
    SCOPED_TRACE(answer);
    Add({"{1}", "Cafe", "", 0u});
    Add({"{2}", "My Network 2", "", 1u});
    Open();
    List().SetSelected(1);
    List().SetChecked(0, true);
    host.boxes.clear();
    host.box_answers = {answer};
    (answer == ui::kIdYes ? form->Profiles().DeleteNet : static_cast<ui::Component*>(form->Profiles().DelProfilesMenu))->Click();
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, "Удалить [ My Network 2 ] ?");
    EXPECT_EQ(host.boxes[0].title, "Внимание!");
    EXPECT_EQ(host.boxes[0].flags, 0x24u);
    EXPECT_EQ(host.boxes[0].owner, "Form1");
    EXPECT_EQ(Exists("{2}"), answer != ui::kIdYes);
    EXPECT_TRUE(Exists("{1}"));
    EXPECT_EQ(List().Rows().size(), answer == ui::kIdYes ? 1u : 2u);
    EXPECT_EQ(Checked(), 0);
    EXPECT_EQ(List().Selected(), 0);
  }
}

TEST_F(Profiles, ADomainProfileIsRenamedAndDeletedThroughItsHiddenKey) {
  Add({"{1}", "Home", "", 1u});
  Add({"{2}", "corp.example", "", 2u});
  Open();
  List().SetSelected(1);
  host.input_answers = {std::string("Corporate LAN")};
  form->Profiles().RenameNet->Click();
  EXPECT_EQ(NameIn("{2}"), "Corporate LAN");
  EXPECT_EQ(List().Rows()[1].sub_items[2], "");

  List().SetSelected(1);
  host.box_answers = {ui::kIdYes};
  form->Profiles().DeleteNet->Click();
  EXPECT_FALSE(Exists("{2}"));
  EXPECT_TRUE(Exists("{1}"));
}

TEST_F(Profiles, DeleteAllRemovesEveryListedProfileAfterOneQuestion) {
  Add({"{1}", "Home", "", 1u});
  Add({"{2}", "corp.example", "", 2u});
  Add({"{3}", "Cafe", "", 0u});
  Open();
  List().SetChecked(2, true);

  host.box_answers = {ui::kIdNo};
  form->Profiles().DeleteNetAll->Click();
  EXPECT_TRUE(Exists("{1}") && Exists("{2}") && Exists("{3}"));
  EXPECT_EQ(Checked(), 0) << "No still rebuilds the list";

  host.box_answers = {ui::kIdYes};
  form->Profiles().DeleteNetAll->Click();
  ASSERT_EQ(host.boxes.size(), 2u);
  for (const auto& box : host.boxes) {
    EXPECT_EQ(box.text, "Удалить все Профили?");
    EXPECT_EQ(box.title, "Внимание!");
    EXPECT_EQ(box.flags, 0x24u);
  }
  EXPECT_FALSE(Exists("{1}") || Exists("{2}") || Exists("{3}"));
  EXPECT_TRUE(registry.KeyExists(RegRoot::LocalMachine, kProfiles));
  EXPECT_TRUE(List().Rows().empty());
  EXPECT_EQ(Status(), "Элементов:  0");
}

TEST_F(Profiles, ADeleteTheSystemRefusesShowsTheProfileAgain) {
  AddNumbered(3);
  // A key with a subkey cannot be deleted by the single-key delete.
  registry.CreateKey(RegRoot::LocalMachine, KeyOf("{0002}") + "\\Child");
  Open();
  host.box_answers = {ui::kIdYes};
  form->Profiles().DeleteNetAll->Click();
  EXPECT_EQ(Names(), std::vector<std::string>{"Net 2"});
  EXPECT_EQ(Captions(), std::vector<std::string>{"01"});
  EXPECT_TRUE(host.boxes.size() == 1u) << "only the question, no error";
}

TEST_F(Profiles, DeleteMarkedRemovesExactlyTheMarkedProfiles) {
  struct Case {
    const char* what;
    std::vector<int> marked;
    std::vector<std::string> left;
  } cases[] = {
      {"first and last", {0, 4}, {"Net 2", "Net 3", "Net 4"}},
      {"adjacent in the middle", {1, 2}, {"Net 1", "Net 4", "Net 5"}},
      {"none", {}, {"Net 1", "Net 2", "Net 3", "Net 4", "Net 5"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClearMachineHive();
    AddNumbered(5);
    Open();
    for (int i : c.marked) List().SetChecked(i, true);
    host.boxes.clear();
    host.box_answers = {ui::kIdYes};
    form->Profiles().DelSelectedProfilesMenu->Click();
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, "Удалить все Профили?");
    EXPECT_EQ(host.boxes[0].title, "Внимание!");
    EXPECT_EQ(Names(), c.left);
    EXPECT_EQ(Checked(), 0);
    for (int i : c.marked) EXPECT_FALSE(Exists(std::string("{000") + std::to_string(i + 1) + "}"));
  }
}

TEST_F(Profiles, SelectAllThenDeleteMarkedDeletesWhatDeleteAllDeletes) {
  Add({"{1}", "Home", "", 1u});
  Add({"{2}", "corp.example", "", 2u});
  Add({"{3}", "Cafe", "", 0u});
  Open();
  form->Profiles().ProfilesCheclAllMenu->Click();
  EXPECT_EQ(Checked(), 3);
  form->Profiles().ProfilesUnCheclAllMenu->Click();
  EXPECT_EQ(Checked(), 0);
  form->Profiles().ProfilesCheclAllMenu->Click();
  host.box_answers = {ui::kIdYes};
  form->Profiles().DelSelectedProfilesMenu->Click();
  EXPECT_FALSE(Exists("{1}") || Exists("{2}") || Exists("{3}"));
  EXPECT_TRUE(List().Rows().empty());
}

TEST_F(Profiles, WithoutASelectedRowTheHandlersDoNothing) {
  AddNumbered(3);
  Open();
  List().SetSelected(-1);
  form->Profiles().ProfilesCheclAllMenu->Click();  // marks need no selection
  host.box_answers = {ui::kIdYes, ui::kIdYes, ui::kIdYes};
  host.input_answers = {std::string("X")};
  for (ui::Component* c : std::initializer_list<ui::Component*>{
           form->Profiles().RenameNet, form->Profiles().RenameProfilesMenu, form->Profiles().DeleteNet, form->Profiles().DelProfilesMenu,
           form->Profiles().DeleteNetAll, form->Profiles().DelSelectedProfilesMenu}) {
    SCOPED_TRACE(c->Name());
    c->Click();
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_TRUE(host.inputs.empty());
    EXPECT_EQ(Checked(), 3) << "no rebuild";
  }
  form->Profiles().DeleteKey();
  for (const char* guid : {"{0001}", "{0002}", "{0003}"}) EXPECT_TRUE(Exists(guid));
}

TEST_F(Profiles, ARefreshDuringADeleteWalkWaitsForTheWalk) {
  AddNumbered(4);
  Open();
  form->Profiles().ProfilesCheclAllMenu->Click();
  List().SetChecked(1, false);
  // The user clicks Refresh and Rename while the marked rows go.
  host.Post([&] {
    form->Profiles().UpdateNet->Click();
    form->Profiles().RenameNet->Click();
  });
  host.box_answers = {ui::kIdYes};
  form->Profiles().DelSelectedProfilesMenu->Click();
  EXPECT_EQ(Names(), std::vector<std::string>{"Net 2"});
  EXPECT_TRUE(host.inputs.empty()) << "no rename starts during the walk";
  EXPECT_EQ(Status(), "Элементов:  1");
}

}  // namespace

namespace {

// A registry whose every open and delete takes a while on the fake clock.
class SlowRegistry : public platform::Registry {
 public:
  SlowRegistry(platform::Registry& inner, fakes::FakeClock& clock, uint32_t ms) : inner_(inner), clock_(clock), ms_(ms) {}
  std::unique_ptr<platform::RegistryKey> Open(RegRoot root, const std::string& path, uint32_t access,
                                              bool create) override {
    clock_.ticks += ms_;
    return inner_.Open(root, path, access, create);
  }
  bool DeleteKey(RegRoot root, const std::string& path, uint32_t view) override {
    clock_.ticks += ms_;
    return inner_.DeleteKey(root, path, view);
  }

 private:
  platform::Registry& inner_;
  fakes::FakeClock& clock_;
  uint32_t ms_;
};

TEST_F(Profiles, TheWindowRepaintsAfterTheFirstRowAndThenAtLeastEvery25Milliseconds) {
  AddNumbered(10);
  struct Case {
    uint32_t ms_per_key;
    int load_repaints;  // rows 1..10 each take one open
  } cases[] = {{0, 1}, {10, 4}, {30, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ms_per_key);
    SlowRegistry slow(registry, clock, c.ms_per_key);
    shell::Services slow_services{slow, system, versions, files, processes, clock, wmi, echo, http};
    application = std::make_unique<ui::Application>(host);
    form = application->CreateForm<app::TForm1>(slow_services);
    int before = host.process_messages_calls;
    form->Profiles().LoadNet();
    EXPECT_EQ(host.process_messages_calls - before, c.load_repaints);
    EXPECT_EQ(List().Rows().size(), 10u);

    form->Profiles().ProfilesCheclAllMenu->Click();
    before = host.process_messages_calls;
    host.box_answers = {ui::kIdNo};
    form->Profiles().DelSelectedProfilesMenu->Click();  // No: only the rebuild
    EXPECT_EQ(host.process_messages_calls - before, c.load_repaints);
  }
  // The walk of a delete: one repaint per removed row at 30 ms a key.
  SlowRegistry slow(registry, clock, 30);
  shell::Services slow_services{slow, system, versions, files, processes, clock, wmi, echo, http};
  application = std::make_unique<ui::Application>(host);
  form = application->CreateForm<app::TForm1>(slow_services);
  form->Profiles().LoadNet();
  int before = host.process_messages_calls;
  host.box_answers = {ui::kIdYes};
  form->Profiles().DeleteNetAll->Click();
  EXPECT_EQ(host.process_messages_calls - before, 10);
  EXPECT_TRUE(List().Rows().empty());
}

// Closing the window during a load ends it at the next row, and no reload follows.
TEST_F(Profiles, AClosingWindowEndsALoadAtTheNextRow) {
  AddNumbered(30);
  Open();
  ASSERT_EQ(List().Rows().size(), 30u);
  host.Post([&] {
    form->Profiles().UpdateNetClick();
    application->Terminate();
  });
  form->Profiles().UpdateNetClick();
  EXPECT_EQ(List().Rows().size(), 1u);
}

}  // namespace
