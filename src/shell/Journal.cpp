#include "shell/Journal.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <sstream>
#include <tuple>

#include "common/Text.h"

namespace shell {

using platform::RegRoot;
namespace access = platform::reg_access;

namespace {

constexpr char kHeader[] = "Velmora change journal 1";

// ---------- the file's text ----------

// Fields are separated by "|"; "%", "|" and control characters are written as %XX.
std::string Escape(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '%' || c == '|' || c < 0x20 || c == 0x7F) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::string> Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    if (i + 2 >= s.size()) return std::nullopt;
    int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return out;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

std::optional<std::vector<uint8_t>> FromHex(const std::string& s) {
  if (s.size() % 2) return std::nullopt;
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < s.size(); i += 2) {
    int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  return bytes;
}

std::optional<uint64_t> Number(const std::string& s) {
  if (s.empty() || s.size() > 19) return std::nullopt;
  uint64_t n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<uint64_t>(c - '0');
  }
  return n;
}

std::string StateText(const ValueState& state) {
  if (!state.present) return "-";
  return std::to_string(state.type) + ":" + Hex(state.bytes);
}

std::optional<ValueState> ParseState(const std::string& s) {
  ValueState state;
  if (s == "-") return state;
  auto colon = s.find(':');
  if (colon == std::string::npos) return std::nullopt;
  auto type = Number(s.substr(0, colon));
  auto bytes = FromHex(s.substr(colon + 1));
  if (!type || *type > 0xFFFFFFFFu || !bytes) return std::nullopt;
  state.present = true;
  state.type = static_cast<uint32_t>(*type);
  state.bytes = std::move(*bytes);
  return state;
}

std::string RootText(RegRoot root) { return root == RegRoot::LocalMachine ? "HKLM" : "HKCU"; }

std::optional<RegRoot> ParseRoot(const std::string& s) {
  if (s == "HKLM") return RegRoot::LocalMachine;
  if (s == "HKCU") return RegRoot::CurrentUser;
  return std::nullopt;
}

std::string ViewText(uint32_t view) {
  if (view == access::kWow64_64Key) return "64";
  if (view == access::kWow64_32Key) return "32";
  return "-";
}

std::optional<uint32_t> ParseView(const std::string& s) {
  if (s == "64") return access::kWow64_64Key;
  if (s == "32") return access::kWow64_32Key;
  if (s == "-") return 0u;
  return std::nullopt;
}

std::vector<std::string> Split(const std::string& s) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t bar = s.find('|', start);
    fields.push_back(s.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) return fields;
    start = bar + 1;
  }
}

std::string Join(std::initializer_list<std::string> fields) {
  std::string out;
  bool first = true;
  for (const std::string& f : fields) {
    if (!first) out += '|';
    out += f;
    first = false;
  }
  return out;
}

// ---------- reading the registry ----------

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string SubPath(const std::string& path, const std::string& sub) {
  return sub.empty() ? path : path + "\\" + sub;
}

}  // namespace

std::string WriteJournalText(const std::vector<Entry>& entries) {
  std::string out = std::string(kHeader) + "\r\n";
  for (const Entry& e : entries) {
    out += "\r\n[entry]\r\n";
    out += "id=" + std::to_string(e.id) + "\r\n";
    out += "time=" + Escape(e.time) + "\r\n";
    out += "action=" + Escape(e.action) + "\r\n";
    for (const Change& c : e.changes) {
      switch (c.kind) {
        case ChangeKind::Value:
          out += "value=" + Join({RootText(c.root), ViewText(c.view), Escape(c.path), Escape(c.name),
                                  StateText(c.before), StateText(c.after)}) + "\r\n";
          break;
        case ChangeKind::KeyCreated:
          out += "keycreated=" + Join({RootText(c.root), ViewText(c.view), Escape(c.path),
                                       c.key_exists_after ? "1" : "0"}) + "\r\n";
          break;
        case ChangeKind::KeyDeleted:
          out += "keydeleted=" + Join({RootText(c.root), ViewText(c.view), Escape(c.path),
                                       c.key_exists_after ? "1" : "0"}) + "\r\n";
          for (const KeyItem& item : c.key) {
            if (item.is_key)
              out += "key=" + Escape(item.subkey) + "\r\n";
            else
              out += "keyvalue=" + Join({Escape(item.subkey), Escape(item.name), StateText(item.state)}) + "\r\n";
          }
          break;
      }
    }
    for (const CommandRun& run : e.commands)
      out += "command=" + Join({run.irreversible ? "1" : "0", Escape(run.line)}) + "\r\n";
    for (const std::string& note : e.notes) out += "note=" + Escape(note) + "\r\n";
  }
  return out;
}

