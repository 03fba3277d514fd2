#include "dnstest/ErrorLine.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace app {

namespace {

std::string ClassName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                              std::free);
  std::string text = status == 0 && name ? name.get() : type.name();
  // The class's own name, without its namespaces.
  auto colon = text.rfind("::");
  return colon == std::string::npos ? text : text.substr(colon + 2);
}

}  // namespace

std::string CurrentErrorLine() {
  try {
    throw;
  } catch (const std::exception& e) {
    return ClassName(typeid(e)) + ":" + e.what();
  } catch (...) {
    return "Exception:unknown error";
  }
}

}  // namespace app
