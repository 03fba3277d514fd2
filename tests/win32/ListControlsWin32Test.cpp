// Drop-down lists and list views: the model and the real controls stay in step.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "ui/Application.h"
#include "ui/Controls.h"
#include "ui/win32/Win32Host.h"
#include "win32/Win32TestSupport.h"

namespace {

struct TestWindow : ui::Form {
  explicit TestWindow(ui::Application& app) : ui::Form(app, "FormLists") {
    SetClientSize(400, 300);
    combo = Create<ui::ComboBox>(this, "ComboBoxDNS");
    combo->SetBounds({10, 10, 200, 21});
    list = Create<ui::ListView>(this, "ListViewNetworkProfiles");
    list->SetCheckBoxes(true);
    list->SetBounds({10, 40, 380, 250});
    list->SetColumns({{"№", 40}, {"Название", 150}, {"Профиль", 100}});
  }
  ui::ComboBox* combo;
  ui::ListView* list;
};

TEST(ListControlsWin32, ModelAndControlsStayInStep) {
  ASSERT_TRUE(win32_test::HaveDisplay());
  ui::win32::Win32Host host;
  ui::Application app(host);
  auto* form = app.CreateForm<TestWindow>();
  HWND window = host.WindowOf(*form);
  HWND combo = win32_test::FindControl(window, L"ComboBoxDNS");
  HWND list = win32_test::FindControl(window, L"ListViewNetworkProfiles");
  ASSERT_NE(combo, nullptr);
  ASSERT_NE(list, nullptr);

  int changes = 0;
  form->combo->OnChange = [&] { ++changes; };
  form->combo->SetItems({"Alpha", "Beta", "Gamma"});
  form->combo->SetItemIndex(2);
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
  // The user picks "Beta".
  SendMessageW(combo, CB_SETCURSEL, 1, 0);
  SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  EXPECT_EQ(form->combo->Text(), "Beta");
  EXPECT_EQ(changes, 1);

  for (const char* name : {"Дом", "Office", "Сеть 2"})
    form->list->AddRow({std::string(name) == "Дом" ? "01" : "0x", {name, "Частная", "HKEY_LOCAL_MACHINE", "\\key"}, false});
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(win32_test::ListCellText(list, 0, 1), L"Дом");
  EXPECT_EQ(win32_test::ListCellText(list, 2, 2), L"Частная");
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), 150);

  form->list->SetSelected(1);
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1);
  // The user ticks row 2 and selects row 0.
  ASSERT_TRUE(win32_test::ClickListCheckBox(list, 2));
  EXPECT_TRUE(form->list->Rows()[2].checked);
  EXPECT_TRUE(ListView_GetCheckState(list, 2));
  ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  EXPECT_EQ(form->list->Selected(), 0);

  form->list->DeleteRow(0);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(win32_test::ListCellText(list, 0, 1), L"Office");
  EXPECT_TRUE(ListView_GetCheckState(list, 1));
  form->list->Clear();
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
}

// A run that rewrites one cell at a time (the DNS test's time columns) has only that
// row painted again, not the whole list: on a long run a full repaint per cell costs
// more than the echo requests themselves.
TEST(ListControlsWin32, AChangedCellPaintsItsRowOnly) {
  ASSERT_TRUE(win32_test::HaveDisplay());
  ui::win32::Win32Host host;
  ui::Application app(host);
  auto* form = app.CreateForm<TestWindow>();
  HWND window = host.WindowOf(*form);
  HWND list = win32_test::FindControl(window, L"ListViewNetworkProfiles");
  ASSERT_NE(list, nullptr);
  for (int i = 0; i < 6; ++i) form->list->AddRow({std::to_string(i + 1), {"Сеть", "0", "", ""}, false});
  ShowWindow(window, SW_SHOW);
  win32_test::Pump();
  UpdateWindow(list);
  RECT pending{};
  ASSERT_FALSE(GetUpdateRect(list, &pending, FALSE)) << "everything painted before the change";

  ui::ListRow row = form->list->Rows()[3];
  row.sub_items[1] = "12 ms";
  form->list->SetRow(3, row);
  // The messages run (a series of changes ends there), all but the painting.
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, WM_PAINT - 1, PM_REMOVE) ||
         PeekMessageW(&msg, nullptr, WM_PAINT + 1, 0xFFFF, PM_REMOVE))
    DispatchMessageW(&msg);
  RECT item{};
  item.left = LVIR_BOUNDS;
  ASSERT_TRUE(SendMessageW(list, LVM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&item)));
  ASSERT_TRUE(GetUpdateRect(list, &pending, FALSE));
  EXPECT_GE(pending.top, item.top);
  EXPECT_LE(pending.bottom, item.bottom);
  UpdateWindow(list);
  EXPECT_EQ(win32_test::ListCellText(list, 3, 2), L"12 ms");
}

}  // namespace
