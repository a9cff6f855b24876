#include "svg_number.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace pintovel_render {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::size_t SkipDigits(std::string_view text, std::size_t pos) {
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  return pos;
}

}  // namespace

bool IsSvgSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void SkipSpaces(std::string_view text, std::size_t& pos) {
  while (pos < text.size() && IsSvgSpace(text[pos])) ++pos;
}

bool SkipCommaSpaces(std::string_view text, std::size_t& pos) {
  SkipSpaces(text, pos);
  bool comma = false;
  if (pos < text.size() && text[pos] == ',') {
    comma = true;
    ++pos;
    SkipSpaces(text, pos);
  }
  return comma;
}

NumberScan ScanNumber(std::string_view text, std::size_t& pos, double& value) {
  std::size_t end = pos;
  if (end < text.size() && (text[end] == '+' || text[end] == '-')) ++end;
  const std::size_t integerStart = end;
  end = SkipDigits(text, end);
  bool haveDigits = end > integerStart;
  if (end < text.size() && text[end] == '.') {
    const std::size_t fractionStart = end + 1;
    const std::size_t fractionEnd = SkipDigits(text, fractionStart);
    if (fractionEnd > fractionStart || haveDigits) {
      haveDigits = haveDigits || fractionEnd > fractionStart;
      end = fractionEnd;
    }
  }
  if (!haveDigits) return NumberScan::kNoNumber;
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    std::size_t exponent = end + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
    const std::size_t exponentEnd = SkipDigits(text, exponent);
    if (exponentEnd > exponent) end = exponentEnd;
  }

  // from_chars rejects a leading '+', and is locale independent (strtod is not).
  std::size_t first = pos;
  if (text[first] == '+') ++first;
  double parsed = 0.0;
  const auto result = std::from_chars(text.data() + first, text.data() + end, parsed);
  if (result.ec == std::errc::result_out_of_range) {
    // Underflow to zero is harmless; overflow is not representable.
    const std::string digits(text.substr(first, end - first));
    const double rough = std::strtod(digits.c_str(), nullptr);
    if (std::isinf(rough)) return NumberScan::kOutOfRange;
    parsed = 0.0;
  } else if (result.ec != std::errc() || result.ptr != text.data() + end) {
    return NumberScan::kNoNumber;
  }
  if (!std::isfinite(parsed)) return NumberScan::kOutOfRange;
  value = parsed;
  pos = end;
  return NumberScan::kOk;
}

std::string_view TrimSpaces(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsSvgSpace(text[begin])) ++begin;
  while (end > begin && IsSvgSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::optional<double> ParseWholeNumber(std::string_view text) {
  const std::string_view trimmed = TrimSpaces(text);
  std::size_t pos = 0;
  double value = 0.0;
  if (ScanNumber(trimmed, pos, value) != NumberScan::kOk || pos != trimmed.size()) {
    return std::nullopt;
  }
  return value;
}

}  // namespace pintovel_render