std::optional<std::vector<Entry>> ReadJournalText(const std::string& text) {
  std::vector<std::string> lines;
  {
    std::string line;
    for (char c : text) {
      if (c == '\n') {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        line.clear();
      } else {
        line += c;
      }
    }
    if (!line.empty()) return std::nullopt;  // a cut-off last line
  }
  if (lines.empty() || lines[0] != kHeader) return std::nullopt;
  std::vector<Entry> entries;
  std::set<uint64_t> ids;
  bool has_id = false;
  auto close_entry = [&]() -> bool {
    if (entries.empty()) return true;
    const Entry& e = entries.back();
    if (!has_id || e.time.empty() || e.action.empty() || !ids.insert(e.id).second) return false;
    return true;
  };
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty()) continue;
    if (line == "[entry]") {
      if (!close_entry()) return std::nullopt;
      entries.emplace_back();
      has_id = false;
      continue;
    }
    if (entries.empty()) return std::nullopt;
    Entry& e = entries.back();
    auto eq = line.find('=');
    if (eq == std::string::npos) return std::nullopt;
    const std::string key = line.substr(0, eq), rest = line.substr(eq + 1);
    std::vector<std::string> f = Split(rest);
    if (key == "id") {
      auto id = Number(rest);
      if (!id || *id == 0 || has_id) return std::nullopt;
      e.id = *id;
      has_id = true;
    } else if (key == "time" || key == "action" || key == "note") {
      auto value = Unescape(rest);
      if (!value) return std::nullopt;
      if (key == "time") e.time = *value;
      else if (key == "action") e.action = *value;
      else e.notes.push_back(*value);
    } else if (key == "value") {
      if (f.size() != 6) return std::nullopt;
      Change c;
      auto root = ParseRoot(f[0]);
      auto view = ParseView(f[1]);
      auto path = Unescape(f[2]), name = Unescape(f[3]);
      auto before = ParseState(f[4]), after = ParseState(f[5]);
      if (!root || !view || !path || !name || !before || !after || path->empty()) return std::nullopt;
      c.root = *root, c.view = *view, c.path = *path, c.name = *name, c.before = *before, c.after = *after;
      e.changes.push_back(std::move(c));
    } else if (key == "keycreated" || key == "keydeleted") {
      if (f.size() != 4 || (f[3] != "0" && f[3] != "1")) return std::nullopt;
      Change c;
      c.kind = key == "keycreated" ? ChangeKind::KeyCreated : ChangeKind::KeyDeleted;
      auto root = ParseRoot(f[0]);
      auto view = ParseView(f[1]);
      auto path = Unescape(f[2]);
      if (!root || !view || !path || path->empty()) return std::nullopt;
      c.root = *root, c.view = *view, c.path = *path, c.key_exists_after = f[3] == "1";
      e.changes.push_back(std::move(c));
    } else if (key == "key" || key == "keyvalue") {
      if (e.changes.empty() || e.changes.back().kind != ChangeKind::KeyDeleted) return std::nullopt;
      KeyItem item;
      if (key == "key") {
        auto sub = Unescape(rest);
        if (!sub) return std::nullopt;
        item.is_key = true, item.subkey = *sub;
      } else {
        if (f.size() != 3) return std::nullopt;
        auto sub = Unescape(f[0]), name = Unescape(f[1]);
        auto state = ParseState(f[2]);
        if (!sub || !name || !state || !state->present) return std::nullopt;
        item.subkey = *sub, item.name = *name, item.state = *state;
      }
      e.changes.back().key.push_back(std::move(item));
    } else if (key == "command") {
      if (f.size() != 2 || (f[0] != "0" && f[0] != "1")) return std::nullopt;
      auto cmd = Unescape(f[1]);
      if (!cmd) return std::nullopt;
      e.commands.push_back({*cmd, f[0] == "1"});
    } else {
      return std::nullopt;
    }
  }
  if (!close_entry()) return std::nullopt;
  return entries;
}

