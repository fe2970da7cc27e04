#include "native_path.h"

#include "prosvitek/text/display_text.h"

#include <cstdint>

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool IsEscape(char32_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

// Length of the valid UTF-8 sequence at s[i] and its code point; 0 when
// the bytes there are no valid (shortest, non-surrogate) sequence.
int DecodeOne(std::string_view s, std::size_t i, char32_t& cp) {
  const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
  const std::uint8_t b0 = byte(i);
  int n = 0;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
    cp = b0 & 0x1Fu;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    cp = b0 & 0x0Fu;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    cp = b0 & 0x07u;
  } else {
    return 0;
  }
  if (s.size() - i < static_cast<std::size_t>(n)) return 0;
  for (int k = 1; k < n; ++k) {
    const std::uint8_t b = byte(i + static_cast<std::size_t>(k));
    if ((b & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (b & 0x3Fu);
  }
  const char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < shortest[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

QString PathFromNative(std::string_view bytes) {
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size()));
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t cp = 0;
    const int n = DecodeOne(bytes, i, cp);
    if (n == 0) {
      out += QChar(static_cast<char16_t>(kEscapeBase + static_cast<std::uint8_t>(bytes[i])));
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      const char32_t planes[] = {cp};
      out += QString::fromUcs4(planes, 1);
    } else {
      out += QChar(static_cast<char16_t>(cp));
    }
    i += static_cast<std::size_t>(n);
  }
  return out;
}

std::string NativePath(const QString& path) {
  std::string out;
  out.reserve(static_cast<std::size_t>(path.size()));
  const qsizetype n = path.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t u = path[i].unicode();
    if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(path[i + 1].unicode())) {
      text::AppendUtf8(out, QChar::surrogateToUcs4(u, path[i + 1].unicode()));
      ++i;
    } else if (IsEscape(u)) {
      out += static_cast<char>(u - kEscapeBase);
    } else if (QChar::isSurrogate(u)) {
      text::AppendUtf8(out, 0xFFFD);  // no file name can hold it
    } else {
      text::AppendUtf8(out, u);
    }
  }
  return out;
}

QString DisplayPath(const QString& path) {
  QString shown = path;
  for (qsizetype i = 0; i < shown.size(); ++i) {
    if (shown[i].isHighSurrogate() && i + 1 < shown.size() && shown[i + 1].isLowSurrogate()) ++i;
    else if (IsEscape(shown[i].unicode())) shown[i] = QChar(QChar::ReplacementCharacter);
  }
  return shown;
}
