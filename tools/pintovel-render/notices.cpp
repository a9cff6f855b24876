#include "notices.h"

namespace pintovel_render {

void Notices::Report(const std::string& kind, const std::string& message, long line) {
  const std::size_t seen = counts_[kind]++;
  if (seen > 0) return;
  order_.push_back(kind);
  if (out_ == nullptr) return;
  *out_ << "pintovel-render: warning: ";
  if (line > 0) *out_ << "line " << line << ": ";
  *out_ << message << " (reported once)\n";
}

void Notices::ReportEach(const std::string& kind, const std::string& message) {
  if (counts_[kind]++ == 0) order_.push_back(kind);
  if (out_ != nullptr) *out_ << "pintovel-render: warning: " << message << "\n";
}

std::size_t Notices::Count(const std::string& kind) const {
  const auto found = counts_.find(kind);
  return found == counts_.end() ? 0 : found->second;
}

}  // namespace pintovel_render
