#include "path_data.h"

#include "elliptic_arc.h"
#include "svg_number.h"

namespace pintovel_render {

namespace {

// Collects subpaths while the commands are read; tracks the current point, the start of the
// current subpath and the control point that S and T reflect.
class SubpathBuilder {
 public:
  Point current() const {
    return current_;
  }

  void MoveTo(Point p) {
    Flush();
    open_ = {p};
    start_ = p;
    current_ = p;
  }

  void LineTo(Point p) {
    EnsureOpen();
    AppendLine(open_, p);
    current_ = p;
  }

  void CubicTo(Point c1, Point c2, Point p) {
    EnsureOpen();
    AppendCubic(open_, c1, c2, p);
    current_ = p;
  }

  void QuadraticTo(Point q, Point p) {
    EnsureOpen();
    AppendQuadratic(open_, q, p);
    current_ = p;
  }

  void ArcTo(double rx, double ry, double rotation, bool largeArc, bool sweep, Point p) {
    EnsureOpen();
    const auto arc = CentreArcFromEndpoints(current_, p, rx, ry, rotation, largeArc, sweep);
    if (arc) {
      AppendArc(open_, *arc, p);
    } else if (p != current_) {
      AppendLine(open_, p);  // a zero radius: the arc is the straight segment
    }
    current_ = p;
  }

  void Close() {
    EnsureOpen();
    ClosePath(open_);
    current_ = start_;
    Flush();
  }

  std::vector<BezierPath> Finish() {
    Flush();
    return std::move(done_);
  }

 private:
  // A drawing command right after Z starts a new subpath at the closed one's start.
  void EnsureOpen() {
    if (open_.empty()) open_ = {current_};
  }

  void Flush() {
    if (SegmentCount(open_) > 0) done_.push_back(std::move(open_));
    open_.clear();
  }

