#include "exif/container.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <vector>
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
  if (!ReadFileInfo(fileName)) return false;
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

bool TimgData::ReadFileInfo(const std::string& fileName) {
  // One look at the file gives whether it exists, its size and its date.
  struct stat info {};
  if (::stat(fileName.c_str(), &info) != 0) return errno != ENOENT && errno != ENOTDIR;
  FilePath = fileName;
  FileLength = S_ISREG(info.st_mode) ? static_cast<int64_t>(info.st_size) : 0;
  FileModified = std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec)));
  return true;
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
  int64_t Remaining() const override {
    const int64_t rest = rest_.Remaining();
    return rest < 0 ? rest : rest + static_cast<int64_t>(head_.size() - position_);
  }
  int64_t ReadAt(int64_t offset, char* buffer, int64_t count) const override {
    return rest_.ReadAt(offset, buffer, count);
  }

 private:
  std::string head_;
  size_t position_ = 0;
  ByteStream& rest_;
};

// Tags whose value leads to another directory.
bool IsDirectoryPointer(uint16_t tag) {
  return tag == 0x8769 || tag == 0xA005 || tag == 0x014A || tag == 0x8825;
}

// A maker note's values may run on a little past it; so much more is read after one.
constexpr int64_t kMakerNoteSlack = 64 * 1024;
constexpr uint16_t kMakerNoteTag = 0x927C;
constexpr size_t kMostDirectories = 64;

// The bytes of a TIFF file (after its 8-byte header) that the walk reads, each at its place in
// a block of zeros as long as the bytes the reader may read: the directories from the first
// on, every value their entries point at, and the directories the pointer tags lead to. The
// rest of the file (the image data, often nearly all of it) is never read.
ByteString SparseTiffBlock(const ByteStream& stream, bool bigEndian, int64_t firstOffset, int64_t length) {
  constexpr int64_t kHeader = 8;
  char* bytes = nullptr;
  ByteString block = ByteString::Zeros(length, bytes);
  const std::string_view view = block.View();
  int64_t budget = length;  // nothing is read twice over
  // Reads file bytes [offset, offset + count) that lie in the block; false when none do.
  const auto fetch = [&](int64_t offset, int64_t count) {
    const int64_t from = std::max(offset, kHeader);
    const int64_t to = std::min(offset + std::min(count, length), kHeader + length);
    if (from >= to || budget <= 0) return false;
    budget -= to - from;
    stream.ReadAt(from, bytes + (from - kHeader), to - from);
    return true;
  };
  const auto number = [&](int64_t offset, int64_t size) {
    return RawToInteger(CopyBytes(view, offset - kHeader + 1, size), bigEndian);
  };
  std::vector<int64_t> pending{firstOffset};
  std::vector<int64_t> seen;
  while (!pending.empty() && seen.size() < kMostDirectories) {
    const int64_t directory = pending.back();
    pending.pop_back();
    if (std::find(seen.begin(), seen.end(), directory) != seen.end()) continue;
    seen.push_back(directory);
    if (!fetch(directory, 2)) continue;
    const int64_t count = static_cast<uint16_t>(number(directory, 2));
    fetch(directory + 2, 12 * count + 4);
    for (int64_t i = 0; i < count; ++i) {
      const int64_t entry = directory + 2 + 12 * i;
      const auto tag = static_cast<uint16_t>(number(entry, 2));
      const auto type = static_cast<uint32_t>(static_cast<uint16_t>(number(entry + 2, 2)));
      const int64_t size = int64_t{FieldTypeSize(type)} * number(entry + 4, 4);
      int64_t value = entry + 8;
      if (size > 4) {
        value = static_cast<uint32_t>(number(entry + 8, 4));
        fetch(value, size + (tag == kMakerNoteTag ? kMakerNoteSlack : 0));
      }
      if (IsDirectoryPointer(tag) && size >= 4) pending.push_back(static_cast<uint32_t>(number(value, 4)));
    }
  }
  return block;
}

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
    std::string data;
    data.reserve(static_cast<size_t>(length));  // at most 64 KiB
    data = lengthBytes;
    AppendBytes(stream, length - 2, data);
    section.Data = ByteString(std::move(data));

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
  const int64_t wanted = std::max<int64_t>(Options.tiffReadLimit - 8, 0);
  const int64_t left = stream.Remaining();
  char probe = 0;
  if (left >= 0 && stream.ReadAt(0, &probe, 1) == 1) {
    section.Data = SparseTiffBlock(stream, bigEndian, firstOffset, std::min(left, wanted));
  } else {
    section.Data = ByteString(ReadBytes(stream, wanted));
  }
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
