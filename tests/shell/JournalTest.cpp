#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "fakes/FakePlatform.h"
#include "shell/Journal.h"

namespace {

using platform::RegRoot;
using platform::RegType;
using shell::ChangeKind;
using shell::Conflict;
using shell::Entry;
using shell::Journal;
using shell::ValueState;
namespace access = platform::reg_access;

constexpr char kFile[] = "C:\\Users\\u\\AppData\\Roaming\\Maker\\Velmora\\Config\\Changes.txt";
constexpr char kKey[] = "SYSTEM\\CurrentControlSet\\Services\\Test\\Parameters";

std::vector<uint8_t> Utf16Bytes(const std::u16string& text, bool terminator = true) {
  std::vector<uint8_t> bytes;
  std::u16string all = text;
  if (terminator) all += u'\0';
  for (char16_t u : all) {
    bytes.push_back(static_cast<uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<uint8_t>(u >> 8));
  }
  return bytes;
}

struct JournalFixture : ::testing::Test, fakes::FakePlatform {
  Journal journal{registry, processes, files, clock};

  void SetUp() override {
    files.AddDirectory("C:\\Users\\u\\AppData\\Roaming\\Maker\\Velmora\\Config");
    journal.SetPath(kFile);
  }
  // The value's state as the registry underneath holds it.
  ValueState State(const std::string& path, const std::string& name, RegRoot root = RegRoot::LocalMachine) {
    return journal.ReadState(root, access::kWow64_64Key, path, name);
  }
  std::unique_ptr<platform::RegistryKey> Key(const std::string& path, bool create = true) {
    return journal.Registry().Open(RegRoot::LocalMachine, path, access::kAllAccess | access::kWow64_64Key, create);
  }
  // Runs `action` as one journal entry and gives its id.
  uint64_t Action(const std::string& name, const std::function<void()>& action) {
    journal.Begin(name);
    action();
    return journal.End();
  }
};

// Every kind of value change, for every value type: after the undo the value reads back
// byte for byte as it was (or is absent again).
TEST_F(JournalFixture, UndoPutsEveryKindOfValueBackByteExactly) {
  struct TypeCase {
    const char* label;
    RegType type;
    std::vector<uint8_t> old_bytes, new_bytes;
  };
  const std::vector<TypeCase> types = {
      {"REG_SZ", RegType::String, Utf16Bytes(u"old \u0436"), Utf16Bytes(u"new")},
      // Stored without its terminator: must come back that way.
      {"REG_SZ unterminated", RegType::String, Utf16Bytes(u"odd", false), Utf16Bytes(u"new")},
      {"REG_EXPAND_SZ", RegType::ExpandString, Utf16Bytes(u"%SystemRoot%\\x"), Utf16Bytes(u"%TEMP%")},
      {"REG_MULTI_SZ", RegType::MultiString, Utf16Bytes(std::u16string(u"a\0bb\0", 5)), Utf16Bytes(u"z")},
      {"REG_BINARY", RegType::Binary, {0x00, 0xFF, 0x7C, 0x25, 0x0A}, {0x01}},
      {"REG_BINARY empty", RegType::Binary, {}, {0x01, 0x02}},
      {"REG_DWORD", RegType::DWord, {0x78, 0x56, 0x34, 0x12}, {0, 0, 0, 0}},
      {"REG_QWORD", RegType::QWord, {1, 2, 3, 4, 5, 6, 7, 8}, {8, 7, 6, 5, 4, 3, 2, 1}},
      {"type 0", RegType::None, {9}, {}},
  };
  enum class How { Overwritten, Created, Deleted, RetypedByWriteDWord, RetypedByWriteString };
  const std::vector<std::pair<How, const char*>> hows = {{How::Overwritten, "overwritten"},
                                                         {How::Created, "created"},
                                                         {How::Deleted, "deleted"},
                                                         {How::RetypedByWriteDWord, "retyped dword"},
                                                         {How::RetypedByWriteString, "retyped string"}};
  int n = 0;
  for (const TypeCase& t : types) {
    for (const auto& [how, how_label] : hows) {
      SCOPED_TRACE(std::string(t.label) + ", " + how_label);
      const std::string name = "V" + std::to_string(++n) + "|%name";
      if (how != How::Created) registry.SetBytes(RegRoot::LocalMachine, kKey, name, t.type, t.old_bytes);
      else registry.CreateKey(RegRoot::LocalMachine, kKey);
      const ValueState before = State(kKey, name);
      uint64_t id = Action("Изменение", [&] {
        auto key = Key(kKey);
        ASSERT_TRUE(key);
        switch (how) {
          case How::Overwritten:
          case How::Created: ASSERT_TRUE(key->WriteBytes(name, t.type, t.new_bytes)); break;
          case How::Deleted: ASSERT_TRUE(key->DeleteValue(name)); break;
          case How::RetypedByWriteDWord: ASSERT_TRUE(key->WriteDWord(name, 77)); break;
          case How::RetypedByWriteString: ASSERT_TRUE(key->WriteString(name, "text")); break;
        }
      });
      ASSERT_NE(id, 0u);
      ASSERT_NE(State(kKey, name), before);
      shell::UndoReport report = journal.Undo(id, nullptr);
      EXPECT_TRUE(report.Clean()) << ::testing::PrintToString(report.differences)
                                  << ::testing::PrintToString(report.kept);
      EXPECT_EQ(State(kKey, name), before);
    }
  }
}

// A value changed twice in one action keeps its first prior state; the entry keeps the
// state the action left.
TEST_F(JournalFixture, EntryKeepsTheFirstPriorStateAndTheStateLeft) {
  registry.SetDWord(RegRoot::LocalMachine, kKey, "Start", 4);
  uint64_t id = Action("Ремонт", [&] {
    auto key = Key(kKey);
    key->WriteDWord("Start", 3);
    key->WriteDWord("Start", 2);
    key->WriteDWord("Unchanged", 0);
    key->DeleteValue("Unchanged");  // absent before and after: no change at all
  });
  std::vector<Entry> entries = journal.Entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].id, id);
  EXPECT_EQ(entries[0].action, "Ремонт");
  EXPECT_EQ(entries[0].time, "2026-12-11 12:00:00");
  ASSERT_EQ(entries[0].changes.size(), 1u);
  EXPECT_EQ(shell::DescribeChange(entries[0].changes[0]), "HKLM\\" + std::string(kKey) + "\\Start: 4 -> 2");
}