std::string ChangeWhere(const Change& change, const ChangeWords& words) {
  std::string where = RootText(change.root) + "\\" + change.path;
  if (change.kind == ChangeKind::Value) where += "\\" + (change.name.empty() ? words.default_value : change.name);
  return where;
}

std::string DescribeState(const ValueState& state, const ChangeWords& words) {
  if (!state.present) return words.absent;
  const auto& b = state.bytes;
  switch (static_cast<platform::RegType>(state.type)) {
    case platform::RegType::DWord:
      if (b.size() == 4) return std::to_string(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24));
      break;
    case platform::RegType::QWord:
      if (b.size() == 8) {
        uint64_t n = 0;
        for (int i = 7; i >= 0; --i) n = (n << 8) | b[static_cast<size_t>(i)];
        return std::to_string(n);
      }
      break;
    case platform::RegType::String:
    case platform::RegType::ExpandString:
    case platform::RegType::MultiString: {
      if (b.size() % 2) break;
      std::u16string units;
      for (size_t i = 0; i + 1 < b.size(); i += 2) units += static_cast<char16_t>(b[i] | (b[i + 1] << 8));
      std::string text;
      std::u16string part;
      for (char16_t u : units) {
        if (u == 0) {
          if (!part.empty()) text += (text.empty() ? "" : "; ") + common::Utf16ToUtf8(part);
          part.clear();
        } else {
          part += u;
        }
      }
      if (!part.empty()) text += (text.empty() ? "" : "; ") + common::Utf16ToUtf8(part);
      return "\"" + text + "\"";
    }
    default:
      break;
  }
  std::string hex = Hex(b);
  if (hex.size() > 64) hex = hex.substr(0, 64) + "...";
  return hex.empty() ? words.empty : hex;
}

std::string DescribeChange(const Change& change, const ChangeWords& words) {
  switch (change.kind) {
    case ChangeKind::Value:
      return ChangeWhere(change, words) + ": " + DescribeState(change.before, words) + " -> " +
             DescribeState(change.after, words);
    case ChangeKind::KeyDeleted:
      return ChangeWhere(change, words) + ": " + words.key_deleted;
    case ChangeKind::KeyCreated:
      return ChangeWhere(change, words) + ": " + words.key_created;
  }
  return ChangeWhere(change, words);
}

bool CommandIsIrreversible(const std::string& line) {
  // Reports that change nothing.
  static const char* const kReadOnly[] = {"ipconfig /all", "ipconfig.exe /all", "getmac", "getmac.exe"};
  std::string lower = Lower(line);
  for (const char* read_only : kReadOnly)
    if (lower == read_only) return false;
  return true;
}

// ---------- the journaling services ----------

namespace {

class JournalingKey : public platform::RegistryKey {
 public:
  JournalingKey(Journal& journal, std::unique_ptr<platform::RegistryKey> inner, RegRoot root, uint32_t view,
                std::string path)
      : journal_(journal), inner_(std::move(inner)), root_(root), view_(view), path_(std::move(path)) {}

