#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "app/Startup.h"
#include "fakes/FakePlatform.h"
#include "fakes/HeadlessHost.h"
#include "shell/Journal.h"

namespace {

using platform::RegRoot;
namespace access = platform::reg_access;

constexpr char kKey[] = "SYSTEM\\CurrentControlSet\\Services\\LanmanServer\\Parameters";

TEST(CommandLineSplit, SplitsAsTheRuntimeDoes) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"Velmora.exe", {}},
      {"\"C:\\Program Files\\V\\Velmora.exe\" /undo last /json", {"/undo", "last", "/json"}},
      {"C:\\V\\Velmora.exe   /changes\t/json  ", {"/changes", "/json"}},
      {"v.exe \"two words\" \"\" x", {"two words", "", "x"}},
      {"v.exe a\\\"b c\\\\\"d e\"", {"a\"b", "c\\d e"}},
      {"v.exe C:\\path\\ x", {"C:\\path\\", "x"}},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(app::SplitArguments(line), expected) << line;
}

struct CommandLineFixture : ::testing::Test, fakes::FakePlatform {
  shell::Journal journal{registry, processes, files, clock};

  void SetUp() override {
    files.AddDirectory("C:\\Config");
    journal.SetPath("C:\\Config\\Changes.txt");
    registry.SetDWord(RegRoot::LocalMachine, kKey, "RequireSecuritySignature", 1);
  }
  uint64_t Switch(uint32_t value, const std::string& action = "Ремонт сети") {
    journal.Begin(action);
    journal.Registry()
        .Open(RegRoot::LocalMachine, kKey, access::kAllAccess | access::kWow64_64Key, false)
        ->WriteDWord("RequireSecuritySignature", value);
    journal.Processes().Execute("C:\\Windows\\System32\\netsh.exe", "winsock reset", true, 1000);
    return journal.End();
  }
  uint32_t Stored() { return registry.Find(RegRoot::LocalMachine, kKey, "RequireSecuritySignature")->number; }
  app::CommandLineAnswer Run(std::vector<std::string> args) { return app::RunCommandLine(args, journal); }
};

TEST_F(CommandLineFixture, BadArgumentsAndUnknownIdsExitTwo) {
  Switch(0);
  const std::vector<std::vector<std::string>> bad = {
      {"/json"}, {"/frobnicate"}, {"/undo"}, {"/undo", "1", "2"}, {"/undo", "x1"},
      {"/undo", "-1"}, {"/undo", "99"}, {"/changes", "extra"}, {"/?", "extra"},
  };
  for (const auto& args : bad) {
    app::CommandLineAnswer answer = Run(args);
    EXPECT_EQ(answer.exit_code, app::kExitBadArguments) << ::testing::PrintToString(args);
    EXPECT_FALSE(answer.text.empty());
  }
  EXPECT_EQ(Stored(), 0u);  // nothing was undone
  app::CommandLineAnswer json = Run({"/undo", "99", "/json"});
  EXPECT_EQ(json.exit_code, app::kExitBadArguments);
  EXPECT_EQ(json.text.rfind("{\"error\":", 0), 0u) << json.text;
}

TEST_F(CommandLineFixture, UsageAndAnEmptyJournal) {
  app::CommandLineAnswer usage = Run({"/?"});
  EXPECT_EQ(usage.exit_code, 0);
  EXPECT_NE(usage.text.find("/undo ID|last"), std::string::npos);
  app::CommandLineAnswer empty = Run({"/changes"});
  EXPECT_EQ(empty.exit_code, 0);
  EXPECT_EQ(empty.text, "Журнал изменений пуст.\r\n");
  EXPECT_EQ(Run({"/changes", "/json"}).text, "{\"entries\":[]}\r\n");
  EXPECT_EQ(Run({"/undo", "last"}).exit_code, app::kExitBadArguments);
}

