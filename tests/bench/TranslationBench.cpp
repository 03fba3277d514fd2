// Translation benchmark: the time to translate the main, update and about windows
// (with their real windows made by the Win32 peers) from the English file, and from
// the same file grown by 1x, 3x and 7x its size in keys no window has, so the cost per
// entry shows. Prints the minimum and median of several runs for each size. Not a
// test: nothing here passes or fails; scripts/bench.sh runs it under Wine for its table.
//
// Usage: velmora_translation_bench ENGLISH.ini [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/MainForm.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32Echo.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Http.h"
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32System.h"
#include "platform/win32/Win32VersionResources.h"
#include "platform/win32/Win32Wmi.h"
#include "ui/win32/Win32Host.h"
#include "BenchClock.h"

namespace {

double Now() { return bench::NowMs(); }

class ProgramInFolder : public platform::win32::Win32System {
 public:
  explicit ProgramInFolder(std::string folder) : folder_(std::move(folder)) {}
  std::string ProgramPath() override { return folder_ + "Velmora.exe"; }

 private:
  std::string folder_;
};

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: velmora_translation_bench ENGLISH.ini [runs]\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string english((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (english.empty()) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
  const size_t entries = static_cast<size_t>(std::count(english.begin(), english.end(), '\n'));

  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "velmora-translation-bench\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  CreateDirectoryA((folder + "Language").c_str(), nullptr);
  Write(folder + "portable.ini", "");

  ProgramInFolder system(folder);
  platform::win32::Win32Registry registry;
  platform::win32::Win32VersionResources versions;
  platform::win32::Win32FileSystem files;
  platform::win32::Win32Processes processes;
  platform::win32::Win32Clock clock;
  platform::win32::Win32Wmi wmi;
  platform::win32::Win32Echo echo{wmi};
  platform::win32::Win32Http http;
  shell::Services services{registry, system, versions, files, processes, clock, wmi, echo, http};
  ui::win32::Win32Host host;
  ui::Application application(host);
  application.SetTitle("Velmora");
  auto* main_form = application.CreateForm<app::TForm1>(services);
  application.CreateForm<app::TForm10>(services);
  application.CreateForm<app::TForm8>(services);
  HWND window = host.WindowOf(*main_form);
  ShowWindow(window, SW_SHOW);
  // Every page once, so all their windows exist and take the new texts.
  for (int page : {3, 1, 0, 2}) main_form->PageControl->SetActivePageIndex(page);
  Write(folder + "Config\\Option.ini", "[Language]\r\nLanguage=English\r\n");

  std::printf("entries in English.ini: about %zu lines; %d runs each\n", entries, runs);
  std::printf("%-28s %10s %10s\n", "file", "min ms", "median ms");
  double english_median = -1, largest_median = -1;
  for (int factor : {1, 2, 4, 8}) {
    std::string body = english;
    for (size_t i = 0; i < entries * static_cast<size_t>(factor - 1); ++i)
      body += "Form1.Synthetic" + std::to_string(i) + ".Caption=Synthetic text " + std::to_string(i) + "\r\n";
    Write(folder + "Language\\English.ini", body);
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
      const double start = Now();
      main_form->globload();
      times.push_back(Now() - start);
    }
    std::sort(times.begin(), times.end());
    char label[64];
    std::snprintf(label, sizeof label, "English x%d (%zu KB)", factor, body.size() / 1024);
    std::printf("%-28s %10.2f %10.2f\n", label, times.front(), times[times.size() / 2]);
    if (factor == 1) english_median = times[times.size() / 2];
    largest_median = times[times.size() / 2];
  }
  // The row of the benchmark table (scripts/bench.sh).
  std::printf("| translating the main, update and about windows from English.ini (median of %d) | %.1f ms | "
              "the file grown 8 x by keys no window has: %.1f ms | - |\n",
              runs, english_median, largest_median);
  return 0;
}
