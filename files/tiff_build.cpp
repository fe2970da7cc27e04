#include "tiff_build.h"

#include "prosvitek/files/tiff.h"

#include <algorithm>

namespace files {

namespace {

void Put(Bytes& out, std::size_t at, std::uint64_t value, std::size_t size, bool bigEndian) {
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t shift = 8 * (bigEndian ? size - 1 - i : i);
    out[at + i] = static_cast<std::uint8_t>(value >> shift);
  }
}

// Writes `directory` at the end of `out`; gives its offset.
std::uint32_t Write(Bytes& out, const BuiltDirectory& directory, bool bigEndian) {
  struct Row {
    std::uint16_t tag;
    const BuiltField* field;           // or
    const BuiltDirectory* link;
  };
  std::vector<Row> rows;
  for (const BuiltField& f : directory.fields) rows.push_back({f.tag, &f, nullptr});
  for (const BuiltLink& link : directory.links) rows.push_back({link.tag, nullptr, &link.directory});
  std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.tag < b.tag; });

  const auto start = static_cast<std::uint32_t>(out.size());
  out.resize(out.size() + 2 + 12 * rows.size() + 4);
  Put(out, start, rows.size(), 2, bigEndian);
  std::vector<std::pair<std::size_t, const BuiltDirectory*>> pending;  // value field, child
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::size_t entry = start + 2 + 12 * i;
    Put(out, entry, rows[i].tag, 2, bigEndian);
    if (rows[i].link != nullptr) {
      Put(out, entry + 2, kTiffLong, 2, bigEndian);
      Put(out, entry + 4, 1, 4, bigEndian);
      pending.emplace_back(entry + 8, rows[i].link);
      continue;
    }
    const BuiltField& f = *rows[i].field;
    Put(out, entry + 2, f.type, 2, bigEndian);
    Put(out, entry + 4, f.count, 4, bigEndian);
    if (f.value.size() <= 4) {
      std::copy(f.value.begin(), f.value.end(), out.begin() + static_cast<std::ptrdiff_t>(entry + 8));
    } else {
      if (out.size() % 2 != 0) out.push_back(0);  // values start on a word boundary
      const auto at = static_cast<std::uint32_t>(out.size());
      Put(out, entry + 8, at, 4, bigEndian);
      if (f.placed) {
        Bytes value = f.value;
        f.placed(value, at);
        out.insert(out.end(), value.begin(), value.end());
      } else {
        out.insert(out.end(), f.value.begin(), f.value.end());
      }
    }
  }
  for (const auto& [field, child] : pending) {
    if (out.size() % 2 != 0) out.push_back(0);
    const std::uint32_t at = Write(out, *child, bigEndian);
    Put(out, field, at, 4, bigEndian);
  }
  return start;
}

}  // namespace

void AppendNumber(Bytes& out, std::uint64_t value, std::size_t size, bool bigEndian) {
  out.resize(out.size() + size);
  Put(out, out.size() - size, value, size, bigEndian);
}

Bytes BuildTiff(const BuiltDirectory& ifd0, bool bigEndian) {
  Bytes out{bigEndian ? std::uint8_t{'M'} : std::uint8_t{'I'}, bigEndian ? std::uint8_t{'M'} : std::uint8_t{'I'}};
  AppendNumber(out, 42, 2, bigEndian);
  AppendNumber(out, 8, 4, bigEndian);
  Write(out, ifd0, bigEndian);
  return out;
}

}  // namespace files