  bool ValueExists(const std::string& name) override { return inner_->ValueExists(name); }
  std::optional<platform::RegType> ValueType(const std::string& name) override { return inner_->ValueType(name); }
  std::optional<std::string> ReadString(const std::string& name) override { return inner_->ReadString(name); }
  std::optional<uint32_t> ReadDWord(const std::string& name) override { return inner_->ReadDWord(name); }
  bool WriteString(const std::string& name, const std::string& value) override {
    journal_.BeforeValueChange(root_, view_, path_, name);
    return inner_->WriteString(name, value);
  }
  bool WriteDWord(const std::string& name, uint32_t value) override {
    journal_.BeforeValueChange(root_, view_, path_, name);
    return inner_->WriteDWord(name, value);
  }
  bool WriteBytes(const std::string& name, platform::RegType type, const std::vector<uint8_t>& bytes) override {
    journal_.BeforeValueChange(root_, view_, path_, name);
    return inner_->WriteBytes(name, type, bytes);
  }
  bool DeleteValue(const std::string& name) override {
    journal_.BeforeValueChange(root_, view_, path_, name);
    return inner_->DeleteValue(name);
  }
  std::vector<std::string> SubKeys() override { return inner_->SubKeys(); }
  std::vector<std::string> ValueNames() override { return inner_->ValueNames(); }
  std::optional<std::vector<uint8_t>> ReadBytes(const std::string& name) override { return inner_->ReadBytes(name); }

 private:
  Journal& journal_;
  std::unique_ptr<platform::RegistryKey> inner_;
  RegRoot root_;
  uint32_t view_;
  std::string path_;
};

class JournalingRegistry : public platform::Registry {
 public:
  JournalingRegistry(Journal& journal, platform::Registry& inner) : journal_(journal), inner_(inner) {}

  std::unique_ptr<platform::RegistryKey> Open(RegRoot root, const std::string& path, uint32_t access,
                                              bool create) override {
    return OpenExplained(root, path, access, create).key;
  }
  platform::KeyOpening OpenExplained(RegRoot root, const std::string& path, uint32_t rights,
                                     bool create) override {
    const uint32_t view = rights & (access::kWow64_64Key | access::kWow64_32Key);
    // Every key the open makes, from the topmost missing one down.
    std::vector<std::string> missing;
    if (create && journal_.Active()) {
      for (std::string at = path; !at.empty() && !journal_.KeyExists(root, view, at);) {
        missing.insert(missing.begin(), at);
        size_t slash = at.find_last_of('\\');
        at = slash == std::string::npos ? std::string() : at.substr(0, slash);
      }
    }
    platform::KeyOpening opening = inner_.OpenExplained(root, path, rights, create);
    if (!opening.key) return opening;
    for (const std::string& made : missing) journal_.KeyCreated(root, view, made);
    opening.key = std::make_unique<JournalingKey>(journal_, std::move(opening.key), root, view, path);
    return opening;
  }
  bool DeleteKey(RegRoot root, const std::string& path, uint32_t view) override {
    // The whole key is kept before it goes; a refused delete changed nothing.
    std::optional<Change> snapshot =
        journal_.BeforeKeyDelete(root, view & (access::kWow64_64Key | access::kWow64_32Key), path);
    bool deleted = inner_.DeleteKey(root, path, view);
    if (deleted && snapshot) journal_.KeyDeleted(std::move(*snapshot));
    return deleted;
  }

 private:
  Journal& journal_;
  platform::Registry& inner_;
};

class JournalingProcesses : public platform::Processes {
 public:
  JournalingProcesses(Journal& journal, platform::Processes& inner) : journal_(journal), inner_(inner) {}
  platform::ProcessOutcome Execute(const std::string& path, const std::string& params, bool wait,
                                   uint32_t timeout_ms) override {
    journal_.CommandRan(path, params);
    return inner_.Execute(path, params, wait, timeout_ms);
  }
  int ShellOpen(const std::string& path, const std::string& params) override {
    journal_.CommandRan(path, params);
    return inner_.ShellOpen(path, params);
  }
  platform::ProcessOutcome ShellOpenAndWait(const std::string& path, const std::string& params,
                                            uint32_t timeout_ms) override {
    journal_.CommandRan(path, params);
    return inner_.ShellOpenAndWait(path, params, timeout_ms);
  }

