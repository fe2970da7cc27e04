#include "containers/heif.h"

#include "containers/byte_cursor.h"
#include "containers/iso_boxes.h"

#include <optional>
#include <vector>

namespace files {

namespace {

// Bytes of a table box ("iloc") read at most; thousands of items fit.
constexpr std::uint64_t kMostTableBytes = 1 << 20;
// Extents of one item taken at most.
constexpr std::uint64_t kMostExtents = 64;

struct Extent {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;  // 0: to the end of the file or the "idat" box
};

struct ItemPlace {
  std::uint64_t method = 0;  // 0 in the file, 1 in "idat"
  std::vector<Extent> extents;
};

// The first "Exif" item's id from "iinf"; nothing when there is none.
std::optional<std::uint32_t> ExifItemId(const InputFile& file, const Box& iinf, BoxBudget& budget, std::string& problem) {
  std::uint8_t version = 0;
  if (file.ReadAt(iinf.DataOffset(), &version, 1) != 1) return std::nullopt;
  BoxReader entries(file, iinf, budget, version == 0 ? 6 : 8);
  while (const auto infe = entries.Next()) {
    if (infe->type != FourCc("infe")) continue;
    std::uint8_t head[14];
    const std::size_t n = file.ReadAt(infe->DataOffset(), head, static_cast<std::size_t>(std::min<std::uint64_t>(sizeof head, infe->DataSize())));
    ByteCursor c(std::span<const std::uint8_t>(head, n));
    const std::uint64_t infeVersion = c.Number(1);
    c.Skip(3);
    if (infeVersion < 2) continue;  // no item type before version 2
    const std::uint64_t id = c.Number(infeVersion == 2 ? 2 : 4);
    c.Skip(2);
    const std::uint64_t type = c.Number(4);
    if (!c.Failed() && type == FourCc("Exif")) return static_cast<std::uint32_t>(id);
  }
  problem = entries.Problem();
  return std::nullopt;
}

// Where "iloc" places item `id`.
std::optional<ItemPlace> PlaceOf(const InputFile& file, const Box& iloc, std::uint32_t id) {
  if (iloc.DataSize() > kMostTableBytes) return std::nullopt;
  const Bytes table = file.Read(iloc.DataOffset(), static_cast<std::size_t>(iloc.DataSize()));
  ByteCursor c(table);
  const std::uint64_t version = c.Number(1);
  c.Skip(3);
  const std::uint64_t sizes = c.Number(2);
  const std::size_t offsetSize = (sizes >> 12) & 0xF, lengthSize = (sizes >> 8) & 0xF, baseSize = (sizes >> 4) & 0xF;
  const std::size_t indexSize = (version == 1 || version == 2) ? sizes & 0xF : 0;
  const std::uint64_t count = c.Number(version < 2 ? 2 : 4);
  for (std::uint64_t i = 0; i < count && !c.Failed(); ++i) {
    const std::uint64_t itemId = c.Number(version < 2 ? 2 : 4);
    ItemPlace place;
    if (version == 1 || version == 2) place.method = c.Number(2) & 0xF;
    c.Skip(2);  // data reference index
    const std::uint64_t base = c.Number(baseSize);
    const std::uint64_t extents = c.Number(2);
    for (std::uint64_t e = 0; e < extents && !c.Failed(); ++e) {
      c.Skip(indexSize);
      const std::uint64_t offset = c.Number(offsetSize);
      const std::uint64_t length = c.Number(lengthSize);
      if (itemId == id && place.extents.size() < kMostExtents) place.extents.push_back({base + offset, length});
    }
    if (c.Failed()) break;
    if (itemId == id) return place;
  }
  return std::nullopt;
}

// The box's data, whole, from the meta box in memory (it was read whole).
std::span<const std::uint8_t> DataOf(const Bytes& meta, const Box& box) {
  return std::span<const std::uint8_t>(meta).subspan(static_cast<std::size_t>(box.DataOffset()),
                                                     static_cast<std::size_t>(box.DataSize()));
}

// The primary item's size from its "ispe" property: "pitm" names the item,
// "ipma" lists its properties by their place in "ipco".
std::optional<FrameSize> PrimarySize(const InputFile& inMeta, const Bytes& meta, const Box& pitm, const Box& iprp,
                                     BoxBudget& budget) {
  ByteCursor p(DataOf(meta, pitm));
  const std::uint64_t pitmVersion = p.Number(1);
  p.Skip(3);
  const std::uint64_t primary = p.Number(pitmVersion == 0 ? 2 : 4);
  if (p.Failed()) return std::nullopt;
  std::vector<Box> properties;
  std::optional<Box> ipma;
  BoxReader children(inMeta, iprp, budget);
  while (const auto box = children.Next()) {
    if (box->type == FourCc("ipco") && properties.empty()) {
      BoxReader each(inMeta, *box, budget);
      while (const auto property = each.Next()) properties.push_back(*property);
    }
    if (box->type == FourCc("ipma") && !ipma) ipma = box;
  }
  if (!ipma) return std::nullopt;
  ByteCursor c(DataOf(meta, *ipma));
  const std::uint64_t version = c.Number(1);
  const bool wideIndex = (c.Number(3) & 1) != 0;
  const std::uint64_t entries = c.Number(4);
  for (std::uint64_t e = 0; e < entries && !c.Failed(); ++e) {
    const std::uint64_t item = c.Number(version < 1 ? 2 : 4);
    const std::uint64_t count = c.Number(1);
    for (std::uint64_t a = 0; a < count && !c.Failed(); ++a) {
      const std::uint64_t index = wideIndex ? c.Number(2) & 0x7FFF : c.Number(1) & 0x7F;
      if (item != primary || index == 0 || index > properties.size()) continue;
      const Box& property = properties[index - 1];
      if (property.type != FourCc("ispe")) continue;
      ByteCursor size(DataOf(meta, property));
      size.Skip(4);  // version and flags
      const auto width = static_cast<std::uint32_t>(size.Number(4));
      const auto height = static_cast<std::uint32_t>(size.Number(4));
      if (!size.Failed()) return FrameSize{width, height};
    }
  }
  return std::nullopt;
}

}  // namespace

ExifLocation FindHeifExif(const InputFile& file) {
  BoxBudget budget;
  BoxReader top(file, 0, file.size(), budget);
  std::optional<Box> meta;
  while (const auto box = top.Next()) {
    if (box->type == FourCc("meta")) {
      meta = box;
      break;
    }
  }
  if (!meta) return top.Problem().empty() ? ExifLocation::Missing() : ExifLocation::Damaged(top.Problem());

  // The "meta" box is read whole (it is small: item names and places) and its boxes are
  // walked in memory; offsets inside it are counted from its start.
  if (meta->size > kMostTableBytes * 4) return ExifLocation::NotRead("the \"meta\" box is too large");
  const Bytes metaBytes = file.Read(meta->offset, static_cast<std::size_t>(meta->size));
  const InputFile inMeta = InputFile::FromMemory(metaBytes, file.path());
  Box metaBox = *meta;
  metaBox.offset = 0;
  std::optional<Box> iinf, iloc, idat, pitm, iprp;
  BoxReader children(inMeta, metaBox, budget, 4);  // a full box: version and flags first
  while (const auto box = children.Next()) {
    if (box->type == FourCc("iinf") && !iinf) iinf = box;
    if (box->type == FourCc("iloc") && !iloc) iloc = box;
    if (box->type == FourCc("idat") && !idat) idat = box;
    if (box->type == FourCc("pitm") && !pitm) pitm = box;
    if (box->type == FourCc("iprp") && !iprp) iprp = box;
  }
  if (!children.Problem().empty()) return ExifLocation::Damaged(children.Problem() + " in \"meta\"");
  if (!iinf) return ExifLocation::Missing();
  std::string problem;
  const std::optional<std::uint32_t> id = ExifItemId(inMeta, *iinf, budget, problem);
  if (!id) return problem.empty() ? ExifLocation::Missing() : ExifLocation::Damaged(problem + " in \"iinf\"");
  const std::optional<ItemPlace> place = iloc ? PlaceOf(inMeta, *iloc, *id) : std::nullopt;
  if (!place || place->extents.empty()) return ExifLocation::Damaged("the Exif item has no place in \"iloc\"");
  if (place->method > 1 || (place->method == 1 && !idat)) return ExifLocation::NotRead("the Exif item is built from other items");
  if (idat) idat->offset += meta->offset;  // back to the file's offsets

  // The extents' place in the file, checked against the file or the "idat" box.
  const std::uint64_t origin = place->method == 1 ? idat->DataOffset() : 0;
  const std::uint64_t limit = place->method == 1 ? idat->DataSize() : file.size();
  std::vector<Extent> inFile;
  std::uint64_t total = 0;
  for (Extent e : place->extents) {
    if (e.length == 0 && e.offset <= limit) e.length = limit - e.offset;
    if (e.offset > limit || e.length > limit - e.offset) return ExifLocation::Damaged("the Exif item runs past the end of the file");
    total += e.length;
    inFile.push_back({origin + e.offset, e.length});
  }
  if (total > kMostExifBytes && inFile.size() > 1) return ExifLocation::NotRead("the Exif item is too large");
  ExifLocation found;
  if (inFile.size() == 1) {
    found = TiffAfterHeaderOffset(file, inFile[0].offset, inFile[0].length);
  } else {
    Bytes payload;
    for (const Extent& e : inFile) {
      const Bytes part = file.Read(e.offset, static_cast<std::size_t>(e.length));
      payload.insert(payload.end(), part.begin(), part.end());
    }
    found = TiffAfterHeaderOffset(std::move(payload));
  }
  if (pitm && iprp) found.frame = PrimarySize(inMeta, metaBytes, *pitm, *iprp, budget);
  return found;
}

}  // namespace files
