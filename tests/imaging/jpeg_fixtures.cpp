#include "jpeg_fixtures.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <stdexcept>

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <unistd.h>

namespace fixtures {

imaging::Raster MakeRaster(int width, int height, const std::function<imaging::ColourValue(int, int)>& f) {
  imaging::Raster r(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) r.setPixel(x, y, f(x, y));
  return r;
}

namespace {

// Encodes rows with libjpeg's own defaults (not the program's settings), after
// `configure` has adjusted the compressor; `row(y)` gives row y's samples.
Bytes EncodeWithLibjpeg(int width, int height, int components, J_COLOR_SPACE space, int quality,
                        const std::function<void(jpeg_compress_struct&)>& configure,
                        const std::function<JSAMPROW(int)>& row) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = components;
  cinfo.in_color_space = space;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  configure(cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  for (int y = 0; y < height; ++y) {
    JSAMPROW p = row(y);
    jpeg_write_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_compress(&cinfo);
  Bytes bytes(out, out + size);
  jpeg_destroy_compress(&cinfo);
  std::free(out);
  return bytes;
}

}  // namespace

Bytes GrayJpeg(int width, int height) {
  std::vector<JSAMPLE> ramp(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x) ramp[static_cast<std::size_t>(x)] = static_cast<JSAMPLE>(x * 255 / std::max(1, width - 1));
  return EncodeWithLibjpeg(width, height, 1, JCS_GRAYSCALE, 95, [](jpeg_compress_struct&) {},
                           [&](int) { return ramp.data(); });
}

Bytes ColourJpeg(const imaging::Raster& raster, int h, int v, int scans) {
  std::vector<jpeg_scan_info> script;
  auto configure = [&](jpeg_compress_struct& cinfo) {
    cinfo.comp_info[0].h_samp_factor = h;
    cinfo.comp_info[0].v_samp_factor = v;
    if (scans <= 0) return;
    script.push_back({3, {0, 1, 2, 0}, 0, 0, 0, 0});
    for (int k = 1; k < 64 && static_cast<int>(script.size()) < scans; ++k)
      for (int c = 0; c < 3 && static_cast<int>(script.size()) < scans; ++c) script.push_back({1, {c, 0, 0, 0}, k, k, 0, 0});
    cinfo.scan_info = script.data();
    cinfo.num_scans = static_cast<int>(script.size());
  };
  return EncodeWithLibjpeg(raster.width(), raster.height(), 3, JCS_EXT_BGR, 90, configure,
                           [&](int y) { return const_cast<JSAMPROW>(raster.row(y)); });
}

Bytes LibjpegColour(const imaging::Raster& raster, const std::function<void(jpeg_compress_struct&)>& configure) {
  return EncodeWithLibjpeg(raster.width(), raster.height(), 3, JCS_EXT_BGR, 90, configure,
                           [&](int y) { return const_cast<JSAMPROW>(raster.row(y)); });
}

std::vector<int> MarkersBeforeScan(const Bytes& jpeg) {
  std::vector<int> markers;
  std::size_t pos = 2;  // after SOI
  while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF) {
    const int marker = jpeg[pos + 1];
    markers.push_back(marker);
    if (marker == 0xDA) break;
    pos += 2 + static_cast<std::size_t>(jpeg[pos + 2] << 8 | jpeg[pos + 3]);
  }
  return markers;
}

std::array<std::array<int, 64>, 2> QuantTables(const Bytes& jpeg) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&cinfo, TRUE);
  std::array<std::array<int, 64>, 2> tables{};
  for (int t = 0; t < 2; ++t)
    for (int i = 0; i < 64; ++i)
      tables[static_cast<std::size_t>(t)][static_cast<std::size_t>(i)] = cinfo.quant_tbl_ptrs[t]->quantval[i];
  jpeg_destroy_decompress(&cinfo);
  return tables;
}

Bytes WithFrameSize(Bytes jpeg, int width, int height) {
  std::size_t pos = 2;
  while (pos + 9 < jpeg.size()) {
    const int marker = jpeg[pos + 1];
    if (marker == 0xC0 || marker == 0xC2) {
      jpeg[pos + 5] = static_cast<std::uint8_t>(height >> 8);
      jpeg[pos + 6] = static_cast<std::uint8_t>(height);
      jpeg[pos + 7] = static_cast<std::uint8_t>(width >> 8);
      jpeg[pos + 8] = static_cast<std::uint8_t>(width);
      return jpeg;
    }
    pos += 2 + static_cast<std::size_t>(jpeg[pos + 2] << 8 | jpeg[pos + 3]);
  }
  throw std::runtime_error("no frame header");
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::filesystem::path FreshTestFolder(const std::string& prefix) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(::getpid()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

imaging::Raster DecodeFile(const std::string& path) { return imaging::DecodeJpeg(files::ReadWholeFile(path)); }

Bytes ReferenceRender(const std::string& path, double exponent, const imaging::SettingsAt& settingsAt, int quality,
                      const std::vector<imaging::JpegSegment>& segments) {
  const Bytes file = files::ReadWholeFile(path);
  imaging::Raster raster = imaging::DecodeJpeg(file);
  imaging::BrightenPass(raster, raster, exponent, settingsAt);
  return imaging::EncodeJpeg(raster, quality, imaging::ReadJpegHeader(file).progressive, segments);
}

}  // namespace fixtures
