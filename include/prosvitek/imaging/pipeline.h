#pragma once
// The one photo pipeline of the window and the command line. A photo file is
// decoded from the top down in bands of rows that pass through a small ring
// (a few hundred rows, never the whole photo): decoding and brightening run
// on the calling thread, measuring and encoding on a second one. Opening measures the photo and makes its preview from the
// rows as they pass; rendering brightens each band and hands it to the
// encoder, which writes to a sink as it goes. A progressive photo's scans
// are read once per photo: the coefficients they make can be kept and
// decoded again for the next pass (DecodedScans). The command line finds the
// extremes it needs from the coefficients (see luminance_bounds.h) instead
// of decoding the photo twice.

#include "prosvitek/imaging/analysis.h"
#include "prosvitek/imaging/brighten.h"
#include "prosvitek/imaging/controls.h"
#include "prosvitek/imaging/jpeg_codec.h"

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

namespace imaging {

// The ring: bands of whole steps, so that settings read per step fall on bands.
constexpr int kBandRows = kRowsPerStep;
constexpr int kRingBands = 16;

struct PassOptions {
  DecodeLimits limits;
  // A stop requested here ends the pass promptly with Cancelled, wherever it
  // is (reading a progressive file, decoding, encoding); nothing is left
  // half-written in the sink's file as long as the sink commits only at the end.
  std::stop_token stop;
  // 2: the work beside decoding goes to a second thread; 1: all of it on the
  // calling thread (for batches that already keep every core busy).
  int threads = 2;
  // Photos of at least this many pixels are measured in two parts at once,
  // each on its own thread (baseline files only).
  std::uint64_t splitPixels = std::uint64_t{1} << 20;
  // Rows done and the photo's height, after every band; called on the
  // pass's worker threads, one call at a time.
  std::function<void(int rows, int height)> progress;
  // OpenPhoto keeps a progressive photo's decoded scans (OpenedPhoto::scans)
  // when they, an encoder's and the ring fit in the budget.
  bool keepScans = false;
  // Photos of at least this many pixels get their extremes from their
  // coefficients (SettingsAfterOpen, RenderWithControls); smaller ones are
  // decoded, which costs them less.
  std::uint64_t boundPixels = std::uint64_t{1} << 20;
};

// A progressive photo's coefficients, its scans read once and kept, for
// passes that decode it again from them (one pass at a time; a second
// waits). Holds 3 to 6 bytes per pixel, as the photo samples its colour.
class DecodedScans;

struct OpenedPhoto {
  JpegHeader header;
  PhotoAnalysis analysis;  // of the decoded rows only
  Raster preview;  // the photo fitted into the preview frame, nearest neighbour
  std::string warning;  // libjpeg's complaint about damaged data, if any
  // Rows of the photo that held data: header.height, fewer when the file
  // ended early (libjpeg fills the rest with grey). The preview's first
  // previewDecodedRows rows show decoded rows, the rest the grey filler.
  int decodedRows = 0;
  int previewDecodedRows = 0;
  // With PassOptions::keepScans, a progressive photo's scans, for RenderRequest::scans.
  std::shared_ptr<DecodedScans> scans;
  // RenderWithControls: the segments to write, made once the settings are
  // known (an EXIF thumbnail brightened as the photo); replaces `segments`.
  std::function<std::vector<JpegSegment>(const BrightenSettings&)> segmentsFor;
};

// Decodes and measures the photo, and makes its preview from the same rows:
// fitted into the preview frame, or of `previewSize` when given (the window
// fits a photo that is shown turned as it is shown).
OpenedPhoto OpenPhoto(const files::InputFile& file, const PassOptions& options, bool withPreview = true,
                      std::optional<PreviewSize> previewSize = std::nullopt);

struct MeasuredSettings {
  BrightenSettings settings;
  bool wholePhoto = false;  // false: measuring stopped once the settings were settled
  std::string warning;
};

// The settings the window would brighten with after opening the photo and
// setting these controls. Measures the photo, stopping as soon as the rest
// of it cannot change the settings.
MeasuredSettings SettingsAfterOpen(const files::InputFile& file, const CommandControls& controls, const PassOptions& options);

struct RenderRequest {
  double exponent = ExponentFor(kDefaultStrength);  // q, fixed for the pass
  // The settings of the step starting at a row, asked for every kRowsPerStep
  // rows in order, on the thread that brightens.
  SettingsAt settingsAt;
  int quality = kDefaultQuality;
  // Written right after the JFIF header, in order.
  std::span<const JpegSegment> segments;
  // The photo's scans kept by its open: rendered from them, the file's scans
  // are not read again. (The file is still the source's name; what is
  // rendered is the photo as it was opened.)
  std::shared_ptr<DecodedScans> scans;
  // RenderWithControls: the segments to write, made once the settings are
  // known (an EXIF thumbnail brightened as the photo); replaces `segments`.
  std::function<std::vector<JpegSegment>(const BrightenSettings&)> segmentsFor;
};

struct Rendered {
  JpegHeader source;
  // The settings of every step, in order; asking them again gives the same file.
  std::vector<BrightenSettings> steps;
  std::string warning;
  int decodedRows = 0;  // as OpenedPhoto's: source.height unless the file ended early
};

// Decodes the photo, brightens every row with the settings of its step and
// encodes the result into `out` in the source's mode (baseline or
// progressive) at the request's quality.
Rendered RenderPhoto(const files::InputFile& file, const RenderRequest& request, ByteSink& out, const PassOptions& options);

// Of a preview `previewHeight` rows high of a photo `height` rows high, the
// rows showing the photo's first `decodedRows` rows.
int PreviewRowsFrom(int decodedRows, int height, int previewHeight);
// The command line's work on a photo: the settings SettingsAfterOpen gives
// for these controls, and the photo rendered with them as RenderPhoto does
// (the request's settingsAt is not asked). A progressive photo's scans are
// read once; a large baseline photo is decoded once, its extremes found in
// an entropy pass (with the start of the decoding beside it on the second
// thread) before it. The result's steps hold the settings. Progress goes
// through the photo's rows twice: finding the extremes, then rendering.
Rendered RenderWithControls(const files::InputFile& file, const CommandControls& controls, const RenderRequest& request,
                            ByteSink& out, const PassOptions& options);

// A SettingsAt that gives the recorded settings of each step again.
SettingsAt Replay(std::vector<BrightenSettings> steps);

}  // namespace imaging
