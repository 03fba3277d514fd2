// An in-memory WMI: instances of classes with properties and methods, answering the
// simple WQL the program sends ("SELECT * FROM class [WHERE prop=value [AND ...]]",
// values True, False, numbers or quoted strings with backslash escapes, compared
// without regard to case as WMI does). Records every connect, query and method call.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Wmi.h"

namespace fakes {

class FakeWmi : public platform::Wmi {
 public:
  using Method = std::function<platform::Variant(const std::vector<platform::Variant>&)>;
  struct Instance {
    std::string class_name;
    std::map<std::string, platform::Variant> properties;  // keyed by lower-case name
    std::map<std::string, Method> methods;                // keyed by lower-case name
    Instance& Set(const std::string& name, platform::Variant value);
    Instance& On(const std::string& method, Method fn);
  };
  struct Call {
    std::string description;  // the instance's Description property, if any
    std::string method;
    std::vector<platform::Variant> args;
  };

  // Adds an instance of `class_name`; the reference stays valid (instances are kept in
  // a list of pointers).
  Instance& Add(const std::string& class_name);

  std::vector<std::string> connects;  // "server|namespace|user|password"
  std::vector<std::string> queries;   // "language|flags|query"
  std::vector<Call> calls;
  // Answers queries of this class instead of the instance table (the ping's class).
  std::map<std::string, std::function<std::vector<Instance>(const std::string& query)>> answer;

  bool fail_locator = false;
  bool fail_connect = false;
  bool fail_query = false;
  int locators_created = 0;
  int objects_alive = 0;  // objects handed out and not yet released

  std::unique_ptr<platform::WmiLocator> CreateLocator() override;

  // Runs `query` against the table; throws WmiError for a query it cannot parse.
  std::vector<Instance*> Evaluate(const std::string& query);

 private:
  std::vector<std::unique_ptr<Instance>> instances_;
  std::vector<std::unique_ptr<Instance>> answered_;  // instances made by `answer`
};

}  // namespace fakes
