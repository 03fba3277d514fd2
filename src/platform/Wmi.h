// Windows Management Instrumentation in the automation pattern: a locator connects to a
// namespace, a query returns objects one at a time, and objects give properties and
// run methods by name. Failures are thrown as WmiError with the system's code.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

// An automation value as WMI hands it out. Numbers keep their kind; kinds whose text
// form is the platform's own conversion (dates, booleans, floating point, currency,
// nested values) carry that text as well, made where the value was read.
struct Variant {
  enum class Type {
    Empty,
    Null,
    Int16,
    Int32,
    UnsignedByte,
    Single,
    Double,
    Currency,
    Date,
    Boolean,
    Nested,
    String,
    Array,
    Other,
  };
  Variant() = default;
  explicit Variant(Type t) : type(t) {}

  Type type = Type::Empty;
  int64_t integer = 0;       // Int16, Int32, UnsignedByte, Boolean (0 or 1)
  std::string text;          // String; the platform's text for the converted kinds
  std::vector<Variant> elements;  // Array, from its lower bound on

  static Variant Null() { return Variant{Type::Null}; }
  static Variant Str(std::string s) {
    Variant v{Type::String};
    v.text = std::move(s);
    return v;
  }
  static Variant Int(int64_t n, Type type = Type::Int32) {
    Variant v{type};
    v.integer = n;
    return v;
  }
  static Variant Bool(bool b) {
    Variant v{Type::Boolean};
    v.integer = b ? 1 : 0;
    v.text = b ? "True" : "False";
    return v;
  }
  static Variant Strings(const std::vector<std::string>& items) {
    Variant v{Type::Array};
    for (const auto& item : items) v.elements.push_back(Str(item));
    return v;
  }
  bool IsNull() const { return type == Type::Null; }
  bool IsEmpty() const { return type == Type::Empty; }
};

class WmiError : public std::runtime_error {
 public:
  WmiError(const std::string& what, uint32_t code) : std::runtime_error(what), code_(code) {}
  uint32_t code() const { return code_; }

 private:
  uint32_t code_;
};

class WmiObject {
 public:
  virtual ~WmiObject() = default;
  // A property by name; a property that this platform's WMI does not provide reads as
  // null rather than failing.
  virtual Variant Get(const std::string& property) = 0;
  // Runs a method with positional arguments and returns its result value.
  virtual Variant Call(const std::string& method, const std::vector<Variant>& args) = 0;
};

// Forward-only enumeration of a query's objects; null at the end.
class WmiEnumerator {
 public:
  virtual ~WmiEnumerator() = default;
  virtual std::unique_ptr<WmiObject> Next() = 0;
};

class WmiServices {
 public:
  virtual ~WmiServices() = default;
  virtual std::unique_ptr<WmiEnumerator> ExecQuery(const std::string& query,
                                                   const std::string& language,
                                                   int32_t flags) = 0;
};

class WmiLocator {
 public:
  virtual ~WmiLocator() = default;
  virtual std::unique_ptr<WmiServices> ConnectServer(const std::string& server,
                                                     const std::string& name_space,
                                                     const std::string& user,
                                                     const std::string& password) = 0;
};

class Wmi {
 public:
  virtual ~Wmi() = default;
  // Creates the "WbemScripting.SWbemLocator" object.
  virtual std::unique_ptr<WmiLocator> CreateLocator() = 0;
};

// Flag of ExecQuery: a forward-only enumerator.
inline constexpr int32_t kWbemFlagForwardOnly = 32;

// Puts `text` into a double-quoted WQL string literal, escaping "\" and the quote.
inline std::string WqlQuote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

}  // namespace platform
