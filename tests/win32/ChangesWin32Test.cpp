// The change journal on the real registry and in real windows: the history window
// with entries, its undo, its pictures in both styles and in English; and Velmora.exe
// started with arguments, answering on a pipe without a window.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <iterator>

#include "changes/ChangesForm.h"
#include "common/FileInfoUtils.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeSystem.h"
#include "i18n/Translation.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32VersionResources.h"
#include "shell/Journal.h"
#include "theme/WindowsDarkMode.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/Win32Host.h"
#include "win32/RealPlatform.h"
#include "win32/Win32TestSupport.h"

namespace {

using platform::RegRoot;
using platform::win32::Narrow;
using platform::win32::Widen;
namespace access = platform::reg_access;

constexpr char kTestKey[] = "Software\\Velmora Journal Test";

struct Answer;
Answer RunExe(const std::wstring& arguments);

struct ChangesWin32 : ::testing::Test {
  win32_test::RealPlatform real;
  fakes::FakeProcesses processes;  // commands are recorded, never started
  std::wstring folder;
  std::unique_ptr<shell::Journal> journal;
  std::unique_ptr<ui::win32::Win32Host> host;
  std::unique_ptr<ui::Application> application;

  void SetUp() override {
    ASSERT_TRUE(win32_test::HaveDisplay()) << "the GUI tests run under Xvfb";
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder = std::wstring(temp) + L"velmora-journal-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    journal = std::make_unique<shell::Journal>(real.registry, processes, real.files, real.clock);
    journal->SetPath(Narrow(folder) + "\\Changes.txt");
    real.registry.DeleteKey(RegRoot::CurrentUser, std::string(kTestKey) + "\\Sub", 0);
    real.registry.DeleteKey(RegRoot::CurrentUser, kTestKey, 0);
    host = std::make_unique<ui::win32::Win32Host>();
    application = std::make_unique<ui::Application>(*host);
    application->SetTitle("Velmora");
    theme::RegisterStyles(application->Styles());
  }
  void TearDown() override {
    application.reset();
    host.reset();
    real.registry.DeleteKey(RegRoot::CurrentUser, std::string(kTestKey) + "\\Sub", 0);
    real.registry.DeleteKey(RegRoot::CurrentUser, kTestKey, 0);
    DeleteFileW((folder + L"\\Changes.txt").c_str());
    RemoveDirectoryW(folder.c_str());
  }
  std::unique_ptr<platform::RegistryKey> Key(const std::string& path) {
    return journal->Registry().Open(RegRoot::CurrentUser, path, access::kAllAccess, true);
  }
};

TEST_F(ChangesWin32, HistoryWindowUndoesOnTheRealRegistryAndIsPictured) {
  {
    auto base = real.registry.Open(RegRoot::CurrentUser, kTestKey, access::kAllAccess, true);
    ASSERT_TRUE(base);
    base->WriteDWord("ProxyEnable", 1);
    base->WriteBytes("List", platform::RegType::MultiString,
                     {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0});
  }
  journal->Begin("Применение прокси");
  Key(kTestKey)->WriteDWord("ProxyEnable", 0);
  Key(kTestKey)->WriteBytes("List", platform::RegType::MultiString, {'z', 0, 0, 0, 0, 0});
  Key(std::string(kTestKey) + "\\Sub")->WriteString("Made", "by the action");
  journal->End();
  journal->Begin("Ремонт сети");
  journal->Processes().Execute("C:\\windows\\system32\\netsh.exe", "winsock reset", true, 1000);
  journal->Processes().Execute("C:\\windows\\system32\\ipconfig.exe", "/flushdns", true, 1000);
  journal->End();
  ASSERT_EQ(journal->Entries().size(), 2u);

  auto* form = application->CreateForm<changes::TFormChanges>(*journal);
  host->PeerOf(*form)->Show();
  form->FormShow();
  win32_test::Pump();
  HWND window = host->WindowOf(*form);
  ASSERT_NE(window, nullptr);
  HWND list = win32_test::FindControl(window, L"ListViewChanges");
  ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(win32_test::ListCellText(list, 0, 1), L"Ремонт сети");
  EXPECT_EQ(win32_test::ListCellText(list, 0, 3), L"команд: 2");
  EXPECT_EQ(win32_test::ListCellText(list, 1, 1), L"Применение прокси");
  form->ListViewChanges->SetSelected(1);
  form->ListViewChangesSelectItem();
  win32_test::Pump();
  win32_test::SaveScreenshot(window, L"changes-light");
  theme::SetAppStyle(*application, theme::kDarkStyle);
  win32_test::Pump();
  win32_test::SaveScreenshot(window, L"changes-dark");
  theme::SetAppStyle(*application, theme::kLightStyle);
  win32_test::Pump();

  // English, from the language file the program ships.
  fakes::FakeFileSystem files;
  std::ifstream in(VELMORA_ENGLISH_FILE, std::ios::binary);
  files.SetFile("C:\\P\\Language\\English.ini",
                std::vector<uint8_t>{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
  files.SetFile("C:\\P\\Option.ini", "[Language]\r\nLanguage=English\r\n");
  i18n::TTranslation({files, 1251, "C:\\P\\", [] { return std::string("C:\\P\\Option.ini"); }, "Velmora", nullptr})
      .TranslateForm(*form, "Velmora");
  form->Reload();
  win32_test::Pump();
  EXPECT_EQ(win32_test::ControlText(win32_test::FindControl(window, L"ButtonChangesUndo")), L"Undo selected");
  const std::wstring details = win32_test::ControlText(win32_test::FindControl(window, L"MemoChangesDetails"));
  EXPECT_NE(details.find(L"Sub: key created"), std::wstring::npos) << Narrow(details);
  EXPECT_NE(details.find(L"Made: (none) -> \"by the action\""), std::wstring::npos) << Narrow(details);
  win32_test::SaveScreenshot(window, L"changes-english");

  // The undo through the window's button: the values read back as they were, the key
  // the action made is gone.
  form->ListViewChanges->SetSelected(1);
  form->ListViewChangesSelectItem();
  win32_test::Pump();
  SendMessageW(win32_test::FindControl(window, L"ButtonChangesUndo"), BM_CLICK, 0, 0);
  win32_test::Pump();
  EXPECT_EQ(win32_test::ControlText(win32_test::FindControl(window, L"LabelChangesStatus")),
            L"Entry 1 undone; every value read back as it was.");
  auto base = real.registry.Open(RegRoot::CurrentUser, kTestKey, access::kRead, false);
  ASSERT_TRUE(base);
  EXPECT_EQ(base->ReadDWord("ProxyEnable"), 1u);
  EXPECT_EQ(base->ValueType("List"), platform::RegType::MultiString);
  EXPECT_EQ(base->ReadBytes("List"), (std::vector<uint8_t>{'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}));
  EXPECT_TRUE(base->SubKeys().empty());
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
  win32_test::SaveScreenshot(window, L"changes-after-undo");
}

// Runs Velmora.exe with `arguments`, its standard output a pipe; the output and the
// exit code.
struct Answer {
  DWORD exit_code = 0xFFFFFFFF;
  std::string out;
  bool window = false;
};
Answer RunExe(const std::wstring& arguments) {
  Answer answer;
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, &inherit, 0)) return answer;
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = write;
  si.hStdError = write;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  const std::wstring exe = win32_test::ExeFolder() + L"Velmora.exe";
  std::wstring command = L"\"" + exe + L"\" " + arguments;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &info)) {
    CloseHandle(read);
    CloseHandle(write);
    return answer;
  }
  CloseHandle(write);
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got > 0) answer.out.append(buffer, got);
  CloseHandle(read);
  if (WaitForSingleObject(info.hProcess, 20000) == WAIT_OBJECT_0) GetExitCodeProcess(info.hProcess, &answer.exit_code);
  else TerminateProcess(info.hProcess, 99);
  struct Found {
    DWORD pid;
    bool any;
  } found{info.dwProcessId, false};
  EnumWindows(
      [](HWND hwnd, LPARAM lparam) -> BOOL {
        auto* f = reinterpret_cast<Found*>(lparam);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid == f->pid && IsWindowVisible(hwnd)) f->any = true;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  answer.window = found.any;
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  return answer;
}

// With arguments the program answers on its standard output and ends with the
// documented code, also while another copy holds the single-instance lock.
TEST(ChangesCommandLineWin32, AnswersOnAPipeWithItsExitCodeWhileAWindowRuns) {
  HANDLE lock = CreateMutexW(nullptr, FALSE, L"Velmora");
  ASSERT_NE(lock, nullptr);
  Answer usage = RunExe(L"/?");
  EXPECT_EQ(usage.exit_code, 0u);
  EXPECT_NE(usage.out.find("/undo ID|last"), std::string::npos) << usage.out;
  EXPECT_FALSE(usage.window);

  Answer list = RunExe(L"/changes /json");
  EXPECT_EQ(list.exit_code, 0u);
  EXPECT_EQ(list.out.rfind("{\"entries\":[", 0), 0u) << list.out;

  Answer unknown = RunExe(L"/undo 987654321");
  EXPECT_EQ(unknown.exit_code, 2u);
  EXPECT_NE(unknown.out.find("987654321"), std::string::npos) << unknown.out;

  Answer bad = RunExe(L"/frobnicate");
  EXPECT_EQ(bad.exit_code, 2u);
  EXPECT_FALSE(bad.window);
  CloseHandle(lock);
}

// The same journal the program keeps, undone by the program: an entry recorded here in
// the settings folder Velmora.exe uses, then `Velmora.exe /undo last`.
TEST_F(ChangesWin32, UndoLastThroughTheProgram) {
  const std::wstring exe = win32_test::ExeFolder() + L"Velmora.exe";
  std::string config;
  if (GetFileAttributesW((win32_test::ExeFolder() + L"portable.ini").c_str()) != INVALID_FILE_ATTRIBUTES) {
    config = Narrow(win32_test::ExeFolder()) + "Config";
  } else {
    platform::win32::Win32VersionResources versions;
    std::string app_data = real.system.AppDataFolder();
    if (app_data.empty() || app_data.back() != '\\') app_data += '\\';
    std::string maker = common::GetCompanyName(versions, Narrow(exe));
    config = app_data + maker + (maker.empty() || maker.back() != '\\' ? "\\" : "") + "Velmora\\Config";
  }
  ASSERT_TRUE(real.files.CreateDirectories(config));
  const std::string path = config + "\\Changes.txt";
  const std::optional<std::vector<uint8_t>> kept = real.files.ReadFile(path);  // put back afterwards
  real.files.RemoveFile(path);
  journal->SetPath(path);
  {
    auto base = real.registry.Open(RegRoot::CurrentUser, kTestKey, access::kAllAccess, true);
    ASSERT_TRUE(base);
    base->WriteString("ProxyServer", "10.0.0.1:3128");
  }
  journal->Begin("Применение прокси");
  Key(kTestKey)->WriteString("ProxyServer", "192.0.2.1:8080");
  Key(kTestKey)->WriteDWord("Added", 5);
  const uint64_t id = journal->End();
  ASSERT_NE(id, 0u);

  Answer undo = RunExe(L"/undo last");
  EXPECT_EQ(undo.exit_code, 0u) << undo.out;
  EXPECT_FALSE(undo.window);
  auto base = real.registry.Open(RegRoot::CurrentUser, kTestKey, access::kRead, false);
  ASSERT_TRUE(base);
  EXPECT_EQ(base->ReadString("ProxyServer"), "10.0.0.1:3128");
  EXPECT_FALSE(base->ValueExists("Added"));
  std::vector<shell::Entry> entries = journal->Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].action, "Отмена: Применение прокси (№" + std::to_string(id) + ")");
  // Nothing left to undo the second time: the values already read as they were.
  Answer again = RunExe(L"/undo " + std::to_wstring(id) + L" /json");
  EXPECT_EQ(again.exit_code, 0u) << again.out;

  if (kept) real.files.WriteFile(path, *kept);
  else real.files.RemoveFile(path);
}

}  // namespace