// A profile key deleted with its subkeys (children first, as the registry needs) comes
// back whole, values and all.
TEST_F(JournalFixture, DeletedKeyTreeComesBackWhole) {
  const std::string profile = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkList\\Profiles\\{A}";
  registry.SetString(RegRoot::LocalMachine, profile, "ProfileName", "Сеть 2");
  registry.SetDWord(RegRoot::LocalMachine, profile, "Category", 1);
  registry.SetBytes(RegRoot::LocalMachine, profile, "DateCreated", RegType::Binary, {1, 2, 3, 4});
  registry.SetString(RegRoot::LocalMachine, profile + "\\Sub", "X", "y");
  registry.CreateKey(RegRoot::LocalMachine, profile + "\\Sub\\Empty");
  registry.SetDWord(RegRoot::LocalMachine, profile + "\\Other", "N", 5);
  auto snapshot = [&] {
    std::vector<std::string> lines;
    std::function<void(const std::string&)> walk = [&](const std::string& path) {
      auto key = registry.Open(RegRoot::LocalMachine, path, access::kRead, false);
      if (!key) return;
      lines.push_back("key " + path);
      for (const auto& name : key->ValueNames())
        lines.push_back(path + ":" + name + "=" + ::testing::PrintToString(*key->ReadBytes(name)) + "/" +
                        std::to_string(static_cast<int>(*key->ValueType(name))));
      for (const auto& sub : key->SubKeys()) walk(path + "\\" + sub);
    };
    walk(profile);
    return lines;
  };
  const auto before = snapshot();
  uint64_t id = Action("Удаление профиля", [&] {
    // The whole key at once: the snapshot is taken before the first delete.
    journal.Registry().DeleteKey(RegRoot::LocalMachine, profile, access::kWow64_64Key);  // refused: has subkeys
    for (const char* sub : {"\\Sub\\Empty", "\\Sub", "\\Other", ""})
      ASSERT_TRUE(journal.Registry().DeleteKey(RegRoot::LocalMachine, profile + sub, access::kWow64_64Key)) << sub;
  });
  ASSERT_FALSE(registry.KeyExists(RegRoot::LocalMachine, profile));
  shell::UndoReport report = journal.Undo(id, nullptr);
  EXPECT_TRUE(report.Clean()) << ::testing::PrintToString(report.differences);
  EXPECT_EQ(snapshot(), before);
}

