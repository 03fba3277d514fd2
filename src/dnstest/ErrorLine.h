// The one-line form in which operations report an error to the activity log instead
// of a box.
#pragma once

#include <exception>
#include <string>

namespace app {

// "class name:message" of the error being handled (call inside a catch block).
std::string CurrentErrorLine();

}  // namespace app
