// The walk of TIFF directories: entry values into text, trace lines, plain fields,
// sub-directories and the tag store.

#include "ifd_walk.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

#include "ascii.h"
#include "container.h"
#include "field_types.h"
#include "image_info.h"
#include "makernotes/maker_note.h"
#include "number_text.h"
#include "tag_dictionary.h"
#include "text_filters.h"
#include "value_map.h"

namespace exif::detail {
namespace {

constexpr int64_t kEntrySize = 12;

// Entries a directory is searched through for another entry of it (a GPS reference, the
// subfile type that marks a thumbnail): a real one has them among its first; a hostile
// one with thousands of entries costs no more.
constexpr int64_t kSiblingScan = 64;
// Sibling values longer than this are no reference and not copied.
constexpr int32_t kLongestSibling = 256;

// Sub-images of one SubIFDs list that are followed; cameras write two or three.
constexpr int64_t kMaxSubImages = 64;

// Tags with an effect beyond their text.
constexpr uint16_t kNewSubfileType = 0x00FE;
constexpr uint16_t kSubfileType = 0x00FF;
constexpr uint16_t kImageWidth = 0x0100;
constexpr uint16_t kImageLength = 0x0101;
constexpr uint16_t kMake = 0x010F;
constexpr uint16_t kModel = 0x0110;
constexpr uint16_t kDateTime = 0x0132;
constexpr uint16_t kSubIfds = 0x014A;
constexpr uint16_t kExifOffset = 0x8769;
constexpr uint16_t kGpsInfo = 0x8825;
constexpr uint16_t kExifVersion = 0x9000;
constexpr uint16_t kDateTimeOriginal = 0x9003;
constexpr uint16_t kFlash = 0x9209;
constexpr uint16_t kMakerNote = 0x927C;
constexpr uint16_t kUserComment = 0x9286;
constexpr uint16_t kExifImageWidth = 0xA002;
constexpr uint16_t kExifImageLength = 0xA003;
constexpr uint16_t kInteroperabilityOffset = 0xA005;

std::string Hex4(uint16_t tag) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex(4, '0');
  for (int i = 3; i >= 0; --i) {
    hex[static_cast<size_t>(i)] = kDigits[tag & 0x0F];
    tag = static_cast<uint16_t>(tag >> 4);
  }
  return hex;
}

class DepthGuard {
 public:
  explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
};

bool IsNumericType(uint16_t type) {
  return IsIntegerType(type) || type == kRational || type == kSRational;
}

}  // namespace

// One directory being walked: where it lies, its dictionary, whether it holds a thumbnail,
// and the image size its entries state.
struct TImageInfo::Directory : DirectoryValues {
  Directory(const TImageInfo& info, int64_t start, int64_t offsetBase, int64_t blockLength,
            int kind)
      : Info(info), Start(start), OffsetBase(offsetBase), BlockLength(blockLength), Kind(kind) {}

  std::optional<SiblingValue> Find(uint16_t tag) const override {
    const int64_t count = std::min<int64_t>(Info.ReadUInt16(Start), kSiblingScan);
    for (int64_t i = 0; i < count; ++i) {
      const int64_t entryPos = Start + 2 + kEntrySize * i;
      if (!Info.Holds(entryPos, kEntrySize)) break;
      if (Info.ReadUInt16(entryPos) != tag) continue;
      const uint16_t type = Info.ReadUInt16(entryPos + 2);
      const int32_t byteCount = ByteCountOf(type, Info.ReadInt32(entryPos + 4));
      if (byteCount <= 0 || byteCount > kLongestSibling) return std::nullopt;
      const int64_t valuePos =
          byteCount <= 4 ? entryPos + 8 : int64_t{Info.ReadInt32(entryPos + 8)} + OffsetBase;
      return SiblingValue{Info.DataBlock.Copy(valuePos, byteCount), type};
    }
    return std::nullopt;
  }

