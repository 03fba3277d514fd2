// Worker threads and their hand-overs to the UI thread, above all when the windows
// go away while a worker still runs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>

#include "fakes/HeadlessHost.h"
#include "ui/Application.h"
#include "ui/Controls.h"

namespace {

struct Window : ui::Form {
  using ui::Form::Form;
};

// Spins until `done` holds or ten seconds have passed.
template <class Done>
bool WaitUntil(Done done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

TEST(Workers, AHandOverForAWindowThatIsGoneIsDroppedNeverRun) {
  enum class When { AskedAfterTheWindowsWentAway, WaitingWhenTheWindowsWentAway };
  for (When when : {When::AskedAfterTheWindowsWentAway, When::WaitingWhenTheWindowsWentAway}) {
    SCOPED_TRACE(static_cast<int>(when));
    auto host = std::make_unique<fakes::HeadlessHost>();
    auto app = std::make_unique<ui::Application>(*host);
    auto* form = app->CreateForm<Window>("Form1");
    ui::Label* label = form->Create<ui::Label>(form, "LabelDNS1");
    std::promise<void> go;
    std::shared_future<void> gone = go.get_future().share();
    std::atomic<bool> ran{false}, finished{false}, answered{true};
    ui::WorkerLink link = app->GetWorkers().Link();
    app->GetWorkers().Start("RealIPThread", [&, label, gone, when](const ui::WorkerLink& ui_thread) {
      if (when == When::AskedAfterTheWindowsWentAway) gone.wait();
      answered = ui_thread.Synchronize([&, label] {
        ran = true;
        label->SetCaption("late");  // a freed label here is what ASan would catch
      });
      finished = true;
    });
    if (when == When::WaitingWhenTheWindowsWentAway) {
      ASSERT_TRUE(WaitUntil([&] { return app->GetWorkers().Waiting() == 1; }));
    }
    // The windows go away without another message run.
    app.reset();
    host.reset();
    go.set_value();
    ASSERT_TRUE(WaitUntil([&] { return finished.load(); })) << "the worker was never released";
    EXPECT_FALSE(ran);
    EXPECT_FALSE(answered);
    EXPECT_TRUE(link.Closed());
    EXPECT_TRUE(WaitUntil([&] { return link.Running() == 0; }));
  }
}

TEST(Workers, HandOversRunInOrderAndErrorsReachTheWorker) {
  fakes::HeadlessHost host;
  ui::Application app(host);
  std::vector<int> order;
  std::atomic<bool> error_seen{false};
  app.GetWorkers().Start("RepairThread", [&](const ui::WorkerLink& ui_thread) {
    for (int i = 0; i < 3; ++i) ui_thread.Synchronize([&, i] { order.push_back(i); });
    try {
      ui_thread.Synchronize([] { throw std::runtime_error("refused"); });
    } catch (const std::runtime_error&) {
      error_seen = true;
    }
  });
  EXPECT_EQ(app.GetWorkers().Running("RepairThread"), 1);
  ASSERT_TRUE(WaitUntil([&] {
    app.ProcessMessages();
    return app.GetWorkers().Running() == 0;
  }));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
  EXPECT_TRUE(error_seen);
  EXPECT_EQ(app.GetWorkers().Running("RepairThread"), 0);
}

// A run of hand-overs takes those waiting when it begins: one posted meanwhile (here a
// hand-over that posts the next, as a worker posting as fast as they run would) waits
// for the next run, so the UI thread gets back to its messages in between.
TEST(Workers, ARunOfHandOversEndsWithThoseWaitingWhenItBegan) {
  fakes::HeadlessHost host;
  ui::Application app(host);
  ui::WorkerLink link = app.GetWorkers().Link();
  int runs = 0;
  std::function<void()> again = [&] {
    if (++runs < 1000) link.Post(again);
  };
  ASSERT_TRUE(link.Post(again));
  ASSERT_TRUE(link.Post([&] { runs += 10; }));
  app.RunHandovers();
  EXPECT_EQ(runs, 11);
  app.RunHandovers();
  EXPECT_EQ(runs, 12);
}

TEST(Workers, OnTheUiThreadAHandOverRunsAtOnceUntilTheWindowsAreGone) {
  fakes::HeadlessHost host;
  ui::Application app(host);
  int runs = 0;
  EXPECT_TRUE(app.Synchronize([&] { ++runs; }));
  app.Run();  // the main window (none here) has closed
  EXPECT_FALSE(app.Synchronize([&] { ++runs; }));
  EXPECT_EQ(runs, 1);
}

}  // namespace
