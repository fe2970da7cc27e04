#include "exif/number_text.h"

#include <cmath>

#include "exif/ascii.h"
#include "exif/printf_format.h"

namespace exif::detail {

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
  int32_t numerator = 0;
  int32_t denominator = 0;
  if (!ParseInt32(rest.substr(0, slash), numerator)) return 0;
  if (!ParseInt32(rest.substr(slash + 1), denominator)) return 0;
  if (denominator == 0) return 0;
  const long double d = denominator;
  return (d * whole + numerator) / d;
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