  // A reduced-resolution image (a thumbnail or preview) says so in its subfile type.
  bool HoldsReducedImage() const {
    if (const std::optional<SiblingValue> type = Find(kNewSubfileType);
        type && IsIntegerType(type->Type)) {
      const auto size = static_cast<size_t>(FieldTypeSize(type->Type));
      return (detail::RawToInteger(std::string_view(type->Raw).substr(0, size), Info.BigEndian) &
              1) != 0;
    }
    if (const std::optional<SiblingValue> type = Find(kSubfileType);
        type && IsIntegerType(type->Type)) {
      const auto size = static_cast<size_t>(FieldTypeSize(type->Type));
      return detail::RawToInteger(std::string_view(type->Raw).substr(0, size), Info.BigEndian) == 2;
    }
    return false;
  }

  const TImageInfo& Info;
  int64_t Start;
  int64_t OffsetBase;
  int64_t BlockLength;
  int Kind;
  ImageSize Size;  // from ImageWidth and ImageLength, or the EXIF directory's own
  bool StatesExifSize = false;
};

void TImageInfo::WalkDirectory(int64_t start, int64_t offsetBase, int64_t blockLength, int kind) {
  if (walkExhausted_ || walkDepth_ >= kMaxDirectoryDepth) return;
  // A directory met before (a loop, or many pointers at one directory) is not walked again.
  if (!walkedDirectories_.insert(start).second) return;
  if (!Holds(start, 2)) return;
  const DepthGuard depth(walkDepth_);

  const int64_t count = ReadUInt16(start);
  if (Options.traces && Options.traceDetailLevel > 0) {
    TraceText +=
        "\r\nDirectory: Start, entries = " + std::to_string(start) + ", " + std::to_string(count);
  }
  // The start stands on both sides, so only the table's size meets the block length here; the
  // per-entry check below keeps the reads inside the block.
  if (2 + kEntrySize * count > offsetBase + blockLength) {
    SetOwnerError(kErrorIllegallySizedDirectory);
    return;
  }
  Directory directory(*this, start, offsetBase, blockLength, kind);
  // The size is taken in even when an entry ends the directory early.
  struct SizeNote {
    TImageInfo& Info;
    Directory& Walked;
    ~SizeNote() {
      try {
        if (Walked.StatesExifSize) {
          Info.NoteImageSize(Walked.Size, true);
        } else if (Walked.Kind == kMainDirectory && !Walked.HoldsReducedImage()) {
          Info.NoteImageSize(Walked.Size, false);
        }
      } catch (const std::exception&) {
        // Without memory for the subfile type the size is left as it was.
      }
    }
  } sizeNote{*this, directory};
  for (int64_t i = 0; i < count; ++i) {
    const int64_t entryPos = start + 2 + kEntrySize * i;
    if (!Holds(entryPos, kEntrySize)) return;  // the table runs off the block
    if (++entriesRead_ > kMaxEntriesPerWalk) {
      walkExhausted_ = true;
      return;
    }
    WalkEntry(entryPos, directory);
    if (walkExhausted_) return;
  }
}

void TImageInfo::NoteImageSize(const ImageSize& size, bool fromExifDirectory) {
  if (fromExifDirectory) {
    if (size.Width > 0) exifImageSize_.Width = size.Width;
    if (size.Height > 0) exifImageSize_.Height = size.Height;
  } else {
    // The largest image wins; a directory stating one side only still counts.
    const auto measure = [](const ImageSize& s) {
      return std::pair(int64_t{s.Width} * s.Height, int64_t{s.Width} + s.Height);
    };
    if (measure(size) > measure(fullImageSize_)) fullImageSize_ = size;
  }
  PixelWidth = exifImageSize_.Width > 0 ? exifImageSize_.Width : fullImageSize_.Width;
  PixelHeight = exifImageSize_.Height > 0 ? exifImageSize_.Height : fullImageSize_.Height;
}

