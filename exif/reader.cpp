// The public reader over the container and its parsed object.

#include "prosvitek/exif/reader.h"

#include "container.h"
#include "image_info.h"
#include "summary.h"

namespace exif {

const std::string& ExifData::Make() const { return info_->MakeText; }
const std::string& ExifData::Model() const { return info_->ModelText; }
const std::string& ExifData::DateTime() const { return info_->DateTimeText; }
int32_t ExifData::Width() const { return info_->PixelWidth; }
int32_t ExifData::Height() const { return info_->PixelHeight; }
int32_t ExifData::Flash() const { return info_->FlashValue; }
std::string ExifData::TagText(std::string_view name) const { return info_->StoredTagText(name); }
const std::string& ExifData::Trace() const { return info_->TraceText; }
const std::string& ExifData::MakerNoteTrace() const { return info_->MakerNoteTraceText; }

std::vector<TagView> ExifData::Tags() const {
  std::vector<TagView> tags;
  tags.reserve(static_cast<size_t>(info_->TagCount));
  for (const detail::TTagEntry& entry : info_->StoredTags()) {
    tags.push_back({entry.Name, entry.Description, entry.Text, entry.Tag, entry.DataType});
  }
  return tags;
}

Reader::Reader(ReaderOptions options)
    : data_(std::make_unique<detail::TimgData>(detail::kBuildAll, options)) {}
Reader::~Reader() = default;
Reader::Reader(Reader&&) noexcept = default;
Reader& Reader::operator=(Reader&&) noexcept = default;

bool Reader::ProcessFile(const std::string& path) { return data_->ProcessFile(path); }

bool Reader::ProcessFile(const files::InputFile& file) {
  data_->Reset();
  return data_->ProcessInput(file);
}

bool Reader::ProcessBytes(const std::string& name, std::string_view bytes) {
  return data_->ProcessBytes(name, bytes);
}

bool Reader::HasExif() const { return data_->HasExif(); }

ReadStatus Reader::Status() const { return data_->Status; }

const std::string& Reader::ErrorText() const { return data_->ErrorText; }

std::error_code Reader::OpenError() const { return data_->OpenError; }

std::optional<ExifData> Reader::Exif() const {
  if (!data_->ExifInfo) return std::nullopt;
  return ExifData(*data_->ExifInfo);
}

std::optional<Summary> Reader::GetSummary() const {
  if (!data_->ExifInfo) return std::nullopt;
  return detail::SummaryOf(*data_->ExifInfo);
}

}  // namespace exif
