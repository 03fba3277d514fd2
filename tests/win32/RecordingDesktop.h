// The updater's desktop for the Windows tests: real update folders and held files,
// starts recorded instead of made (unless asked to start for real), the process never
// ended. The folders made are removed at the end.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win32/Win32Desktop.h"
#include "platform/win32/Wide.h"

namespace win32_test {

class RecordingDesktop : public platform::Desktop {
 public:
  struct Started {
    std::string program;
    std::string parameters;
    bool hidden;
    std::string bytes;  // the program file's bytes at the moment of the start
  };

  ~RecordingDesktop() override {
    for (const std::string& folder : folders) {
      std::wstring wide = platform::win32::Widen(folder);
      WIN32_FIND_DATAW found;
      HANDLE find = FindFirstFileW((wide + L"*").c_str(), &found);
      if (find != INVALID_HANDLE_VALUE) {
        do {
          if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((wide + found.cFileName).c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
      }
      RemoveDirectoryW(wide.c_str());
    }
  }

  std::unique_ptr<platform::UpdateFolder> CreateUpdateFolder() override {
    auto folder = real.CreateUpdateFolder();
    std::lock_guard lock(mutex);
    if (folder) folders.push_back(folder->Path());
    return folder;
  }
  platform::StartResult Start(const std::string& program, const std::string& parameters, bool hidden) override {
    if (on_start) on_start(program);
    std::string bytes;
    HANDLE file = CreateFileW(platform::win32::Widen(program).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      char buffer[65536];
      DWORD read = 0;
      while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read) bytes.append(buffer, read);
      CloseHandle(file);
    }
    std::lock_guard lock(mutex);
    started.push_back({program, parameters, hidden, bytes});
    if (start_for_real) return real.Start(program, parameters, hidden);
    return {true, {}};
  }
  std::string SystemFolder() override { return real.SystemFolder(); }
  unsigned OemCodePage() override { return real.OemCodePage(); }
  void ExitProcessNow() override { ++exits; }

  platform::win32::Win32Desktop real;
  std::mutex mutex;
  std::vector<std::string> folders;
  std::vector<Started> started;
  std::atomic<int> exits{0};
  // Called while what is to be started is still held.
  std::function<void(const std::string&)> on_start;
  bool start_for_real = false;
};

}  // namespace win32_test
