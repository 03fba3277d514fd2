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

// The pixels of a window's client area as the screen shows them (0xRRGGBB).
struct Pixels {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;
  uint32_t At(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};

inline Pixels Capture(HWND hwnd) {
  RECT r;
  GetClientRect(hwnd, &r);
  MapWindowPoints(hwnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
  Pixels out;
  out.width = r.right - r.left;
  out.height = r.bottom - r.top;
  if (out.width <= 0 || out.height <= 0) return out;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = out.width;
  info.bmiHeader.biHeight = -out.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, out.width, out.height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const auto* raw = static_cast<const uint32_t*>(bits);
  out.rgb.assign(raw, raw + static_cast<size_t>(out.width) * out.height);
  for (uint32_t& c : out.rgb) c &= 0xFFFFFF;
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return out;
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
