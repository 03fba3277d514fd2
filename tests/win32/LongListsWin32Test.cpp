// Long DNS lists in the real window: the whole list reaches the shown table, a second
// request during a load waits for it, and a close during a load ends it at once.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/MainForm.h"
#include "common/IniFile.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/Win32Host.h"
#include "win32/RealPlatform.h"
#include "win32/Win32TestSupport.h"

namespace {

constexpr int kRows = 20000;

std::string LongList(int rows) {
  std::string text = "[Ipv4_Default]\r\n";
  for (int i = 0; i < rows; ++i)
    text += "Server " + std::to_string(i) + "=10." + std::to_string(i / 65536 % 256) + "." +
            std::to_string(i / 256 % 256) + "." + std::to_string(i % 256) + ",10.0.0.1\r\n";
  return text;
}

// Holds Ctrl down for this thread's keyboard state while it lives.
class CtrlHeld {
 public:
  CtrlHeld() {
    GetKeyboardState(keys_);
    was_ = keys_[VK_CONTROL];
    keys_[VK_CONTROL] = 0x80;
    SetKeyboardState(keys_);
  }
  ~CtrlHeld() {
    keys_[VK_CONTROL] = was_;
    SetKeyboardState(keys_);
  }

 private:
  BYTE keys_[256]{};
  BYTE was_ = 0;
};

struct LongListsWin32 : ::testing::Test {
  win32_test::RealPlatform real;
  std::unique_ptr<ui::win32::Win32Host> host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* form = nullptr;
  HWND window = nullptr;
  HWND list = nullptr;
  std::string path;
  std::optional<std::vector<uint8_t>> saved_list;

  void SetUp() override {
    ASSERT_TRUE(win32_test::HaveDisplay()) << "the GUI tests run under Xvfb";
    host = std::make_unique<ui::win32::Win32Host>();
    application = std::make_unique<ui::Application>(*host);
    application->SetTitle("Velmora");
    // Where the window keeps its list, asked of a window made for that.
    path = application->CreateForm<app::TForm1>(real.services)->PortablePathDNS();
    saved_list = real.files.ReadFile(path);
    application.reset();
  }
  void TearDown() override {
    application.reset();
    host.reset();
    if (saved_list)
      real.files.WriteFile(path, *saved_list);
    else
      real.files.RemoveFile(path);
  }

  // Makes the main window over the list file as it stands (its creation fills the
  // table), shows it on the DNS test page and lets it paint.
  void Open() {
    host = std::make_unique<ui::win32::Win32Host>();
    application = std::make_unique<ui::Application>(*host);
    application->SetTitle("Velmora");
    form = application->CreateForm<app::TForm1>(real.services);
    window = host->WindowOf(*form);
    host->PeerOf(*form)->Show();
    form->ButtonDNSClick();
    win32_test::Pump();
    list = win32_test::FindControl(window, L"ListViewDNS");
    ASSERT_NE(list, nullptr);
    SetFocus(list);
  }
  int Shown() const { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const ui::ListRow& row : form->DnsTest().ListViewDNS->Rows()) names.push_back(row.caption);
    return names;
  }
  std::vector<std::string> FileNames() {
    std::vector<std::string> names;
    auto text = common::LoadTextFile(real.files, path, real.system.AnsiCodePage());
    if (!text) return names;
    for (const common::IniEntry& entry : common::IniFile::Parse(text->utf8).Entries("Ipv4_Default"))
      names.push_back(entry.key);
    return names;
  }
};

