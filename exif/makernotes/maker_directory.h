#pragma once
// The directory reader shared by every maker: reads one maker directory out of the maker-note
// bytes into the EXIF object's maker-note trace and tag store.

#include <cstdint>
#include <span>
#include <string_view>

#include "exif/ifd_walk.h"
#include "exif/tag_entry.h"

namespace exif {

class TImageInfo;

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

// Set by a decoder whose result is a list of lines rather than a value; cleared before every
// decoder call of a pass.
extern bool DecoderMultiLine;

// The EXIF object of the running maker-note pass, through which decoders reach its store;
// null outside a pass.
extern TImageInfo* CurrentMakerNoteOwner;

// Reads the maker directory whose entry count is at 0-based `start` in info.MakerNoteData.
// A value away from its entry lies at 1-based position offset + `valueShift` in the note;
// one that is not wholly inside the note is taken from the EXIF block at `fallbackBase` +
// offset. An error ends the directory and is reported in the container's ErrorText; what was
// read before stays. DataBlock is the note during the read and restored afterwards.
void ReadMakerDirectory(TImageInfo& info, std::span<const TTagEntry> table, int64_t start,
                        int64_t valueShift, int64_t fallbackBase, MakerNoteBudget& budget);
void ReadMakerDirectory(TImageInfo& info, std::span<const TTagEntry> table, int64_t start,
                        int64_t valueShift, int64_t fallbackBase);

// For decoders: stores a computed value (type ASCII) in the running pass's object and counts
// it against the pass's limits. False once they are spent, and the decoder should stop.
bool AddComputedMakerTag(std::string_view name, std::string_view text);

}  // namespace exif
