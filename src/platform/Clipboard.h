// The system clipboard, for text only.
#pragma once

#include <string>

namespace platform {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Replaces the clipboard's content with the text (UTF-8); false when it is busy.
  virtual bool SetText(const std::string& text) = 0;
};

}  // namespace platform
