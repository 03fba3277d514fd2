// A main window whose page-loading steps record their calls, so tests can check the
// order of the creation sequence and the navigation's reloads.
#pragma once

#include <string>
#include <vector>

#include "app/MainForm.h"

namespace testing_support {

class RecordingMainForm : public app::TForm1 {
 public:
  RecordingMainForm(ui::Application& app, shell::Services& services, std::vector<std::string>& log)
      : app::TForm1(app, services), log_(log) {}

  void CleanTranslationsLikeGlobload() override { log_.push_back("CleanTranslationsLikeGlobload"); }
  void LoadLanguage() override { log_.push_back("LoadLanguage"); }
  void globload() override { log_.push_back("globload"); }

 protected:
  void ClearPingLabels() override { log_.push_back("ClearPingLabels"); }
  void LoadFiltersReload() override { log_.push_back("LoadFiltersReload"); }
  void LoadNastr() override { log_.push_back("LoadNastr"); }
  void SaveNastr() override { log_.push_back("SaveNastr"); }
  void LoadNetworkCards() override { log_.push_back("LoadNetworkCards"); }
  void UpdateNETOption() override { log_.push_back("UpdateNETOption"); }
  void LoadDNS(const std::string& path) override { log_.push_back("LoadDNS " + path); }
  void ComboBoxDNSChange() override { log_.push_back("ComboBoxDNSChange"); }
  std::string PortablePathDNS() override { return "dns.ini"; }
  void TabNetworkProfilesShow() override { log_.push_back("TabNetworkProfilesShow"); }

 private:
  std::vector<std::string>& log_;
};

}  // namespace testing_support
