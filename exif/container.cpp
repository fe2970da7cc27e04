#include "container.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <limits>
#include <vector>

#include "decoders.h"
#include "field_types.h"
#include "makernotes/maker_note.h"
#include "tag_dictionary.h"
#include "prosvitek/files/containers/doors.h"
#include "prosvitek/files/containers/tiff_raw.h"
#include "prosvitek/files/errors.h"
#include "prosvitek/files/jpeg_segments.h"
#include "prosvitek/files/tiff.h"

namespace exif::detail {
namespace {

// Without metadata among the first segments, the scan gives up at this one.
constexpr int kLastHopefulSection = 5;

// The TIFF header inside an APP1 segment starts at position 9 (after the two length bytes
// and "Exif" with two zero bytes); in a TIFF file the block starts at file offset 8.
constexpr int64_t kJpegOffsetBase = 9;
constexpr int64_t kTiffOffsetBase = -7;
constexpr int64_t kTiffHeaderBytes = 8;

// Tags whose value leads to another directory.
bool IsDirectoryPointer(uint16_t tag) {
  return tag == 0x8769 || tag == 0xA005 || tag == 0x014A || tag == 0x8825;
}

// A maker note's values may run on a little past it; so much more is read after one.
constexpr int64_t kMakerNoteSlack = 64 * 1024;
constexpr uint16_t kMakerNoteTag = 0x927C;
constexpr size_t kMostDirectories = 64;
// Entries of one directory read at most: as many as its 16-bit count can say.
constexpr size_t kMostEntries = 65535;

// The bytes of a TIFF file (after its 8-byte header) that the walk reads, each at its place in
// a block of zeros as long as the bytes the reader may read: the directories from the first
// on, every value their entries point at, and the directories the pointer tags lead to. The
// rest of the file (the image data, often nearly all of it) is never read.
ByteString SparseTiffBlock(const files::InputFile& file, const files::TiffHeader& header, int64_t length) {
  char* bytes = nullptr;
  ByteString block = ByteString::Zeros(length, bytes);
  const std::string_view view = block.View();
  int64_t budget = length;  // nothing is read twice over
  // Reads file bytes [offset, offset + count) that lie in the block; false when none do.
  const auto fetch = [&](uint64_t offset, uint64_t count) {
    if (offset >= static_cast<uint64_t>(kTiffHeaderBytes + length)) return false;
    const auto first = static_cast<int64_t>(offset);
    const int64_t from = std::max(first, kTiffHeaderBytes);
    const int64_t to = std::min(first + static_cast<int64_t>(std::min<uint64_t>(count, static_cast<uint64_t>(length))),
                                kTiffHeaderBytes + length);
    if (from >= to || budget <= 0) return false;
    budget -= to - from;
    file.ReadAt(static_cast<uint64_t>(from), reinterpret_cast<uint8_t*>(bytes + (from - kTiffHeaderBytes)),
                static_cast<size_t>(to - from));
    return true;
  };
  std::vector<uint64_t> pending{header.firstDirectory};
  std::vector<uint64_t> seen;
  while (!pending.empty() && seen.size() < kMostDirectories) {
    const uint64_t at = pending.back();
    pending.pop_back();
    if (std::find(seen.begin(), seen.end(), at) != seen.end()) continue;
    seen.push_back(at);
    const auto directory = files::ReadTiffDirectory(file, 0, header, at, kMostEntries);
    if (!directory || !fetch(at, 2 + 12 * directory->entries.size() + 4)) continue;
    for (const files::TiffEntry& entry : directory->entries) {
      // The walk sizes a value by its own table of types and a 32-bit count.
      const int64_t size = int64_t{FieldTypeSize(entry.type)} * static_cast<int32_t>(entry.count);
      if (size > 4) fetch(entry.valueOffset, static_cast<uint64_t>(size) + (entry.tag == kMakerNoteTag ? kMakerNoteSlack : 0));
      // The directory a pointer leads to, from the bytes just fetched.
      const int64_t pointer = static_cast<int64_t>(std::min<uint64_t>(entry.valueOffset, INT64_MAX / 2)) - kTiffHeaderBytes + 1;
      if (IsDirectoryPointer(entry.tag) && size >= 4 && SpanInside(length, pointer, 4))
        pending.push_back(static_cast<uint32_t>(RawToInteger(CopyBytes(view, pointer, 4), header.bigEndian)));
    }
  }
  return block;
}

// The status of a file that gives no EXIF block: what it looks like, and why.
std::string NoExifText(files::FileKind kind, const files::ExifLocation& where, uint64_t fileSize) {
  if (fileSize == 0) return std::string(kErrorNoExifKind) + " (empty file)";
  const std::string name =
      kind == files::FileKind::Unknown ? std::string("unknown kind") : std::string(files::FileKindName(kind));
  if (!files::KindHoldsExif(kind)) return std::string(kErrorNoExifKind) + " (" + name + ")";
  switch (where.found) {
    case files::ExifFound::NotRead:
      return std::string(kErrorNotRead) + " (" + name + ": " + where.why + ")";
    case files::ExifFound::Damaged:
      return std::string(kErrorDamaged) + " " + name + " file (" + where.why + ")";
    default:
      return std::string(kErrorNoExifKind) + " (" + name + " without EXIF)";
  }
}

// Kinds whose TIFF structure holds the images themselves, thumbnails and previews beside the
// full-resolution one.
bool HoldsImages(files::FileKind kind) {
  return kind == files::FileKind::Tiff || kind == files::FileKind::BigTiff || kind == files::FileKind::OlympusRaw ||
         kind == files::FileKind::PanasonicRaw || kind == files::FileKind::MinoltaMrw;
}

}  // namespace

TimgData::TimgData(int32_t buildMode, const ReaderOptions& options)
    : BuildMode(buildMode), Options(options) {
  Reset();
}

TimgData::~TimgData() = default;

void TimgData::Reset() {
  SectionCount = 0;
  ExifSection = nullptr;
  IptcSection = nullptr;
  CommentSection = nullptr;
  App0Section = nullptr;
  Kind = files::FileKind::Unknown;
  FilePath.clear();
  ErrorText.clear();
  FileModified = {};
  FileLength = 0;
  ExifInfo.reset();
  BigEndian = false;
  OpenError.clear();
  Status = ReadStatus::Missing;
}

bool TimgData::HasMetadata() const {
  return ExifSection != nullptr || CommentSection != nullptr || IptcSection != nullptr;
}

bool TimgData::ProcessFile(const std::string& fileName) {
  Reset();
  files::InputFile file;
  try {
    file = files::OpenInputFile(fileName);
  } catch (const files::FileError& error) {
    // A missing file leaves the status empty; one that is there but cannot be read says why.
    const int code = error.code().value();
    if (error.code().category() == std::generic_category() && (code == ENOENT || code == ENOTDIR)) return false;
    FilePath = fileName;
    Status = ReadStatus::CannotOpen;
    OpenError = error.code();
    ErrorText = std::string(kErrorCannotRead) + " (" + error.code().message() + ")";
    return false;
  }
  FilePath = fileName;
  FileLength = static_cast<int64_t>(std::min<uint64_t>(file.size(), std::numeric_limits<int64_t>::max()));
  FileModified = file.modified();
  return ProcessInput(file);
}

bool TimgData::ProcessBytes(const std::string& fileName, std::string_view bytes) {
  Reset();
  const files::InputFile file = files::InputFile::FromMemory(
      std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), fileName);
  return ProcessInput(file);
}

