#pragma once
// The window's work on a photo as jobs: each takes its input by value and
// gives a value back; none touches a widget or the session. They run on
// the job runner's thread (see job_runner.h).

#include "job.h"
#include "prosvitek/exif/reader.h"
#include "prosvitek/imaging/analysis.h"
#include "prosvitek/imaging/brighten.h"
#include "prosvitek/imaging/jpeg_codec.h"
#include "prosvitek/imaging/pipeline.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Everything the window shows of one photo, read by one job from one open file.
struct Photo {
  std::string path;            // as the file system names it
  imaging::JpegHeader header;  // the stored size
  int orientation = 1;         // how the stored pixels are turned to be seen
  std::uint64_t fileSize = 0;
  imaging::PhotoAnalysis analysis;
  imaging::Raster preview;               // fitted into the preview frame as it is to be seen, not brightened
  std::optional<exif::Summary> summary;  // when the photo has EXIF data
  std::string trace;                     // the details window's text; empty without EXIF data
  // What to tell about damaged data, in Czech with libjpeg's text below;
  // empty when nothing is wrong.
  std::string warning;
  int decodedRows = 0;  // rows that held data: the height, fewer when the file ends early
  // A progressive photo's scans as the open read them, for its saves (empty
  // when they would not fit in the memory budget). Used by one job at a time.
  std::shared_ptr<imaging::DecodedScans> scans;

  bool Incomplete() const { return decodedRows < header.height; }

  int ShownWidth() const;
  int ShownHeight() const;
};

// Decodes and measures the photo, makes its preview as it is to be seen and
// reads its EXIF data, all from the one open file.
Photo OpenJob(const std::string& path, JobContext& context);

// The save's full-resolution pass, encoded in memory at one quality.
struct RenderedPhoto {
  std::shared_ptr<const imaging::Bytes> encoded;
  int quality = 0;
  double exponent = 0;
  std::vector<imaging::BrightenSettings> steps;  // asked again, they give the same file
  std::shared_ptr<imaging::DecodedScans> scans;  // the open's scans it was rendered from, if any
};

struct RenderOrder {
  std::string source;
  double exponent = 0;
  imaging::SettingsAt settingsAt;  // asked on the job's thread every step of rows
  int quality = imaging::kDefaultQuality;
  std::shared_ptr<imaging::DecodedScans> scans;
};
RenderedPhoto RenderJob(const RenderOrder& order, JobContext& context);

// The rendered photo encoded again at another quality, from the same steps.
RenderedPhoto EncodeJob(const RenderedPhoto& rendered, const std::string& source, int quality, JobContext& context);

struct WriteOrder {
  std::string source;
  std::string target;
  int quality = imaging::kDefaultQuality;
  bool keepMetadata = false;
  RenderedPhoto rendered;
};
struct WrittenPhoto {
  std::string target;
  std::uint64_t size = 0;
  std::string warning;  // a file saved all the same, but not all is well (its folder not synced)
};
// Writes the rendered photo, at the order's quality, with the source's
// segments to carry; encodes it again straight into the file when the
// quality differs. Nothing shows under the target's name unless complete.
WrittenPhoto WriteJob(const WriteOrder& order, JobContext& context);

// Why a target cannot take a saved photo without waiting or harm (a FIFO, a
// device, a socket, a folder), in the user's words; empty when it can.
std::string UnfitTarget(const std::string& target);
