#pragma once
// TimgData: the EXIF reader's entry point. It reads a JPEG or TIFF-structured file, keeps the
// JPEG segments that carry metadata, checks the EXIF header and walks the EXIF block into a
// parsed object (ExifInfo). What went wrong is reported in ErrorText, never by a dialog.
//
// Typical use:
//   exif::detail::TimgData reader(exif::detail::kBuildAll);
//   if (reader.ProcessFile(path) && reader.HasExif()) use(reader.ExifInfo->ModelText);

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "exif/byte_stream.h"
#include "exif/end_ind.h"
#include "exif/image_info.h"

namespace exif::detail {

// ErrorText values.
inline constexpr std::string_view kErrorNone = "<none>";
inline constexpr std::string_view kErrorNotExif = "Not an EXIF file";
inline constexpr std::string_view kErrorIllegalConstruction = "Illegal Exif construction";
inline constexpr std::string_view kErrorIncorrectHeader = "Incorrect Exif header";
inline constexpr std::string_view kErrorInvalidAlignment = "Invalid Exif alignment marker";
inline constexpr std::string_view kErrorIllegallySizedDirectory = "Illegally sized directory";
inline constexpr std::string_view kErrorBadTiffOffset = "Invalid TIFF directory offset";
inline constexpr std::string_view kErrorBigTiff = "BigTIFF files are not read";
inline constexpr std::string_view kErrorCannotRead = "Cannot read file";

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
  // file system; the extension decides between JPEG and TIFF.
  bool ProcessFile(const std::string& fileName);
  // Reads a file's bytes as ProcessFile would, naming it `fileName` for its extension only;
  // FilePath, FileLength and FileModified stay unset.
  bool ProcessBytes(const std::string& fileName, std::string_view bytes);
  // True when an EXIF segment was taken.
  bool HasExif() const { return ExifSection != nullptr; }
  // True when an EXIF, comment or IPTC segment was taken.
  bool HasMetadata() const;

  // The steps of ProcessFile.
  // Takes the file's size and date; false when there is no such file.
  bool ReadFileInfo(const std::string& fileName);
  bool ReadJpegFile(const std::string& fileName);
  bool ReadTiffFile(const std::string& fileName);
  bool ScanJpegSections(ByteStream& stream);
  bool ScanTiff(ByteStream& stream);
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
  std::string FilePath;
  std::chrono::system_clock::time_point FileModified{};
  int64_t FileLength = 0;
  std::string ErrorText;
  std::unique_ptr<TImageInfo> ExifInfo;
  int32_t TraceRequest = 0;
  ReaderOptions Options;
  // Why the file could not be opened, after ErrorText became "Cannot read file (...)".
  std::error_code OpenError;

 private:
  enum class FileKind { Jpeg, Tiff, Other };
  template <typename ReadFn>
  bool ReadGuarded(const std::string& fileName, ReadFn read);
  bool ReadStream(FileKind kind, ByteStream& stream);
  bool ReadJpegStream(ByteStream& stream);
  bool ReadTiffStream(ByteStream& stream);
  void CreateExifInfo();
  static FileKind KindOf(std::string_view fileName);
};

}  // namespace exif::detail