  Point current_{0.0, 0.0};
  Point start_{0.0, 0.0};
  BezierPath open_;
  std::vector<BezierPath> done_;
};

bool StartsNumber(char c) {
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

std::string Describe(std::string_view data, std::size_t pos) {
  if (pos >= data.size()) return "the end of the data";
  const char c = data[pos];
  if (c >= 0x21 && c <= 0x7e) return std::string("'") + c + "'";
  return "an unexpected character";
}

class PathDataReader {
 public:
  explicit PathDataReader(std::string_view data) : data_(data) {}

  ReadUpToError<BezierPath> Read() {
    ReadUpToError<BezierPath> result;
    try {
      ReadCommands();
    } catch (const PathDataError& error) {
      result.error = error;
    }
    // Each command reads all its arguments before it reaches the builder, so the builder
    // holds exactly the commands completed before an error.
    result.items = builder_.Finish();
    return result;
  }

 private:
  void ReadCommands() {
    SkipSpaces(data_, pos_);
    if (pos_ == data_.size()) return;
    if (data_[pos_] != 'M' && data_[pos_] != 'm') {
      throw PathDataError(
          pos_, "path data must begin with a moveto (M or m), found " + Describe(data_, pos_));
    }
    while (true) {
      SkipSpaces(data_, pos_);
      if (pos_ == data_.size()) break;
      const char command = data_[pos_];
      if (!IsCommand(command)) {
        throw PathDataError(pos_, "expected a path command, found " + Describe(data_, pos_));
      }
      ++pos_;
      ReadArguments(command);
    }
  }

  static bool IsCommand(char c) {
    switch (c) {
      case 'M':
      case 'm':
      case 'L':
      case 'l':
      case 'H':
      case 'h':
      case 'V':
      case 'v':
      case 'C':
      case 'c':
      case 'S':
      case 's':
      case 'Q':
      case 'q':
      case 'T':
      case 't':
      case 'A':
      case 'a':
      case 'Z':
      case 'z':
        return true;
      default:
        return false;
    }
  }

  // Reads the argument groups of one command: at least one group, then more while the next
  // token is a number.
  void ReadArguments(char command) {
    const bool relative = command >= 'a' && command <= 'z';
    const char upper = static_cast<char>(relative ? command - 'a' + 'A' : command);
    if (upper == 'Z') {
      builder_.Close();
      lastCommand_ = 'Z';
      return;
    }
    bool first = true;
    do {
      ReadGroup(upper, relative, first);
      first = false;
      const bool comma = SkipCommaSpaces(data_, pos_);
      const bool more = pos_ < data_.size() && StartsNumber(data_[pos_]);
      if (comma && !more) {
        throw PathDataError(pos_, "expected a number after ',', found " + Describe(data_, pos_));
      }
      if (!more) break;
    } while (true);
  }

  void ReadGroup(char upper, bool relative, bool first) {
    groupStart_ = true;
    const Point base = relative ? builder_.current() : Point{0.0, 0.0};
    switch (upper) {
      case 'M': {
        const Point p = base + ReadPair();
        // Pairs after the first of a moveto are line-tos (relative ones for m).
        if (first) {
          builder_.MoveTo(p);
        } else {
          builder_.LineTo(p);
        }
        lastCommand_ = first ? 'M' : 'L';
        break;
      }
      case 'L':
        builder_.LineTo(base + ReadPair());
        lastCommand_ = 'L';
        break;
      case 'H': {
        const double x = ReadNumber();
        builder_.LineTo({relative ? builder_.current().x + x : x, builder_.current().y});
        lastCommand_ = 'H';
        break;
      }
      case 'V': {
        const double y = ReadNumber();
        builder_.LineTo({builder_.current().x, relative ? builder_.current().y + y : y});
        lastCommand_ = 'V';
        break;
      }
      case 'C': {
        const Point c1 = base + ReadPair();
        const Point c2 = base + ReadPair();
        const Point p = base + ReadPair();
        builder_.CubicTo(c1, c2, p);
        lastControl_ = c2;
        lastCommand_ = 'C';
        break;
      }
      case 'S': {
        const Point current = builder_.current();
        // The first control point mirrors the previous cubic's second one about the current
        // point; without a previous cubic it is the current point.
        const Point c1 = (lastCommand_ == 'C' || lastCommand_ == 'S')
                             ? current + (current - lastControl_)
                             : current;
        const Point c2 = base + ReadPair();
        const Point p = base + ReadPair();
        builder_.CubicTo(c1, c2, p);
        lastControl_ = c2;
        lastCommand_ = 'S';
        break;
      }
      case 'Q': {
        const Point q = base + ReadPair();
        const Point p = base + ReadPair();
        builder_.QuadraticTo(q, p);
        lastControl_ = q;
        lastCommand_ = 'Q';
        break;
      }
      case 'T': {
        const Point current = builder_.current();
        const Point q = (lastCommand_ == 'Q' || lastCommand_ == 'T')
                            ? current + (current - lastControl_)
                            : current;
        const Point p = base + ReadPair();
        builder_.QuadraticTo(q, p);
        lastControl_ = q;
        lastCommand_ = 'T';
        break;
      }
      case 'A': {
        const double rx = ReadNumber();
        const double ry = ReadNumber();
        const double rotation = ReadNumber();
        const bool largeArc = ReadFlag();
        const bool sweep = ReadFlag();
        const Point p = base + ReadPair();
        builder_.ArcTo(rx, ry, rotation, largeArc, sweep, p);
        lastCommand_ = 'A';
        break;
      }
      default:
        break;
    }
  }

  Point ReadPair() {
    const double x = ReadNumber();
    const double y = ReadNumber();
    return {x, y};
  }

  // Arguments of one group are separated by whitespace and at most one comma; before the
  // first argument of a group only whitespace may stand (the command letter or the separator
  // before the group has been passed already).
  void SkipArgumentSeparator() {
    if (groupStart_) {
      SkipSpaces(data_, pos_);
      groupStart_ = false;
    } else {
      SkipCommaSpaces(data_, pos_);
    }
  }

  double ReadNumber() {
    SkipArgumentSeparator();
    double value = 0.0;
    switch (ScanNumber(data_, pos_, value)) {
      case NumberScan::kOk:
        return value;
      case NumberScan::kOutOfRange:
        throw PathDataError(pos_, "number out of range");
      case NumberScan::kNoNumber:
        break;
    }
    throw PathDataError(pos_, "expected a number, found " + Describe(data_, pos_));
  }

  bool ReadFlag() {
    SkipArgumentSeparator();
    if (pos_ < data_.size() && (data_[pos_] == '0' || data_[pos_] == '1')) {
      return data_[pos_++] == '1';
    }
    throw PathDataError(pos_, "expected an arc flag (0 or 1), found " + Describe(data_, pos_));
  }

  std::string_view data_;
  std::size_t pos_ = 0;
  SubpathBuilder builder_;
  bool groupStart_ = true;
  char lastCommand_ = 0;
  Point lastControl_{0.0, 0.0};
};

}  // namespace

ReadUpToError<BezierPath> ParsePathDataUpToError(std::string_view data) {
  return PathDataReader(data).Read();
}

std::vector<BezierPath> ParsePathData(std::string_view data) {
  ReadUpToError<BezierPath> read = ParsePathDataUpToError(data);
  if (read.error) throw *read.error;
  return std::move(read.items);
}

ReadUpToError<Point> ParsePointListUpToError(std::string_view text) {
  ReadUpToError<Point> result;
  std::optional<double> pendingX;  // the first number of a pair not yet complete
  std::size_t pos = 0;
  SkipSpaces(text, pos);
  while (pos < text.size()) {
    double value = 0.0;
    const std::size_t at = pos;
    const NumberScan scan = ScanNumber(text, pos, value);
    if (scan == NumberScan::kOutOfRange) {
      result.error = PathDataError(at, "number out of range");
      return result;
    }
    if (scan != NumberScan::kOk) {
      result.error = PathDataError(at, "expected a number, found " + Describe(text, at));
      return result;
    }
    if (pendingX) {
      result.items.push_back({*pendingX, value});
      pendingX.reset();
    } else {
      pendingX = value;
    }
    const bool comma = SkipCommaSpaces(text, pos);
    if (comma && pos == text.size()) {
      result.error = PathDataError(pos, "expected a number after ',', found the end of the data");
      return result;
    }
  }
  if (pendingX) {
    result.error =
        PathDataError(text.size(), "odd number of coordinates (" +
                                       std::to_string(2 * result.items.size() + 1) + ")");
  }
  return result;
}

std::vector<Point> ParsePointList(std::string_view text) {
  ReadUpToError<Point> read = ParsePointListUpToError(text);
  if (read.error) throw *read.error;
  return std::move(read.items);
}

}  // namespace pintovel_render
