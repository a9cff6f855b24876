// Warnings on standard error: what the drawing cannot show, each kind reported once, and
// invalid values, one warning per element that they spoil.
#ifndef PINTOVEL_RENDER_NOTICES_H
#define PINTOVEL_RENDER_NOTICES_H

#include <cstddef>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace pintovel_render {

class Notices {
 public:
  // Warnings go to `out` as they arise; null keeps them quiet (they are still counted).
  explicit Notices(std::ostream* out) : out_(out) {}

  // Reports `message` the first time `kind` occurs (naming `line`, when above zero); later
  // occurrences of the same kind are only counted.
  void Report(const std::string& kind, const std::string& message, long line);

  // Reports `message` every time (it names its element), counted under `kind`.
  void ReportEach(const std::string& kind, const std::string& message);

  // How often `kind` occurred.
  std::size_t Count(const std::string& kind) const;

  // The kinds in the order of their first occurrence.
  const std::vector<std::string>& kinds() const {
    return order_;
  }

 private:
  std::ostream* out_;
  std::map<std::string, std::size_t> counts_;
  std::vector<std::string> order_;
};

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_NOTICES_H
