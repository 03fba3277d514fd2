#include "fakes/FakeWmi.h"

#include <cctype>

namespace fakes {

using platform::Variant;
using platform::WmiError;

namespace {

constexpr uint32_t kInvalidQuery = 0x80041017;
constexpr uint32_t kInvalidClass = 0x80041010;
constexpr uint32_t kInvalidMethod = 0x8004102E;
constexpr uint32_t kFailed = 0x80041001;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A small WQL reader: keywords, names, numbers, and strings in either quote.
class Wql {
 public:
  explicit Wql(const std::string& text) : s_(text) {}

  void Skip() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  bool AtEnd() {
    Skip();
    return i_ >= s_.size();
  }
  std::string Word() {
    Skip();
    size_t start = i_;
    while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_' || s_[i_] == '*'))
      ++i_;
    if (start == i_) Fail();
    return s_.substr(start, i_ - start);
  }
  void Expect(const std::string& keyword) {
    if (Lower(Word()) != Lower(keyword)) Fail();
  }
  void ExpectChar(char c) {
    Skip();
    if (i_ >= s_.size() || s_[i_] != c) Fail();
    ++i_;
  }
  // A literal: a quoted string (backslash escapes the next character) or a word.
  std::string Literal(bool* quoted) {
    Skip();
    if (i_ < s_.size() && (s_[i_] == '"' || s_[i_] == '\'')) {
      char quote = s_[i_++];
      std::string out;
      while (i_ < s_.size() && s_[i_] != quote) {
        if (s_[i_] == '\\') {
          if (++i_ >= s_.size()) Fail();
        }
        out += s_[i_++];
      }
      if (i_ >= s_.size()) Fail();
      ++i_;
      *quoted = true;
      return out;
    }
    *quoted = false;
    Skip();
    size_t start = i_;
    while (i_ < s_.size() && !std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
    if (start == i_) Fail();
    return s_.substr(start, i_ - start);
  }
  [[noreturn]] void Fail() { throw WmiError("Invalid query", kInvalidQuery); }

 private:
  const std::string& s_;
  size_t i_ = 0;
};

struct Condition {
  std::string property;
  std::string value;
  bool quoted;
};

bool Matches(const FakeWmi::Instance& instance, const Condition& c) {
  auto it = instance.properties.find(Lower(c.property));
  if (it == instance.properties.end()) return false;
  const Variant& v = it->second;
  switch (v.type) {
    case Variant::Type::Boolean:
      return !c.quoted && Lower(c.value) == (v.integer ? "true" : "false");
    case Variant::Type::String:
      return Lower(v.text) == Lower(c.value);
    case Variant::Type::Int16:
    case Variant::Type::Int32:
    case Variant::Type::UnsignedByte:
      return std::to_string(v.integer) == c.value;
    default:
      return false;
  }
}

class FakeObject : public platform::WmiObject {
 public:
  FakeObject(FakeWmi& wmi, FakeWmi::Instance& instance) : wmi_(wmi), instance_(instance) {
    ++wmi_.objects_alive;
  }
  ~FakeObject() override { --wmi_.objects_alive; }
  Variant Get(const std::string& property) override {
    auto it = instance_.properties.find(Lower(property));
    return it == instance_.properties.end() ? Variant::Null() : it->second;
  }
  Variant Call(const std::string& method, const std::vector<Variant>& args) override {
    auto description = instance_.properties.find("description");
    wmi_.calls.push_back({description == instance_.properties.end() ? "" : description->second.text,
                          method, args});
    auto it = instance_.methods.find(Lower(method));
    if (it == instance_.methods.end() || !it->second)
      throw WmiError("Calling " + method + " failed (0x8004102E)", kInvalidMethod);
    return it->second(args);
  }

 private:
  FakeWmi& wmi_;
  FakeWmi::Instance& instance_;
};

class FakeEnumerator : public platform::WmiEnumerator {
 public:
  FakeEnumerator(FakeWmi& wmi, std::vector<FakeWmi::Instance*> found)
      : wmi_(wmi), found_(std::move(found)) {
    ++wmi_.objects_alive;
  }
  ~FakeEnumerator() override { --wmi_.objects_alive; }
  std::unique_ptr<platform::WmiObject> Next() override {
    if (next_ >= found_.size()) return nullptr;
    return std::make_unique<FakeObject>(wmi_, *found_[next_++]);
  }

