#pragma once
// The directory reader shared by every maker: reads one maker directory out of the maker-note
// bytes into the EXIF object's maker-note trace and tag store.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "ifd_walk.h"
#include "tag_entry.h"

namespace exif::detail {

class TImageInfo;
struct MakerNoteIso;

// What the maker-note directories of one EXIF object may still read. A hostile block can hold
// many maker-note tags, each pointing at the same large note, so the walk's own limits are
// handed down and spent here as well.
struct MakerNoteBudget {
  int64_t Entries = kMaxEntriesPerWalk;
  int64_t ValueBytes = kMaxValueBytesPerWalk;

  bool Exhausted = false;

  // Takes entries and value bytes; false, and exhausted for good, when that is more than is
  // left.
  bool Take(int64_t entries, int64_t valueBytes);
};

// What a maker-note decoder works with: the value's bytes in the note's byte order, and the
// pass it runs in, whose object receives the fields the decoder computes.
struct DecodeContext {
  DecodeContext(TImageInfo& owner, MakerNoteBudget& budget) : Owner(owner), Budget(budget) {}

  TImageInfo& Owner;
  MakerNoteBudget& Budget;
  std::string_view Raw;
  uint16_t Type = 0;
  bool BigEndian = false;
  // Set by a decoder whose result is a list of lines rather than a value.
  bool MultiLine = false;

  // Stores a computed value (type ASCII) in the owner's store, counted against the budget.
  // False once the budget is spent, and the decoder should stop.
  bool AddField(std::string_view name, std::string_view text);
};

// One value of a maker directory as read: its tag, field type and bytes in the note's order.
struct NoteValue {
  uint16_t Tag = 0;
  uint16_t Type = 0;
  std::string_view Raw;
  bool BigEndian = false;

  // The index-th number of a SHORT or SSHORT value, as its 16 bits; nothing beyond the value
  // or for another type.
  std::optional<uint16_t> Short(size_t index) const;
};

// Takes what one value of a maker's note says about the ISO speed.
using IsoReading = void (*)(const NoteValue& value, MakerNoteIso& iso);

// Where a maker keeps its directory and whence its offsets count.
struct NoteLayout {
  std::span<const TTagEntry> Table;
  int64_t Start = 0;       // 0-based offset of the entry count in the note
  int64_t ValueShift = 0;  // a value at offset x lies at 1-based note position x + ValueShift
  bool BigEndian = false;  // the byte order of the note's numbers
  IsoReading Iso = nullptr;  // for the makers whose notes state the ISO speed
  // The byte order is the note's own (a header, a footer or the maker's rule); otherwise it
  // is the EXIF data's, and a note that reads far better in the other order (one rewritten
  // by software of the other byte order) is read in that.
  bool OrderDeclared = false;
  // The value shift is known exactly (Canon's footer records where the note was written),
  // so values are not searched for elsewhere while it places them.
  bool ShiftKnown = false;
};

// Reads the maker directory that `layout` places in info.MakerNoteData (with maker notes off
// in the reader's options, only what the layout's ISO reading takes), and the directories its
// records point at. Values lie inside the note: when their offsets do not fit it (a photo
// re-saved by software that moved the note), the note is re-based at the place that puts the
// most values after its table, so that one bogus offset cannot move the others; when no base
// places half of them the note's values are withheld with one trace line saying so. An error
// ends the directory and is reported in the container's ErrorText; what was read before stays.
void ReadMakerDirectory(TImageInfo& info, const NoteLayout& layout, MakerNoteBudget& budget);
void ReadMakerDirectory(TImageInfo& info, const NoteLayout& layout);

// The trace line of a note whose values are withheld.
inline constexpr std::string_view kWithheldLine =
    "\r\nMaker Note = values withheld: their offsets fit no place inside the note";

}  // namespace exif::detail
