// Progress on standard error: a bar redrawn in place on a terminal, plain lines otherwise
// (a log file or a pipe keeps every report).
#ifndef PINTOVEL_RENDER_PROGRESS_DISPLAY_H
#define PINTOVEL_RENDER_PROGRESS_DISPLAY_H

#include <ostream>
#include <string>

namespace pintovel_render {

class ProgressDisplay {
 public:
  // `terminal`: whether `out` is a terminal.
  ProgressDisplay(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

  // One report: a UTF-8 text and a position out of `range`.
  void Show(const std::string& text, int position, int range);

  // Ends the bar's line on a terminal.
  void Finish();

 private:
  std::ostream& out_;
  bool terminal_;
  bool barShown_ = false;
};

// "label: 33%": `position` out of `range` as a whole percentage, rounded down (100% only when
// complete), clamped to 0..100.
std::string ProgressLabel(const std::string& label, int position, int range);

// The bar for `position` out of `range`, `width` cells wide: "#" done, "." to do.
std::string ProgressBar(int position, int range, int width);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_PROGRESS_DISPLAY_H
