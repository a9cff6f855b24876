#include "pending_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "tool_error.h"

namespace pintovel_render {

namespace {

ToolError OutputError(const std::string& path, const std::string& why) {
  return ToolError(ExitCode::kOutputFailure, "cannot write '" + path + "': " + why);
}

// mkstemp creates the file for its owner only; the finished file gets the permissions of a
// file created the ordinary way (0666 less the umask).
void SetOrdinaryPermissions(int fd) {
  const mode_t mask = umask(0);
  umask(mask);
  (void)fchmod(fd, 0666 & ~mask);
}

}  // namespace

PendingFile::PendingFile(const std::string& path) : path_(path) {
  const std::string pattern = path + ".tmp-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) throw OutputError(path, std::strerror(errno));
  temporary_ = name.data();
  SetOrdinaryPermissions(fd);
  stream_ = fdopen(fd, "wb");
  if (stream_ == nullptr) {
    const int error = errno;
    close(fd);
    unlink(temporary_.c_str());
    throw OutputError(path, std::strerror(error));
  }
}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : path_(std::move(other.path_)),
      temporary_(std::move(other.temporary_)),
      stream_(other.stream_) {
  other.temporary_.clear();
  other.stream_ = nullptr;
}

PendingFile::~PendingFile() {
  if (stream_ != nullptr) std::fclose(stream_);
  if (!temporary_.empty()) unlink(temporary_.c_str());
}

void PendingFile::Close() {
  if (stream_ == nullptr) return;
  const bool failedBefore = std::ferror(stream_) != 0;
  const bool flushed = std::fflush(stream_) == 0;
  const int flushError = errno;
  const bool closed = std::fclose(stream_) == 0;
  const int closeError = errno;
  stream_ = nullptr;
  if (failedBefore) throw OutputError(path_, "write error");
  if (!flushed) throw OutputError(path_, std::strerror(flushError));
  if (!closed) throw OutputError(path_, std::strerror(closeError));
}

void PendingFile::Commit() {
  Close();
  if (temporary_.empty()) return;
  if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
    throw OutputError(path_, std::strerror(errno));
  }
  temporary_.clear();
}

}  // namespace pintovel_render
