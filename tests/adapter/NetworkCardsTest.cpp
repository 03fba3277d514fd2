#include <gtest/gtest.h>

#include "app/MainForm.h"
#include "fakes/FakePlatform.h"
#include "fakes/HeadlessHost.h"

namespace {

using platform::RegRoot;
constexpr char kCards[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";

struct Cards : ::testing::Test, fakes::FakePlatform {
  fakes::HeadlessHost host;
  std::unique_ptr<ui::Application> application;

  void AddCard(const std::string& subkey, const std::string& description, const std::string& service) {
    registry.SetString(RegRoot::LocalMachine, std::string(kCards) + "\\" + subkey, "Description", description);
    registry.SetString(RegRoot::LocalMachine, std::string(kCards) + "\\" + subkey, "ServiceName", service);
  }
  app::TForm1* Open() {
    application = std::make_unique<ui::Application>(host);
    application->SetTitle("Velmora");
    return application->CreateForm<app::TForm1>(services);
  }
};

TEST_F(Cards, ListsDescriptionsInRegistryOrderWithTheFirstSelected) {
  AddCard("7", "Realtek PCIe GbE", "{7}");
  AddCard("12", "Intel(R) Wi-Fi 6", "{12}");
  AddCard("2", "Hyper-V Virtual Ethernet", "{2}");
  app::TForm1* form = Open();
  // Subkeys come in the registry's order: "12" sorts before "2" and "7".
  EXPECT_EQ(form->Adapter().ComboBoxEditInterfaces->Items(),
            (std::vector<std::string>{"Intel(R) Wi-Fi 6", "Hyper-V Virtual Ethernet", "Realtek PCIe GbE"}));
  EXPECT_EQ(form->Adapter().ComboBoxEditInterfaces->ItemIndex(), 0);
  EXPECT_FALSE(form->Adapter().EditInterfaces->Visible());
}

TEST_F(Cards, EqualDescriptionsGiveTheLaterCardsServiceName) {
  AddCard("1", "USB Ethernet", "{first}");
  AddCard("2", "USB Ethernet", "{second}");
  AddCard("3", "Other", "{third}");
  app::TForm1* form = Open();
  ASSERT_EQ(form->Adapter().ComboBoxEditInterfaces->Items().size(), 3u);
  for (int pick : {0, 1}) {
    form->Adapter().EditInterfaces->SetText("");
    form->Adapter().ComboBoxEditInterfaces->UserSelected(pick);
    EXPECT_EQ(form->Adapter().EditInterfaces->Text(), "{second}") << pick;
  }
  form->Adapter().ComboBoxEditInterfaces->UserSelected(2);
  EXPECT_EQ(form->Adapter().EditInterfaces->Text(), "{third}");
}

TEST_F(Cards, NoCardsOrNoElevationLeaveTheListEmptyWithoutAnError) {
  for (bool elevated : {true, false}) {
    if (!elevated) AddCard("1", "Card", "{1}");
    registry.elevated = elevated;
    app::TForm1* form = Open();
    EXPECT_TRUE(form->Adapter().ComboBoxEditInterfaces->Items().empty());
    EXPECT_EQ(form->Adapter().ComboBoxEditInterfaces->ItemIndex(), -1);
    form->Adapter().ComboBoxEditInterfacesChange();
    EXPECT_EQ(form->Adapter().EditInterfaces->Text(), "");
    EXPECT_TRUE(host.boxes.empty());
  }
}

TEST_F(Cards, AValueOfTheWrongTypeEndsTheListWhereItStands) {
  AddCard("1", "First", "{1}");
  registry.SetDWord(RegRoot::LocalMachine, std::string(kCards) + "\\2", "Description", 5);
  AddCard("3", "Third", "{3}");
  app::TForm1* form = Open();
  EXPECT_EQ(form->Adapter().ComboBoxEditInterfaces->Items(), std::vector<std::string>{"First"});
}

}  // namespace
