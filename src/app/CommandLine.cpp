#include "app/CommandLine.h"

#include <cctype>
#include <cstdio>

namespace app {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonList(const std::vector<std::string>& items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + JsonString(items[i]);
  return out + "]";
}

const char kUsage[] =
    "Velmora.exe /changes [/json]          журнал изменений, новые сверху\r\n"
    "Velmora.exe /undo ID|last [/force] [/json]   отменить запись журнала\r\n"
    "Velmora.exe /?                        эта справка\r\n"
    "/force: перезаписать значения, изменённые после записи.\r\n"
    "Коды выхода: 0 выполнено; 1 выполнено, есть расхождения (перечислены); 2 неверные аргументы или нет такой записи.\r\n";

CommandLineAnswer Bad(const std::string& why, bool json) {
  CommandLineAnswer answer;
  answer.exit_code = kExitBadArguments;
  answer.text = json ? "{\"error\":" + JsonString(why) + "}\r\n" : why + "\r\n" + kUsage;
  return answer;
}

std::vector<std::string> ChangeLines(const shell::Entry& e) {
  std::vector<std::string> lines;
  for (const shell::Change& c : e.changes) lines.push_back(shell::DescribeChange(c));
  return lines;
}

std::vector<std::string> IrreversibleCommands(const shell::Entry& e) {
  std::vector<std::string> lines;
  for (const shell::CommandRun& run : e.commands)
    if (run.irreversible) lines.push_back(run.line);
  return lines;
}

CommandLineAnswer ListChanges(shell::Journal& journal, bool json) {
  std::vector<shell::Entry> entries = journal.Entries();
  std::optional<std::string> damage = journal.TakeDamageReport();
  CommandLineAnswer answer;
  if (json) {
    std::string out = "{\"entries\":[";
    bool first = true;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it, first = false) {
      out += std::string(first ? "" : ",") + "{\"id\":" + std::to_string(it->id) + ",\"time\":" +
             JsonString(it->time) + ",\"action\":" + JsonString(it->action) +
             ",\"undoable\":" + (it->Undoable() ? "true" : "false") + ",\"changes\":" + JsonList(ChangeLines(*it)) +
             ",\"cannot_undo\":" + JsonList(IrreversibleCommands(*it)) + "}";
    }
    out += "]";
    if (damage) out += ",\"journal_damaged\":" + JsonString(*damage);
    answer.text = out + "}\r\n";
    return answer;
  }
  if (damage) answer.text += *damage + "\r\n";
  if (entries.empty()) answer.text += "Журнал изменений пуст.\r\n";
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    answer.text += std::to_string(it->id) + "\t" + it->time + "\t" + it->action + "\t" +
                   (it->Undoable() ? "можно отменить" : "нельзя отменить") + "\r\n";
    for (const std::string& line : ChangeLines(*it)) answer.text += "\t" + line + "\r\n";
    for (const std::string& line : IrreversibleCommands(*it))
      answer.text += "\t" + line + ": нельзя отменить\r\n";
  }
  return answer;
}

CommandLineAnswer Undo(shell::Journal& journal, const std::string& which, bool force, bool json) {
  std::vector<shell::Entry> entries = journal.Entries();
  uint64_t id = 0;
  if (Lower(which) == "last") {
    if (entries.empty()) return Bad("Журнал изменений пуст.", json);
    id = entries.back().id;
  } else {
    if (which.empty() || which.size() > 18 || which.find_first_not_of("0123456789") != std::string::npos)
      return Bad("Неверный номер записи: " + which, json);
    id = std::stoull(which);
  }
  // No one to ask on the command line: changed values stay unless /force says otherwise.
  shell::UndoReport report = journal.Undo(id, [force](const shell::Conflict&) { return force; });
  if (!report.found) return Bad("Нет записи " + which + " в журнале изменений.", json);
  CommandLineAnswer answer;
  answer.exit_code = report.Clean() ? kExitDone : kExitDifferences;
  if (json) {
    answer.text = "{\"undone\":" + std::to_string(id) + ",\"entry\":" + std::to_string(report.undo_entry) +
                  ",\"differences\":" + JsonList(report.differences) + ",\"changed_since\":" +
                  JsonList(report.kept) + ",\"cannot_undo\":" + JsonList(report.not_undone) + "}\r\n";
    return answer;
  }
  answer.text = "Запись " + std::to_string(id) + " отменена" +
                (report.undo_entry ? " (запись отмены " + std::to_string(report.undo_entry) + ")" : std::string()) +
                ".\r\n";
  for (const std::string& line : report.differences) answer.text += "Не совпадает после отмены: " + line + "\r\n";
  for (const std::string& line : report.kept)
    answer.text += "Изменено после записи, оставлено (/force перезапишет): " + line + "\r\n";
  for (const std::string& line : report.not_undone) answer.text += "Нельзя отменить: " + line + "\r\n";
  return answer;
}

}  // namespace

std::vector<std::string> SplitArguments(const std::string& command_line) {
  std::vector<std::string> args;
  std::string current;
  bool in_quotes = false, have = false;
  size_t i = 0;
  // The program's name: up to the next space, or in quotes, with no escapes.
  if (!command_line.empty() && command_line[0] == '"') {
    size_t close = command_line.find('"', 1);
    i = close == std::string::npos ? command_line.size() : close + 1;
  } else {
    while (i < command_line.size() && command_line[i] != ' ' && command_line[i] != '\t') ++i;
  }
  for (; i < command_line.size(); ++i) {
    char c = command_line[i];
    if (c == '\\') {
      size_t slashes = 0;
      while (i < command_line.size() && command_line[i] == '\\') ++slashes, ++i;
      if (i < command_line.size() && command_line[i] == '"') {
        current.append(slashes / 2, '\\');
        if (slashes % 2) {
          current += '"';
        } else {
          in_quotes = !in_quotes;
        }
        have = true;
      } else {
        current.append(slashes, '\\');
        have = true;
        --i;
      }
    } else if (c == '"') {
      in_quotes = !in_quotes;
      have = true;
    } else if ((c == ' ' || c == '\t') && !in_quotes) {
      if (have) args.push_back(current);
      current.clear();
      have = false;
    } else {
      current += c;
      have = true;
    }
  }
  if (have) args.push_back(current);
  return args;
}

CommandLineAnswer RunCommandLine(const std::vector<std::string>& args, shell::Journal& journal) {
  bool json = false, force = false;
  std::vector<std::string> rest;
  for (const std::string& arg : args) {
    std::string lower = Lower(arg);
    if (lower == "/json") json = true;
    else if (lower == "/force") force = true;
    else rest.push_back(arg);
  }
  if (rest.empty()) return Bad("Не указано действие.", json);
  const std::string verb = Lower(rest[0]);
  if (verb == "/?" || verb == "/help" || verb == "-?") {
    if (rest.size() != 1) return Bad("Лишние аргументы.", json);
    CommandLineAnswer answer;
    answer.text = json ? "{\"usage\":" + JsonString(kUsage) + "}\r\n" : kUsage;
    return answer;
  }
  if (verb == "/changes") {
    if (rest.size() != 1 || force) return Bad("Лишние аргументы.", json);
    return ListChanges(journal, json);
  }
  if (verb == "/undo") {
    if (rest.size() != 2) return Bad("После /undo нужен номер записи или last.", json);
    return Undo(journal, rest[1], force, json);
  }
  return Bad("Неизвестное действие: " + rest[0], json);
}

}  // namespace app
