// An output file that appears only when complete: it is written under a temporary name in
// the target's directory and renamed over the target by Commit(). An uncommitted file is
// removed when the object goes away, so a failure leaves nothing half-written.
#ifndef PINTOVEL_RENDER_PENDING_FILE_H
#define PINTOVEL_RENDER_PENDING_FILE_H

#include <cstdio>
#include <string>

namespace pintovel_render {

class PendingFile {
 public:
  // Creates the temporary file. Throws ToolError(kOutputFailure).
  explicit PendingFile(const std::string& path);
  ~PendingFile();
  PendingFile(PendingFile&& other) noexcept;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  PendingFile& operator=(PendingFile&&) = delete;

  // The open stream, until Close().
  FILE* stream() const {
    return stream_;
  }

  // Flushes and closes the stream. Throws ToolError(kOutputFailure) if anything written
  // did not reach the file.
  void Close();

  // Closes if needed, then renames the file to its target. Throws ToolError(kOutputFailure).
  void Commit();

  const std::string& path() const {
    return path_;
  }

 private:
  std::string path_;
  std::string temporary_;
  FILE* stream_ = nullptr;
};

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_PENDING_FILE_H
