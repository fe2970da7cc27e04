#include "photo_jobs.h"

#include "edge_text.h"
#include "prosvitek/files/atomic_file.h"
#include "prosvitek/files/input_file.h"
#include "prosvitek/files/jpeg_segments.h"
#include "prosvitek/imaging/errors.h"
#include "prosvitek/imaging/metadata.h"
#include "prosvitek/imaging/orientation.h"
#include "prosvitek/imaging/pipeline.h"

#include <algorithm>

#include <sys/stat.h>

namespace {

// An encoded result is about as large as its source; memory for it is set
// aside at once, but never more than this (a source may be padded far
// beyond its end).
constexpr std::uint64_t kReserveLimit = std::uint64_t{64} << 20;

struct ExifFacts {
  int orientation = 1;
  std::optional<exif::Summary> summary;
  std::string trace;
};

// The EXIF data of the file already open: how it is turned (as the saved
// photo carries it), the summary and the trace.
ExifFacts ReadExifFacts(const files::InputFile& file) {
  ExifFacts facts;
  files::JpegSegmentWalker walker(file);
  while (const auto segment = walker.Next()) {
    if (segment->marker == files::kMarkerSos || segment->marker == files::kMarkerEoi) break;
    if (segment->marker == files::kMarkerApp1 && walker.Kind(*segment) == files::SegmentKind::Exif) {
      facts.orientation = imaging::ExifOrientation(walker.Body(*segment));
      break;
    }
  }
  exif::Reader reader;  // value maps and decoders on, as the details window shows them
  if (!reader.ProcessFile(file) || !reader.HasExif()) return facts;
  facts.summary = reader.GetSummary();
  if (const auto exif = reader.Exif()) facts.trace = TrimmedTraceText(exif->Trace());
  return facts;
}

imaging::PassOptions Options(JobContext& context) {
  imaging::PassOptions options;
  options.stop = context.stop();
  options.progress = [&context](int done, int height) { context.Progress(done, height); };
  return options;
}

// Bytes going into a file that appears under its name only when complete.
class FileSink final : public imaging::ByteSink {
 public:
  explicit FileSink(files::AtomicFile& file) : file_(file) {}
  void Write(std::span<const std::uint8_t> bytes) override {
    file_.Write(bytes);
    written_ += bytes.size();
  }
  std::uint64_t written() const { return written_; }

 private:
  files::AtomicFile& file_;
  std::uint64_t written_ = 0;
};

imaging::RenderRequest Replay(const RenderedPhoto& rendered, int quality) {
  imaging::RenderRequest request;
  request.exponent = rendered.exponent;
  request.settingsAt = imaging::Replay(rendered.steps);
  request.quality = quality;
  request.scans = rendered.scans;
  return request;
}

}  // namespace

int Photo::ShownWidth() const { return imaging::SwapsSides(orientation) ? header.height : header.width; }
int Photo::ShownHeight() const { return imaging::SwapsSides(orientation) ? header.width : header.height; }

Photo OpenJob(const std::string& path, JobContext& context) {
  const files::InputFile file = files::OpenInputFile(path);
  Photo photo;
  photo.path = path;
  photo.fileSize = file.size();
  // The EXIF data first: it says how the preview is turned, so that it is
  // made at the size it is shown at.
  ExifFacts facts;
  try {
    facts = ReadExifFacts(file);
  } catch (const std::exception&) {
    // The picture opens without its EXIF data; a file that cannot be read fails below.
  }
  photo.orientation = facts.orientation;
  photo.summary = std::move(facts.summary);
  photo.trace = std::move(facts.trace);

  const imaging::JpegHeader stored = imaging::JpegReader(file).Header();
  int shownWidth = 0, shownHeight = 0;
  imaging::ShownSize(photo.orientation, stored.width, stored.height, shownWidth, shownHeight);
  const imaging::PreviewSize shown = imaging::FitPreviewSize(shownWidth, shownHeight);
  const imaging::PreviewSize made =
      imaging::SwapsSides(photo.orientation) ? imaging::PreviewSize{shown.height, shown.width} : shown;
  imaging::PassOptions options = Options(context);
  options.keepScans = true;  // a progressive photo is then not read again for its saves
  imaging::OpenedPhoto opened = imaging::OpenPhoto(file, options, true, made);
  photo.scans = std::move(opened.scans);
  photo.header = opened.header;
  photo.analysis = opened.analysis;
  photo.preview =
      photo.orientation == 1 ? std::move(opened.preview) : imaging::Oriented(opened.preview, photo.orientation);
  photo.decodedRows = opened.decodedRows;
  photo.warning = imaging::PhotoWarningText(opened.warning, opened.decodedRows, opened.header.height);
  context.Warn(photo.warning);
  return photo;
}

