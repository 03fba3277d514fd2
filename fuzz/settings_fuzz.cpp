// The main window's settings file: loading any file never throws out of the window,
// and saving it back keeps every section and key the window does not own.
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "FuzzSupport.h"
#include "app/MainForm.h"
#include "common/IniFile.h"
#include "common/Text.h"
#include "fakes/FakePlatform.h"
#include "fakes/HeadlessHost.h"

namespace {

// The window with its settings calls reachable from here.
struct SettingsForm : app::TForm1 {
  using app::TForm1::TForm1;
  using app::TForm1::LoadNastr;
  using app::TForm1::SaveNastr;
};

struct World {
  fakes::FakePlatform platform;
  fakes::HeadlessHost host;
  std::unique_ptr<ui::Application> application;
  SettingsForm* form = nullptr;
  std::string path;
  std::set<std::string> owned;  // lower-case names of the keys the window writes

  World() {
    platform.wmi.fail_locator = true;  // no cards: the adapter refresh stops at once
    application = std::make_unique<ui::Application>(host);
    application->SetTitle("Velmora");
    form = application->CreateForm<SettingsForm>(platform.services);
    path = form->PortablePath();
    form->SaveNastr();
    auto saved = common::IniFile::Parse(platform.files.Text(path), common::IniOptions::Settings());
    for (const std::string& key : saved.KeyNames("Option")) owned.insert(common::ToLowerText(key));
  }
};

common::DecodedText Decode(const std::string& bytes, unsigned code_page) {
  return common::DecodeFile(std::vector<uint8_t>(bytes.begin(), bytes.end()), code_page);
}

common::IniFile Parse(const std::string& utf8) { return common::IniFile::Parse(utf8, common::IniOptions::Settings()); }

// The rewritten file read the way the original was. The window writes a file back in
// the encoding it read it in and keeps the bytes of the lines it does not own; an ANSI
// file whose only stray bytes sat in a value the window rewrote may look like UTF-8
// afterwards, which is the guess of the next reader, not a change of those bytes.
std::string DecodeAs(const std::string& bytes, common::Encoding encoding, unsigned code_page) {
  if (encoding == common::Encoding::Ansi) return common::AnsiToUtf8(bytes, code_page);
  return Decode(bytes, code_page).utf8;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World* world = new World;
  const std::string original(reinterpret_cast<const char*>(data), size);
  world->platform.files.SetFile(world->path, original);
  world->form->LoadNastr();
  world->form->SaveNastr();
  const unsigned code_page = world->platform.system.AnsiCodePage();
  const common::DecodedText original_text = Decode(original, code_page);
  common::IniFile before = Parse(original_text.utf8);
  common::IniFile after =
      Parse(DecodeAs(world->platform.files.Text(world->path), original_text.encoding, code_page));

  for (const std::string& section : before.SectionNames()) {
    if (common::EqualsTextNoCase(section, "Option")) {
      for (const common::IniEntry& entry : before.Entries(section)) {
        if (world->owned.count(common::ToLowerText(entry.key))) continue;
        fuzz::Check(after.FindValue(section, entry.key) == before.FindValue(section, entry.key),
                    "a key the window does not own keeps its value", entry.key);
      }
    } else {
      fuzz::Check(after.Entries(section) == before.Entries(section), "another section survives whole", section);
    }
  }
  for (const std::string& key : world->owned) {
    auto value = after.FindValue("Option", key);
    fuzz::Check(value == std::optional<std::string>("0") || value == std::optional<std::string>("1"),
                "the window's own keys are stored as 0 or 1", key);
  }
  // The fakes' call logs are cleared so that a run allocates no more than it frees;
  // otherwise every run looks like a leak and costs a full leak scan.
  world->platform.files.ClearLog();
  world->platform.log.clear();
  world->platform.log.shrink_to_fit();
  return 0;
}
