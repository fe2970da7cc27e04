// The maker directory reader: entries, value positions inside the note (re-based when the
// note was moved), value texts, decoders, the maker-note trace and the store.

#include "makernotes/maker_directory.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <functional>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ascii.h"
#include "container.h"
#include "end_ind.h"
#include "field_types.h"
#include "image_info.h"
#include "printf_format.h"
#include "tag_dictionary.h"
#include "text_filters.h"

namespace exif::detail {
namespace {

constexpr int64_t kEntrySize = 12;
constexpr int64_t kInlineBytes = 4;
constexpr int64_t kLinkBytes = 4;
// Candidates for a moved note's base are taken from this many of its first and last values.
constexpr size_t kBaseCandidates = 8;
// Sub-directories (Olympus' equipment, camera settings, ...) hold no further ones.
constexpr int kMaxNoteDepth = 1;
// Entries looked at to tell a note's byte order.
constexpr int64_t kOrderProbeEntries = 8;
constexpr std::string_view kSkipName = "SKIP";
constexpr std::string_view kErrorPrefix = "Error Detected = ";

class MakerNoteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string Quoted(std::string_view bytes) {
  std::string text(1, '"');
  text.append(bytes).append(1, '"');
  return text;
}

// One directory entry as read.
struct Entry {
  uint16_t Tag = 0;
  uint16_t Type = 0;
  int64_t Size = 0;    // count x type size; may be negative or huge in a hostile note
  int64_t Offset = 0;  // for values beyond the entry
  int64_t InlinePos = 0;
  bool Inline() const { return Size <= kInlineBytes; }
};

Entry ReadEntry(const tEndInd& note, int64_t entryPos) {
  Entry entry;
  entry.Tag = note.ReadUInt16(entryPos);
  entry.Type = note.ReadUInt16(entryPos + 2);
  // Types above 12 have no size: their value is taken as empty, inside the entry.
  entry.Size = int64_t{note.ReadInt32(entryPos + 4)} * FieldTypeSize(entry.Type);
  entry.InlinePos = entryPos + 8;
  if (!entry.Inline()) entry.Offset = note.ReadInt32(entryPos + 8);
  return entry;
}

// The shift added to every value position so that the values lie after the directory's
// table and inside the bytes that hold the note (the EXIF block from the note's start on: a
// camera may count its note short and keep the values after it): none when they already do;
// otherwise, of the shifts that put one of the first values right after the table (with or
// without its link) or one of the last ones at the note's end, the way a moved note is found
// again, the one that places the most values. Taking candidates from several values, not
// only the first and the last, keeps one bogus offset (0, or one far outside) from moving
// the others. Nothing when no shift places even half of them: there is no consistent base.
// A note that fits as it stands is still re-based when both ends (the first value after the
// table's link, the last at the note's end) agree on another place. A few values may lie
// elsewhere (a preview image kept in another part of the file); those are shown empty.
std::optional<int64_t> NoteShift(const std::vector<Entry>& entries, int64_t valueShift,
                                 int64_t tableEnd, int64_t noteLength, int64_t available,
                                 bool shiftKnown) {
  std::vector<std::pair<int64_t, int64_t>> spans;  // 0-based start and end in the note
  for (const Entry& e : entries) {
    if (e.Inline() || e.Size > available) continue;  // no base could place these
    const int64_t start = e.Offset + valueShift - 1;
    spans.emplace_back(start, start + e.Size);
  }
  if (spans.empty()) return 0;
  const auto placed = [&](int64_t shift) {
    return std::count_if(spans.begin(), spans.end(), [&](const auto& span) {
      return span.first + shift >= tableEnd && span.second + shift <= available;
    });
  };
  const auto all = static_cast<int64_t>(spans.size());
  const int64_t placedAsWritten = placed(0);
  if (shiftKnown && 2 * placedAsWritten >= all) return 0;

  std::vector<int64_t> starts;
  std::vector<int64_t> ends;
  for (const auto& [start, end] : spans) {
    starts.push_back(start);
    ends.push_back(end);
  }
  const size_t firstCount = std::min(kBaseCandidates, starts.size());
  std::partial_sort(starts.begin(), starts.begin() + static_cast<std::ptrdiff_t>(firstCount),
                    starts.end());
  std::partial_sort(ends.begin(), ends.begin() + static_cast<std::ptrdiff_t>(firstCount),
                    ends.end(), std::greater<>());
  if (placedAsWritten == all) {
    const int64_t afterLink = tableEnd + kLinkBytes - starts.front();
    const int64_t atEnd = noteLength - ends.front();
    const bool movedAsAWhole = atEnd != 0 && afterLink == atEnd;
    return movedAsAWhole && placed(atEnd) == all ? atEnd : 0;
  }
  int64_t best = 0;
  int64_t bestPlaced = placedAsWritten;
  const auto consider = [&](int64_t shift) {
    const int64_t count = placed(shift);
    if (count > bestPlaced) {
      best = shift;
      bestPlaced = count;
    }
  };
  // Of shifts that place as many, the usual layout wins: values right after the table's link,
  // then right after the table, then ending with the note.
  for (size_t i = 0; i < firstCount; ++i) consider(tableEnd + kLinkBytes - starts[i]);
  for (size_t i = 0; i < firstCount; ++i) consider(tableEnd - starts[i]);
  for (size_t i = 0; i < firstCount; ++i) consider(noteLength - ends[i]);
  if (2 * bestPlaced < all) return std::nullopt;
  return best;
}

// How well a directory reads in one byte order: its entry count fits the note and its first
// entries have field types that exist. 0 for a count that cannot be.
int64_t OrderScore(const ByteString& bytes, int64_t start, bool bigEndian) {
  tEndInd note;
  note.DataBlock = bytes;
  note.BigEndian = bigEndian;
  if (!bytes.Holds(start + 1, 2)) return 0;
  const int64_t count = note.ReadUInt16(start + 1);
  if (count == 0 || 2 + kEntrySize * count > bytes.Length() - start + kEntrySize) return 0;
  int64_t score = 1;
  for (int64_t i = 0; i < std::min(count, kOrderProbeEntries); ++i) {
    const int64_t type = note.ReadUInt16(start + 3 + kEntrySize * i + 2);
    if (type >= kByte && type <= kIfd) ++score;
  }
  return score;
}

struct Reading {
  TImageInfo& Info;
  const NoteLayout& Layout;
  MakerNoteBudget& Budget;
  const tEndInd& Note;
  int Depth = 0;
};

void ReadEntries(const Reading& r);

// The directory a record's value points at, read with the record's table; offsets count as
// in the directory that points at it. A broken one ends quietly: it is a part of the note.
void ReadSubDirectory(const Reading& r, const TTagEntry& record, const Entry& entry,
                      std::string_view value, int64_t shift) {
  if (r.Depth >= kMaxNoteDepth) return;
  // A pointer (LONG or IFD) holds the directory's offset; an UNDEFINED value is the directory.
  int64_t offset = entry.Offset;
  if (entry.Inline()) {
    if (value.size() != 4) return;
    offset = static_cast<uint32_t>(RawToInteger(value, r.Layout.BigEndian));
  }
  NoteLayout sub = r.Layout;
  sub.Table = record.SubDirectory();
  sub.ValueShift = r.Layout.ValueShift + shift;
  sub.Start = offset + sub.ValueShift - 1;
  sub.ShiftKnown = true;
  sub.Iso = nullptr;
  try {
    ReadEntries(Reading{r.Info, sub, r.Budget, r.Note, r.Depth + 1});
  } catch (const std::exception&) {
    // What the sub-directory gave before its fault stays.
  }
}

// The value text by field type; a conversion that fails shows the value quoted.
std::string ValueText(const Reading& r, std::string_view value, uint16_t type,
                      const TTagEntry* record) {
  if (type == kAscii) return Quoted(AsciiText(value));
  // UNDEFINED values are mostly text padded with zero bytes, else binary data.
  if (type == kUndefined) return UndefinedText(value);
  const bool maps = r.Info.Options.useTagDecoders;
  try {
    if (record == nullptr) return RawToText(value, type, {}, {}, r.Layout.BigEndian, maps);
    const std::string map = maps ? FindValueMap(record->Tag, r.Layout.Table) : std::string();
    return RawToText(value, type, record->FormatString, map, r.Layout.BigEndian, maps);
  } catch (const std::exception&) {
    return UndefinedText(value);
  }
}

void AppendTrace(TImageInfo& info, const Entry& entry, std::string_view shownName,
                 std::string_view valueText, std::string_view shownText, bool multiLine,
                 std::string_view value, int64_t valuePos) {
  if (!info.Options.traces) return;
  std::string& trace = info.MakerNoteTraceText;
  // A decoder's lines are its own; a single value cannot start a line.
  const std::string shown = multiLine ? std::string(shownText) : EscapeControls(shownText);
  const std::string valueShown = EscapeControls(valueText);
  if (info.Options.traceDetailLevel <= 0) {
    if (multiLine) {
      trace.append(shown).append("\r\n").append(shownName).append(" = ").append(valueShown);
    } else {
      trace.append("\r\n").append(shownName).append(" = ").append(shown);
    }
    return;
  }
  const std::string details = " [size: " + std::to_string(entry.Size) + "]" + " [raw: " +
                              HexDump(value) + "]" + " [start: " + std::to_string(valuePos) + "]";
  trace.append("\r\ntag[$").append(FormatText("%04X", {int32_t{entry.Tag}})).append("]: ");
  trace.append(shownName).append(" = ");
  if (multiLine) {
    trace.append(details).append(shown);
  } else {
    trace.append(shown).append(details);
  }
}

// The bytes that hold the note: the EXIF block from the note's first byte on, or the note
// alone when it came without its block.
std::string_view NoteSpace(const TImageInfo& info) {
  if (info.MakerNotePos < 1 || !info.DataBlock.Holds(info.MakerNotePos, 1)) {
    return info.MakerNoteData.View();
  }
  return info.DataBlock.View().substr(static_cast<size_t>(info.MakerNotePos - 1));
}

// The value's bytes when they lie wholly inside the note's space; otherwise none, never bytes
// from elsewhere.
std::string ValueBytes(const TImageInfo& info, const Entry& entry, int64_t valuePos) {
  const std::string_view space = NoteSpace(info);
  if (!SpanInside(static_cast<int64_t>(space.size()), valuePos, entry.Size)) return {};
  return std::string(space.substr(static_cast<size_t>(valuePos - 1), static_cast<size_t>(entry.Size)));
}

void ReadEntry(const Reading& r, const Entry& entry, int64_t shift) {
  TImageInfo& info = r.Info;
  const int64_t valuePos = entry.Inline() ? entry.InlinePos : entry.Offset + r.Layout.ValueShift + shift;
  const std::string value = ValueBytes(info, entry, valuePos);
  if (!r.Budget.Take(0, static_cast<int64_t>(value.size()))) return;

  const std::span<const TTagEntry> table = r.Layout.Table;
  const int index = FindTagIndex(entry.Tag, table);
  const TTagEntry* record = index >= 0 ? &table[static_cast<size_t>(index)] : nullptr;
  // A tag no table names shows its number, so that it can be looked up.
  const std::string shownName = record != nullptr
                                    ? record->Description
                                    : "Unknown 0x" + FormatText("%04X", {int32_t{entry.Tag}});
  if (UpperAscii(shownName) == kSkipName) return;
  if (info.BuildMode != kBuildStoreOnly && info.BuildMode != kBuildAll) return;
  if (record != nullptr && record->SubDirectory != nullptr) {
    ReadSubDirectory(r, *record, entry, value, shift);
    return;
  }
  // From the value's own numbers, whatever the decoders and traces do.
  if (r.Layout.Iso != nullptr) r.Layout.Iso({entry.Tag, entry.Type, value, r.Layout.BigEndian}, info.NoteIso);
  // A reader without maker notes reads a note for its ISO speed alone.
  if (!info.Options.makerNotes) return;

  const std::string valueText = ValueText(r, value, entry.Type, record);
  DecodeContext context(info, r.Budget);
  context.Raw = value;
  context.Type = entry.Type;
  context.BigEndian = r.Layout.BigEndian;
  std::string shownText;
  const bool decode = record != nullptr && info.Options.useTagDecoders;
  if (decode && record->ContextDecoder != nullptr) {
    shownText = record->ContextDecoder(valueText, context);
  } else if (decode && record->Decoder != nullptr) {
    shownText = record->Decoder(valueText);
  } else {
    shownText = MakePrintable(valueText);
  }
  AppendTrace(info, entry, shownName, valueText, shownText, context.MultiLine, value, valuePos);

  if (record != nullptr) {
    TTagEntry stored = *record;
    stored.Id = 1;
    stored.DataType = entry.Type;
    stored.Text = valueText;  // the decoder's lines went to the trace and computed entries
    stored.Raw = value;
    try {
      info.AddTag(std::move(stored));
    } catch (const std::exception&) {
      // A value that cannot be stored is left out; the directory goes on.
    }
  }
}

void ReadEntries(const Reading& r) {
  const ByteString& bytes = r.Info.MakerNoteData;
  const int64_t countPos = r.Layout.Start + 1;
  if (r.Layout.Start < 0 || !bytes.Holds(countPos, 2)) {
    throw MakerNoteError("Maker note too short for its directory");
  }
  const int64_t count = r.Note.ReadUInt16(countPos);
  // The count is not trusted: the table ends where the note's bytes do.
  std::vector<Entry> entries;
  for (int64_t i = 0; i < count; ++i) {
    const int64_t entryPos = r.Layout.Start + 3 + kEntrySize * i;
    if (!bytes.Holds(entryPos, kEntrySize)) break;
    entries.push_back(ReadEntry(r.Note, entryPos));
  }
  const int64_t tableEnd = r.Layout.Start + 2 + kEntrySize * count;
  const std::optional<int64_t> shift =
      NoteShift(entries, r.Layout.ValueShift, tableEnd, bytes.Length(),
                static_cast<int64_t>(NoteSpace(r.Info).size()), r.Layout.ShiftKnown);
  if (!shift) {
    if (r.Info.Options.traces) r.Info.MakerNoteTraceText += kWithheldLine;
    return;
  }
  for (const Entry& entry : entries) {
    if (!r.Budget.Take(1, 0)) return;
    ReadEntry(r, entry, *shift);
  }
  if (static_cast<int64_t>(entries.size()) < count) {
    throw MakerNoteError("Maker note directory runs past the end of the maker note");
  }
}

}  // namespace

std::optional<uint16_t> NoteValue::Short(size_t index) const {
  if (Type != kShort && Type != kSShort) return std::nullopt;
  if (Raw.size() / 2 <= index) return std::nullopt;
  return static_cast<uint16_t>(RawToInteger(Raw.substr(2 * index, 2), BigEndian));
}

bool MakerNoteBudget::Take(int64_t entries, int64_t valueBytes) {
  if (Exhausted || entries > Entries || valueBytes > ValueBytes) {
    Exhausted = true;
    return false;
  }
  Entries -= entries;
  ValueBytes -= valueBytes;
  return true;
}

bool DecodeContext::AddField(std::string_view name, std::string_view text) {
  if (!Budget.Take(1, 0)) return false;
  Owner.AddComputedTag(name, text, kAscii);
  return true;
}

void ReadMakerDirectory(TImageInfo& info, const NoteLayout& given, MakerNoteBudget& budget) {
  NoteLayout layout = given;
  // A note rewritten by software of the other byte order keeps its numbers in that order.
  if (!layout.OrderDeclared && OrderScore(info.MakerNoteData, layout.Start, !layout.BigEndian) >
                                   OrderScore(info.MakerNoteData, layout.Start, layout.BigEndian)) {
    layout.BigEndian = !layout.BigEndian;
  }
  tEndInd note;
  note.DataBlock = info.MakerNoteData;
  note.BigEndian = layout.BigEndian;
  try {
    ReadEntries(Reading{info, layout, budget, note});
  } catch (const std::exception& error) {
    // Ends this directory only; what was read stays, and the EXIF walk goes on.
    if (info.Owner != nullptr) info.Owner->ErrorText = std::string(kErrorPrefix) + error.what();
  }
}

void ReadMakerDirectory(TImageInfo& info, const NoteLayout& layout) {
  MakerNoteBudget budget;
  ReadMakerDirectory(info, layout, budget);
}

}  // namespace exif::detail
