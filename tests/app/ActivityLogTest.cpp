#include <gtest/gtest.h>

#include <thread>

#include "adapter/MacReport.h"
#include "app/MainForm.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeSystem.h"
#include "fakes/HeadlessHost.h"

namespace {

TEST(LogLine, TwentyFourHourClockWithTheRegionalSeparator) {
  struct Case {
    platform::LocalTime time;
    const char* separator;
    const char* msg;
    const char* line;
  } cases[] = {
      {{9, 5, 7}, ":", "Очистка DNS", "09:05:07 - Очистка DNS"},
      {{21, 5, 7}, ":", "done", "21:05:07 - done"},
      {{0, 0, 0}, ":", "", "00:00:00 - "},
      {{23, 59, 59}, ".", "x", "23.59.59 - x"},
  };
  for (const Case& c : cases) EXPECT_EQ(app::FormatLogLine(c.time, c.separator, c.msg), c.line);
}

struct LogFixture : ::testing::Test, fakes::FakePlatform {
  fakes::HeadlessHost host;
  ui::Application application{host};
  app::TForm1* form = nullptr;
  void SetUp() override { form = application.CreateForm<app::TForm1>(services); }
};

TEST_F(LogFixture, LogAppendsAndLetsMessagesRun) {
  clock.now = {9, 5, 7};
  int pumps = host.process_messages_calls;
  form->Log("Начало");
  form->LogRaw("raw line");
  form->LogSeparator();
  EXPECT_EQ(form->Commands().MemoLogCom->Lines(),
            (std::vector<std::string>{"09:05:07 - Начало", "raw line", std::string(40, '-')}));
  EXPECT_GT(host.process_messages_calls, pumps);
}

TEST_F(LogFixture, WorkerLinesKeepTheirOrderAndTheWorkersTimeStamps) {
  auto log = form->WorkerLog(application.GetWorkers().Link());
  std::thread worker([&] {
    for (int second = 1; second <= 3; ++second) {
      clock.now = {10, 0, second};  // the worker stamps each line as it makes it
      log("step " + std::to_string(second));
    }
  });
  while (form->Commands().MemoLogCom->Lines().size() < 3) application.ProcessMessages();
  worker.join();
  EXPECT_EQ(form->Commands().MemoLogCom->Lines(),
            (std::vector<std::string>{"10:00:01 - step 1", "10:00:02 - step 2", "10:00:03 - step 3"}));
}

TEST_F(LogFixture, RunCommandStartsToolsFromTheSystemFolderOnlyAndReportsOneItCannotFind) {
  EXPECT_TRUE(form->RunCommand("ipconfig", "/flushdns", true));
  EXPECT_TRUE(form->RunCommand("netsh", "winsock reset", false));
  // Not part of the system and not installed; a name that is no tool; a path a caller
  // might slip in: none of them starts.
  EXPECT_FALSE(form->RunCommand("devcon", "restart *", true));
  EXPECT_FALSE(form->RunCommand("velmora-helper", "/x", false));
  EXPECT_FALSE(form->RunCommand("C:\\Users\\user\\Downloads\\netsh.exe", "int ip reset", true));
  // A system tool that is absent from the system folder fails to start.
  processes.missing_tools.insert("nbtstat");
  EXPECT_FALSE(form->RunCommand("nbtstat", "-RR", false));
  ASSERT_EQ(processes.started.size(), 2u);
  EXPECT_EQ(processes.started[0].path, "C:\\Windows\\system32\\ipconfig.exe");
  EXPECT_EQ(processes.started[0].params, "/flushdns");
  EXPECT_TRUE(processes.started[0].wait);
  EXPECT_EQ(processes.started[1].path, "C:\\Windows\\system32\\netsh.exe");
  EXPECT_EQ(processes.started[1].params, "winsock reset");
  EXPECT_FALSE(processes.started[1].wait);
}

}  // namespace

namespace {

TEST_F(LogFixture, MacReportListsEachAdapterBetweenHeadingAndSeparator) {
  system.adapters = std::vector<platform::AdapterInfo>{
      {"{0000000A-0000-0000-0000-4E6574446576}", "Intel(R) Ethernet", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
      {"{0000000B-0000-0000-0000-4E6574446576}", "Туннель", {}},
  };
  clock.now = {8, 30, 0};
  bool enabled_while_writing = true;
  host.Post([&] { enabled_while_writing = form->Commands().ButtonMACAddress->EffectivelyEnabled(); });
  form->Commands().ButtonMACAddress->SetCaption("MAC-адреса");  // a translated caption heads the report
  form->Commands().ButtonMACAddress->Click();
  EXPECT_EQ(form->Commands().MemoLogCom->Lines(),
            (std::vector<std::string>{"08:30:00 - MAC-адреса", "1", "Intel(R) Ethernet", "00-1A-2B-3C-4D-5E",
                                      "{0000000A-0000-0000-0000-4E6574446576}", "2", "Туннель", "",
                                      "{0000000B-0000-0000-0000-4E6574446576}", std::string(40, '-')}));
  EXPECT_EQ(form->Commands().MemoLogCom->Lines()[3].size(), 17u);
  EXPECT_FALSE(enabled_while_writing) << "the panel is disabled while messages run";
  EXPECT_TRUE(form->Commands().TabComButtons->Enabled());
}

TEST_F(LogFixture, MacReportWithoutAReadableListHoldsOnlyHeadingAndSeparator) {
  for (bool readable : {false, true}) {
    form->Commands().MemoLogCom->SetLines({});
    system.adapters = readable ? std::optional(std::vector<platform::AdapterInfo>{}) : std::nullopt;
    form->Commands().ButtonMACAddress->Click();
    ASSERT_EQ(form->Commands().MemoLogCom->Lines().size(), 2u);
    EXPECT_EQ(form->Commands().MemoLogCom->Lines()[1], std::string(40, '-'));
    EXPECT_EQ(adapter::AppendAdapterList(system, *form->Commands().MemoLogCom), readable);
  }
}

}  // namespace
