// The set-up the GUI tests share: the program's main window with its update and
// about windows, made by the real peers in this process over the real platform. The
// DNS list file, which a page may write, is put back afterwards, and no style stays
// active for the next test.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/MainForm.h"
#include "ui/win32/StyleDrawing.h"
#include "ui/win32/Win32Host.h"
#include "win32/RealPlatform.h"
#include "win32/Win32TestSupport.h"

namespace win32_test {

// Lets the windows paint and Wine hand the pictures to the X server.
inline void Settle() {
  for (int i = 0; i < 3; ++i) {
    Pump();
    Sleep(60);
  }
  Pump();
}

struct MainWindowFixture : ::testing::Test {
  RealPlatform real;
  std::unique_ptr<ui::win32::Win32Host> host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* form = nullptr;
  app::TForm10* update = nullptr;
  app::TForm8* about = nullptr;
  HWND window = nullptr;
  std::string dns_path;
  std::optional<std::vector<uint8_t>> saved_list;

  void SetUp() override {
    ASSERT_TRUE(HaveDisplay()) << "the GUI tests run under Xvfb";
    host = std::make_unique<ui::win32::Win32Host>();
    application = std::make_unique<ui::Application>(*host);
    application->SetTitle("Velmora");
    form = application->CreateForm<app::TForm1>(real.services);
    update = application->CreateForm<app::TForm10>(real.services);
    about = application->CreateForm<app::TForm8>(real.services);
    window = host->WindowOf(*form);
    ASSERT_NE(window, nullptr);
    dns_path = form->PortablePathDNS();
    saved_list = real.files.ReadFile(dns_path);
  }
  void TearDown() override {
    if (form) {
      if (saved_list)
        real.files.WriteFile(dns_path, *saved_list);
      else
        real.files.RemoveFile(dns_path);
    }
    ui::win32::styling::SetActive(nullptr);
    application.reset();
    host.reset();
  }
};

}  // namespace win32_test
