#include "containers/crw.h"

#include "containers/byte_cursor.h"
#include "prosvitek/files/tiff.h"
#include "tiff_build.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <ctime>
#include <map>

namespace files {

namespace {

constexpr std::uint16_t kMakeModel = 0x080A, kFocalLength = 0x1029, kShotInfo = 0x102A, kCameraSettings = 0x102D,
                        kTimeStamp = 0x180E, kImageInfo = 0x1810, kExposureInfo = 0x1818;
constexpr std::uint16_t kInRecord = 0x4000;  // the value is the record's own 8 bytes
constexpr int kDeepestHeap = 4;
constexpr std::uint64_t kMostRecords = 512;  // in one heap
constexpr std::uint64_t kMostRecordBytes = 4096;

using Records = std::map<std::uint16_t, Bytes>;

struct Walk {
  const InputFile& file;
  Records records;
  std::string problem;
};

bool IsWanted(std::uint16_t id) {
  for (std::uint16_t w : {kMakeModel, kFocalLength, kShotInfo, kCameraSettings, kTimeStamp, kImageInfo, kExposureInfo})
    if (id == w) return true;
  return false;
}

// A heap spans [start, end); its last 4 bytes give its table's offset, the
// table a count and 10-byte records (type, size, offset from the heap's start).
void ReadHeap(Walk& w, std::uint64_t start, std::uint64_t end, int depth) {
  if (depth > kDeepestHeap) {
    w.problem = "heaps nested too deep";
    return;
  }
  std::uint8_t tail[4];
  if (end < start + 6 || w.file.ReadAt(end - 4, tail, 4) != 4) {
    w.problem = "heap cut short";
    return;
  }
  const std::uint64_t table = start + LittleEndianAt(tail, 4);
  std::uint8_t countBytes[2];
  if (table > end - 6 || w.file.ReadAt(table, countBytes, 2) != 2) {
    w.problem = "heap table outside its heap";
    return;
  }
  const std::uint64_t count = std::min<std::uint64_t>(LittleEndianAt(countBytes, 2), kMostRecords);
  const Bytes entries = w.file.Read(table + 2, static_cast<std::size_t>(std::min<std::uint64_t>(count * 10, end - table - 2)));
  for (std::size_t i = 0; i + 10 <= entries.size(); i += 10) {
    ByteCursor c(std::span<const std::uint8_t>(entries).subspan(i, 10), false);
    const auto type = static_cast<std::uint16_t>(c.Number(2));
    const std::uint64_t size = c.Number(4);
    const std::uint64_t offset = c.Number(4);
    const auto id = static_cast<std::uint16_t>(type & 0x3FFF);
    if ((type & 0xC000) == kInRecord) {
      if (IsWanted(id)) w.records.emplace(id, Bytes(entries.begin() + static_cast<std::ptrdiff_t>(i + 2), entries.begin() + static_cast<std::ptrdiff_t>(i + 10)));
      continue;
    }
    if (offset > end - start || size > end - start - offset) continue;  // outside its heap
    const std::uint16_t format = type & 0x3800;
    if (format == 0x2800 || format == 0x3000) {  // a heap of its own
      ReadHeap(w, start + offset, start + offset + size, depth + 1);
      if (!w.problem.empty()) return;
    } else if (IsWanted(id) && size <= kMostRecordBytes) {
      w.records.emplace(id, w.file.Read(start + offset, static_cast<std::size_t>(size)));
    }
  }
}

BuiltField Ascii(std::uint16_t tag, std::string_view text) {
  BuiltField f{tag, kTiffAscii, static_cast<std::uint32_t>(text.size() + 1), Bytes(text.begin(), text.end()), {}};
  f.value.push_back(0);
  return f;
}

BuiltField Numbers(std::uint16_t tag, std::uint16_t type, const Bytes& raw) {
  const std::size_t size = TiffTypeSize(type);
  const std::size_t count = raw.size() / size;
  return {tag, type, static_cast<std::uint32_t>(count), Bytes(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(count * size)), {}};
}

// An APEX value as a rational in thousandths.
BuiltField Apex(std::uint16_t tag, std::uint16_t type, float value) {
  BuiltField f{tag, type, 1, {}, {}};
  AppendNumber(f.value, static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(value * 1000.0f))), 4, false);
  AppendNumber(f.value, 1000, 4, false);
  return f;
}

float FloatAt(const Bytes& raw, std::size_t index) {
  return std::bit_cast<float>(static_cast<std::uint32_t>(LittleEndianAt(raw.data() + 4 * index, 4)));
}

