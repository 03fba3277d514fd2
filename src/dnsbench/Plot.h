// The strip chart of the benchmark window: one line per address, its cached and
// uncached query times as dots on a logarithmic time axis, the medians as ticks.
#pragma once

#include <string>
#include <vector>

#include "dnsbench/Benchmark.h"
#include "ui/Controls.h"

namespace dnsbench {

struct PlotColours {
  ui::Colour background = 0xFFFFFF;
  ui::Colour text = 0x000000;
  ui::Colour grid = 0xD8D8D8;
  ui::Colour cached = 0x1F6FD0;
  ui::Colour uncached = 0xE07B00;
  ui::Colour fastest = 0x2E9E3E;
  std::string cached_label, uncached_label;  // the legend; none when empty
  static PlotColours For(const ui::StylePalette* palette);
};

// The x position of a time on the axis from `left` to `right` spanning lo..hi ms.
int PlotX(double ms, double lo, double hi, int left, int right);

void DrawPlot(ui::Canvas& canvas, ui::Point size, const std::vector<const AddressResult*>& rows,
              const PlotColours& colours);

}  // namespace dnsbench
