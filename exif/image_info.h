#pragma once
// TImageInfo: the parsed EXIF object with its plain fields, tag store and trace text.

#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "end_ind.h"
#include "prosvitek/exif/reader.h"
#include "tag_entry.h"

namespace exif::detail {

class TimgData;

// Build modes: 2 builds texts and trace but stores nothing, 4 stores but builds no text,
// 255 does both (the program's mode).
inline constexpr int32_t kBuildTextOnly = 2;
inline constexpr int32_t kBuildStoreOnly = 4;
inline constexpr int32_t kBuildAll = 255;

inline constexpr int32_t kTagCapacityStep = 25;

// What a maker note says about the ISO speed; the summary shows it when the EXIF data has none.
struct MakerNoteIso {
  long double Stated = 0;       // the ISO the note states (Nikon, Casio, Canon's settings)
  long double Base = 0;         // Canon's shot information: the base ISO
  long double AutoPercent = 0;  // and the automatic adjustment in percent of it
  // The stated ISO, otherwise base x adjustment / 100; 0 when the note gives neither.
  long double Value() const {
    if (Stated > 0) return Stated;
    return Base > 0 && AutoPercent > 0 ? Base * AutoPercent / 100 : 0;
  }
};

// An image size as one directory states it.
struct ImageSize {
  int32_t Width = 0;
  int32_t Height = 0;
};

class TImageInfo : public tEndInd {
 public:
  // `owner` may be null; errors of the walk then go nowhere.
  TImageInfo(TimgData* owner, int32_t buildMode, const ReaderOptions& options = {});
  virtual ~TImageInfo();
  TImageInfo(const TImageInfo&) = delete;
  TImageInfo& operator=(const TImageInfo&) = delete;

  // Index of the first stored entry named `name` (ASCII case ignored), or -1.
  virtual int32_t FindStoredTag(std::string_view name) const;
  // Text of the first stored entry named `name`, or an empty text.
  virtual std::string StoredTagText(std::string_view name) const;

  // The entries in use, Tags[0 .. TagCount - 1].
  std::span<const TTagEntry> StoredTags() const;

  // Walks the directory at 1-based position `start`; TIFF offset x lies at `offsetBase` + x;
  // `blockLength` is the length the size check measures; `kind` selects the dictionary.
  // A failure while building a value text ends this directory and propagates.
  void WalkDirectory(int64_t start, int64_t offsetBase, int64_t blockLength, int kind);

  // Appends a copy unless its Tag is 0; returns TagCount - 1.
  int32_t AddTag(TTagEntry entry);
  // Stores a value computed by name and text (Id 1, Tag 0), in build modes 4 and 255 only.
  void AddComputedTag(std::string_view name, std::string_view text, uint16_t dataType);

  // Appends one trace line: CR LF, description, " = ", text with its control characters
  // escaped; with a trace detail level above 0 also the tag number, byte count and position.
  void AppendTraceLine(uint16_t tag, std::string_view description, std::string_view text,
                       int32_t byteCount, int64_t valuePos);

  // The conversions of a raw value in this object's byte order.
  int32_t RawToInteger(std::string_view raw) const;
  double RawToNumber(std::string_view raw, uint32_t type) const;
  std::string RawToText(std::string_view raw, uint32_t type, std::string_view format,
                        std::string_view valueMap) const;

  std::vector<TTagEntry> Tags;  // the tag store; TagCapacity long, TagCount in use
  int32_t TagCount = 0;
  int32_t TagCapacity = 0;
  TimgData* Owner = nullptr;
  std::string ExifVersionText;  // at most 6 bytes of tag 9000
  std::string MakeText;         // at most 32 bytes of tag 010F, without trailing blanks
  std::string ModelText;        // at most 40 bytes of tag 0110, without trailing blanks
  std::string DateTimeText;     // at most 20 bytes of tag 0132 or 9003, the later met
  // The main image's size: ExifImageWidth/Length, else the largest ImageWidth/Length of a
  // directory that is not a reduced-resolution image (a thumbnail).
  int32_t PixelHeight = 0;
  int32_t PixelWidth = 0;
  int32_t FlashValue = 0;
  int32_t BuildMode = 0;
  ByteString MakerNoteData;
  bool FromTiff = false;
  std::string UserCommentText;
  int32_t TraceRequest = 0;
  std::string TraceText;  // one line per entry, each beginning with CR LF
  std::string MakerNoteTraceText;
  bool MakerNoteRead = false;
  int64_t MakerNotePos = 0;  // 1-based position of the maker note in DataBlock
  MakerNoteIso NoteIso;
  ReaderOptions Options;

 private:
  struct Directory;
  void AppendTag(TTagEntry entry);
  void WalkEntry(int64_t entryPos, Directory& directory);
  std::string ValueText(const TTagEntry& entry, uint16_t tag, std::string_view raw, uint16_t type,
                        const Directory& directory) const;
  // The first component as a number, rounded: a size or flash value given with more
  // components than one still reads as its first.
  int32_t FirstComponentInteger(std::string_view raw, uint16_t type) const;
  void FollowDirectoryPointer(int64_t valuePos, int64_t offsetBase, int64_t blockLength, int kind);
  // Takes a directory's image size into account once the directory has been walked.
  void NoteImageSize(const ImageSize& size, bool fromExifDirectory);
  void SetOwnerError(std::string_view text);
  bool ReadMakerNote();

  // Guards that keep a hostile block from walking without end.
  std::set<int64_t> walkedDirectories_;
  int walkDepth_ = 0;
  int64_t entriesRead_ = 0;
  int64_t valueBytesRead_ = 0;
  bool walkExhausted_ = false;
  ImageSize exifImageSize_;
  ImageSize fullImageSize_;
};

}  // namespace exif::detail