bool TimgData::ProcessInput(const files::InputFile& file) {
  try {
    ErrorText = kErrorNotExif;
    Status = ReadStatus::NoExif;
    Kind = files::DetectFileKind(file);
    const files::ExifLocation where = files::FindExif(file, Kind);
    if (where.found != files::ExifFound::Found || where.blocks.empty()) {
      ErrorText = NoExifText(Kind, where, file.size());
      if (where.found == files::ExifFound::Damaged) Status = ReadStatus::Damaged;
      return false;
    }
    if (!ReadBlocks(file, where)) {
      // Only a file without any metadata segment keeps the plain "not EXIF" text.
      if (ErrorText != kErrorNotExif) Status = ReadStatus::Damaged;
      return false;
    }
    TakeFrameSize(where.frame);
    ErrorText = kErrorNone;
    Status = ReadStatus::Read;
    return true;
  } catch (const files::FileError& error) {
    Status = ReadStatus::CannotOpen;
    OpenError = error.code();
    ErrorText = std::string(kErrorCannotRead) + " (" + (error.code() ? error.code().message() : error.what()) + ")";
    return false;
  } catch (const std::exception&) {
    Status = ReadStatus::Damaged;
    ErrorText = kErrorIllegalConstruction;
    return false;
  }
}

bool TimgData::ReadBlocks(const files::InputFile& file, const files::ExifLocation& where) {
  const files::ExifBlock& first = where.blocks.front();
  if (first.role != files::ExifBlockRole::Tiff && first.role != files::ExifBlockRole::Jpeg) {
    return ReadCanonBlocks(file, where.blocks);
  }
  const files::InputFile block =
      first.inMemory ? files::InputFile::FromMemory(first.bytes, file.path()) : file.Part(first.offset, first.length);
  if (first.role == files::ExifBlockRole::Jpeg) {
    const bool read = ReadJpegBlock(block);
    if (read && Kind == files::FileKind::Jpeg)
      TakeFrameSize(JpegFrame);  // a raw's preview is not the photo's size
    return read;
  }
  if (!ReadTiffBlock(block)) return false;
  // A BigTIFF's images are found in the file itself, not in the block built from it.
  if (HoldsImages(Kind)) TakeFullImageSize(Kind == files::FileKind::BigTiff ? file : block);
  return true;
}

