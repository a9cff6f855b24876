// Number scanning shared by every SVG micro-syntax the tool reads (path data, point lists,
// transform lists, lengths, colours). The grammar is the SVG one:
//   number ::= sign? (digits ("." digits?)? | "." digits) (("e" | "E") sign? digits)?
// An exponent is only taken when digits follow it, so "1em" scans as 1 followed by "em".
#ifndef PINTOVEL_RENDER_SVG_NUMBER_H
#define PINTOVEL_RENDER_SVG_NUMBER_H

#include <cstddef>
#include <optional>
#include <string_view>

namespace pintovel_render {

enum class NumberScan {
  kOk,          // a number was read
  kNoNumber,    // the text at the position does not start a number
  kOutOfRange,  // the number does not fit a finite double
};

// Reads one number starting exactly at `pos` (no leading whitespace is skipped). On kOk,
// `value` holds it and `pos` is moved past it; otherwise both are unchanged.
NumberScan ScanNumber(std::string_view text, std::size_t& pos, double& value);

// True for the SVG whitespace characters: space, tab, carriage return, line feed.
bool IsSvgSpace(char c);

// Skips whitespace starting at `pos`.
void SkipSpaces(std::string_view text, std::size_t& pos);

// Skips whitespace, at most one comma, and whitespace again. Returns true if a comma was
// skipped.
bool SkipCommaSpaces(std::string_view text, std::size_t& pos);

// The whole text (surrounding whitespace allowed) as one number, or nothing.
std::optional<double> ParseWholeNumber(std::string_view text);

// Text without leading and trailing whitespace.
std::string_view TrimSpaces(std::string_view text);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_SVG_NUMBER_H
