#include "progress_display.h"

#include <algorithm>
#include <string>

namespace pintovel_render {

namespace {
constexpr int kBarWidth = 30;
}

std::string ProgressBar(int position, int range, int width) {
  const long long clamped = range > 0 ? std::clamp(position, 0, range) : 0;
  const int done = range > 0 ? static_cast<int>(clamped * width / range) : 0;
  return std::string(static_cast<std::size_t>(done), '#') +
         std::string(static_cast<std::size_t>(width - done), '.');
}

std::string ProgressLabel(const std::string& label, int position, int range) {
  const long long clamped = range > 0 ? std::clamp(position, 0, range) : 0;
  const long long percent = range > 0 ? clamped * 100 / range : 0;
  return label + ": " + std::to_string(percent) + "%";
}

void ProgressDisplay::Show(const std::string& text, int position, int range) {
  if (terminal_) {
    // Carriage return and "erase line": the bar is redrawn in place.
    out_ << "\r\x1b[K" << text << " [" << ProgressBar(position, range, kBarWidth) << "]";
    out_.flush();
    barShown_ = true;
  } else {
    out_ << text << " (" << position << "/" << range << ")\n";
  }
}

void ProgressDisplay::Finish() {
  if (barShown_) out_ << "\n";
  barShown_ = false;
  out_.flush();
}

}  // namespace pintovel_render
