#include "exif/container.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>

#include "exif/ascii.h"
#include "exif/decoders.h"
#include "exif/field_types.h"
#include "exif/tag_dictionary.h"

namespace exif::detail {
namespace {

constexpr int kMarkerStartOfImage = 0xD8;
constexpr int kMarkerEndOfImage = 0xD9;
constexpr int kMarkerStartOfScan = 0xDA;
constexpr int kMarkerApp0 = 0xE0;
constexpr int kMarkerApp1 = 0xE1;
constexpr int kMarkerApp13 = 0xED;
constexpr int kMarkerComment = 0xFE;

// Without metadata among the first segments, the scan gives up at this one.
constexpr int kLastHopefulSection = 5;

// The TIFF header inside an APP1 segment starts at position 9 (after the two length bytes
// and "Exif" with two zero bytes); in a TIFF file the block starts at file offset 8.
constexpr int64_t kJpegOffsetBase = 9;
constexpr int64_t kTiffOffsetBase = -7;

// The magic number of a TIFF file with 8-byte offsets.
constexpr int32_t kBigTiffMagic = 43;

// The extension from the last '.' of the last path element, dot included, lower-cased.
std::string LowerExtension(std::string_view fileName) {
  const size_t separator = fileName.find_last_of("/\\");
  const std::string_view last =
      separator == std::string_view::npos ? fileName : fileName.substr(separator + 1);
  const size_t dot = last.rfind('.');
  return dot == std::string_view::npos ? std::string() : LowerAscii(last.substr(dot));
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
  FilePath.clear();
  ErrorText.clear();
  FileModified = {};
  FileLength = 0;
  ExifInfo.reset();
  BigEndian = false;
  OpenError.clear();
}

bool TimgData::HasMetadata() const {
  return ExifSection != nullptr || CommentSection != nullptr || IptcSection != nullptr;
}

TimgData::FileKind TimgData::KindOf(std::string_view fileName) {
  const std::string extension = LowerExtension(fileName);
  if (extension == ".jpg" || extension == ".jpeg" || extension == ".jpe") return FileKind::Jpeg;
  if (extension == ".tif" || extension == ".tiff" || extension == ".nef") return FileKind::Tiff;
  return FileKind::Other;
}

template <typename ReadFn>
bool TimgData::ReadGuarded(const std::string& fileName, ReadFn read) {
  try {
    ErrorText = kErrorNotExif;
    const FileKind kind = KindOf(fileName);
    if (kind == FileKind::Other) return false;
    if (!read(kind)) return false;
    ErrorText = kErrorNone;
    return true;
  } catch (const FileOpenError& error) {
    OpenError = error.Code();
    ErrorText = std::string(kErrorCannotRead) + " (" + error.Code().message() + ")";
    return false;
  } catch (const std::exception&) {
    ErrorText = kErrorIllegalConstruction;
    return false;
  }
}

bool TimgData::ProcessFile(const std::string& fileName) {
  Reset();
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::path(fileName), error)) return false;
  ReadFileInfo(fileName);
  return ReadGuarded(fileName, [&](FileKind kind) {
    FileByteStream stream(fileName);  // a file that cannot be opened escapes to the guard
    return ReadStream(kind, stream);
  });
}

bool TimgData::ProcessBytes(const std::string& fileName, std::string_view bytes) {
  Reset();
  return ReadGuarded(fileName, [&](FileKind kind) {
    MemoryByteStream stream(bytes);
    return ReadStream(kind, stream);
  });
}

void TimgData::ReadFileInfo(const std::string& fileName) {
  namespace fs = std::filesystem;
  const fs::path path(fileName);
  std::error_code error;
  if (!fs::exists(path, error)) return;
  FilePath = fileName;
  const auto size = fs::file_size(path, error);
  FileLength = error ? 0 : static_cast<int64_t>(size);
  const auto written = fs::last_write_time(path, error);
  if (!error) {
    FileModified = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
        std::chrono::file_clock::to_sys(written));
  }
}

namespace {

// Gives the bytes already taken from a stream again before the rest of it.
class ReplayStream : public ByteStream {
 public:
  ReplayStream(std::string head, ByteStream& rest) : head_(std::move(head)), rest_(rest) {}
  int64_t Read(char* buffer, int64_t count) override {
    int64_t done = 0;
    while (position_ < head_.size() && done < count) buffer[done++] = head_[position_++];
    return done < count ? done + rest_.Read(buffer + done, count - done) : done;
  }

 private:
  std::string head_;
  size_t position_ = 0;
  ByteStream& rest_;
};

}  // namespace

bool TimgData::ReadStream(FileKind kind, ByteStream& stream) {
  // The extension says whether the file is read; its first bytes say how, so that JPEG data
  // under a raw file's name (or the other way round) is still read.
  std::string head = ReadBytes(stream, 2);
  if (head == "\xFF\xD8") {
    kind = FileKind::Jpeg;
  } else if (head == "II" || head == "MM") {
    kind = FileKind::Tiff;
  }
  ReplayStream replay(std::move(head), stream);
  return kind == FileKind::Jpeg ? ReadJpegStream(replay) : ReadTiffStream(replay);
}

