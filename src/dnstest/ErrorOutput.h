// Errors that operations report on the process's standard output instead of a box.
#pragma once

#include <exception>
#include <string>

namespace app {

// "class name:message" of the error being handled (call inside a catch block).
std::string CurrentErrorLine();
// Writes the line and a line break to standard output, when the process has one.
void WriteErrorLine(const std::string& line);

}  // namespace app
