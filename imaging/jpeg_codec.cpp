#include "imaging/jpeg_codec.h"

#include "imaging/errors.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace imaging {
namespace {

// ---- libjpeg boundary ---------------------------------------------------
// libjpeg reports fatal errors by calling error_exit, which must not return.
// It longjmps back into the small wrappers below; they hold no C++ objects
// with destructors, and the error becomes an exception only after the jump.

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings and trace messages are ignored: a damaged file decodes as far as libjpeg gets.
void OutputNothing(j_common_ptr) {}

void InitErrorManager(ErrorManager& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.output_message = OutputNothing;
}

// In-memory source handing libjpeg 4096 bytes per refill; at the end of the
// data it supplies an end-of-image marker, as libjpeg's file source does.
constexpr std::size_t kChunk = 4096;

struct MemorySource {
  jpeg_source_mgr pub;
  const JOCTET* data;
  std::size_t size;
  std::size_t pos;
  bool startOfFile;
  JOCTET eoi[2];
};

void InitSource(j_decompress_ptr cinfo) {
  reinterpret_cast<MemorySource*>(cinfo->src)->startOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
  if (src->pos >= src->size) {
    if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->eoi[0] = 0xFF;
    src->eoi[1] = JPEG_EOI;
    src->pub.next_input_byte = src->eoi;
    src->pub.bytes_in_buffer = 2;
    return TRUE;
  }
  const std::size_t n = std::min(kChunk, src->size - src->pos);
  src->pub.next_input_byte = src->data + src->pos;
  src->pub.bytes_in_buffer = n;
  src->pos += n;
  src->startOfFile = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  auto* src = cinfo->src;
  while (count > static_cast<long>(src->bytes_in_buffer)) {
    count -= static_cast<long>(src->bytes_in_buffer);
    FillInputBuffer(cinfo);
  }
  src->next_input_byte += count;
  src->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void TermSource(j_decompress_ptr) {}

void AttachSource(j_decompress_ptr cinfo, MemorySource& src, std::span<const std::uint8_t> file) {
  src.pub.init_source = InitSource;
  src.pub.fill_input_buffer = FillInputBuffer;
  src.pub.skip_input_data = SkipInputData;
  src.pub.resync_to_restart = jpeg_resync_to_restart;
  src.pub.term_source = TermSource;
  src.pub.next_input_byte = nullptr;
  src.pub.bytes_in_buffer = 0;
  src.data = file.data();
  src.size = file.size();
  src.pos = 0;
  src.startOfFile = true;
  cinfo->src = &src.pub;
}

// In-memory destination collecting the output in 4096-byte buffers.
struct MemoryDestination {
  jpeg_destination_mgr pub;
  Bytes* out;
  JOCTET buffer[kChunk];
};

void InitDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kChunk;
}

// Appends without letting an exception cross libjpeg's C frames.
bool Append(Bytes* out, const JOCTET* from, std::size_t count) {
  try {
    out->insert(out->end(), from, from + count);
    return true;
  } catch (...) {
    return false;
  }
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
  if (!Append(dest->out, dest->buffer, kChunk)) ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kChunk;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
  if (!Append(dest->out, dest->buffer, kChunk - dest->pub.free_in_buffer)) ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
}

// Each wrapper returns false when libjpeg raised a fatal error; the message
// code is then in the error manager.

bool SafeReadHeader(j_decompress_ptr cinfo, ErrorManager* err) {
  if (setjmp(err->jump)) return false;
  jpeg_read_header(cinfo, TRUE);
  return true;
}

bool SafeStartDecompress(j_decompress_ptr cinfo, ErrorManager* err) {
  if (setjmp(err->jump)) return false;
  jpeg_start_decompress(cinfo);
  return true;
}

// Reads what libjpeg gives in one call (a row or two) into *got.
bool SafeReadScanlines(j_decompress_ptr cinfo, ErrorManager* err, JSAMPARRAY rows, JDIMENSION count,
                       JDIMENSION* got) {
  if (setjmp(err->jump)) return false;
  *got = jpeg_read_scanlines(cinfo, rows, count);
  return true;
}

bool SafeFinishDecompress(j_decompress_ptr cinfo, ErrorManager* err) {
  if (setjmp(err->jump)) return false;
  jpeg_finish_decompress(cinfo);
  return true;
}

bool SafeStartCompress(j_compress_ptr cinfo, ErrorManager* err, int quality, bool progressive) {
  if (setjmp(err->jump)) return false;
  jpeg_set_defaults(cinfo);
  cinfo->dct_method = JDCT_FLOAT;
  jpeg_set_quality(cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(cinfo);
  jpeg_start_compress(cinfo, TRUE);
  return true;
}

bool SafeWriteScanlines(j_compress_ptr cinfo, ErrorManager* err, JSAMPARRAY rows, JDIMENSION count) {
  if (setjmp(err->jump)) return false;
  jpeg_write_scanlines(cinfo, rows, count);
  return true;
}

bool SafeFinishCompress(j_compress_ptr cinfo, ErrorManager* err) {
  if (setjmp(err->jump)) return false;
  jpeg_finish_compress(cinfo);
  return true;
}

// Owns a decompressor for the length of one decode, whatever way it ends.
class Decompressor {
 public:
  explicit Decompressor(std::span<const std::uint8_t> file) {
    InitErrorManager(err_);
    cinfo_.err = &err_.pub;
    jpeg_create_decompress(&cinfo_);
    AttachSource(&cinfo_, src_, file);
  }
  ~Decompressor() { jpeg_destroy_decompress(&cinfo_); }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;

  j_decompress_ptr get() { return &cinfo_; }
  ErrorManager* err() { return &err_; }
  void check(bool ok) {
    if (!ok) throw EJPEG(err_.pub.msg_code);
  }

 private:
  jpeg_decompress_struct cinfo_{};
  ErrorManager err_{};
  MemorySource src_{};
};

class Compressor {
 public:
  explicit Compressor(Bytes& out) {
    InitErrorManager(err_);
    cinfo_.err = &err_.pub;
    jpeg_create_compress(&cinfo_);
    dest_.pub.init_destination = InitDestination;
    dest_.pub.empty_output_buffer = EmptyOutputBuffer;
    dest_.pub.term_destination = TermDestination;
    dest_.out = &out;
    cinfo_.dest = &dest_.pub;
  }
  ~Compressor() { jpeg_destroy_compress(&cinfo_); }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;

  j_compress_ptr get() { return &cinfo_; }
  ErrorManager* err() { return &err_; }
  void check(bool ok) {
    if (!ok) throw EJPEG(err_.pub.msg_code);
  }

 private:
  jpeg_compress_struct cinfo_{};
  ErrorManager err_{};
  MemoryDestination dest_{};
};

JpegHeader HeaderOf(j_decompress_ptr cinfo) {
  JpegHeader h;
  h.width = static_cast<int>(cinfo->image_width);
  h.height = static_cast<int>(cinfo->image_height);
  h.components = cinfo->num_components;
  h.grayscale = cinfo->jpeg_color_space == JCS_GRAYSCALE;
  h.progressive = jpeg_has_multiple_scans(cinfo) != 0;
  return h;
}

constexpr JDIMENSION kRowBatch = 16;

// Adobe writes CMYK inverted (255 = no ink); others write it plain.
void CmykRowToBgr(const JSAMPLE* in, std::uint8_t* out, int width, bool inverted) {
  for (int x = 0; x < width; ++x, in += 4, out += 3) {
    int c = in[0], m = in[1], y = in[2], k = in[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    out[2] = static_cast<std::uint8_t>((c * k + 127) / 255);
    out[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
    out[0] = static_cast<std::uint8_t>((y * k + 127) / 255);
  }
}

}  // namespace

JpegHeader ReadJpegHeader(std::span<const std::uint8_t> file) {
  Decompressor d(file);
  d.check(SafeReadHeader(d.get(), d.err()));
  return HeaderOf(d.get());
}

Raster DecodeJpeg(std::span<const std::uint8_t> file, const RowsDecoded& onRows) {
  Decompressor d(file);
  j_decompress_ptr cinfo = d.get();
  d.check(SafeReadHeader(cinfo, d.err()));

  cinfo->scale_num = 1;
  cinfo->scale_denom = 1;
  cinfo->do_block_smoothing = TRUE;
  cinfo->dct_method = JDCT_FLOAT;

  const bool gray = cinfo->out_color_space == JCS_GRAYSCALE;
  const bool cmyk = cinfo->out_color_space == JCS_CMYK;
  if (gray) {
    cinfo->quantize_colors = TRUE;
    cinfo->desired_number_of_colors = 236;
  } else if (!cmyk) {
    cinfo->out_color_space = JCS_EXT_BGR;  // raster order; libjpeg's RGB conversion otherwise
  }
  const bool adobeInverted = cinfo->saw_Adobe_marker;

  // Refuse before libjpeg or we allocate anything image-sized.
  Raster raster(static_cast<int>(std::min<JDIMENSION>(cinfo->image_width, 0x7FFFFFFF)),
                static_cast<int>(std::min<JDIMENSION>(cinfo->image_height, 0x7FFFFFFF)));
  if (raster.empty()) throw EJPEG(JERR_EMPTY_IMAGE);

  d.check(SafeStartDecompress(cinfo, d.err()));
  if (static_cast<int>(cinfo->output_width) != raster.width() ||
      static_cast<int>(cinfo->output_height) != raster.height())
    throw EJPEG(JERR_WIDTH_OVERFLOW);

  const int width = raster.width();
  // The rows handed over after each read are still in the processor's cache.
  JDIMENSION y = 0;
  if (!gray && !cmyk) {
    JSAMPROW rows[kRowBatch];
    while (y < cinfo->output_height) {
      const JDIMENSION n = std::min(kRowBatch, cinfo->output_height - y);
      for (JDIMENSION i = 0; i < n; ++i) rows[i] = raster.row(static_cast<int>(y + i));
      JDIMENSION got = 0;
      d.check(SafeReadScanlines(cinfo, d.err(), rows, n, &got));
      if (got == 0) break;  // a memory source never suspends; never spin anyway
      if (onRows) onRows(raster, static_cast<int>(y), static_cast<int>(got));
      y += got;
    }
  } else {
    // Palette (grey) or four-component rows go through one row buffer.
    const int comps = cinfo->output_components;
    std::vector<JSAMPLE> buffer(static_cast<std::size_t>(width) * static_cast<std::size_t>(comps));
    JSAMPROW rowp = buffer.data();
    for (; y < cinfo->output_height; ++y) {
      JDIMENSION got = 0;
      d.check(SafeReadScanlines(cinfo, d.err(), &rowp, 1, &got));
      if (got == 0) break;
      std::uint8_t* out = raster.row(static_cast<int>(y));
      if (gray) {
        const JSAMPLE* map = cinfo->colormap[0];
        for (int x = 0; x < width; ++x) {
          const JSAMPLE v = map[buffer[static_cast<std::size_t>(x)]];
          out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = v;
        }
      } else {
        CmykRowToBgr(buffer.data(), out, width, adobeInverted);
      }
      if (onRows) onRows(raster, static_cast<int>(y), 1);
    }
  }
  // Rows libjpeg never gave stay black rather than showing old memory.
  for (; y < cinfo->output_height; ++y) std::memset(raster.row(static_cast<int>(y)), 0, raster.stride());
  d.check(SafeFinishDecompress(cinfo, d.err()));
  return raster;
}

Bytes EncodeJpeg(const Raster& raster, int quality, bool progressive) {
  Bytes out;
  if (raster.empty()) return out;
  Compressor c(out);
  j_compress_ptr cinfo = c.get();
  cinfo->image_width = static_cast<JDIMENSION>(raster.width());
  cinfo->image_height = static_cast<JDIMENSION>(raster.height());
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_EXT_BGR;  // the raster's byte order; converts to YCbCr as RGB would
  c.check(SafeStartCompress(cinfo, c.err(), std::clamp(quality, 1, 100), progressive));
  JSAMPROW rows[kRowBatch];
  for (int y = 0; y < raster.height();) {
    const int n = std::min<int>(kRowBatch, raster.height() - y);
    for (int i = 0; i < n; ++i) rows[i] = const_cast<JSAMPROW>(raster.row(y + i));
    c.check(SafeWriteScanlines(cinfo, c.err(), rows, static_cast<JDIMENSION>(n)));
    y += n;
  }
  c.check(SafeFinishCompress(cinfo, c.err()));
  return out;
}

// ---- the JPEG object ----------------------------------------------------

void JpegImage::LoadFromFile(const std::string& path) { LoadFromBytes(ReadWholeFile(path)); }

void JpegImage::LoadFromBytes(Bytes bytes) {
  file_ = std::move(bytes);
  raster_ = Raster();
  decoded_ = false;
  if (file_.empty()) {
    header_ = JpegHeader{};
    return;
  }
  header_ = ReadJpegHeader(file_);
  progressive_ = header_.progressive;
}

const Raster& JpegImage::GetRaster() {
  if (!decoded_) {
    raster_ = DecodeJpeg(file_);
    decoded_ = true;
  }
  return raster_;
}

Raster JpegImage::ReleaseRaster(const RowsDecoded& onRows) {
  if (!decoded_) return DecodeJpeg(file_, onRows);
  decoded_ = false;
  return std::move(raster_);
}

void JpegImage::TakeRaster(Raster raster) {
  file_.clear();
  file_.shrink_to_fit();
  raster_ = std::move(raster);
  decoded_ = true;
  header_.width = raster_.width();
  header_.height = raster_.height();
}

const Bytes& JpegImage::FileBytes() {
  if (file_.empty() && decoded_) file_ = EncodeJpeg(raster_, quality_, progressive_);
  return file_;
}

void JpegImage::SaveToFile(const std::string& path) { WriteFileAtomically(path, FileBytes()); }

}  // namespace imaging
