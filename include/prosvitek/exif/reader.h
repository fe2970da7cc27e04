#pragma once
// The EXIF reader's public face: read the EXIF data of a photo file (JPEG, TIFF and the raw
// files built on it, HEIC/AVIF, PNG, WebP, JPEG XL and a few raw containers; the kind is told by
// the bytes), look at what was read, and take the short summary the window and the command
// line show.
//
//   exif::Reader reader;
//   if (reader.ProcessFile(path) && reader.HasExif()) show(reader.GetSummary()->model);
//
// A Reader holds no state shared with other readers: any number of them may run on as many
// threads at once. One Reader is used by one thread at a time.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace files {
class InputFile;
}  // namespace files

namespace exif {

namespace detail {
class TimgData;
class TImageInfo;
}  // namespace detail

// How a read ended.
enum class ReadStatus {
  Read,        // metadata was read (an EXIF block, or only IPTC or a comment)
  Missing,     // there is no such file
  CannotOpen,  // the file is there but could not be opened or read; OpenError() says why
  NoExif,      // the file holds no metadata the reader knows, or holds it in a form not read
  Damaged,     // metadata is there but broken beyond reading
};

// What a reader does beyond the defaults; each reader has its own.
struct ReaderOptions {
  // Value maps and tag decoders turn numbers into words.
  bool useTagDecoders = true;
  // Above 0 the traces also carry directory lines and each entry's tag number, size and place.
  int32_t traceDetailLevel = 0;
  // Bytes of a TIFF file read at most; directories and values beyond are not read.
  int64_t tiffReadLimit = int64_t{64} << 20;
  // The traces (one line per entry) are written; a reader that only wants the summary or
  // the tags saves that work.
  bool traces = true;
  // Maker notes are read.
  bool makerNotes = true;
  // The summary takes the ISO speed from the maker note when the EXIF data has none; without
  // `makerNotes` a note is then still read, for its ISO speed alone, when none came before it.
  bool makerNoteIso = true;
};

// Options for a reader whose only use is the summary: no traces, and a maker note read only
// for an ISO speed the EXIF data lacks.
inline ReaderOptions SummaryOnly() {
  ReaderOptions options;
  options.traces = false;
  options.makerNotes = false;
  return options;
}

// The values the window's labels and the summary text show, taken from one read.
struct Summary {
  std::string fileName;  // without its folder
  int64_t fileSize = 0;  // bytes
  std::chrono::system_clock::time_point fileModified{};
  ReadStatus status = ReadStatus::Read;
  std::string errorText;  // the reader's status text: "<none>" after a good read, else what went wrong
  std::string photoDate;  // the EXIF date text, e.g. "2004:03:28 14:03:27"
  std::string make;   // without the blanks that pad it
  std::string model;
  int32_t width = 0;
  int32_t height = 0;
  std::string exposureTime;  // "1/250 sec", "0.8 sec", or the shutter speed's "0.0040 sec (1/250)"
  std::string focalLength;   // "5.80 mm"
  std::string fNumber;       // "F2.8"; from the ApertureValue when there is no FNumber
  std::string iso;           // "100"; from the maker note when the EXIF data has none
  int32_t flash = 0;         // the Flash value's bits; bit 0 set when it fired

  bool Failed() const { return status != ReadStatus::Read; }
  bool FlashFired() const { return (flash & 1) != 0; }
};

// Gives the date part of a moment as the user reads dates.
using DateFormatter = std::string (*)(std::chrono::system_clock::time_point moment);

// The local date in the LC_TIME locale's short form ("%x"); empty when there is none.
std::string ShortDateText(std::chrono::system_clock::time_point moment);

// The summary's English lines, separated by CR LF: after a failed read "File Name: " and
// "Exif Error: "; otherwise file name, size and date, photo date, make and model, dimensions,
// then the exposure time, focal length, f-number and ISO lines that have a value, and the
// flash line.
std::string SummaryText(const Summary& summary, DateFormatter formatDate = ShortDateText);

// One stored tag; the texts live as long as the reader's current read.
struct TagView {
  std::string_view name;
  std::string_view description;
  std::string_view text;
  uint16_t tag = 0;   // 0 for values computed from a maker note
  uint16_t type = 0;  // TIFF field type
};

// The parsed EXIF data of one read, read-only.
class ExifData {
 public:
  const std::string& Make() const;
  const std::string& Model() const;
  const std::string& DateTime() const;
  int32_t Width() const;
  int32_t Height() const;
  int32_t Flash() const;
  // The text of the first stored tag of that name (ASCII case ignored), or empty.
  std::string TagText(std::string_view name) const;
  std::vector<TagView> Tags() const;
  // One line per entry, each beginning with CR LF; values cannot forge a line.
  const std::string& Trace() const;
  const std::string& MakerNoteTrace() const;

 private:
  friend class Reader;
  explicit ExifData(const detail::TImageInfo& info) : info_(&info) {}
  const detail::TImageInfo* info_;
};

class Reader {
 public:
  explicit Reader(ReaderOptions options = {});
  ~Reader();
  Reader(Reader&&) noexcept;
  Reader& operator=(Reader&&) noexcept;

  // Reads the named file; true when metadata was read. The file's first bytes decide how it
  // is read, never its name; a file that holds no EXIF says what it looks like in ErrorText.
  bool ProcessFile(const std::string& path);
  // Reads a file already open (the size and date of the file are then not taken).
  bool ProcessFile(const files::InputFile& file);
  // Reads bytes already in memory; `name` is only the file's name.
  bool ProcessBytes(const std::string& name, std::string_view bytes);

  bool HasExif() const;
  ReadStatus Status() const;
  // The status in the reader's words: "<none>" after a good read, otherwise what went wrong
  // ("Not an EXIF file", "Not a file with EXIF (PNG)", ...); empty when the file is missing.
  const std::string& ErrorText() const;
  // Why the file could not be opened (ErrorText then begins "Cannot read file"); empty else.
  std::error_code OpenError() const;
  // The parsed data, when the read got as far as an EXIF block.
  std::optional<ExifData> Exif() const;
  // The summary's values, when an EXIF block was found.
  std::optional<Summary> GetSummary() const;

 private:
  std::unique_ptr<detail::TimgData> data_;
};

}  // namespace exif
