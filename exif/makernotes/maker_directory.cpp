// The maker directory reader: entries, value positions inside the note or in the EXIF block,
// value texts, decoders, the maker-note trace and the store.

#include "exif/makernotes/maker_directory.h"

#include <exception>
#include <stdexcept>
#include <string>

#include "exif/ascii.h"
#include "exif/container.h"
#include "exif/field_types.h"
#include "exif/image_info.h"
#include "exif/printf_format.h"
#include "exif/settings.h"
#include "exif/tag_dictionary.h"
#include "exif/text_filters.h"

namespace exif {

bool DecoderMultiLine = false;
TImageInfo* CurrentMakerNoteOwner = nullptr;

namespace {

constexpr int64_t kEntrySize = 12;
constexpr int64_t kInlineBytes = 4;
constexpr std::string_view kUnknownName = "Unknown";
constexpr std::string_view kSkipName = "SKIP";
constexpr std::string_view kErrorPrefix = "Error Detected = ";

// The budget of the running pass, for the decoders' computed entries.
MakerNoteBudget* currentBudget = nullptr;

class MakerNoteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Puts the EXIF block back as the object's data block however the read ends.
class DataBlockRestore {
 public:
  explicit DataBlockRestore(TImageInfo& info) : info_(info), saved_(info.DataBlock) {}
  ~DataBlockRestore() { info_.SetDataBlock(saved_); }
  DataBlockRestore(const DataBlockRestore&) = delete;
  DataBlockRestore& operator=(const DataBlockRestore&) = delete;

 private:
  TImageInfo& info_;
  ByteString saved_;
};

class BudgetScope {
 public:
  explicit BudgetScope(MakerNoteBudget& budget) : saved_(currentBudget) { currentBudget = &budget; }
  ~BudgetScope() { currentBudget = saved_; }
  BudgetScope(const BudgetScope&) = delete;
  BudgetScope& operator=(const BudgetScope&) = delete;