// Canon's maker note: a directory of the camera settings (1), focal length
// (2) and shot information (4) arrays, its offsets counting from the TIFF
// header as in a camera's own EXIF.
BuiltField CanonNote(const Records& records) {
  std::vector<std::pair<std::uint16_t, const Bytes*>> arrays;
  for (auto [tag, id] : {std::pair{1, kCameraSettings}, std::pair{2, kFocalLength}, std::pair{4, kShotInfo}})
    if (const auto r = records.find(id); r != records.end() && r->second.size() >= 2)
      arrays.emplace_back(static_cast<std::uint16_t>(tag), &r->second);
  BuiltField note{0x927C, kTiffUndefined, 0, {}, {}};
  const std::size_t table = 2 + 12 * arrays.size() + 4;
  std::size_t size = table;
  for (const auto& a : arrays) size += a.second->size() / 2 * 2;
  note.count = static_cast<std::uint32_t>(size);
  note.value.assign(size, 0);
  note.placed = [arrays, table](Bytes& value, std::uint32_t at) {
    Bytes out;
    AppendNumber(out, arrays.size(), 2, false);
    std::size_t data = table;
    for (const auto& [tag, raw] : arrays) {
      const std::size_t bytes = raw->size() / 2 * 2;
      AppendNumber(out, tag, 2, false);
      AppendNumber(out, kTiffShort, 2, false);
      AppendNumber(out, bytes / 2, 4, false);
      if (bytes <= 4) {
        Bytes inline4(raw->begin(), raw->begin() + static_cast<std::ptrdiff_t>(bytes));
        inline4.resize(4);
        out.insert(out.end(), inline4.begin(), inline4.end());
      } else {
        AppendNumber(out, at + data, 4, false);
      }
      data += bytes;
    }
    AppendNumber(out, 0, 4, false);
    for (const auto& a : arrays) out.insert(out.end(), a.second->begin(), a.second->begin() + static_cast<std::ptrdiff_t>(a.second->size() / 2 * 2));
    std::copy(out.begin(), out.end(), value.begin());
  };
  return note;
}

}  // namespace

ExifLocation FindCrwExif(const InputFile& file) {
  std::uint8_t head[14];
  if (file.ReadAt(0, head, sizeof head) != sizeof head || std::memcmp(head + 6, "HEAPCCDR", 8) != 0)
    return ExifLocation::Damaged("CIFF header cut short");
  Walk walk{file, {}, {}};
  ReadHeap(walk, LittleEndianAt(head + 2, 4), file.size(), 0);
  const Records& r = walk.records;
  const auto makeModel = r.find(kMakeModel);
  if (makeModel == r.end()) return walk.problem.empty() ? ExifLocation::Missing() : ExifLocation::Damaged(walk.problem);

  BuiltDirectory ifd0, exif;
  const Bytes& mm = makeModel->second;
  const auto zero = std::find(mm.begin(), mm.end(), 0);
  ifd0.fields.push_back(Ascii(0x010F, std::string(mm.begin(), zero)));
  if (zero != mm.end()) ifd0.fields.push_back(Ascii(0x0110, std::string(zero + 1, std::find(zero + 1, mm.end(), 0))));
  if (const auto info = r.find(kImageInfo); info != r.end() && info->second.size() >= 8) {
    ifd0.fields.push_back(Numbers(0x0100, kTiffLong, Bytes(info->second.begin(), info->second.begin() + 4)));
    ifd0.fields.push_back(Numbers(0x0101, kTiffLong, Bytes(info->second.begin() + 4, info->second.begin() + 8)));
  }
  if (const auto time = r.find(kTimeStamp); time != r.end() && time->second.size() >= 4) {
    const auto seconds = static_cast<std::time_t>(LittleEndianAt(time->second.data(), 4));
    std::tm when{};
    char text[32];
    if (gmtime_r(&seconds, &when) != nullptr && std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &when) == 19)
      exif.fields.push_back(Ascii(0x9003, text));
  }
  if (const auto e = r.find(kExposureInfo); e != r.end() && e->second.size() >= 12) {
    const float shutter = FloatAt(e->second, 1), aperture = FloatAt(e->second, 2);
    if (std::isfinite(shutter) && std::fabs(shutter) < 100) exif.fields.push_back(Apex(0x9201, 10, shutter));
    if (std::isfinite(aperture) && aperture > 0 && aperture < 100) exif.fields.push_back(Apex(0x9202, kTiffRational, aperture));
  }
  exif.fields.push_back(CanonNote(r));
  ifd0.links.push_back({0x8769, std::move(exif)});
  return ExifLocation::InMemory(BuildTiff(ifd0, false));
}

}  // namespace files