// Keys an action created go again on undo; one that has been filled since stays.
TEST_F(JournalFixture, CreatedKeysGoAgainUnlessFilledSince) {
  const std::string parent = "SOFTWARE\\Velmora Test";
  uint64_t id = Action("Создание", [&] { Key(parent + "\\A\\B")->WriteDWord("N", 1); });
  ASSERT_TRUE(registry.KeyExists(RegRoot::LocalMachine, parent + "\\A\\B"));
  EXPECT_TRUE(journal.Undo(id, nullptr).Clean());
  EXPECT_FALSE(registry.KeyExists(RegRoot::LocalMachine, parent + "\\A\\B"));

  id = Action("Создание", [&] { Key(parent + "\\C")->WriteDWord("N", 1); });
  registry.SetDWord(RegRoot::LocalMachine, parent + "\\C", "Other", 2);  // someone else's
  shell::UndoReport report = journal.Undo(id, nullptr);
  EXPECT_FALSE(report.Clean());
  EXPECT_TRUE(registry.KeyExists(RegRoot::LocalMachine, parent + "\\C"));
  ASSERT_TRUE(registry.Find(RegRoot::LocalMachine, parent + "\\C", "Other"));
}

// A value someone changed since the entry: the caller is asked with before, after and
// now; "no" leaves it and reports it, "yes" writes the prior state back.
TEST_F(JournalFixture, ConflictAsksBeforeOverwriting) {
  for (bool overwrite : {false, true}) {
    SCOPED_TRACE(overwrite);
    registry.SetDWord(RegRoot::LocalMachine, kKey, "EnableFirewall", 1);
    uint64_t id = Action("Ремонт", [&] { Key(kKey)->WriteDWord("EnableFirewall", 0); });
    registry.SetDWord(RegRoot::LocalMachine, kKey, "EnableFirewall", 7);
    std::vector<std::string> asked;
    shell::UndoReport report = journal.Undo(id, [&](const Conflict& c) {
      asked.push_back(shell::DescribeState(c.change.before) + "/" + shell::DescribeState(c.change.after) + "/" +
                      shell::DescribeState(c.now));
      return overwrite;
    });
    EXPECT_EQ(asked, std::vector<std::string>{"1/0/7"});
    EXPECT_EQ(registry.Find(RegRoot::LocalMachine, kKey, "EnableFirewall")->number, overwrite ? 1u : 7u);
    EXPECT_EQ(report.Clean(), overwrite);
    EXPECT_EQ(report.kept.size(), overwrite ? 0u : 1u);
  }
  // Without anyone to ask (the command line), a conflict is kept.
  uint64_t id = Action("Ремонт", [&] { Key(kKey)->WriteDWord("EnableFirewall", 0); });
  registry.SetDWord(RegRoot::LocalMachine, kKey, "EnableFirewall", 9);
  EXPECT_FALSE(journal.Undo(id, nullptr).Clean());
  EXPECT_EQ(registry.Find(RegRoot::LocalMachine, kKey, "EnableFirewall")->number, 9u);
}

