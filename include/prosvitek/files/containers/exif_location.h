#pragma once
// What a container door finds: where a file keeps its EXIF data. Every door
// hands the same answer to the one TIFF walk, so that each container needs
// only a small bounds-checked reader of its own boxes, chunks or records.

#include "prosvitek/files/input_file.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace files {

enum class ExifFound {
  Found,
  Missing,  // the container is sound and holds no EXIF
  NotRead,  // it holds EXIF in a form that is not read (say why)
  Damaged,  // its structure broke before EXIF was found (say where)
};

// What one block is to the walk.
enum class ExifBlockRole {
  Tiff,       // a TIFF structure, header first, whose first directory is IFD0
  Jpeg,       // a JPEG file (a raw's embedded preview) whose APP1 holds the EXIF
  Ifd0,       // Canon CR3: separate TIFF structures for IFD0,
  ExifIfd,    //   the EXIF directory,
  MakerNote,  //   Canon's maker note
  GpsIfd,     //   and the GPS directory
};

struct ExifBlock {
  ExifBlockRole role = ExifBlockRole::Tiff;
  // Where the block lies in the file, when it lies there as it is...
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  // ...or its bytes, when it had to be decoded, decompressed or built.
  bool inMemory = false;
  Bytes bytes;
};

// An image's width and height as its container states them.
struct FrameSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

struct ExifLocation {
  ExifFound found = ExifFound::Missing;
  std::string why;  // NotRead and Damaged: what was met, in English
  std::vector<ExifBlock> blocks;
  // The image's size where the container states it before its EXIF data
  // (EXIF data copied into a PNG or WebP often leaves the size out).
  std::optional<FrameSize> frame;

  static ExifLocation Missing() { return {}; }
  static ExifLocation Damaged(std::string why) { return {ExifFound::Damaged, std::move(why), {}, {}}; }
  static ExifLocation NotRead(std::string why) { return {ExifFound::NotRead, std::move(why), {}, {}}; }
  static ExifLocation InFile(std::uint64_t offset, std::uint64_t length, ExifBlockRole role = ExifBlockRole::Tiff);
  static ExifLocation InMemory(Bytes bytes);
};

// Bytes a decoded or decompressed EXIF block may have at most; far more than
// any camera writes (a JPEG segment holds 64 KiB).
inline constexpr std::size_t kMostExifBytes = std::size_t{16} << 20;

// The TIFF structure inside an EXIF payload as containers store it: an
// optional "Exif\0\0" (or "Exif\0" and one other byte) before the byte-order
// mark. Gives the number of bytes before the TIFF header, or nothing when no
// TIFF header follows.
std::optional<std::size_t> TiffStartInPayload(std::span<const std::uint8_t> head);

// The ISO base media and JPEG XL form: a 4-byte big-endian count of bytes to
// skip, then (after them) the TIFF header. `offset`/`length` are the payload's
// place in `file`; gives the TIFF block's place, or Damaged.
ExifLocation TiffAfterHeaderOffset(const InputFile& file, std::uint64_t offset, std::uint64_t length);
// The same for a payload in memory.
ExifLocation TiffAfterHeaderOffset(Bytes payload);

// Big-endian and little-endian numbers of `size` bytes at `bytes`.
std::uint64_t BigEndianAt(const std::uint8_t* bytes, std::size_t size);
std::uint64_t LittleEndianAt(const std::uint8_t* bytes, std::size_t size);

}  // namespace files