bool TimgData::ReadJpegBlock(const files::InputFile& block) {
  ReadingTiff = false;
  try {
    return ScanJpegSections(block);
  } catch (const files::FileError&) {
    throw;
  } catch (const std::exception&) {
    // E.g. a value text that failed in the first directory (a Flash of two numbers): the
    // read fails and says why, rather than leaving "Not an EXIF file" for an EXIF file.
    ErrorText = kErrorIllegalConstruction;
    return false;
  }
}

bool TimgData::ReadTiffBlock(const files::InputFile& block) {
  ReadingTiff = true;
  bool read = false;
  try {
    read = ScanTiff(block);
  } catch (const files::FileError&) {
    ReadingTiff = false;
    throw;
  } catch (const std::exception&) {
    ErrorText = kErrorIllegalConstruction;  // as for a JPEG file
    read = false;
  }
  ReadingTiff = false;
  return read;
}

void TimgData::TakeFullImageSize(const files::InputFile& images) {
  if (!ExifInfo) return;
  if (const auto size = files::FullImageSize(images)) {
    constexpr uint64_t kMost = std::numeric_limits<int32_t>::max();
    ExifInfo->PixelWidth = static_cast<int32_t>(std::min(size->width, kMost));
    ExifInfo->PixelHeight = static_cast<int32_t>(std::min(size->height, kMost));
  }
}

// EXIF data that leaves out the photo's size (editors often drop it) would
// show "0 x 0"; the file's frame header gives the real one.
void TimgData::TakeFrameSize(const std::optional<files::FrameSize>& frame) {
  if (!ExifInfo || !frame || ExifInfo->PixelWidth != 0 || ExifInfo->PixelHeight != 0) return;
  constexpr uint32_t kMost = std::numeric_limits<int32_t>::max();
  ExifInfo->PixelWidth = static_cast<int32_t>(std::min(frame->width, kMost));
  ExifInfo->PixelHeight = static_cast<int32_t>(std::min(frame->height, kMost));
}

void TimgData::CreateExifInfo() {
  ExifInfo = std::make_unique<TImageInfo>(this, BuildMode, Options);
  ExifInfo->TraceRequest = TraceRequest;
}

