// One photo operation per process, for timing and peak memory of whole runs:
//   photo_tool floor IN OUT     the codec floor: decode into a full raster, encode it, same settings, one thread
//   photo_tool decode IN        a plain decode into a full raster
//   photo_tool open IN          the window's open: decode, measure, previews
//   photo_tool save IN OUT      the window's save: the pass and its encoding, then the write
//   photo_tool window IN OUT    the window's open and then its save (of a progressive photo, from the open's scans)
//   photo_tool generate W H OUT [SEED]
//                               a photo-like JPEG of W x H pixels (quality 90, baseline), written row by row;
//                               other seeds give other grain and light, for batches of distinct photos
//   photo_tool progressive IN OUT  the photo encoded again as progressive at quality 90

#include "prosvitek/files/input_file.h"
#include "prosvitek/files/atomic_file.h"
#include "reference.h"
#include "prosvitek/imaging/jpeg_codec.h"
#include "prosvitek/imaging/pipeline.h"

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Smooth light with dark corners and a fine texture, so that it compresses
// like a photo (about 2 bits per pixel at quality 90).
void Generate(int width, int height, const std::string& out, std::uint32_t seed) {
  files::AtomicFile file(out);
  struct Sink final : imaging::ByteSink {
    files::AtomicFile& file;
    explicit Sink(files::AtomicFile& f) : file(f) {}
    void Write(std::span<const std::uint8_t> bytes) override { file.Write(bytes); }
  } sink(file);
  imaging::JpegWriter writer(sink, width, height, 90, false);
  std::vector<std::uint8_t> row(3 * static_cast<std::size_t>(width));
  std::uint32_t noise = 12345 + seed;
  const double dim = 1.0 - static_cast<double>(seed % 7) / 10.0;  // some darker than others
  for (int y = 0; y < height; ++y) {
    const double v = static_cast<double>(y) / height;
    for (int x = 0; x < width; ++x) {
      const double u = static_cast<double>(x) / width;
      const double light = dim * (0.15 + 0.85 * std::sin(3.14159 * u) * std::sin(3.14159 * v));
      noise = noise * 1664525u + 1013904223u;
      const double grain = static_cast<double>(noise >> 24) / 255.0 - 0.5;
      const double r = 210 * light + 25 * grain + 20 * std::sin(x / 37.0);
      const double g = 190 * light + 25 * grain + 15 * std::sin(y / 23.0);
      const double b = 160 * light + 25 * grain;
      auto clamp = [](double c) { return static_cast<std::uint8_t>(c < 0 ? 0 : c > 255 ? 255 : c); };
      std::uint8_t* p = row.data() + 3 * static_cast<std::size_t>(x);
      p[0] = clamp(b);
      p[1] = clamp(g);
      p[2] = clamp(r);
    }
    const std::uint8_t* rows[] = {row.data()};
    writer.WriteRows(rows, 1);
  }
  writer.Finish();
  file.Commit();
}

// The controls after an open of a typical photo; THRESHOLD overrides the threshold.
imaging::RenderRequest SaveRequest() {
  imaging::RenderRequest request;
  request.settingsAt = [threshold = std::getenv("THRESHOLD") ? std::atoi(std::getenv("THRESHOLD")) : 170](int, int) {
    imaging::BrightenSettings s;
    s.threshold = threshold;
    return s;
  };
  return request;
}

void Progressive(const std::string& in, const std::string& out) {
  const files::InputFile input = files::OpenInputFile(in);
  imaging::JpegReader reader(input);
  reader.Start();
  const int width = reader.Header().width, height = reader.Header().height;
  imaging::Bytes encoded;
  imaging::BytesSink sink(encoded);
  imaging::JpegWriter writer(sink, width, height, 90, true);
  std::vector<std::uint8_t> row(3 * static_cast<std::size_t>(width));
  std::uint8_t* rows[] = {row.data()};
  for (int y = 0; y < height; ++y) {
    reader.ReadRows(rows, 1);
    writer.WriteRows(rows, 1);
  }
  writer.Finish();
  files::WriteFileAtomically(out, encoded);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: photo_tool floor|decode|open|save|window|progressive IN [OUT] | generate W H OUT [SEED]\n";
    return 2;
  }
  const std::string mode = argv[1], in = argv[2], out = argc > 3 ? argv[3] : "";
  try {
    if (mode == "floor") {
      imaging::JpegImage jpeg;
      jpeg.LoadFromFile(in);
      jpeg.TakeRaster(jpeg.ReleaseRaster());
      jpeg.SetCompressionQuality(85);
      jpeg.SaveToFile(out);
    } else if (mode == "decode") {
      std::cout << imaging::DecodeJpeg(files::ReadWholeFile(in)).width() << "\n";
    } else if (mode == "open") {
      const imaging::OpenedPhoto photo = imaging::OpenPhoto(files::OpenInputFile(in), {});
      std::cout << photo.analysis.MinLuminance << " " << photo.preview.width() << "\n";
    } else if (mode == "save" || mode == "window") {
      imaging::RenderRequest request = SaveRequest();
      const files::InputFile input = files::OpenInputFile(in);
      if (mode == "window") {
        imaging::PassOptions options;
        options.keepScans = true;
        request.scans = imaging::OpenPhoto(input, options).scans;
      }
      imaging::Bytes encoded;
      encoded.reserve(static_cast<std::size_t>(input.size()));  // as the window does
      imaging::BytesSink sink(encoded);
      imaging::RenderPhoto(input, request, sink, {});
      files::WriteFileAtomically(out, encoded);
    } else if (mode == "progressive") {
      Progressive(in, out);
    } else if (mode == "generate" && argc > 4) {
      Generate(std::atoi(argv[2]), std::atoi(argv[3]), argv[4],
               argc > 5 ? static_cast<std::uint32_t>(std::strtoul(argv[5], nullptr, 10)) : 0);
    } else {
      std::cerr << "unknown mode " << mode << "\n";
      return 2;
    }
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  return 0;
}