TEST_F(CommandLineFixture, ChangesListsNewestFirst) {
  Switch(0, "Ремонт \"сети\"");
  journal.Begin("Команды");
  journal.Processes().Execute("C:\\Windows\\System32\\ipconfig.exe", "/flushdns", true, 1000);
  journal.End();
  app::CommandLineAnswer text = Run({"/CHANGES"});
  EXPECT_EQ(text.exit_code, 0);
  EXPECT_EQ(text.text,
            "2\t2026-12-11 12:00:00\tКоманды\tнельзя отменить\r\n"
            "\tipconfig.exe /flushdns: нельзя отменить\r\n"
            "1\t2026-12-11 12:00:00\tРемонт \"сети\"\tможно отменить\r\n"
            "\tHKLM\\" + std::string(kKey) + "\\RequireSecuritySignature: 1 -> 0\r\n"
            "\tnetsh.exe winsock reset: нельзя отменить\r\n");
  app::CommandLineAnswer json = Run({"/changes", "/json"});
  EXPECT_EQ(json.text,
            "{\"entries\":[{\"id\":2,\"time\":\"2026-12-11 12:00:00\",\"action\":\"Команды\",\"undoable\":false,"
            "\"changes\":[],\"cannot_undo\":[\"ipconfig.exe /flushdns\"]},"
            "{\"id\":1,\"time\":\"2026-12-11 12:00:00\",\"action\":\"Ремонт \\\"сети\\\"\",\"undoable\":true,"
            "\"changes\":[\"HKLM\\\\SYSTEM\\\\CurrentControlSet\\\\Services\\\\LanmanServer\\\\Parameters\\\\"
            "RequireSecuritySignature: 1 -> 0\"],\"cannot_undo\":[\"netsh.exe winsock reset\"]}]}\r\n");
}

TEST_F(CommandLineFixture, UndoExitCodes) {
  uint64_t id = Switch(0);
  app::CommandLineAnswer done = Run({"/undo", "last"});
  EXPECT_EQ(done.exit_code, app::kExitDone) << done.text;
  EXPECT_EQ(Stored(), 1u);
  EXPECT_NE(done.text.find("Нельзя отменить: netsh.exe winsock reset"), std::string::npos) << done.text;

  // Changed since by someone else: left alone and listed, exit 1; /force overwrites.
  id = Switch(0);
  registry.SetDWord(RegRoot::LocalMachine, kKey, "RequireSecuritySignature", 5);
  app::CommandLineAnswer kept = Run({"/undo", std::to_string(id)});
  EXPECT_EQ(kept.exit_code, app::kExitDifferences);
  EXPECT_EQ(Stored(), 5u);
  EXPECT_NE(kept.text.find("RequireSecuritySignature: 5"), std::string::npos) << kept.text;
  app::CommandLineAnswer forced = Run({"/undo", std::to_string(id), "/force", "/json"});
  EXPECT_EQ(forced.exit_code, app::kExitDone) << forced.text;
  EXPECT_EQ(Stored(), 1u);
  EXPECT_NE(forced.text.find("\"differences\":[],\"changed_since\":[]"), std::string::npos) << forced.text;

  // A value that does not read back: exit 1, listed.
  id = Switch(0);
  registry.fail_writes = true;
  app::CommandLineAnswer failed = Run({"/undo", std::to_string(id)});
  registry.fail_writes = false;
  EXPECT_EQ(failed.exit_code, app::kExitDifferences);
  EXPECT_NE(failed.text.find("Не совпадает после отмены"), std::string::npos) << failed.text;
}

// Started with arguments, the program answers even while a window runs, and makes no
// window of its own.
TEST_F(CommandLineFixture, StartWithArgumentsAnswersWithoutAWindow) {
  shell::Journal started_journal{registry, processes, files, clock};
  services.journal = &started_journal;
  system.mutexes.insert("Velmora");  // a window is running
  system.program_path = "C:\\Tools\\Velmora.exe";
  system.files.insert("C:\\Tools\\portable.ini");
  bool host_made = false;
  std::string output;
  app::StartupHooks hooks;
  hooks.make_host = [&] {
    host_made = true;
    return std::make_shared<fakes::HeadlessHost>();
  };
  hooks.arguments = {"/changes"};
  hooks.write_output = [&](const std::string& text) { output += text; };
  EXPECT_EQ(app::RunVelmora(services, hooks), 0);
  EXPECT_FALSE(host_made);
  EXPECT_EQ(output, "Журнал изменений пуст.\r\n");
  EXPECT_EQ(started_journal.Path(), "C:\\Tools\\Config\\Changes.txt");

  hooks.arguments = {"/undo", "7"};
  output.clear();
  EXPECT_EQ(app::RunVelmora(services, hooks), app::kExitBadArguments);
  EXPECT_FALSE(host_made);
  EXPECT_NE(output.find("Нет записи 7"), std::string::npos) << output;
}

}  // namespace