TEST_F(LongListsWin32, TwentyThousandRowsReachTheShownWindow) {
  ASSERT_TRUE(common::SaveTextFile(real.files, path, LongList(kRows), common::Encoding::Utf16LeBom, 1252));
  DWORD start = GetTickCount();
  Open();
  DWORD elapsed = GetTickCount() - start;
  std::printf("main window with %d DNS rows made, shown and painted in %lu ms\n", kRows,
              static_cast<unsigned long>(elapsed));
  EXPECT_TRUE(IsWindowVisible(window));
  ASSERT_EQ(Shown(), kRows);
  EXPECT_EQ(win32_test::ListCellText(list, 0, 0), L"Server 0");
  EXPECT_EQ(win32_test::ListCellText(list, kRows - 1, 0), L"Server 19999");
  EXPECT_EQ(win32_test::ListCellText(list, kRows - 1, 1), L"10.0.78.31");
  EXPECT_EQ(win32_test::ListCellText(list, kRows - 1, 3), L"0");
  // The last row scrolled into view is painted from the component.
  SendMessageW(list, LVM_ENSUREVISIBLE, kRows - 1, FALSE);
  win32_test::Pump();
  EXPECT_GE(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), kRows - 40);
  win32_test::SaveScreenshot(window, L"dns-long-list");
}

// Ctrl+F5 twice, and Ctrl+F5 then Ctrl+R, pressed before the first load has finished:
// the table ends with exactly the rows of the file.
TEST_F(LongListsWin32, ASecondRequestDuringALargeLoadEndsWithTheFilesRows) {
  struct Case {
    const char* what;
    WORD second_key;
  };
  for (const Case& c : {Case{"Ctrl+F5 twice", VK_F5}, Case{"Ctrl+F5, then Ctrl+R", 'R'}}) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(common::SaveTextFile(real.files, path, LongList(kRows), common::Encoding::Utf16LeBom, 1252));
    Open();
    ASSERT_EQ(Shown(), kRows);
    {
      CtrlHeld ctrl;
      // Both keys wait in the queue: the second is read while the first one's load
      // lets messages run.
      PostMessageW(list, WM_KEYDOWN, VK_F5, 0);
      PostMessageW(list, WM_KEYDOWN, c.second_key, 0);
      win32_test::Pump();
    }
    win32_test::Pump();
    const std::vector<std::string> file = FileNames();
    EXPECT_EQ(file.size(), c.second_key == 'R' ? 32u : static_cast<size_t>(kRows));
    EXPECT_EQ(Names(), file);
    EXPECT_EQ(Shown(), static_cast<int>(file.size()));
    if (!file.empty()) {
      EXPECT_EQ(win32_test::ListCellText(list, Shown() - 1, 0), std::wstring(file.back().begin(), file.back().end()));
    }
    application.reset();
  }
}

// A close request while a long refresh runs ends the load at its next row, and the
// message loop at once.
HWND g_close = nullptr;
DWORD g_close_at = 0;
void CALLBACK CloseMainWindow(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  g_close_at = GetTickCount();
  PostMessageW(g_close, WM_CLOSE, 0, 0);
}

TEST_F(LongListsWin32, ACloseDuringALargeLoadEndsItAtOnce) {
  ASSERT_TRUE(common::SaveTextFile(real.files, path, LongList(kRows), common::Encoding::Utf16LeBom, 1252));
  Open();
  // A list long enough that its load takes a while whatever the machine.
  g_close = window;
  g_close_at = 0;
  DWORD ended = 0;
  {
    CtrlHeld ctrl;
    PostMessageW(list, WM_KEYDOWN, VK_F5, 0);
    SetTimer(nullptr, 0, 1, CloseMainWindow);
    // The message loop, until the window has closed. (Hiding the window afterwards is
    // left out: without a window manager Wine waits for that up to two seconds.)
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    ended = GetTickCount();
  }
  ASSERT_NE(g_close_at, 0u) << "the close was asked for";
  std::printf("message loop ended %lu ms after the close request, %zu of %d rows loaded\n",
              static_cast<unsigned long>(ended - g_close_at), form->DnsTest().ListViewDNS->Rows().size(), kRows);
  EXPECT_LT(form->DnsTest().ListViewDNS->Rows().size(), static_cast<size_t>(kRows)) << "the load was cut short";
  EXPECT_LT(ended - g_close_at, 1000u);
  EXPECT_TRUE(application->Terminated());
}

}  // namespace