// An undo is an entry of its own, and undoing it brings the action's result back; a
// value that does not read back is reported.
TEST_F(JournalFixture, UndoIsAnEntryAndReportsValuesThatDoNotReadBack) {
  registry.SetDWord(RegRoot::LocalMachine, kKey, "A", 1);
  uint64_t id = Action("Ремонт", [&] { Key(kKey)->WriteDWord("A", 2); });
  shell::UndoReport undo = journal.Undo(id, nullptr);
  ASSERT_NE(undo.undo_entry, 0u);
  EXPECT_EQ(journal.Entries().back().action, "Отмена: Ремонт (№" + std::to_string(id) + ")");
  EXPECT_TRUE(journal.Undo(undo.undo_entry, nullptr).Clean());
  EXPECT_EQ(registry.Find(RegRoot::LocalMachine, kKey, "A")->number, 2u);

  EXPECT_FALSE(journal.Undo(999, nullptr).found);

  id = Action("Ремонт", [&] { Key(kKey)->WriteDWord("A", 3); });
  registry.fail_writes = true;
  shell::UndoReport failed = journal.Undo(id, nullptr);
  registry.fail_writes = false;
  ASSERT_EQ(failed.differences.size(), 1u);
  EXPECT_NE(failed.differences[0].find("\\A: 3"), std::string::npos) << failed.differences[0];

  // While another action's entry is open, an undo does nothing: its writes would mix
  // with that action's.
  id = Action("Ремонт", [&] { Key(kKey)->WriteDWord("A", 4); });
  journal.Begin("Ремонт");
  shell::UndoReport busy = journal.Undo(id, nullptr);
  journal.End();
  EXPECT_TRUE(busy.busy);
  EXPECT_FALSE(busy.Clean());
  EXPECT_EQ(registry.Find(RegRoot::LocalMachine, kKey, "A")->number, 4u);
}

// Commands go into the entry; those whose effect cannot be reversed are marked.
TEST_F(JournalFixture, CommandsAreListedAndMarked) {
  uint64_t id = Action("Ремонт", [&] {
    journal.Processes().Execute("C:\\Windows\\System32\\netsh.exe", "winsock reset", true, 1000);
    journal.Processes().Execute("C:\\Windows\\System32\\ipconfig.exe", "/all", true, 1000);
    journal.Processes().ShellOpen("C:\\Windows\\System32\\net.exe", "start \"FDResPub\"");
  });
  // The commands still ran.
  ASSERT_EQ(processes.started.size(), 2u);
  ASSERT_EQ(processes.shell_requests.size(), 1u);
  Entry entry = journal.Entries().at(0);
  EXPECT_EQ(entry.id, id);
  EXPECT_FALSE(entry.Undoable());
  EXPECT_EQ(entry.commands, (std::vector<shell::CommandRun>{{"netsh.exe winsock reset", true},
                                                           {"ipconfig.exe /all", false},
                                                           {"net.exe start \"FDResPub\"", true}}));
  shell::UndoReport report = journal.Undo(id, nullptr);
  EXPECT_EQ(report.not_undone, (std::vector<std::string>{"netsh.exe winsock reset", "net.exe start \"FDResPub\""}));
}

// Outside an action nothing is recorded, and the journal file is not touched.
TEST_F(JournalFixture, NothingIsRecordedOutsideAnAction) {
  Key(kKey)->WriteDWord("A", 1);
  journal.Processes().Execute("C:\\Windows\\System32\\netsh.exe", "winsock reset", true, 1000);
  EXPECT_EQ(Action("Пусто", [] {}), 0u);
  EXPECT_FALSE(files.FileExists(kFile));
}

// The file: an interrupted write leaves the old journal; the history is bounded, the
// oldest going first.
TEST_F(JournalFixture, InterruptedWriteLeavesTheOldJournal) {
  Action("Первое", [&] { Key(kKey)->WriteDWord("A", 1); });
  const std::string old_text = files.Text(kFile);
  files.FailNextWrite(20);
  EXPECT_EQ(Action("Второе", [&] { Key(kKey)->WriteDWord("A", 2); }), 0u);
  EXPECT_EQ(files.Text(kFile), old_text);
  ASSERT_EQ(journal.Entries().size(), 1u);
  files.FailRenames(true);
  EXPECT_EQ(Action("Третье", [&] { Key(kKey)->WriteDWord("A", 3); }), 0u);
  EXPECT_EQ(files.Text(kFile), old_text);
}