void TImageInfo::WalkEntry(int64_t entryPos, Directory& directory) {
  const int64_t offsetBase = directory.OffsetBase;
  const int64_t blockLength = directory.BlockLength;
  const int kind = directory.Kind;
  const uint16_t tag = ReadUInt16(entryPos);
  const uint16_t type = ReadUInt16(entryPos + 2);
  const int32_t byteCount = ByteCountOf(type, ReadInt32(entryPos + 4));
  if (byteCount == 0) return;
  // Signed on purpose: a count that wrapped negative is read inline and copies nothing.
  const int64_t valuePos =
      byteCount <= 4 ? entryPos + 8 : int64_t{ReadInt32(entryPos + 8)} + offsetBase;
  std::string raw = DataBlock.Copy(valuePos, byteCount);
  valueBytesRead_ += static_cast<int64_t>(raw.size());
  if (valueBytesRead_ > kMaxValueBytesPerWalk) {
    walkExhausted_ = true;
    return;
  }

  const bool buildText = BuildMode == kBuildTextOnly || BuildMode == kBuildAll;
  const bool store = BuildMode == kBuildStoreOnly || BuildMode == kBuildAll;
  TTagEntry entry;
  if (buildText || store) entry = LookupTag(tag, kind);

  std::string text;
  if (buildText) {
    text = ValueText(entry, tag, raw, type, directory);
    if (tag == kUserComment) UserCommentText = text;
    // A tag no dictionary names shows its number, so that it can be looked up.
    const bool named = entry.Tag != 0 || kind == kGpsDirectory;
    AppendTraceLine(tag, named ? entry.Description : "Unknown 0x" + Hex4(tag), text, byteCount,
                    valuePos);
  }

  // Sizes count from numbers only: an ASCII "width" is no size.
  const bool numeric = IsNumericType(type);
  switch (tag) {
    case kImageWidth:
      if (numeric && kind == kMainDirectory)
        directory.Size.Width = std::max(0, FirstComponentInteger(raw, type));
      break;
    case kImageLength:
      if (numeric && kind == kMainDirectory)
        directory.Size.Height = std::max(0, FirstComponentInteger(raw, type));
      break;
    case kExifImageWidth:
      if (numeric) {
        directory.Size.Width = std::max(0, FirstComponentInteger(raw, type));
        directory.StatesExifSize = true;
      }
      break;
    case kExifImageLength:
      if (numeric) {
        directory.Size.Height = std::max(0, FirstComponentInteger(raw, type));
        directory.StatesExifSize = true;
      }
      break;
    // Cameras pad make and model with blanks to a fixed width ("EX-Z3  "); a photographer
    // reads them without. The trace keeps the bytes as written.
    case kMake:
      MakeText = TrimTrailingBlanks(CopyBytes(text, 1, 32));
      break;
    case kModel:
      ModelText = TrimTrailingBlanks(CopyBytes(text, 1, 40));
      break;
    case kDateTime:
    case kDateTimeOriginal:
      DateTimeText = CopyBytes(text, 1, 20);
      break;
    case kExifVersion:
      ExifVersionText = CopyBytes(raw, 1, 6);
      break;
    case kFlash:
      FlashValue = FirstComponentInteger(raw, type);
      break;
    case kMakerNote:
      MakerNoteData = ByteString(raw);
      MakerNotePos = valuePos;
      // The ISO speed tag comes before the note in a well-formed EXIF directory.
      if (Options.makerNotes || (Options.makerNoteIso && StoredTagText("ISOSpeedRatings").empty())) {
        MakerNoteRead = ReadMakerNote();
      }
      break;
    case kExifOffset:
    case kInteroperabilityOffset:
      FollowDirectoryPointer(valuePos, offsetBase, blockLength, kMainDirectory);
      break;
    case kSubIfds:  // every image of the list: the main one need not be the first
      for (int64_t at = 0;
           at < kMaxSubImages * 4 && (at == 0 || at + 4 <= static_cast<int64_t>(raw.size()));
           at += 4) {
        FollowDirectoryPointer(valuePos + at, offsetBase, blockLength, kMainDirectory);
      }
      break;
    case kGpsInfo:
      FollowDirectoryPointer(valuePos, offsetBase, blockLength, kGpsDirectory);
      break;
    default:
      break;
  }

  if (store) {
    entry.Text = std::move(text);
    entry.RawSize = static_cast<int32_t>(raw.size());
    entry.Raw = std::move(raw);
    entry.RawPos = valuePos;
    entry.DataType = type;
    try {
      AddTag(std::move(entry));  // refuses Tag 0: unknown tags and GPSVersionID stay out of the store
    } catch (const std::exception&) {
      // A value that cannot be stored is left out; the walk goes on.
    }
  }
}

