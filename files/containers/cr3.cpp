#include "containers/cr3.h"

#include "containers/iso_boxes.h"

#include <algorithm>

namespace files {

namespace {

constexpr std::array<std::uint8_t, 16> kCanonUuid = {0x85, 0xc0, 0xb6, 0x87, 0x82, 0x0f, 0x11, 0xe0,
                                                     0x81, 0x11, 0xf4, 0xce, 0x46, 0x2b, 0x6a, 0x48};

// A box among `reader`'s that `match` accepts.
template <typename Match>
std::optional<Box> Find(BoxReader& reader, Match match) {
  while (const auto box = reader.Next())
    if (match(*box)) return box;
  return std::nullopt;
}

}  // namespace

ExifLocation FindCr3Exif(const InputFile& file) {
  BoxBudget budget;
  BoxReader top(file, 0, file.size(), budget);
  const auto moov = Find(top, [](const Box& b) { return b.type == FourCc("moov"); });
  if (!moov) return top.Problem().empty() ? ExifLocation::Missing() : ExifLocation::Damaged(top.Problem());
  BoxReader inMoov(file, *moov, budget);
  const auto canon = Find(inMoov, [](const Box& b) { return b.type == FourCc("uuid") && b.uuid == kCanonUuid; });
  if (!canon) return inMoov.Problem().empty() ? ExifLocation::Missing() : ExifLocation::Damaged(inMoov.Problem() + " in \"moov\"");

  ExifLocation location;
  BoxReader inCanon(file, *canon, budget);
  while (const auto box = inCanon.Next()) {
    const std::pair<std::uint32_t, ExifBlockRole> roles[] = {{FourCc("CMT1"), ExifBlockRole::Ifd0},
                                                             {FourCc("CMT2"), ExifBlockRole::ExifIfd},
                                                             {FourCc("CMT3"), ExifBlockRole::MakerNote},
                                                             {FourCc("CMT4"), ExifBlockRole::GpsIfd}};
    for (const auto& [type, role] : roles) {
      const ExifBlockRole wanted = role;  // clang 14 cannot capture a structured binding
      const bool seen = std::any_of(location.blocks.begin(), location.blocks.end(),
                                    [&](const ExifBlock& b) { return b.role == wanted; });
      if (box->type == type && !seen && box->DataSize() <= kMostExifBytes)
        location.blocks.push_back({wanted, box->DataOffset(), box->DataSize(), false, {}});
    }
  }
  if (!inCanon.Problem().empty() && location.blocks.empty()) return ExifLocation::Damaged(inCanon.Problem() + " in Canon's box");
  location.found = location.blocks.empty() ? ExifFound::Missing : ExifFound::Found;
  return location;
}

}  // namespace files
