// Progress bars and the activity indicator (a marquee bar shown while it animates).
#include <windows.h>
#include <commctrl.h>

#include "ui/win32/ControlPeer.h"

namespace ui::win32 {

namespace {

// Milliseconds between the marquee's steps.
constexpr int kMarqueeStep = 30;

class ProgressBarPeer : public ControlPeer {
 public:
  using ControlPeer::ControlPeer;

  void Sync(Change change) override {
    if (change == Change::Progress) {
      Fill();
      return;
    }
    ControlPeer::Sync(change);
  }

 protected:
  void Describe(CreateParams& params) override { params.window_class = PROGRESS_CLASSW; }
  void Fill() override {
    auto& bar = static_cast<ProgressBar&>(component_);
    SendMessageW(hwnd_, PBM_SETRANGE32, 0, bar.Max());
    SendMessageW(hwnd_, PBM_SETPOS, bar.Position(), 0);
  }
};

class ActivityIndicatorPeer : public ControlPeer {
 public:
  using ControlPeer::ControlPeer;

 protected:
  void Describe(CreateParams& params) override {
    params.window_class = PROGRESS_CLASSW;
    params.style |= PBS_MARQUEE;
  }
  void Fill() override { SendMessageW(hwnd_, PBM_SETMARQUEE, Indicator().Animate(), kMarqueeStep); }
  bool ShownNow() const override { return Indicator().Visible() && Indicator().Animate(); }
  void SyncVisible() override {
    SendMessageW(hwnd_, PBM_SETMARQUEE, Indicator().Animate(), kMarqueeStep);
    ControlPeer::SyncVisible();
  }

 private:
  ActivityIndicator& Indicator() const { return static_cast<ActivityIndicator&>(component_); }
};

}  // namespace

std::unique_ptr<ControlPeer> MakeProgressBarPeer(FormPeer& form, Component& component) {
  return std::make_unique<ProgressBarPeer>(form, component);
}

std::unique_ptr<ControlPeer> MakeActivityIndicatorPeer(FormPeer& form, Component& component) {
  return std::make_unique<ActivityIndicatorPeer>(form, component);
}

}  // namespace ui::win32