std::string TImageInfo::ValueText(const TTagEntry& entry, uint16_t tag, std::string_view raw,
                                  uint16_t type, const Directory& directory) const {
  const bool decode = Options.useTagDecoders;
  // Texts and bytes with a table (GPS references, FileSource, SceneType) by their table too.
  const bool mapped = decode && !entry.ValueMap.empty();
  std::string text;
  if (type == kAscii) {
    text = AsciiText(raw);
    if (mapped) text = MappedText(entry.ValueMap, text);
  } else if (type == kUndefined) {
    text = mapped && !raw.empty()
               ? MappedText(entry.ValueMap, std::to_string(static_cast<unsigned char>(raw[0])))
               : UndefinedText(raw);
  } else {
    // May throw FormatError: not caught here, it ends this directory.
    text = RawToText(raw, type, entry.FormatString, entry.ValueMap);
  }
  if (decode && entry.RawDecoder != nullptr) {
    return entry.RawDecoder(ValueContext{tag, text, raw, type, BigEndian, &directory});
  }
  if (entry.Tag != 0 && entry.Decoder != nullptr && decode) return entry.Decoder(text);
  return MakePrintable(text);
}

int32_t TImageInfo::FirstComponentInteger(std::string_view raw, uint16_t type) const {
  const auto size = static_cast<size_t>(FieldTypeSize(type));
  return RoundToInt32(RawToNumber(raw.substr(0, size), type));
}

void TImageInfo::FollowDirectoryPointer(int64_t valuePos, int64_t offsetBase, int64_t blockLength,
                                        int kind) {
  if (!Holds(valuePos, 4)) return;  // a pointer cut off by the block's end leads nowhere
  const int64_t start = int64_t{ReadInt32(valuePos)} + offsetBase;
  try {
    WalkDirectory(start, offsetBase, blockLength, kind);
  } catch (const std::exception&) {
    // A broken sub-directory loses its own remaining entries only.
  }
}

void TImageInfo::AppendTraceLine(uint16_t tag, std::string_view description, std::string_view text,
                                 int32_t byteCount, int64_t valuePos) {
  if (!Options.traces) return;
  TraceText += "\r\n";
  if (Options.traceDetailLevel > 0) TraceText += "tag[$" + Hex4(tag) + "]: ";
  TraceText += description;
  TraceText += " = ";
  TraceText += EscapeControls(text);
  if (Options.traceDetailLevel > 0) {
    TraceText += " [size: " + std::to_string(byteCount) + "]";
    TraceText += " [start: " + std::to_string(valuePos) + "]";
  }
}

void TImageInfo::SetOwnerError(std::string_view text) {
  if (Owner != nullptr) Owner->ErrorText = text;
}

bool TImageInfo::ReadMakerNote() {
  // The maker directory's entries and value bytes count against this walk's limits, so that
  // many MakerNote tags pointing at one large note cannot multiply the work.
  MakerNoteBudget budget{kMaxEntriesPerWalk - entriesRead_,
                         kMaxValueBytesPerWalk - valueBytesRead_};
  TmsInfo reader(FromTiff, *this);
  const bool known = reader.ReadMakerNote(*this, budget);
  entriesRead_ = kMaxEntriesPerWalk - budget.Entries;
  valueBytesRead_ = kMaxValueBytesPerWalk - budget.ValueBytes;
  if (budget.Exhausted) walkExhausted_ = true;
  return known;
}

}  // namespace exif::detail
