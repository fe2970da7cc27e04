#pragma once
// The EXIF and GPS tag dictionaries and the lookups by tag number and by name.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "tag_entry.h"

namespace exif::detail {

// Directory kinds, which select the dictionary of a lookup.
inline constexpr int kMainDirectory = 1;  // first, EXIF, interoperability and sub-image directories
inline constexpr int kGpsDirectory = 2;
inline constexpr int kThumbnailDirectory = 4;  // looked up like the main directory

inline constexpr size_t kExifTagCount = 385;  // ExifTagTable holds these plus the sentinel
inline constexpr size_t kGpsTagCount = 32;

// The EXIF tags (TIFF, EXIF, interoperability, DNG and the common private ones) in ascending
// tag order, then the sentinel (Tag 0, Name "Unknown").
std::span<const TTagEntry> ExifTagTable();
// The GPS tags 0..31 in order.
std::span<const TTagEntry> GpsTagTable();

// A copy of the entry for `tag` in the dictionary of `kind` (1 and 4 EXIF, 2 GPS); the
// sentinel when the tag is missing or the kind is another.
TTagEntry LookupTag(uint16_t tag, int kind);

// Index in ExifTagTable (below kExifTagCount) of the first entry named `name`, ASCII case ignored,
// or -1.
int DictionaryIndexOf(std::string_view name);

// Index of the first entry of `table` with this tag number, or -1.
int FindTagIndex(uint16_t tag, std::span<const TTagEntry> table);

// The ValueMap of the last entry of `table` with this tag number, or an empty text.
std::string FindValueMap(uint16_t tag, std::span<const TTagEntry> table);

// A display name from a tag name: a blank before each capital that follows a non-capital,
// e.g. "ExposureTime" -> "Exposure Time", "ISOSpeedRatings" -> "ISOSpeed Ratings".
std::string SpaceWords(std::string_view name);

}  // namespace exif::detail