bool TimgData::ScanJpegSections(const files::InputFile& file) {
  // The reader's own lenient rules: any byte after a run of 0xFF is a marker, and every
  // marker, stand-alone ones included, is followed by a length.
  files::JpegSegmentWalker walker(file, files::WalkRules{.strict = false});
  if (walker.End() == files::WalkEnd::NotJpeg) return false;
  SectionCount = 0;
  JpegFrame.reset();
  while (SectionCount < kMaxScannedSections) {
    const std::optional<files::SegmentHeader> segment = walker.Next();
    if (!segment) {
      if (walker.End() == files::WalkEnd::BadLength) return false;  // a length that cannot hold itself
      break;  // the end of the file
    }
    ++SectionCount;
    tSection& section = Section(SectionCount);
    section.Marker = segment->marker;
    section.Size = segment->storedLength;
    // A body cut off by the end of the file keeps the bytes that were there.
    std::string data(2 + segment->BodyLength(), '\0');  // at most 64 KiB
    data[0] = static_cast<char>(segment->storedLength >> 8);
    data[1] = static_cast<char>(segment->storedLength & 0xFF);
    data.resize(2 + walker.ReadBody(*segment, reinterpret_cast<uint8_t*>(data.data() + 2)));
    section.Data = ByteString(std::move(data));

    if (files::IsFrameMarker(segment->marker) && !JpegFrame && section.Data.View().size() >= 7) {
      // After the length and the sample precision: the height, then the width.
      const auto at = [&section](size_t i) {
        return uint32_t{static_cast<uint8_t>(section.Data.View()[i])};
      };
      JpegFrame = files::FrameSize{at(5) << 8 | at(6), at(3) << 8 | at(4)};
    }
    switch (segment->marker) {
      case files::kMarkerEoi:
      case files::kMarkerSos:
        return HasMetadata();  // the image data is never read
      case files::kMarkerApp1: {
        // The first APP1 that holds EXIF data is the EXIF segment, wherever it stands; any
        // other (XMP and the like) is dropped and its slot reused.
        const std::string_view body = section.Data.View().substr(2);
        const bool exif = files::IdentifySegment(
                              files::kMarkerApp1,
                              std::span(reinterpret_cast<const uint8_t*>(body.data()), body.size())) ==
                          files::SegmentKind::Exif;
        if (ExifSection != nullptr || !exif) {
          --SectionCount;
          break;
        }
        ExifSection = &section;
        CreateExifInfo();
        SetDataBlock(section.Data);
        ProcessExifHeader();
        break;
      }
      case files::kMarkerApp13:
        if (IptcSection == nullptr) IptcSection = &section;
        break;
      case files::kMarkerComment:
        CommentSection = &section;
        break;
      case files::kMarkerApp0:
        App0Section = &section;
        break;
      default:
        break;
    }
    if (SectionCount >= kLastHopefulSection && !HasMetadata()) break;
  }
  return HasMetadata();
}

void TimgData::ProcessExifHeader() {
  if (!ExifInfo) CreateExifInfo();
  if (ExifSection == nullptr) return;
  const ByteString& data = ExifSection->Data;
  if (data.Copy(3, 5) != std::string_view("Exif\0", 5)) {
    ErrorText = kErrorIncorrectHeader;
    return;
  }
  const std::string byteOrder = data.Copy(9, 2);
  if (byteOrder == "II") {
    BigEndian = false;
  } else if (byteOrder == "MM") {
    BigEndian = true;
  } else {
    ErrorText = kErrorInvalidAlignment;
    return;
  }
  ExifInfo->TraceText.clear();
  ExifInfo->SetDataBlock(DataBlock);
  ExifInfo->BigEndian = BigEndian;
  const int64_t firstOffset = ReadInt32(13);
  const int64_t start = firstOffset == 0 ? 17 : kJpegOffsetBase + firstOffset;
  ExifInfo->WalkDirectory(start, kJpegOffsetBase, int64_t{ExifSection->Size} - 6, kMainDirectory);
  DeriveFocalLength35(*ExifInfo);
}

bool TimgData::ScanTiff(const files::InputFile& file) {
  uint8_t head[16];
  const auto header = files::ParseTiffHeader(std::span<const uint8_t>(head, file.ReadAt(0, head, sizeof head)));
  if (!header || header->bigTiff) return false;  // a BigTIFF reaches here rebuilt as classic TIFF
  const uint64_t firstOffset = header->firstDirectory;

  tSection& section = Section(1);
  // The block starts after the header, at file offset 8.
  const int64_t wanted = std::max<int64_t>(Options.tiffReadLimit - kTiffHeaderBytes, 0);
  const int64_t left = static_cast<int64_t>(std::min<uint64_t>(file.size(), std::numeric_limits<int64_t>::max())) - kTiffHeaderBytes;
  section.Data = SparseTiffBlock(file, *header, std::max<int64_t>(std::min(left, wanted), 0));
  section.Marker = 0;
  section.Size = static_cast<int32_t>(std::min<int64_t>(section.Data.Length(), std::numeric_limits<int32_t>::max()));
  SectionCount = 1;
  ExifSection = &section;

  CreateExifInfo();
  ExifInfo->FromTiff = ReadingTiff;
  ExifInfo->TraceText.clear();
  SetDataBlock(section.Data);
  ExifInfo->SetDataBlock(section.Data);
  ExifInfo->BigEndian = header->bigEndian;
  // The first directory lies where the header says, inside the bytes read.
  const int64_t start = kTiffOffsetBase + static_cast<int64_t>(firstOffset);
  if (firstOffset < 8 || !section.Data.Holds(start, 2)) {
    ErrorText = kErrorBadTiffOffset;
    return false;
  }
  ExifInfo->WalkDirectory(start, kTiffOffsetBase, Options.tiffReadLimit, kMainDirectory);
  DeriveFocalLength35(*ExifInfo);
  return true;
}

