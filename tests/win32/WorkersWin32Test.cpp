// Worker threads against real windows: a hand-over reaches the window through the
// message queue, and one for a window that is already destroyed is dropped without
// harm to the process.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <future>
#include <memory>
#include <string>

#include "ui/Application.h"
#include "ui/Controls.h"
#include "ui/win32/Win32Host.h"
#include "win32/Win32TestSupport.h"

namespace {

struct TestWindow : ui::Form {
  explicit TestWindow(ui::Application& app) : ui::Form(app, "FormWorkers") {
    SetClientSize(300, 80);
    label = Create<ui::Label>(this, "LabelDNS1");
    label->SetBounds({10, 10, 200, 14});
    label->SetCaption("Time1");
  }
  ui::Label* label;
};

// Pumps this thread's messages until `done` holds or ten seconds have passed.
template <class Done>
bool PumpUntil(Done done) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > 10000) return false;
    win32_test::Pump();
    Sleep(1);
  }
  return true;
}

TEST(WorkersWin32, AHandOverReachesTheWindowThroughTheMessageQueue) {
  ASSERT_TRUE(win32_test::HaveDisplay());
  ui::win32::Win32Host host;
  ui::Application app(host);
  auto* form = app.CreateForm<TestWindow>();
  HWND label = win32_test::FindControl(host.WindowOf(*form), L"LabelDNS1");
  ASSERT_NE(label, nullptr);
  std::atomic<bool> answered{false};
  DWORD ui_thread = GetCurrentThreadId();
  std::atomic<DWORD> ran_on{0};
  app.GetWorkers().Start("RealIPThread", [&, form](const ui::WorkerLink& link) {
    answered = link.Synchronize([&, form] {
      ran_on = GetCurrentThreadId();
      form->label->SetCaption("12 ms");
    });
  });
  ASSERT_TRUE(PumpUntil([&] { return app.GetWorkers().Running() == 0; }));
  EXPECT_TRUE(answered);
  EXPECT_EQ(ran_on.load(), ui_thread);
  EXPECT_EQ(win32_test::ControlText(label), L"12 ms");
}

TEST(WorkersWin32, AHandOverForADestroyedWindowIsDroppedAndTheProcessGoesOn) {
  ASSERT_TRUE(win32_test::HaveDisplay());
  for (bool waiting_at_destruction : {false, true}) {
    SCOPED_TRACE(waiting_at_destruction);
    auto host = std::make_unique<ui::win32::Win32Host>();
    auto app = std::make_unique<ui::Application>(*host);
    auto* form = app->CreateForm<TestWindow>();
    HWND window = host->WindowOf(*form);
    std::promise<void> go;
    std::shared_future<void> destroyed = go.get_future().share();
    std::atomic<bool> ran{false}, finished{false}, answered{true};
    ui::WorkerLink link = app->GetWorkers().Link();
    app->GetWorkers().Start("RealIPThread", [&, form, destroyed](const ui::WorkerLink& ui_thread) {
      if (!waiting_at_destruction) destroyed.wait();
      answered = ui_thread.Synchronize([&, form] {
        ran = true;
        form->label->SetCaption("late");
      });
      finished = true;
    });
    if (waiting_at_destruction) {
      DWORD start = GetTickCount();
      while (app->GetWorkers().Waiting() == 0 && GetTickCount() - start < 10000) Sleep(1);
      ASSERT_EQ(app->GetWorkers().Waiting(), 1);
    }
    // The window goes away; its hand-over message may still be in the queue.
    app.reset();
    host.reset();
    EXPECT_FALSE(IsWindow(window));
    go.set_value();
    ASSERT_TRUE(PumpUntil([&] { return finished.load() && link.Running() == 0; }));
    win32_test::Pump();  // a stale wake-up message finds nobody to call
    EXPECT_FALSE(ran);
    EXPECT_FALSE(answered);
  }
}

}  // namespace
