#pragma once
// One container door on a whole file's bytes: the door alone (its answer must stay inside the
// file), then the EXIF reader over the same bytes as the command line reads a file, with the
// summary and every stored tag.

#include "prosvitek/exif/reader.h"
#include "prosvitek/files/containers/exif_location.h"
#include "prosvitek/files/input_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

namespace fuzzdoor {

inline std::string DateForFuzzing(std::chrono::system_clock::time_point) { return "01.01.2004"; }

template <typename Door>
int Run(const std::uint8_t* data, std::size_t size, Door door) {
  const files::InputFile file = files::InputFile::FromMemory(std::span(data, size), "fuzz");
  try {
    const files::ExifLocation where = door(file);
    for (const files::ExifBlock& block : where.blocks) {
      if (!block.inMemory && (block.offset > size || block.length > size - block.offset)) std::abort();
      if (block.inMemory && block.bytes.size() > files::kMostExifBytes) std::abort();
    }
  } catch (...) {
    std::abort();  // a door reports, it never throws on bytes in memory
  }
  exif::Reader reader(exif::SummaryOnly());
  if (reader.ProcessBytes("fuzz", std::string_view(reinterpret_cast<const char*>(data), size))) {
    const auto summary = reader.GetSummary();
    volatile std::size_t sink = summary ? exif::SummaryText(*summary, DateForFuzzing).size() : 0;
    if (const auto info = reader.Exif())
      for (const exif::TagView& t : info->Tags()) sink = sink + t.text.size();
    (void)sink;
  }
  return 0;
}

}  // namespace fuzzdoor
