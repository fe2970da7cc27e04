#pragma once
// TimgData: the EXIF reader's entry point. It tells a file's kind by its bytes, finds its EXIF
// data through the file layer's door for that kind (JPEG segments, TIFF structures, the boxes,
// chunks and records of other containers), keeps the JPEG segments that carry metadata, checks
// the EXIF header and walks the EXIF block into a parsed object (ExifInfo). What went wrong is
// reported in ErrorText, never by a dialog.
//
// Typical use:
//   exif::detail::TimgData reader(exif::detail::kBuildAll);
//   if (reader.ProcessFile(path) && reader.HasExif()) use(reader.ExifInfo->ModelText);

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "end_ind.h"
#include "image_info.h"
#include "prosvitek/files/containers/exif_location.h"
#include "prosvitek/files/file_kind.h"
#include "prosvitek/files/input_file.h"

namespace exif::detail {

// ErrorText values.
inline constexpr std::string_view kErrorNone = "<none>";
inline constexpr std::string_view kErrorNotExif = "Not an EXIF file";
inline constexpr std::string_view kErrorIllegalConstruction = "Illegal Exif construction";
inline constexpr std::string_view kErrorIncorrectHeader = "Incorrect Exif header";
inline constexpr std::string_view kErrorInvalidAlignment = "Invalid Exif alignment marker";
inline constexpr std::string_view kErrorIllegallySizedDirectory = "Illegally sized directory";
inline constexpr std::string_view kErrorBadTiffOffset = "Invalid TIFF directory offset";
inline constexpr std::string_view kErrorCannotRead = "Cannot read file";
// Files that hold no EXIF, or hold it where it is not read: "Not a file with EXIF (GIF)",
// "Not a file with EXIF (PNG without EXIF)", "Damaged HEIC file (box runs past ...)",
// "EXIF not read (JPEG XL: ...)".
inline constexpr std::string_view kErrorNoExifKind = "Not a file with EXIF";
inline constexpr std::string_view kErrorDamaged = "Damaged";
inline constexpr std::string_view kErrorNotRead = "EXIF not read";

// One JPEG segment as read.
struct tSection {
  ByteString Data;     // from the two length bytes on: positions 1-2 the length, 3.. the body
  int32_t Marker = 0;  // the byte after 0xFF, e.g. 0xE1
  int32_t Size = 0;    // the stored length (high byte first), counting the length bytes
};

inline constexpr int kSectionSlots = 21;
inline constexpr int kMaxScannedSections = 20;

class TimgData : public tEndInd {
 public:
  // Create: a container whose parsed objects get `buildMode` (255 in the program), then Reset.
  explicit TimgData(int32_t buildMode = kBuildAll, const ReaderOptions& options = {});
  ~TimgData();
  TimgData(const TimgData&) = delete;
  TimgData& operator=(const TimgData&) = delete;

  // Forgets the last file; ReadingTiff, BuildMode and TraceRequest stay.
  void Reset();
  // Reads the named file; true when metadata was read. File size and date come from the
  // file system; the file's first bytes decide how it is read, never its name.
  bool ProcessFile(const std::string& fileName);
  // Reads a file already open (or bytes in memory) as ProcessFile would, after a Reset;
  // FilePath, FileLength and FileModified stay unset.
  bool ProcessInput(const files::InputFile& file);
  // Reads a file's bytes as ProcessFile would; the name is only the file's name.
  bool ProcessBytes(const std::string& fileName, std::string_view bytes);
  // True when an EXIF segment was taken.
  bool HasExif() const { return ExifSection != nullptr; }
  // True when an EXIF, comment or IPTC segment was taken.
  bool HasMetadata() const;

  // The steps of ProcessFile: a JPEG file's segments, a TIFF structure, the EXIF header of
  // the EXIF segment.
  bool ScanJpegSections(const files::InputFile& file);
  bool ScanTiff(const files::InputFile& file);
  void ProcessExifHeader();

  // Segment slot `slot`, numbered from 1.
  tSection& Section(int slot) { return Sections[static_cast<size_t>(slot - 1)]; }

  std::array<tSection, kSectionSlots> Sections;
  bool ReadingTiff = false;
  int32_t BuildMode = kBuildAll;
  int32_t SectionCount = 0;
  tSection* ExifSection = nullptr;
  tSection* IptcSection = nullptr;
  tSection* CommentSection = nullptr;
  tSection* App0Section = nullptr;
  files::FileKind Kind = files::FileKind::Unknown;  // what the file's bytes say it is
  std::string FilePath;
  std::chrono::system_clock::time_point FileModified{};
  int64_t FileLength = 0;
  std::string ErrorText;
  std::unique_ptr<TImageInfo> ExifInfo;
  int32_t TraceRequest = 0;
  ReaderOptions Options;
  // Why the file could not be opened, after ErrorText became "Cannot read file (...)".
  std::error_code OpenError;
  // How the last read ended.
  ReadStatus Status = ReadStatus::Missing;

 private:
  bool ReadBlocks(const files::InputFile& file, const files::ExifLocation& where);
  bool ReadJpegBlock(const files::InputFile& block);
  bool ReadTiffBlock(const files::InputFile& block);
  bool ReadCanonBlocks(const files::InputFile& file, const std::vector<files::ExifBlock>& blocks);
  void TakeFullImageSize(const files::InputFile& images);
  void TakeFrameSize(const std::optional<files::FrameSize>& frame);
  void CreateExifInfo();

  // The size in the JPEG file's frame header, once the walk has met it.
  std::optional<files::FrameSize> JpegFrame;
};

}  // namespace exif::detail
