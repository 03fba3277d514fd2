// Small helpers shared by the fuzz targets.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

// Stops the run with a message: libFuzzer keeps the input that got here.
[[noreturn]] inline void Fail(const char* what, std::string_view detail = {}) {
  std::fprintf(stderr, "property failed: %s\n%.*s\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

inline void Check(bool condition, const char* what, std::string_view detail = {}) {
  if (!condition) Fail(what, detail);
}

// Takes bytes off the front of the input for the target's choices.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
  }
  std::string_view Rest() const { return {reinterpret_cast<const char*>(data_), size_}; }

 private:
  const uint8_t* data_;
  size_t size_;
};

// The ANSI code pages a system may have.
inline unsigned CodePage(uint8_t choice) {
  static const unsigned kPages[] = {1251, 1252, 1250, 1253, 1254, 1255, 1256, 1257, 1258, 874, 65001};
  return kPages[choice % (sizeof kPages / sizeof kPages[0])];
}

}  // namespace fuzz