bool TimgData::ReadCanonBlocks(const files::InputFile& file, const std::vector<files::ExifBlock>& blocks) {
  // The four TIFF structures in one block, each walked from its own header. The maker note's
  // comes first, with its header at position 9 where a JPEG EXIF block has its own, so that
  // the note's offsets count from where a Canon note's always do.
  struct Walked {
    files::ExifBlockRole role;
    int64_t base = 0;  // position of the structure's header
    files::TiffHeader header;
  };
  std::string data(kJpegOffsetBase - 1, '\0');
  std::vector<Walked> walked;
  for (files::ExifBlockRole role : {files::ExifBlockRole::MakerNote, files::ExifBlockRole::Ifd0,
                                    files::ExifBlockRole::ExifIfd, files::ExifBlockRole::GpsIfd}) {
    for (const files::ExifBlock& block : blocks) {
      if (block.role != role) continue;
      const files::Bytes bytes = file.Read(block.offset, static_cast<size_t>(block.length));
      const auto header = files::ParseTiffHeader(bytes);
      if (!header || header->bigTiff) continue;
      walked.push_back({role, static_cast<int64_t>(data.size()) + 1, *header});
      data.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
  }
  if (walked.empty()) {
    ErrorText = std::string(kErrorDamaged) + " Canon CR3 file (no TIFF header in its metadata boxes)";
    return false;
  }
  tSection& section = Section(1);
  section.Data = ByteString(std::move(data));
  section.Marker = 0;
  section.Size = static_cast<int32_t>(section.Data.Length());
  SectionCount = 1;
  ExifSection = &section;
  CreateExifInfo();
  ExifInfo->TraceText.clear();
  SetDataBlock(section.Data);
  ExifInfo->SetDataBlock(section.Data);

  const int64_t length = section.Data.Length();
  const auto start = [](const Walked& w) { return w.base + static_cast<int64_t>(std::min<uint64_t>(w.header.firstDirectory, INT32_MAX)); };
  const Walked* note = nullptr;
  for (const Walked& w : walked) {
    ExifInfo->BigEndian = w.header.bigEndian;
    switch (w.role) {
      case files::ExifBlockRole::MakerNote:
        note = &w;
        break;
      case files::ExifBlockRole::GpsIfd:
        ExifInfo->WalkDirectory(start(w), w.base, length, kGpsDirectory);
        break;
      default:
        ExifInfo->WalkDirectory(start(w), w.base, length, kMainDirectory);
        break;
    }
  }
  // The note once the make is known, as the walk reads one it meets in the EXIF directory.
  TImageInfo& info = *ExifInfo;
  if (note != nullptr && (Options.makerNotes || (Options.makerNoteIso && info.StoredTagText("ISOSpeedRatings").empty()))) {
    info.BigEndian = note->header.bigEndian;
    info.MakerNotePos = start(*note);
    int64_t noteEnd = length + 1;
    for (const Walked& w : walked)
      if (w.base > note->base) noteEnd = std::min(noteEnd, w.base);
    info.MakerNoteData = ByteString(section.Data.Copy(info.MakerNotePos, noteEnd - info.MakerNotePos));
    TmsInfo reader(false, info);
    info.MakerNoteRead = reader.ReadMakerNote(info);
  }
  DeriveFocalLength35(info);
  return true;
}

}  // namespace exif::detail
