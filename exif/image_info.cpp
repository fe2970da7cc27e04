#include "image_info.h"

#include "ascii.h"
#include "field_types.h"
#include "tag_dictionary.h"

namespace exif::detail {

TImageInfo::TImageInfo(TimgData* owner, int32_t buildMode, const ReaderOptions& options)
    : Owner(owner), BuildMode(buildMode), Options(options) {}

TImageInfo::~TImageInfo() = default;

int32_t TImageInfo::FindStoredTag(std::string_view name) const {
  for (int32_t i = 0; i < TagCount; ++i) {
    if (EqualsIgnoreAsciiCase(Tags[static_cast<size_t>(i)].Name, name)) return i;
  }
  return -1;
}

std::string TImageInfo::StoredTagText(std::string_view name) const {
  const int32_t index = FindStoredTag(name);
  return index < 0 ? std::string() : Tags[static_cast<size_t>(index)].Text;
}

std::span<const TTagEntry> TImageInfo::StoredTags() const {
  return std::span<const TTagEntry>(Tags).first(static_cast<size_t>(TagCount));
}

int32_t TImageInfo::AddTag(TTagEntry entry) {
  if (entry.Tag != 0) AppendTag(std::move(entry));
  return TagCount - 1;
}

void TImageInfo::AddComputedTag(std::string_view name, std::string_view text, uint16_t dataType) {
  if (BuildMode != kBuildStoreOnly && BuildMode != kBuildAll) return;
  try {
    TTagEntry entry;
    entry.Id = 1;
    entry.DataType = dataType;
    entry.Name = name;
    entry.Description = name;
    entry.Text = text;
    entry.Raw = text;
    entry.RawSize = static_cast<int32_t>(entry.Raw.size());
    AppendTag(std::move(entry));  // stored although its Tag is 0
  } catch (const std::exception&) {
    // A value that cannot be stored is left out; the reading goes on.
  }
}

void TImageInfo::AppendTag(TTagEntry entry) {
  // Grows one step early, when the last free slot is about to be taken.
  if (TagCount >= TagCapacity - 1) {
    Tags.resize(static_cast<size_t>(TagCapacity + kTagCapacityStep));  // may throw: grow first
    TagCapacity += kTagCapacityStep;
  }
  Tags[static_cast<size_t>(TagCount)] = std::move(entry);
  ++TagCount;
}

int32_t TImageInfo::RawToInteger(std::string_view raw) const {
  return detail::RawToInteger(raw, BigEndian);
}

double TImageInfo::RawToNumber(std::string_view raw, uint32_t type) const {
  return detail::RawToNumber(raw, type, BigEndian);
}

std::string TImageInfo::RawToText(std::string_view raw, uint32_t type, std::string_view format,
                                  std::string_view valueMap) const {
  return detail::RawToText(raw, type, format, valueMap, BigEndian, Options.useTagDecoders);
}

}  // namespace exif::detail
