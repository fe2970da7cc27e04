#pragma once
// Printf-style templates ("%d/%d", "%5.2f", "F%0.1f", "%s sec") with C's printf output, checked
// against their arguments first so that a template that does not fit raises instead of
// invoking undefined behaviour.

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

namespace exif::detail {

// A template that does not fit its arguments: an unknown or unsupported conversion, a
// conversion whose argument has the wrong kind, or more conversions than arguments.
class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using FormatArg = std::variant<int32_t, double, long double, std::string_view>;

// Formats `templ` with `args` as C's snprintf would. Supported conversions: d i u o x X for
// integers, f F e E g G a A for floating values, s for text, and "%%". Flags, field width and
// precision are accepted (width and precision up to kMaxFormatWidth); '*' and length
// modifiers are not. Arguments left over are ignored. Throws FormatError.
std::string FormatText(std::string_view templ, std::initializer_list<FormatArg> args);

inline constexpr int kMaxFormatWidth = 1024;

}  // namespace exif::detail