 private:
  Journal& journal_;
  platform::Processes& inner_;
};

}  // namespace

// ---------- the journal ----------

Journal::Journal(platform::Registry& registry, platform::Processes& processes, platform::FileSystem& files,
                 platform::Clock& clock)
    : inner_(registry),
      files_(files),
      clock_(clock),
      journaling_registry_(std::make_unique<JournalingRegistry>(*this, registry)),
      journaling_processes_(std::make_unique<JournalingProcesses>(*this, processes)) {}

Journal::~Journal() = default;

void Journal::SetPath(std::string path) {
  std::lock_guard lock(mutex_);
  path_ = std::move(path);
}

std::string Journal::Path() const {
  std::lock_guard lock(const_cast<std::recursive_mutex&>(mutex_));
  return path_;
}

platform::Registry& Journal::Registry() { return *journaling_registry_; }
platform::Processes& Journal::Processes() { return *journaling_processes_; }

std::string Journal::Now() {
  platform::LocalDate d = clock_.Today();
  platform::LocalTime t = clock_.Now();
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year % 10000, d.month % 100, d.day % 100,
                t.hour % 100, t.minute % 100, t.second % 100);
  return buf;
}

void Journal::Begin(const std::string& action) {
  std::lock_guard lock(mutex_);
  if (depth_++ > 0) return;
  open_.emplace();
  open_->action = action;
  open_->time = Now();
}

bool Journal::Active() {
  std::lock_guard lock(mutex_);
  return open_.has_value();
}

ValueState Journal::ReadState(RegRoot root, uint32_t view, const std::string& path, const std::string& name) {
  ValueState state;
  auto key = inner_.Open(root, path, access::kRead | view, false);
  if (!key) return state;
  auto type = key->ValueType(name);
  if (!type) return state;
  auto bytes = key->ReadBytes(name);
  if (!bytes) return state;
  state.present = true;
  state.type = static_cast<uint32_t>(*type);
  state.bytes = std::move(*bytes);
  return state;
}

bool Journal::KeyExists(RegRoot root, uint32_t view, const std::string& path) {
  return inner_.Open(root, path, access::kRead | view, false) != nullptr;
}

void Journal::BeforeValueChange(RegRoot root, uint32_t view, const std::string& path, const std::string& name) {
  std::lock_guard lock(mutex_);
  if (!open_) return;
  for (const Change& c : open_->changes)
    if (c.kind == ChangeKind::Value && c.root == root && c.view == view && Lower(c.path) == Lower(path) &&
        Lower(c.name) == Lower(name))
      return;
  Change c;
  c.root = root, c.view = view, c.path = path, c.name = name;
  c.before = ReadState(root, view, path, name);
  open_->changes.push_back(std::move(c));
}

void Journal::RecordValue(RegRoot root, uint32_t view, const std::string& path, const std::string& name) {
  BeforeValueChange(root, view, path, name);
}

void Journal::AddNote(const std::string& note) {
  std::lock_guard lock(mutex_);
  if (open_ && std::find(open_->notes.begin(), open_->notes.end(), note) == open_->notes.end())
    open_->notes.push_back(note);
}

std::vector<KeyItem> Journal::SnapshotKey(RegRoot root, uint32_t view, const std::string& path) {
  std::vector<KeyItem> items;
  // Depth-first, parents first; bounded so a loop in a broken registry cannot run away.
  std::vector<std::string> pending{""};
  while (!pending.empty() && items.size() < 100000) {
    std::string sub = pending.front();
    pending.erase(pending.begin());
    auto key = inner_.Open(root, SubPath(path, sub), access::kRead | view, false);
    if (!key) continue;
    KeyItem marker;
    marker.is_key = true, marker.subkey = sub;
    items.push_back(marker);
    for (const std::string& name : key->ValueNames()) {
      KeyItem item;
      item.subkey = sub, item.name = name;
      auto type = key->ValueType(name);
      auto bytes = key->ReadBytes(name);
      if (!type || !bytes) continue;
      item.state = {true, static_cast<uint32_t>(*type), *bytes};
      items.push_back(std::move(item));
    }
    std::vector<std::string> children;
    for (const std::string& child : key->SubKeys()) children.push_back(sub.empty() ? child : sub + "\\" + child);
    pending.insert(pending.begin(), children.begin(), children.end());
  }
  return items;
}

