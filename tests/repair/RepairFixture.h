// The main window on the fake platform, with the processes, the clock and the registry
// wrapped so that every command, shell request, pause, key opening and value write of
// the repair page lands in one trace, in the order it happened.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/MainForm.h"
#include "fakes/FakePlatform.h"
#include "fakes/HeadlessHost.h"

namespace repair_support {

inline std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
  return text;
}

// The shared trace; workers write it, the test reads it once they have ended.
struct Trace {
  std::mutex mutex;
  std::vector<std::string> lines;
  void Add(std::string line) {
    std::lock_guard<std::mutex> lock(mutex);
    lines.push_back(std::move(line));
  }
};

// Traces each start as "run", "run+wait", "shell" or "shell+wait", the program's path
// (the system folder written as %sys%) and the parameters.
class TracingProcesses : public platform::Processes {
 public:
  TracingProcesses(fakes::FakeProcesses& inner, Trace& trace, const std::string& system_folder)
      : inner_(inner), trace_(trace), system_folder_(system_folder) {}
  // Runs before each start with the short command line ("net stop dnscache /y"); a
  // test may look at the window or throw.
  std::function<void(const std::string&)> on_start;

  platform::ProcessOutcome Execute(const std::string& path, const std::string& params, bool wait,
                                   uint32_t timeout_ms) override {
    trace_.Add((wait ? "run+wait " : "run ") + Shown(path) + " " + params);
    if (on_start) on_start(fakes::FakeProcesses::ShortLine(path, params));
    return inner_.Execute(path, params, wait, timeout_ms);
  }
  int ShellOpen(const std::string& file, const std::string& params) override {
    trace_.Add("shell " + Shown(file) + " " + params);
    if (on_start) on_start(fakes::FakeProcesses::ShortLine(file, params));
    return inner_.ShellOpen(file, params);
  }
  platform::ProcessOutcome ShellOpenAndWait(const std::string& file, const std::string& params,
                                            uint32_t timeout_ms) override {
    trace_.Add("shell+wait " + Shown(file) + " " + params);
    if (on_start) on_start(fakes::FakeProcesses::ShortLine(file, params));
    return inner_.ShellOpenAndWait(file, params, timeout_ms);
  }

 private:
  std::string Shown(const std::string& path) const {
    if (!system_folder_.empty() && path.rfind(system_folder_ + "\\", 0) == 0)
      return "%sys%" + path.substr(system_folder_.size());
    return path;
  }
  fakes::FakeProcesses& inner_;
  Trace& trace_;
  const std::string& system_folder_;
};

class TracingClock : public platform::Clock {
 public:
  TracingClock(fakes::FakeClock& inner, Trace& trace) : inner_(inner), trace_(trace) {}
  platform::LocalTime Now() override { return inner_.Now(); }
  uint32_t TickCount() override { return inner_.TickCount(); }
  void Sleep(uint32_t ms) override {
    trace_.Add("pause " + std::to_string(ms));
    inner_.Sleep(ms);
  }

 private:
  fakes::FakeClock& inner_;
  Trace& trace_;
};

class TracingKey : public platform::RegistryKey {
 public:
  TracingKey(std::unique_ptr<platform::RegistryKey> inner, Trace& trace) : inner_(std::move(inner)), trace_(trace) {}
  bool ValueExists(const std::string& name) override { return inner_->ValueExists(name); }
  std::optional<platform::RegType> ValueType(const std::string& name) override { return inner_->ValueType(name); }
  std::optional<std::string> ReadString(const std::string& name) override { return inner_->ReadString(name); }
  std::optional<uint32_t> ReadDWord(const std::string& name) override { return inner_->ReadDWord(name); }
  std::optional<std::vector<uint8_t>> ReadBytes(const std::string& name) override { return inner_->ReadBytes(name); }
  bool WriteString(const std::string& name, const std::string& value) override {
    trace_.Add("  " + name + " = sz \"" + value + "\"");
    return inner_->WriteString(name, value);
  }
  bool WriteDWord(const std::string& name, uint32_t value) override {
    trace_.Add("  " + name + " = dword " + std::to_string(value));
    return inner_->WriteDWord(name, value);
  }
  bool WriteBytes(const std::string& name, platform::RegType type, const std::vector<uint8_t>& bytes) override {
    trace_.Add("  " + name + " = bytes of type " + std::to_string(static_cast<uint32_t>(type)));
    return inner_->WriteBytes(name, type, bytes);
  }
  bool DeleteValue(const std::string& name) override { return inner_->DeleteValue(name); }
  std::vector<std::string> SubKeys() override { return inner_->SubKeys(); }
  std::vector<std::string> ValueNames() override { return inner_->ValueNames(); }

