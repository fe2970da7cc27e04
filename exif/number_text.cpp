#include "number_text.h"

#include <cmath>

#include "ascii.h"
#include "printf_format.h"

namespace exif::detail {
namespace {

// An optionally signed decimal integer of at most ten digits: the 32-bit range of both
// SRATIONAL and RATIONAL parts, whose unsigned numbers reach 4294967295.
bool ParseRationalPart(std::string_view text, int64_t& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::string_view digits = text.substr(i);
  if (digits.empty() || digits.size() > 10) return false;
  int64_t magnitude = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
    magnitude = magnitude * 10 + (c - '0');
  }
  value = negative ? -magnitude : magnitude;
  return true;
}

}  // namespace

std::string RationalText(int32_t numerator, int32_t denominator) {
  return FormatText("%d/%d", {numerator, denominator});
}

std::string IntegerText(int32_t value) { return std::to_string(value); }

long double FractionTextToNumber(std::string_view text) {
  text = TrimControls(text);
  int32_t whole = 0;
  std::string_view rest = text;
  if (const size_t blank = text.find(' '); blank != std::string_view::npos) {
    if (!ParseInt32(text.substr(0, blank), whole)) return 0;
    rest = text.substr(blank + 1);
  }
  const size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return 0;
  int64_t numerator = 0;
  int64_t denominator = 0;
  if (!ParseRationalPart(rest.substr(0, slash), numerator)) return 0;
  if (!ParseRationalPart(rest.substr(slash + 1), denominator)) return 0;
  if (denominator == 0) return 0;
  const auto d = static_cast<long double>(denominator);
  return (d * whole + static_cast<long double>(numerator)) / d;
}

std::string DecimalText(long double value, int decimals) {
  const std::string templ = "%." + std::to_string(decimals) + "f";
  std::string text = FormatText(templ, {value});
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  if (text == "-0") text = "0";
  return text;
}

int32_t RoundToInt32(long double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<long double>(INT32_MAX)) return INT32_MAX;
  if (value <= static_cast<long double>(INT32_MIN)) return INT32_MIN;
  const long double below = std::floor(value);
  const long double fraction = value - below;
  long double rounded = below;
  if (fraction > 0.5L || (fraction == 0.5L && std::fmod(below, 2.0L) != 0)) rounded = below + 1;
  return static_cast<int32_t>(rounded);
}

}  // namespace exif::detail
