// The program started with arguments: no window and no question, the answer on
// standard output and an exit code.
//
//   /changes          the journal, newest first: id, time, action, undoable or not
//   /undo ID | last   undoes an entry
//   /force            with /undo: overwrites values changed since the entry
//   /json             the same answer as JSON
//   /?                the usage
//
// Exit codes: 0 done; 1 done, with differences it lists (values that do not read back,
// values changed since the entry and left alone); 2 bad arguments or an unknown id.
#pragma once

#include <string>
#include <vector>

#include "shell/Journal.h"

namespace app {

inline constexpr int kExitDone = 0;
inline constexpr int kExitDifferences = 1;
inline constexpr int kExitBadArguments = 2;

struct CommandLineAnswer {
  int exit_code = kExitDone;
  std::string text;  // UTF-8, lines ending in "\r\n"
};

// Splits a command line as the C runtime does (quotes group, \" is a quote); the
// program's own name, the first item, is dropped.
std::vector<std::string> SplitArguments(const std::string& command_line);

CommandLineAnswer RunCommandLine(const std::vector<std::string>& args, shell::Journal& journal);

}  // namespace app