 private:
  std::unique_ptr<platform::RegistryKey> inner_;
  Trace& trace_;
};

class TracingRegistry : public platform::Registry {
 public:
  TracingRegistry(fakes::FakeRegistry& inner, Trace& trace) : inner_(inner), trace_(trace) {}
  std::unique_ptr<platform::RegistryKey> Open(platform::RegRoot root, const std::string& path, uint32_t access,
                                              bool create) override {
    return OpenExplained(root, path, access, create).key;
  }
  platform::KeyOpening OpenExplained(platform::RegRoot root, const std::string& path, uint32_t access,
                                     bool create) override {
    trace_.Add(std::string(create ? "create " : "open ") + (root == platform::RegRoot::LocalMachine ? "HKLM\\" : "HKCU\\") +
               path + " " + Hex(access));
    platform::KeyOpening opening = inner_.OpenExplained(root, path, access, create);
    if (opening.key) opening.key = std::make_unique<TracingKey>(std::move(opening.key), trace_);
    return opening;
  }
  bool DeleteKey(platform::RegRoot root, const std::string& path, uint32_t view) override {
    return inner_.DeleteKey(root, path, view);
  }

 private:
  fakes::FakeRegistry& inner_;
  Trace& trace_;
};

// The fake system, with its settings-change notices in the trace.
class TracingSystem : public fakes::FakeSystem {
 public:
  TracingSystem(std::vector<std::string>& events, Trace& trace) : fakes::FakeSystem(events), trace_(trace) {}
  bool BroadcastSettingChange(uint32_t per_window_timeout_ms) override {
    trace_.Add("BroadcastSettingChange");
    return fakes::FakeSystem::BroadcastSettingChange(per_window_timeout_ms);
  }

 private:
  Trace& trace_;
};

struct RepairFixture : ::testing::Test, fakes::FakePlatform {
  Trace trace;
  TracingSystem traced_system{log, trace};
  TracingProcesses traced_processes{processes, trace, traced_system.system_folder};
  TracingClock traced_clock{clock, trace};
  TracingRegistry traced_registry{registry, trace};
  shell::Services traced{traced_registry, traced_system, versions, files, traced_processes, traced_clock, wmi, echo, http};
  fakes::HeadlessHost host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* form = nullptr;

  void SetUp() override {
    // Keys opened without the 64-bit view would land under WOW6432Node here.
    registry.process_is_64bit = false;
    application = std::make_unique<ui::Application>(host);
    form = application->CreateForm<app::TForm1>(traced);
    trace.lines.clear();
  }
  void TearDown() override { WaitForWorkers(); }

  repair::UsefulCommandsPage& page() { return form->Commands(); }
  const std::vector<std::string>& Log() { return page().MemoLogCom->Lines(); }

  // Lets the UI thread carry out the workers' hand-overs until they have all ended.
  void WaitForWorkers() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (application->GetWorkers().Running() > 0 && std::chrono::steady_clock::now() < deadline) {
      application->ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    application->ProcessMessages();
    ASSERT_EQ(application->GetWorkers().Running(), 0);
  }
  // A user's click: it reaches only a control that can be used.
  static void UserClick(ui::Component* control) {
    if (control->EffectivelyEnabled()) control->Click();
  }
  // A user's click, then the workers it starts are waited for.
  void ClickAndWait(ui::Button* button) {
    UserClick(button);
    WaitForWorkers();
  }
  void Tick(std::initializer_list<ui::CheckBox*> boxes) {
    for (ui::CheckBox* box : boxes) box->SetChecked(true);
  }
  // The log with its time stamps ("12:00:00 - ") taken off.
  std::vector<std::string> LogTexts() {
    std::vector<std::string> texts;
    const std::string stamp = "12:00:00 - ";
    for (const std::string& line : Log())
      texts.push_back(line.rfind(stamp, 0) == 0 ? line.substr(stamp.size()) : "[raw] " + line);
    return texts;
  }
};

}  // namespace repair_support