 private:
  MakerNoteBudget* saved_;
};

std::string Quoted(std::string_view bytes) {
  std::string text(1, '"');
  text.append(bytes).append(1, '"');
  return text;
}

// The value text by field type; a conversion that fails shows the value quoted.
std::string ValueText(const TImageInfo& info, std::string_view value, uint16_t type,
                      const TTagEntry* record, std::span<const TTagEntry> table) {
  if (type == kAscii) return Quoted(value.substr(0, value.find('\0')));
  if (type == kUndefined) return Quoted(value);
  try {
    if (record == nullptr) return info.RawToText(value, type, {}, {});
    const std::string map = UseTagDecoders ? FindValueMap(record->Tag, table) : std::string();
    return info.RawToText(value, type, record->FormatString, map);
  } catch (const std::exception&) {
    return Quoted(value);
  }
}

void AppendTrace(TImageInfo& info, uint16_t tag, std::string_view shownName,
                 std::string_view valueText, std::string_view shownText, int64_t size,
                 std::string_view value, int64_t valuePos) {
  std::string& trace = info.MakerNoteTraceText;
  if (TraceDetailLevel <= 0) {
    if (DecoderMultiLine) {
      trace.append(shownText).append("\r\n").append(shownName).append(" = ").append(valueText);
    } else {
      trace.append("\r\n").append(shownName).append(" = ").append(shownText);
    }
    return;
  }
  const std::string details = " [size: " + std::to_string(size) + "]" + " [raw: " + HexDump(value) +
                              "]" + " [start: " + std::to_string(valuePos) + "]";
  trace.append("\r\ntag[$").append(FormatText("%04X", {int32_t{tag}})).append("]: ");
  trace.append(shownName).append(" = ");
  if (DecoderMultiLine) {
    trace.append(details).append(shownText);
  } else {
    trace.append(shownText).append(details);
  }
}

void ReadEntries(TImageInfo& info, std::span<const TTagEntry> table, int64_t start,
                 int64_t valueShift, const ByteString& exifBlock, int64_t fallbackBase,
                 MakerNoteBudget& budget) {
  const ByteString& note = info.DataBlock;
  const int64_t countPos = start + 1;
  if (!note.Holds(countPos, 2)) throw MakerNoteError("Maker note too short for its directory");
  const int64_t count = info.ReadUInt16(countPos);
  for (int64_t i = 0; i < count; ++i) {
    const int64_t entryPos = start + 3 + kEntrySize * i;
    // The count is not trusted: the table ends where the note's bytes do.
    if (!note.Holds(entryPos, kEntrySize)) {
      throw MakerNoteError("Maker note directory runs past the end of the maker note");
    }
    if (!budget.Take(1, 0)) return;
    const uint16_t tag = info.ReadUInt16(entryPos);
    const uint16_t type = info.ReadUInt16(entryPos + 2);
    // Types above 12 have no size: their value is taken as empty, inside the entry.
    const int64_t size = int64_t{info.ReadInt32(entryPos + 4)} * FieldTypeSize(type);
    int64_t offset = 0;
    int64_t valuePos = entryPos + 8;
    if (size > kInlineBytes) {
      offset = info.ReadInt32(entryPos + 8);
      valuePos = offset + valueShift;
    }
    // A value the note does not hold wholly comes from the EXIF block, cut at its end.
    const std::string value = note.Holds(valuePos, size)
                                  ? note.Copy(valuePos, size)
                                  : exifBlock.Copy(fallbackBase + offset, size);
    if (!budget.Take(0, static_cast<int64_t>(value.size()))) return;

    const int index = FindTagIndex(tag, table);
    const TTagEntry* record = index >= 0 ? &table[static_cast<size_t>(index)] : nullptr;
    const std::string_view shownName = record != nullptr ? record->Description : kUnknownName;
    if (UpperAscii(shownName) == kSkipName) continue;
    if (info.BuildMode != kBuildStoreOnly && info.BuildMode != kBuildAll) continue;

    const std::string valueText = ValueText(info, value, type, record, table);
    DecoderMultiLine = false;
    const std::string shownText = record != nullptr && record->Decoder != nullptr && UseTagDecoders
                                      ? record->Decoder(valueText)
                                      : MakePrintable(valueText);
    AppendTrace(info, tag, shownName, valueText, shownText, size, value, valuePos);

    if (record != nullptr) {
      TTagEntry entry = *record;
      entry.Id = 1;
      entry.DataType = type;
      entry.Text = valueText;  // the decoder's lines went to the trace and computed entries
      entry.Raw = value;
      try {
        info.AddTag(std::move(entry));
      } catch (const std::exception&) {
        // A value that cannot be stored is left out; the directory goes on.
      }
    }
  }
}

}  // namespace

bool MakerNoteBudget::Take(int64_t entries, int64_t valueBytes) {
  if (Exhausted || entries > Entries || valueBytes > ValueBytes) {
    Exhausted = true;
    return false;
  }
  Entries -= entries;
  ValueBytes -= valueBytes;
  return true;
}

void ReadMakerDirectory(TImageInfo& info, std::span<const TTagEntry> table, int64_t start,
                        int64_t valueShift, int64_t fallbackBase, MakerNoteBudget& budget) {
  // The fallback reads the container's EXIF block; an object without a container has only
  // its own copy of it.
  const ByteString exifBlock = info.Owner != nullptr ? info.Owner->DataBlock : info.DataBlock;
  const DataBlockRestore restore(info);
  const BudgetScope scope(budget);
  info.SetDataBlock(info.MakerNoteData);
  try {
    ReadEntries(info, table, start, valueShift, exifBlock, fallbackBase, budget);
  } catch (const std::exception& error) {
    // Ends this directory only; what was read stays, and the EXIF walk goes on.
    if (info.Owner != nullptr) info.Owner->ErrorText = std::string(kErrorPrefix) + error.what();
  }
}

void ReadMakerDirectory(TImageInfo& info, std::span<const TTagEntry> table, int64_t start,
                        int64_t valueShift, int64_t fallbackBase) {
  MakerNoteBudget budget;
  ReadMakerDirectory(info, table, start, valueShift, fallbackBase, budget);
}

bool AddComputedMakerTag(std::string_view name, std::string_view text) {
  if (currentBudget != nullptr && !currentBudget->Take(1, 0)) return false;
  if (CurrentMakerNoteOwner != nullptr) CurrentMakerNoteOwner->AddComputedTag(name, text, kAscii);
  return true;
}

}  // namespace exif