std::optional<Change> Journal::BeforeKeyDelete(RegRoot root, uint32_t view, const std::string& path) {
  std::lock_guard lock(mutex_);
  if (!open_) return std::nullopt;
  Change c;
  c.kind = ChangeKind::KeyDeleted;
  c.root = root, c.view = view, c.path = path;
  c.key = SnapshotKey(root, view, path);
  if (c.key.empty()) return std::nullopt;  // nothing there to delete
  return c;
}

void Journal::KeyDeleted(Change change) {
  std::lock_guard lock(mutex_);
  if (open_) open_->changes.push_back(std::move(change));
}

void Journal::KeyCreated(RegRoot root, uint32_t view, const std::string& path) {
  std::lock_guard lock(mutex_);
  if (!open_) return;
  Change c;
  c.kind = ChangeKind::KeyCreated;
  c.root = root, c.view = view, c.path = path;
  open_->changes.push_back(std::move(c));
}

void Journal::CommandRan(const std::string& program, const std::string& params) {
  std::lock_guard lock(mutex_);
  if (!open_) return;
  std::string name = program.substr(program.find_last_of("\\/") + 1);
  std::string line = params.empty() ? name : name + " " + params;
  open_->commands.push_back({line, CommandIsIrreversible(line)});
}

uint64_t Journal::End() {
  std::lock_guard lock(mutex_);
  if (depth_ == 0) return 0;
  if (--depth_ > 0) return 0;
  Entry entry = std::move(*open_);
  open_.reset();
  for (Change& c : entry.changes) {
    if (c.kind == ChangeKind::Value)
      c.after = ReadState(c.root, c.view, c.path, c.name);
    else
      c.key_exists_after = KeyExists(c.root, c.view, c.path);
  }
  // Values written back as they were are no change at all.
  std::erase_if(entry.changes, [](const Change& c) { return c.kind == ChangeKind::Value && c.before == c.after; });
  if (entry.changes.empty() && entry.commands.empty()) return 0;
  if (path_.empty()) return 0;
  std::vector<Entry> entries = LoadLocked();
  uint64_t id = 1;
  for (const Entry& e : entries) id = std::max(id, e.id + 1);
  entry.id = id;
  entries.push_back(std::move(entry));
  if (entries.size() > kMaxEntries) entries.erase(entries.begin(), entries.end() - kMaxEntries);
  return SaveLocked(entries) ? id : 0;
}

std::vector<Entry> Journal::LoadLocked() {
  if (path_.empty()) return {};
  auto bytes = files_.ReadFile(path_);
  if (!bytes) return {};
  auto entries = ReadJournalText(std::string(bytes->begin(), bytes->end()));
  if (entries) return *entries;
  // Set aside under another name, so nothing of it is lost; reported once.
  const std::string aside = path_ + ".damaged";
  bool moved = files_.Rename(path_, aside);
  damage_report_ = moved ? "Журнал изменений повреждён и сохранён как " + aside + "; начат новый журнал."
                         : "Журнал изменений повреждён: " + path_;
  return {};
}

bool Journal::SaveLocked(const std::vector<Entry>& entries) {
  std::string text = WriteJournalText(entries);
  const std::string temp = path_ + ".tmp";
  // An interrupted write leaves the old journal: the new one replaces it in one step.
  if (!files_.WriteFile(temp, std::vector<uint8_t>(text.begin(), text.end()))) {
    files_.RemoveFile(temp);
    return false;
  }
  if (!files_.Rename(temp, path_)) {
    files_.RemoveFile(temp);
    return false;
  }
  return true;
}

std::vector<Entry> Journal::Entries() {
  std::lock_guard lock(mutex_);
  return LoadLocked();
}