RenderedPhoto RenderJob(const RenderOrder& order, JobContext& context) {
  const files::InputFile input = files::OpenInputFile(order.source);
  imaging::RenderRequest request;
  request.exponent = order.exponent;
  request.settingsAt = order.settingsAt;
  request.quality = order.quality;
  request.scans = order.scans;
  auto out = std::make_shared<imaging::Bytes>();
  out->reserve(static_cast<std::size_t>(std::min(input.size(), kReserveLimit)));  // no copies while it grows
  imaging::BytesSink sink(*out);
  imaging::Rendered r = imaging::RenderPhoto(input, request, sink, Options(context));
  context.Warn(imaging::PhotoWarningText(r.warning, r.decodedRows, r.source.height));
  return RenderedPhoto{std::move(out), order.quality, order.exponent, std::move(r.steps), order.scans};
}

RenderedPhoto EncodeJob(const RenderedPhoto& rendered, const std::string& source, int quality, JobContext& context) {
  const files::InputFile input = files::OpenInputFile(source);
  auto out = std::make_shared<imaging::Bytes>();
  out->reserve(rendered.encoded ? rendered.encoded->size() : 0);
  imaging::BytesSink sink(*out);
  imaging::PassOptions options;
  options.stop = context.stop();
  imaging::RenderPhoto(input, Replay(rendered, quality), sink, options);
  return RenderedPhoto{std::move(out), quality, rendered.exponent, rendered.steps, rendered.scans};
}

WrittenPhoto WriteJob(const WriteOrder& order, JobContext& context) {
  // The source's colour profile and orientation always travel with the
  // result, so that it shows as taken; the rest of its metadata when asked,
  // with the EXIF thumbnail made anew from the brightened photo, as the
  // command line makes it.
  const files::InputFile input = files::OpenInputFile(order.source);
  const RenderedPhoto& r = order.rendered;
  imaging::CarryRequest carry;
  carry.keepMetadata = order.keepMetadata;
  carry.exponent = r.exponent;
  carry.settingsAt = imaging::Replay(r.steps);
  carry.stop = context.stop();
  carry.budget = carry.limits.memoryBudget;  // held through the save, as the photo's memory is
  const std::vector<imaging::JpegSegment> segments = imaging::SegmentsToCarry(input, carry);
  if (const std::string unfit = UnfitTarget(order.target); !unfit.empty()) throw files::FileError(unfit);
  files::AtomicFile file(order.target);
  FileSink sink(file);
  if (r.encoded && r.quality == order.quality) {
    imaging::WriteWithSegments(sink, *r.encoded, segments);
  } else {
    // The same steps again, at the quality asked for, straight into the file.
    imaging::RenderRequest request = Replay(r, order.quality);
    request.segments = segments;
    imaging::RenderPhoto(input, request, sink, Options(context));
  }
  if (context.stop().stop_requested()) throw imaging::Cancelled();
  const std::optional<std::string> warning = file.Commit();
  return WrittenPhoto{order.target, sink.written(), warning.value_or(std::string())};
}

std::string UnfitTarget(const std::string& target) {
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) return {};  // nothing there yet (or nothing we can see): the write says
  if (S_ISREG(st.st_mode)) return {};
  const char* what = S_ISDIR(st.st_mode)    ? "složka"
                     : S_ISFIFO(st.st_mode) ? "roura (FIFO)"
                     : S_ISSOCK(st.st_mode) ? "soket"
                                            : "zařízení";
  return "Do „" + target + "“ nelze fotku uložit: je to " + what + ", ne obyčejný soubor.";
}
