#include "dnsbench/Plot.h"

#include <algorithm>
#include <cmath>

namespace dnsbench {

PlotColours PlotColours::For(const ui::StylePalette* palette) {
  PlotColours c;
  if (!palette) return c;
  c.background = palette->edit;
  c.text = palette->edit_text;
  c.grid = palette->border;
  if (palette->dark) {
    c.cached = 0x5AA9FF;
    c.uncached = 0xFFA94D;
    c.fastest = 0x6BD17A;
  }
  return c;
}

namespace {

// A line of the chart is named by its address, and by its protocol when that is not
// the usual UDP, so that one server's two lines can be told apart.
std::string PlotLabel(const AddressResult& r) {
  return r.protocol == Protocol::kUdp ? r.address : r.address + " " + ProtocolName(r.protocol);
}

}  // namespace

int PlotX(double ms, double lo, double hi, int left, int right) {
  ms = std::clamp(ms, lo, hi);
  double span = std::log10(hi) - std::log10(lo);
  double at = span > 0 ? (std::log10(ms) - std::log10(lo)) / span : 0.0;
  return left + static_cast<int>(std::lround(at * (right - left)));
}

void DrawPlot(ui::Canvas& canvas, ui::Point size, const std::vector<const AddressResult*>& rows,
              const PlotColours& colours) {
  canvas.FillRect({0, 0, size.x, size.y}, colours.background);
  std::vector<const AddressResult*> shown;
  double lo = 1e9, hi = 0;
  for (const AddressResult* r : rows) {
    if (r->cached_ms.empty() && r->uncached_ms.empty()) continue;
    shown.push_back(r);
    for (const auto* v : {&r->cached_ms, &r->uncached_ms})
      for (double ms : *v) lo = std::min(lo, ms), hi = std::max(hi, ms);
  }
  if (shown.empty()) return;
  // Whole decades around the times, so the grid lines fall on 0.1, 1, 10, 100 ms.
  lo = std::pow(10.0, std::floor(std::log10(std::max(lo, 0.01))));
  hi = std::pow(10.0, std::ceil(std::log10(std::max(hi, lo * 10))));

  const int text_height = canvas.TextSize("0").y;
  int label_width = 0;
  for (const AddressResult* r : shown) label_width = std::max(label_width, canvas.TextSize(PlotLabel(*r)).x);
  const int left = label_width + 12, right = size.x - 12;
  const int axis_y = size.y - text_height - 4;
  const int line_height = std::max(text_height + 2, 14);
  // Below the legend, when there is one.
  const int rows_top = colours.cached_label.empty() && colours.uncached_label.empty() ? 4 : text_height + 6;
  const int lines = std::max(1, (axis_y - rows_top) / line_height);
  if (right <= left) return;

  for (double decade = lo; decade <= hi * 1.0001; decade *= 10) {
    int x = PlotX(decade, lo, hi, left, right);
    canvas.Line({x, 2}, {x, axis_y}, colours.grid);
    std::string label = FormatMs(decade);
    int w = canvas.TextSize(label).x;
    canvas.Text({std::clamp(x - w / 2, 0, std::max(0, size.x - w)), axis_y + 2}, label, colours.text);
  }
  canvas.Line({left, axis_y}, {right, axis_y}, colours.grid);
  // Legend in the top right corner: a dot of each colour before its label.
  int legend_x = right;
  for (auto [label, colour] : {std::pair{colours.uncached_label, colours.uncached},
                               std::pair{colours.cached_label, colours.cached}}) {
    if (label.empty()) continue;
    legend_x -= canvas.TextSize(label).x + 4;
    canvas.Text({legend_x, 2}, label, colours.text);
    legend_x -= 10;
    canvas.Dot({legend_x + 4, 2 + text_height / 2}, 3, colour);
    legend_x -= 12;
  }

  for (size_t i = 0; i < shown.size() && static_cast<int>(i) < lines; ++i) {
    const AddressResult& r = *shown[i];
    const int y = rows_top + static_cast<int>(i) * line_height + line_height / 2;
    canvas.Text({4, y - text_height / 2}, PlotLabel(r), r.fastest ? colours.fastest : colours.text);
    canvas.Line({left, y}, {right, y}, colours.grid);
    // Uncached first, so the (usually faster) cached dots sit on top.
    for (double ms : r.uncached_ms) canvas.Dot({PlotX(ms, lo, hi, left, right), y}, 3, colours.uncached);
    for (double ms : r.cached_ms) canvas.Dot({PlotX(ms, lo, hi, left, right), y}, 3, colours.cached);
    for (auto [median, colour] : {std::pair{r.cached_median, colours.cached}, std::pair{r.uncached_median, colours.uncached}}) {
      if (median < 0) continue;
      int x = PlotX(median, lo, hi, left, right);
      canvas.Line({x, y - 6}, {x, y + 7}, colour);
    }
  }
}

}  // namespace dnsbench
