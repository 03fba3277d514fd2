// The change journal. Every change the program makes outside its own files is made
// through the journaling registry and process services below, which, while a user
// action's entry is open, keep the prior state of each registry value before its first
// write or delete (type and bytes, or absent), the whole of a key before it is deleted,
// the keys an action creates and the commands it runs. When the action ends, the entry
// also keeps the state the action left, and is written to the journal file.
//
// Undo writes every prior state back in reverse order, reads each back and reports
// those that differ; a value changed since by someone else (its state is no longer the
// one the entry left) is a conflict the caller decides on. An undo is an entry itself.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/Registry.h"

namespace shell {

// A registry value's state: absent, or its type and stored bytes.
struct ValueState {
  bool present = false;
  uint32_t type = 0;
  std::vector<uint8_t> bytes;
  bool operator==(const ValueState&) const = default;
};

// One value or key marker of a deleted key, relative to the deleted key ("" is the key
// itself); keys come before their values and subkeys.
struct KeyItem {
  std::string subkey;
  bool is_key = false;  // a key marker (the key existed, possibly empty)
  std::string name;     // the value's name when not a key marker
  ValueState state;
  bool operator==(const KeyItem&) const = default;
};

enum class ChangeKind { Value, KeyDeleted, KeyCreated };

struct Change {
  ChangeKind kind = ChangeKind::Value;
  platform::RegRoot root = platform::RegRoot::LocalMachine;
  // The view flag the key was opened with (reg_access::kWow64_64Key, _32Key or 0).
  uint32_t view = 0;
  std::string path;
  std::string name;  // the value (ChangeKind::Value)
  ValueState before, after;
  // ChangeKind::KeyDeleted: the whole key as it was.
  std::vector<KeyItem> key;
  // Whether the key exists after the action (KeyDeleted, KeyCreated).
  bool key_exists_after = false;
  bool operator==(const Change&) const = default;
};

struct CommandRun {
  std::string line;  // the program's file name and its parameters
  bool irreversible = true;
  bool operator==(const CommandRun&) const = default;
};

struct Entry {
  uint64_t id = 0;
  std::string time;  // "YYYY-MM-DD hh:mm:ss", local
  std::string action;
  std::vector<Change> changes;
  std::vector<CommandRun> commands;
  std::vector<std::string> notes;
  bool operator==(const Entry&) const = default;
  bool Undoable() const { return !changes.empty(); }
};

// The journal file's text and its strict reading; nullopt for a damaged text.
std::string WriteJournalText(const std::vector<Entry>& entries);
std::optional<std::vector<Entry>> ReadJournalText(const std::string& text);

// The words the descriptions below use; a window passes them in its own language.
struct ChangeWords {
  std::string absent = "(нет)";
  std::string empty = "(пусто)";
  std::string default_value = "(по умолчанию)";
  std::string key_deleted = "раздел удалён";
  std::string key_created = "раздел создан";
};

// For people: "HKLM\path\name", a state ("(нет)", a number, text, hex bytes).
std::string ChangeWhere(const Change& change, const ChangeWords& words = {});
std::string DescribeState(const ValueState& state, const ChangeWords& words = {});
// One line per change: where, before -> after.
std::string DescribeChange(const Change& change, const ChangeWords& words = {});
// Whether the program can reverse what this command did: only commands that change
// nothing are not listed as "cannot be undone".
bool CommandIsIrreversible(const std::string& line);

// A value changed since the entry: what it was, what the entry left, what it is now.
struct Conflict {
  const Change& change;
  ValueState now;        // for a value
  bool key_exists_now = false;  // for a key
};

struct UndoReport {
  bool found = false;
  // Another action of this program is under way: nothing was done.
  bool busy = false;
  uint64_t undo_entry = 0;  // the id of the undo's own entry (0 if nothing changed)
  // Values that do not read back as they were, and conflicts left alone.
  std::vector<std::string> differences;
  std::vector<std::string> kept;  // conflicts the caller chose not to overwrite
  std::vector<std::string> not_undone;  // commands that cannot be undone
  bool Clean() const { return found && !busy && differences.empty() && kept.empty(); }
};

class Journal {
 public:
  static constexpr size_t kMaxEntries = 200;
  static constexpr char kFileName[] = "Changes.txt";

  // `registry` is the real registry underneath the journaling one.
  Journal(platform::Registry& registry, platform::Processes& processes, platform::FileSystem& files,
          platform::Clock& clock);
  ~Journal();

  // The journal file; nothing is read or written before it is set.
  void SetPath(std::string path);
  std::string Path() const;

  // The registry and process services that record into the open entry.
  platform::Registry& Registry();
  platform::Processes& Processes();

  // Opens the entry of a user action; an action begun while another is open joins it.
  void Begin(const std::string& action);
  // Closes it: the state left is read and the entry is added to the file (when it holds
  // anything). Returns the entry's id, 0 when nothing was kept.
  uint64_t End();

  // Recorded explicitly: values the system changes on the program's behalf (an
  // adapter's stored settings), and a note for the entry.
  void RecordValue(platform::RegRoot root, uint32_t view, const std::string& path, const std::string& name);
  void AddNote(const std::string& note);

  // The entries, oldest first. A damaged file is set aside first (see TakeDamageReport).
  std::vector<Entry> Entries();
  // Once after a damaged file was set aside: what happened, for the user.
  std::optional<std::string> TakeDamageReport();

  // Undoes entry `id`. `ask` decides each conflict (true: overwrite); without it,
  // conflicts are kept and reported.
  UndoReport Undo(uint64_t id, const std::function<bool(const Conflict&)>& ask);
  // Runs after each undo that wrote anything (tells the system settings changed).
  void SetAfterUndo(std::function<void()> after_undo) { after_undo_ = std::move(after_undo); }

  // Hooks of the journaling services.
  void BeforeValueChange(platform::RegRoot root, uint32_t view, const std::string& path, const std::string& name);
  std::optional<Change> BeforeKeyDelete(platform::RegRoot root, uint32_t view, const std::string& path);
  void KeyDeleted(Change change);
  bool Active();
  void KeyCreated(platform::RegRoot root, uint32_t view, const std::string& path);
  void CommandRan(const std::string& program, const std::string& params);

  // Direct reads of the registry underneath.
  ValueState ReadState(platform::RegRoot root, uint32_t view, const std::string& path, const std::string& name);
  bool KeyExists(platform::RegRoot root, uint32_t view, const std::string& path);

 private:
  std::vector<Entry> LoadLocked();
  bool SaveLocked(const std::vector<Entry>& entries);
  std::vector<KeyItem> SnapshotKey(platform::RegRoot root, uint32_t view, const std::string& path);
  std::string Now();

  platform::Registry& inner_;
  platform::FileSystem& files_;
  platform::Clock& clock_;
  std::unique_ptr<platform::Registry> journaling_registry_;
  std::unique_ptr<platform::Processes> journaling_processes_;

  std::recursive_mutex mutex_;
  std::string path_;
  std::optional<Entry> open_;
  int depth_ = 0;
  std::optional<std::string> damage_report_;
  std::function<void()> after_undo_;
};

// Opens an entry for the lifetime of the scope when there is a journal.
class JournalScope {
 public:
  JournalScope(Journal* journal, const std::string& action) : journal_(journal) {
    if (journal_) journal_->Begin(action);
  }
  ~JournalScope() {
    if (journal_) {
      try {
        journal_->End();
      } catch (...) {
      }
    }
  }
  JournalScope(const JournalScope&) = delete;
  JournalScope& operator=(const JournalScope&) = delete;

 private:
  Journal* journal_;
};

}  // namespace shell