bool TimgData::ReadJpegFile(const std::string& fileName) {
  ReadingTiff = false;
  FileByteStream stream(fileName);  // a file that cannot be opened escapes to the guard
  return ReadJpegStream(stream);
}

bool TimgData::ReadTiffFile(const std::string& fileName) {
  FileByteStream stream(fileName);  // a file that cannot be opened escapes to the guard
  return ReadTiffStream(stream);
}

bool TimgData::ReadJpegStream(ByteStream& stream) {
  ReadingTiff = false;
  try {
    return ScanJpegSections(stream);
  } catch (const std::exception&) {
    // E.g. a value text that failed in the first directory (a Flash of two numbers): the
    // read fails and says why, rather than leaving "Not an EXIF file" for an EXIF file.
    ErrorText = kErrorIllegalConstruction;
    return false;
  }
}

bool TimgData::ReadTiffStream(ByteStream& stream) {
  ReadingTiff = true;
  bool read = false;
  try {
    read = ScanTiff(stream);
  } catch (const std::exception&) {
    ErrorText = kErrorIllegalConstruction;  // as for a JPEG file
    read = false;
  }
  ReadingTiff = false;
  return read;
}

void TimgData::CreateExifInfo() {
  ExifInfo = std::make_unique<TImageInfo>(this, BuildMode, Options);
  ExifInfo->TraceRequest = TraceRequest;
}

bool TimgData::ScanJpegSections(ByteStream& stream) {
  if (ReadByte(stream) != 0xFF || ReadByte(stream) != kMarkerStartOfImage) return false;
  SectionCount = 0;
  while (SectionCount < kMaxScannedSections) {
    // Any byte after a run of 0xFF is taken as the marker; the end of the file ends the scan.
    int marker = 0xFF;
    while (marker == 0xFF) marker = ReadByte(stream);
    if (marker < 0) break;

    const std::string lengthBytes = ReadBytes(stream, 2);
    if (lengthBytes.size() < 2) break;  // the file ends inside the length
    const int32_t length = static_cast<unsigned char>(lengthBytes[0]) * 256 +
                           static_cast<unsigned char>(lengthBytes[1]);
    if (length < 2) return false;  // a length that cannot hold its own two bytes

    ++SectionCount;
    tSection& section = Section(SectionCount);
    section.Marker = marker;
    section.Size = length;
    // A body cut off by the end of the file keeps the bytes that were there.
    section.Data = ByteString(lengthBytes + ReadBytes(stream, length - 2));

    switch (marker) {
      case kMarkerEndOfImage:
      case kMarkerStartOfScan:
        return HasMetadata();  // the image data is never read
      case kMarkerApp1:
        // The first APP1 that holds EXIF data is the EXIF segment, wherever it stands; any
        // other (XMP and the like) is dropped and its slot reused.
        if (ExifSection != nullptr || section.Data.Copy(3, 5) != std::string_view("Exif\0", 5)) {
          --SectionCount;
          break;
        }
        ExifSection = &section;
        CreateExifInfo();
        SetDataBlock(section.Data);
        ProcessExifHeader();
        break;
      case kMarkerApp13:
        if (IptcSection == nullptr) IptcSection = &section;
        break;
      case kMarkerComment:
        CommentSection = &section;
        break;
      case kMarkerApp0:
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

bool TimgData::ScanTiff(ByteStream& stream) {
  const std::string byteOrder = ReadBytes(stream, 2);
  if (byteOrder != "II" && byteOrder != "MM") return false;
  const std::string header = ReadBytes(stream, 6);
  if (header.size() < 6) return false;
  const bool bigEndian = byteOrder == "MM";
  if (RawToInteger(header.substr(0, 2), bigEndian) == kBigTiffMagic) {
    ErrorText = kErrorBigTiff;  // 8-byte offsets: read as classic TIFF they would be garbage
    return false;
  }
  const int64_t firstOffset = static_cast<uint32_t>(RawToInteger(header.substr(2, 4), bigEndian));

  tSection& section = Section(1);
  // The block starts after the header, at file offset 8.
  section.Data = ByteString(ReadBytes(stream, std::max<int64_t>(Options.tiffReadLimit - 8, 0)));
  section.Marker = 0;
  section.Size = static_cast<int32_t>(section.Data.Length());
  SectionCount = 1;
  ExifSection = &section;

  CreateExifInfo();
  ExifInfo->FromTiff = ReadingTiff;
  ExifInfo->TraceText.clear();
  SetDataBlock(section.Data);
  ExifInfo->SetDataBlock(section.Data);
  ExifInfo->BigEndian = bigEndian;
  // The first directory lies where the header says, inside the bytes read.
  const int64_t start = kTiffOffsetBase + firstOffset;
  if (firstOffset < 8 || !section.Data.Holds(start, 2)) {
    ErrorText = kErrorBadTiffOffset;
    return false;
  }
  ExifInfo->WalkDirectory(start, kTiffOffsetBase, Options.tiffReadLimit, kMainDirectory);
  DeriveFocalLength35(*ExifInfo);
  return true;
}

}  // namespace exif::detail
