#include "prosvitek/text/fce_import_so.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace text {

namespace {

// strerror may share one buffer between threads; the GNU strerror_r does not.
std::string Reason(int err) {
  char buffer[256];
  return ::strerror_r(err, buffer, sizeof buffer);
}

}  // namespace

std::int64_t FileSizeOf(const std::string& fileName) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0)
    throw FileSizeError("Velikost souboru nelze zjistit: " + fileName + " (" + Reason(errno) + ")");
  if (S_ISDIR(st.st_mode)) throw FileSizeError("Velikost souboru nelze zjistit: " + fileName + " je složka");
  return static_cast<std::int64_t>(st.st_size);
}

int CountChar(const std::string& text, char ch) {
  return static_cast<int>(std::count(text.begin(), text.end(), ch));
}

std::string StripThroughLast(const std::string& text, char ch) {
  const std::size_t last = text.rfind(ch);
  return last == std::string::npos ? std::string() : text.substr(last + 1);
}

namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

Tparsedstring SplitText(char delimiter, const std::string& text) {
  const int n = CountChar(text, delimiter);
  Tparsedstring result(static_cast<std::size_t>(n) + 1);
  if (n == 0) return result;
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsBlankOrControl(text[begin])) ++begin;
  while (end > begin && IsBlankOrControl(text[end - 1])) --end;
  const std::string s = text.substr(begin, end - begin);
  std::size_t i = 0, from = 0;
  for (std::size_t p = s.find(delimiter); p != std::string::npos; p = s.find(delimiter, from)) {
    result.Set(i++, s.substr(from, p - from));
    from = p + 1;
  }
  result.Set(i, s.substr(from));
  return result;
}

}  // namespace text
