// The photo pipeline as the window and the command line run it, on a file in
// memory: open (measure and preview, keeping a progressive photo's scans),
// then render and encode from them; and the command line's render, its
// extremes found from the coefficients or from the small photo held whole;
// on one thread and on two, stopped at a point the input chooses.

#include "prosvitek/files/input_file.h"
#include "prosvitek/imaging/errors.h"
#include "prosvitek/imaging/pipeline.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <stop_token>

namespace {

class CountingSink final : public imaging::ByteSink {
 public:
  void Write(std::span<const std::uint8_t> bytes) override { written += bytes.size(); }
  std::size_t written = 0;
};

void RunPasses(const files::InputFile& file, int threads, int stopAfterRows, int quality) {
  std::stop_source stop;
  imaging::PassOptions options;
  options.threads = threads;
  options.stop = stop.get_token();
  // Decoding is linear in the declared size; the program's own limit is tested separately.
  options.limits.memoryBudget = std::uint64_t{4} << 20;
  options.splitPixels = 1u << 12;  // small photos take the two-part measuring too
  options.boundPixels = 0;         // and the extremes from the coefficients
  options.keepScans = true;
  options.progress = [&](int rows, int) {
    if (stopAfterRows > 0 && rows >= stopAfterRows) stop.request_stop();
  };
  const imaging::OpenedPhoto opened = imaging::OpenPhoto(file, options);
  imaging::RenderRequest request;
  const imaging::BrightenSettings settings{15, opened.analysis.MaxLuminance, 3, (quality & 1) != 0,
                                           opened.analysis.MinLuminance};
  request.settingsAt = [&](int, int) { return settings; };
  request.quality = quality;
  request.scans = opened.scans;
  CountingSink sink;
  imaging::RenderPhoto(file, request, sink, options);
  request.scans = nullptr;
  imaging::RenderWithControls(file, {}, request, sink, options);
  options.boundPixels = imaging::PassOptions{}.boundPixels;  // a small photo: decoded once and held
  imaging::RenderWithControls(file, {}, request, sink, options);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The last byte chooses the quality and where to stop; the rest is the file.
  if (size < 1) return 0;
  const std::uint8_t choice = data[size - 1];
  const files::InputFile file = files::InputFile::FromMemory(std::span(data, size - 1), "fuzz.jpg");
  const int stopAfterRows = (choice & 0x80) ? 16 * (choice & 0x0F) : 0;
  for (int threads : {1, 2}) {
    try {
      RunPasses(file, threads, stopAfterRows, 1 + choice % 100);
    } catch (const imaging::EJPEG&) {
    } catch (const imaging::PhotoTooLarge&) {
    } catch (const imaging::Cancelled&) {
    } catch (const files::FileError&) {
    }
  }
  return 0;
}