 private:
  FakeWmi& wmi_;
  std::vector<FakeWmi::Instance*> found_;
  size_t next_ = 0;
};

class FakeServices : public platform::WmiServices {
 public:
  explicit FakeServices(FakeWmi& wmi) : wmi_(wmi) { ++wmi_.objects_alive; }
  ~FakeServices() override { --wmi_.objects_alive; }
  std::unique_ptr<platform::WmiEnumerator> ExecQuery(const std::string& query,
                                                     const std::string& language,
                                                     int32_t flags) override {
    wmi_.queries.push_back(language + "|" + std::to_string(flags) + "|" + query);
    if (wmi_.fail_query) throw WmiError("Query failed", kFailed);
    if (language != "WQL") throw WmiError("Invalid query language", 0x80041018);
    return std::make_unique<FakeEnumerator>(wmi_, wmi_.Evaluate(query));
  }

 private:
  FakeWmi& wmi_;
};

class FakeLocator : public platform::WmiLocator {
 public:
  explicit FakeLocator(FakeWmi& wmi) : wmi_(wmi) { ++wmi_.objects_alive; }
  ~FakeLocator() override { --wmi_.objects_alive; }
  std::unique_ptr<platform::WmiServices> ConnectServer(const std::string& server,
                                                       const std::string& name_space,
                                                       const std::string& user,
                                                       const std::string& password) override {
    wmi_.connects.push_back(server + "|" + name_space + "|" + user + "|" + password);
    if (wmi_.fail_connect) throw WmiError("Access denied", 0x80041003);
    return std::make_unique<FakeServices>(wmi_);
  }

 private:
  FakeWmi& wmi_;
};

}  // namespace

FakeWmi::Instance& FakeWmi::Instance::Set(const std::string& name, Variant value) {
  properties[Lower(name)] = std::move(value);
  return *this;
}

FakeWmi::Instance& FakeWmi::Instance::On(const std::string& method, Method fn) {
  methods[Lower(method)] = std::move(fn);
  return *this;
}

FakeWmi::Instance& FakeWmi::Add(const std::string& class_name) {
  instances_.push_back(std::make_unique<Instance>());
  instances_.back()->class_name = class_name;
  return *instances_.back();
}

std::unique_ptr<platform::WmiLocator> FakeWmi::CreateLocator() {
  if (fail_locator) throw WmiError("Invalid class string", 0x800401F3);
  ++locators_created;
  return std::make_unique<FakeLocator>(*this);
}

std::vector<FakeWmi::Instance*> FakeWmi::Evaluate(const std::string& query) {
  Wql wql(query);
  wql.Expect("SELECT");
  wql.ExpectChar('*');
  wql.Expect("FROM");
  std::string class_name = wql.Word();
  std::vector<Condition> conditions;
  if (!wql.AtEnd()) {
    wql.Expect("WHERE");
    for (;;) {
      Condition c;
      c.property = wql.Word();
      wql.ExpectChar('=');
      c.value = wql.Literal(&c.quoted);
      conditions.push_back(c);
      if (wql.AtEnd()) break;
      wql.Expect("AND");
    }
  }
  std::vector<Instance*> found;
  auto custom = answer.find(class_name);
  if (custom != answer.end()) {
    for (auto& instance : custom->second(query)) {
      answered_.push_back(std::make_unique<Instance>(std::move(instance)));
      found.push_back(answered_.back().get());
    }
    return found;
  }
  bool known = false;
  for (auto& instance : instances_) {
    if (Lower(instance->class_name) != Lower(class_name)) continue;
    known = true;
    bool all = true;
    for (const auto& c : conditions) all = all && Matches(*instance, c);
    if (all) found.push_back(instance.get());
  }
  if (!known && Lower(class_name).rfind("win32_", 0) != 0) throw WmiError("Invalid class", kInvalidClass);
  return found;
}

}  // namespace fakes