TEST_F(JournalFixture, HistoryIsBoundedOldestFirstOut) {
  for (uint32_t i = 1; i <= Journal::kMaxEntries + 5; ++i)
    Action("Шаг " + std::to_string(i), [&] { Key(kKey)->WriteDWord("A", i); });
  std::vector<Entry> entries = journal.Entries();
  ASSERT_EQ(entries.size(), Journal::kMaxEntries);
  EXPECT_EQ(entries.front().id, 6u);
  EXPECT_EQ(entries.back().id, Journal::kMaxEntries + 5);
}

// A damaged journal is set aside under another name and reported once; a new one starts.
TEST_F(JournalFixture, DamagedJournalIsSetAsideAndReportedOnce) {
  Action("Первое", [&] { Key(kKey)->WriteDWord("A", 1); });
  std::string text = files.Text(kFile);
  const std::string damaged = text.substr(0, text.size() - 7);  // a write cut short
  files.SetFile(kFile, damaged);
  EXPECT_TRUE(journal.Entries().empty());
  EXPECT_EQ(files.Text(std::string(kFile) + ".damaged"), damaged);
  EXPECT_FALSE(files.FileExists(kFile));
  auto report = journal.TakeDamageReport();
  ASSERT_TRUE(report);
  EXPECT_NE(report->find(".damaged"), std::string::npos);
  EXPECT_FALSE(journal.TakeDamageReport());
  EXPECT_EQ(Action("Второе", [&] { Key(kKey)->WriteDWord("A", 2); }), 1u);
  EXPECT_EQ(journal.Entries().size(), 1u);
  EXPECT_FALSE(journal.TakeDamageReport());
}

// The text reads back as written, whatever the names hold; anything off is refused.
TEST(JournalText, ReadsBackAsWrittenAndRefusesDamage) {
  Entry e;
  e.id = 7;
  e.time = "2026-12-11 10:00:00";
  e.action = "Имя | с %25 и\r\nпереводом";
  shell::Change v;
  v.root = RegRoot::CurrentUser;
  v.view = 0;
  v.path = "Software\\A|B";
  v.name = "=x%|";
  v.before = {true, 7, {0x61, 0, 0, 0, 0, 0}};
  v.after = {};
  e.changes.push_back(v);
  shell::Change k;
  k.kind = ChangeKind::KeyDeleted;
  k.view = access::kWow64_64Key;
  k.path = "SOFTWARE\\P\\{1}";
  k.key = {{"", true, "", {}}, {"", false, "ProfileName", {true, 1, {0x41, 0, 0, 0}}}, {"S|1", true, "", {}}};
  e.changes.push_back(k);
  e.commands = {{"netsh int ip reset", true}};
  e.notes = {"примечание"};
  Entry e2 = e;
  e2.id = 8;
  e2.changes.clear();
  const std::string text = shell::WriteJournalText({e, e2});
  auto read = shell::ReadJournalText(text);
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, (std::vector<Entry>{e, e2}));

  auto replace = [&](const std::string& from, const std::string& to) {
    std::string damaged = text;
    size_t at = damaged.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return damaged.replace(at, from.size(), to);
  };
  const std::vector<std::pair<const char*, std::string>> damaged = {
      {"cut short", text.substr(0, text.size() - 3)},
      {"no header", text.substr(text.find("\r\n") + 2)},
      {"unknown line", replace("note=", "nope=")},
      {"bad hex", replace("7:61", "7:6z")},
      {"odd hex", replace("7:61", "7:6")},
      {"bad escape", replace("%7C", "%7")},
      {"bad root", replace("HKCU|", "HKXX|")},
      {"repeated id", replace("id=8", "id=7")},
      {"id zero", replace("id=8", "id=0")},
      {"value fields missing", replace("|-\r\n", "\r\n")},
      {"key item without deleted key", replace("keydeleted=", "keycreated=")},
      {"bad command flag", replace("command=1|", "command=2|")},
      {"empty", ""},
  };
  for (const auto& [label, bad] : damaged) EXPECT_FALSE(shell::ReadJournalText(bad)) << label;
}

}  // namespace