std::optional<std::string> Journal::TakeDamageReport() {
  std::lock_guard lock(mutex_);
  auto report = std::move(damage_report_);
  damage_report_.reset();
  return report;
}

UndoReport Journal::Undo(uint64_t id, const std::function<bool(const Conflict&)>& ask) {
  UndoReport report;
  std::optional<Entry> target;
  {
    std::lock_guard lock(mutex_);
    for (Entry& e : LoadLocked())
      if (e.id == id) target = std::move(e);
    // Its writes would join that action's entry, and the two would mix.
    if (target && open_) {
      report.found = report.busy = true;
      return report;
    }
  }
  if (!target) return report;
  report.found = true;
  for (const CommandRun& run : target->commands)
    if (run.irreversible) report.not_undone.push_back(run.line);

  platform::Registry& registry = Registry();
  auto decide = [&](const Conflict& conflict) { return ask && ask(conflict); };
  auto write_state = [&](RegRoot root, uint32_t view, const std::string& path, const std::string& name,
                         const ValueState& state) {
    if (!state.present) {
      if (auto key = registry.Open(root, path, access::kRead | access::kSetValue | view, false)) key->DeleteValue(name);
      return;
    }
    if (auto key = registry.Open(root, path, access::kRead | access::kWrite | view, true))
      key->WriteBytes(name, static_cast<platform::RegType>(state.type), state.bytes);
  };

  Begin("Отмена: " + target->action + " (№" + std::to_string(id) + ")");
  try {
    for (auto it = target->changes.rbegin(); it != target->changes.rend(); ++it) {
      const Change& c = *it;
      const std::string where = ChangeWhere(c);
      switch (c.kind) {
        case ChangeKind::Value: {
          ValueState now = ReadState(c.root, c.view, c.path, c.name);
          if (now == c.before) continue;  // already as it was
          if (now != c.after && !decide({c, now, false})) {
            report.kept.push_back(where + ": " + DescribeState(now));
            continue;
          }
          write_state(c.root, c.view, c.path, c.name, c.before);
          ValueState back = ReadState(c.root, c.view, c.path, c.name);
          if (back != c.before)
            report.differences.push_back(where + ": " + DescribeState(back) + " <> " + DescribeState(c.before));
          break;
        }
        case ChangeKind::KeyDeleted: {
          bool exists = KeyExists(c.root, c.view, c.path);
          if (exists != c.key_exists_after && !decide({c, {}, exists})) {
            report.kept.push_back(where);
            continue;
          }
          for (const KeyItem& item : c.key) {
            const std::string path = SubPath(c.path, item.subkey);
            if (item.is_key) {
              registry.Open(c.root, path, access::kRead | access::kWrite | c.view, true);
              if (!KeyExists(c.root, c.view, path)) report.differences.push_back(RootText(c.root) + "\\" + path);
              continue;
            }
            write_state(c.root, c.view, path, item.name, item.state);
            if (ReadState(c.root, c.view, path, item.name) != item.state) {
              Change shown = c;
              shown.kind = ChangeKind::Value, shown.path = path, shown.name = item.name;
              report.differences.push_back(ChangeWhere(shown));
            }
          }
          break;
        }
        case ChangeKind::KeyCreated: {
          if (!KeyExists(c.root, c.view, c.path)) break;
          auto key = inner_.Open(c.root, c.path, access::kRead | c.view, false);
          if (key && (!key->SubKeys().empty() || !key->ValueNames().empty())) {
            // Something else put things in it since: it stays.
            report.kept.push_back(where);
            continue;
          }
          key.reset();
          registry.DeleteKey(c.root, c.path, c.view);
          if (KeyExists(c.root, c.view, c.path)) report.differences.push_back(where);
          break;
        }
      }
    }
  } catch (...) {
    report.undo_entry = End();
    throw;
  }
  report.undo_entry = End();
  if (report.undo_entry && after_undo_) after_undo_();
  return report;
}

}  // namespace shell
