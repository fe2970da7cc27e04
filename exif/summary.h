#pragma once
// The summary of a read photo: its values taken from the parsed object, and the text formed
// from them (exif/reader.h has the value and its text).

#include <optional>
#include <string>

#include "prosvitek/exif/reader.h"

namespace exif::detail {

class TImageInfo;

// The summary's values of `info` as read by its owner; nothing without an owner or an EXIF
// segment. After a failed read only the file name and the error text are set.
std::optional<Summary> SummaryOf(const TImageInfo& info);

// SummaryText of SummaryOf(info); empty without an EXIF segment.
std::string SummaryText(const TImageInfo& info, DateFormatter formatDate = ShortDateText);

}  // namespace exif::detail
