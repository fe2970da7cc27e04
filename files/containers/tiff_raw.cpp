#include "prosvitek/files/containers/tiff_raw.h"

#include "prosvitek/files/tiff.h"

#include <set>
#include <vector>

namespace files {

namespace {

constexpr std::uint16_t kNewSubfileType = 0x00FE, kImageWidth = 0x0100, kImageLength = 0x0101, kSubIfds = 0x014A;
constexpr int kMostChained = 8;     // IFD0, IFD1... in a chain
constexpr std::uint64_t kMostSubIfds = 8;
constexpr int kDeepest = 2;         // sub-images of sub-images

struct Candidate {
  ImageSize size;
  bool full = false;
};

struct Search {
  const InputFile& file;
  const TiffHeader& header;
  std::set<std::uint64_t> seen;
  std::vector<Candidate> found;
};

void Visit(Search& s, std::uint64_t offset, int depth);

void VisitSubIfds(Search& s, const TiffEntry& entry, int depth) {
  const std::size_t size = TiffTypeSize(entry.type);
  if (size != 4 && size != 8) return;
  for (std::uint64_t i = 0; i < entry.count && i < kMostSubIfds; ++i) {
    TiffEntry one = entry;
    one.count = 1;
    one.inlineValue = entry.inlineValue && i == 0;
    one.valueOffset = entry.valueOffset + i * size;
    if (const auto at = TiffEntryNumber(s.file, 0, s.header, one)) Visit(s, *at, depth + 1);
  }
}

void Visit(Search& s, std::uint64_t offset, int depth) {
  for (int chained = 0; offset != 0 && chained < kMostChained; ++chained) {
    if (depth > kDeepest || !s.seen.insert(offset).second) return;
    const auto directory = ReadTiffDirectory(s.file, 0, s.header, offset);
    if (!directory) return;
    Candidate candidate;
    candidate.full = true;
    for (const TiffEntry& entry : directory->entries) {
      const auto number = [&] { return TiffEntryNumber(s.file, 0, s.header, entry).value_or(0); };
      switch (entry.tag) {
        case kNewSubfileType: candidate.full = number() == 0; break;
        case kImageWidth: candidate.size.width = number(); break;
        case kImageLength: candidate.size.height = number(); break;
        case kSubIfds: VisitSubIfds(s, entry, depth); break;
        default: break;
      }
    }
    if (candidate.size.width > 0 && candidate.size.height > 0) s.found.push_back(candidate);
    if (depth > 0) return;  // only IFD0's chain is followed
    offset = directory->next;
  }
}

}  // namespace

std::optional<ImageSize> FullImageSize(const InputFile& file) {
  std::uint8_t head[16];
  const auto header = ParseTiffHeader({head, file.ReadAt(0, head, sizeof head)});
  if (!header) return std::nullopt;
  Search search{file, *header, {}, {}};
  Visit(search, header->firstDirectory, 0);
  if (search.found.size() < 2) return std::nullopt;
  const Candidate* best = nullptr;
  const auto area = [](const Candidate& c) { return static_cast<long double>(c.size.width) * static_cast<long double>(c.size.height); };
  for (bool full : {true, false}) {
    for (const Candidate& c : search.found)
      if ((c.full || !full) && (best == nullptr || area(c) > area(*best))) best = &c;
    if (best != nullptr) break;
  }
  return best->size;
}

}  // namespace files
