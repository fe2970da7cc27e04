#include "printf_format.h"

#include <cstdio>
#include <vector>

namespace exif::detail {
namespace {

enum class Kind { Integer, Floating, Text };

struct Conversion {
  std::string flags;
  int width = -1;
  int precision = -1;
  char letter = 0;
  Kind kind = Kind::Integer;
};

[[noreturn]] void Fail(std::string_view templ) {
  throw FormatError("Format '" + std::string(templ) + "' invalid or incompatible with argument");
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads digits at `i` into a number, failing above kMaxFormatWidth.
int ReadNumber(std::string_view templ, size_t& i) {
  int value = 0;
  while (i < templ.size() && IsDigit(templ[i])) {
    value = value * 10 + (templ[i] - '0');
    if (value > kMaxFormatWidth) Fail(templ);
    ++i;
  }
  return value;
}

// Parses the conversion that starts after the '%' at templ[i - 1]; leaves i after its letter.
Conversion ParseConversion(std::string_view templ, size_t& i) {
  Conversion c;
  while (i < templ.size() && std::string_view("-+ #0").find(templ[i]) != std::string_view::npos) {
    c.flags += templ[i++];
  }
  if (i < templ.size() && IsDigit(templ[i])) c.width = ReadNumber(templ, i);
  if (i < templ.size() && templ[i] == '.') {
    ++i;
    c.precision = ReadNumber(templ, i);
  }
  if (i >= templ.size()) Fail(templ);
  c.letter = templ[i++];
  const auto has = [&](char flag) { return c.flags.find(flag) != std::string::npos; };
  switch (c.letter) {
    case 'd':
    case 'i':
    case 'u':
      if (has('#')) Fail(templ);  // undefined for these conversions in C
      c.kind = Kind::Integer;
      break;
    case 'o':
    case 'x':
    case 'X':
      c.kind = Kind::Integer;
      break;
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
      c.kind = Kind::Floating;
      break;
    case 's':
      if (has('#') || has('0')) Fail(templ);  // undefined for %s in C
      c.kind = Kind::Text;
      break;
    default:
      Fail(templ);  // '*', length modifiers and everything else
  }
  return c;
}

std::string Spec(const Conversion& c, std::string_view lengthModifier) {
  std::string spec = "%" + c.flags;
  if (c.width >= 0) spec += std::to_string(c.width);
  if (c.precision >= 0) spec.append(1, '.').append(std::to_string(c.precision));
  spec += lengthModifier;
  spec += c.letter;
  return spec;
}

template <typename T>
void AppendPrintf(std::string& out, const std::string& spec, T value) {
  const int needed = std::snprintf(nullptr, 0, spec.c_str(), value);
  if (needed <= 0) return;
  std::vector<char> buffer(static_cast<size_t>(needed) + 1);
  std::snprintf(buffer.data(), buffer.size(), spec.c_str(), value);
  out.append(buffer.data(), static_cast<size_t>(needed));
}

// %s by hand: the text may hold zero bytes, which snprintf would stop at.
void AppendText(std::string& out, const Conversion& c, std::string_view text) {
  if (c.precision >= 0 && text.size() > static_cast<size_t>(c.precision)) {
    text = text.substr(0, static_cast<size_t>(c.precision));
  }
  const size_t width = c.width > 0 ? static_cast<size_t>(c.width) : 0;
  const size_t padding = width > text.size() ? width - text.size() : 0;
  const bool leftAligned = c.flags.find('-') != std::string::npos;
  if (!leftAligned) out.append(padding, ' ');
  out.append(text);
  if (leftAligned) out.append(padding, ' ');
}

void AppendConversion(std::string& out, std::string_view templ, const Conversion& c,
                      const FormatArg& arg) {
  switch (c.kind) {
    case Kind::Integer: {
      const auto* value = std::get_if<int32_t>(&arg);
      if (value == nullptr) Fail(templ);
      if (c.letter == 'd' || c.letter == 'i') {
        AppendPrintf(out, Spec(c, ""), static_cast<int>(*value));
      } else {
        AppendPrintf(out, Spec(c, ""), static_cast<unsigned>(static_cast<uint32_t>(*value)));
      }
      return;
    }
    case Kind::Floating:
      if (const auto* value = std::get_if<double>(&arg)) {
        AppendPrintf(out, Spec(c, ""), *value);
      } else if (const auto* extended = std::get_if<long double>(&arg)) {
        AppendPrintf(out, Spec(c, "L"), *extended);
      } else {
        Fail(templ);
      }
      return;
    case Kind::Text: {
      const auto* value = std::get_if<std::string_view>(&arg);
      if (value == nullptr) Fail(templ);
      AppendText(out, c, *value);
      return;
    }
  }
}

}  // namespace

std::string FormatText(std::string_view templ, std::initializer_list<FormatArg> args) {
  std::string out;
  auto next = args.begin();
  size_t i = 0;
  while (i < templ.size()) {
    const char c = templ[i++];
    if (c != '%') {
      out += c;
      continue;
    }
    if (i < templ.size() && templ[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    const Conversion conversion = ParseConversion(templ, i);
    if (next == args.end()) Fail(templ);
    AppendConversion(out, templ, conversion, *next++);
  }
  return out;
}

}  // namespace exif::detail
