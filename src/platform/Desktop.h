// What the updater asks of the desktop: a folder of its own for one update, files in
// it that nobody can change while they are handed over, starting a program, and
// ending the process at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// A file written for one update and held open for reading only, sharing reading
// only: while it is held nobody can write, replace, rename or delete it.
class HeldFile {
 public:
  virtual ~HeldFile() = default;
  virtual const std::string& Path() const = 0;
};

// A folder made for one update. When the program runs elevated only administrators
// and the system can write to it; otherwise it belongs to the user.
class UpdateFolder {
 public:
  virtual ~UpdateFolder() = default;
  // Full path with a trailing "\".
  virtual const std::string& Path() const = 0;
  // Writes a new file `name` with `data` and holds it. Null when it could not be
  // written, or when what is held reads back differently from `data`.
  virtual std::unique_ptr<HeldFile> Write(const std::string& name, const std::vector<uint8_t>& data) = 0;
};

// What became of a start request.
struct StartResult {
  bool started = false;
  // Why it did not start, in the system's words.
  std::string error;
};

class Desktop {
 public:
  virtual ~Desktop() = default;
  // A new, empty folder for one update; null when none could be made.
  virtual std::unique_ptr<UpdateFolder> CreateUpdateFolder() = 0;
  // Starts `program` (a full path) with `parameters`, in a normal or a hidden window,
  // with its own folder as the working folder.
  virtual StartResult Start(const std::string& program, const std::string& parameters, bool hidden) = 0;
  // The system folder (e.g. C:\Windows\System32), with a trailing "\".
  virtual std::string SystemFolder() = 0;
  // The code page the command processor reads batch files in.
  virtual unsigned OemCodePage() = 0;
  // Ends the process at once: no window is closed, no setting saved.
  virtual void ExitProcessNow() = 0;
};

}  // namespace platform
