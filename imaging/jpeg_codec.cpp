#include "imaging/jpeg_codec.h"

#include "files/atomic_file.h"
#include "imaging/errors.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>

#include <jpeglib.h>
#include <jerror.h>

namespace imaging {
namespace {

// ---- libjpeg boundary ---------------------------------------------------
// libjpeg reports fatal errors by calling error_exit, which must not return.
// It longjmps back into Guarded below; the code it runs holds no C++ objects
// with destructors, and the error becomes an exception only after the jump.
// Our own callbacks (reading, writing, the progress monitor) fail the same
// way, leaving the reason in the error manager.

enum class Failure { None, Cancelled, TooManyScans };

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  Failure failure;
  int maxScans;
  std::exception_ptr pending;  // an exception from our own callback (a read or write failure)
  bool dataEnded;              // the source ran out of data and made up the end of the image
  char error[JMSG_LENGTH_MAX];
  char warning[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->error);
  std::longjmp(err->jump, 1);
}

// Warnings about damaged data are kept (the first one's text and the count)
// for the caller to pass on; trace messages are dropped.
void EmitMessage(j_common_ptr cinfo, int level) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (level >= 0) return;
  if (err->pub.num_warnings == 0) (*cinfo->err->format_message)(cinfo, err->warning);
  ++err->pub.num_warnings;
}

void OutputNothing(j_common_ptr) {}

void InitErrorManager(ErrorManager& err, int maxScans = 0) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.emit_message = EmitMessage;
  err.pub.output_message = OutputNothing;
  err.failure = Failure::None;
  err.maxScans = maxScans;
  err.dataEnded = false;
  err.error[0] = err.warning[0] = '\0';
}

[[noreturn]] void Fail(j_common_ptr cinfo, Failure failure) {
  reinterpret_cast<ErrorManager*>(cinfo->err)->failure = failure;
  (*cinfo->err->error_exit)(cinfo);
  std::abort();  // error_exit never returns
}

// Runs f, giving false when libjpeg (or one of our callbacks) failed inside it.
template <typename F>
bool Guarded(ErrorManager& err, F&& f) {
  if (setjmp(err.jump)) return false;
  f();
  return true;
}

[[noreturn]] void Raise(ErrorManager& err);

// Runs f for an object that libjpeg leaves unusable after a failure: the
// failure is raised, and any later use refused.
template <typename F>
void RunOnce(ErrorManager& err, bool& broken, const char* object, F&& f) {
  if (broken) throw std::logic_error(std::string(object) + " used after a failure");
  if (!Guarded(err, f)) {
    broken = true;
    Raise(err);
  }
}

std::string TooManyScansText(int maxScans) {
  return "Fotka má víc než " + std::to_string(maxScans) +
         " průchodů (skenů) progresivního JPEG; tolik jich běžné programy nezapisují, fotka se nečte.";
}

[[noreturn]] void Raise(ErrorManager& err) {
  if (err.pending) std::rethrow_exception(err.pending);
  if (err.failure == Failure::Cancelled) throw Cancelled();
  if (err.failure == Failure::TooManyScans)
    throw PhotoTooLarge(TooManyScansText(err.maxScans), PhotoTooLarge::Reason::Scans);
  throw EJPEG(err.pub.msg_code, err.error, {err.pub.msg_parm.i[0], err.dataEnded});
}

// libjpeg's error `code` with its own text, raised by us.
EJPEG LibjpegError(j_common_ptr cinfo, int code) {
  char text[JMSG_LENGTH_MAX];
  cinfo->err->msg_code = code;
  (*cinfo->err->format_message)(cinfo, text);
  return EJPEG(code, text);
}

// Stops a decode or encode when asked to, and a decode whose file has more
// scans than allowed. libjpeg calls it for every few rows, and for every
// row of blocks while it reads the scans of a progressive file.
struct Monitor {
  jpeg_progress_mgr pub;
  const std::stop_token* stop;
};

void MonitorProgress(j_common_ptr cinfo) {
  auto* m = reinterpret_cast<Monitor*>(cinfo->progress);
  if (m->stop->stop_requested()) Fail(cinfo, Failure::Cancelled);
  if (cinfo->is_decompressor) {
    const int maxScans = reinterpret_cast<ErrorManager*>(cinfo->err)->maxScans;
    if (maxScans > 0 && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > maxScans)
      Fail(cinfo, Failure::TooManyScans);
  }
}

// ---- source: memory or file ---------------------------------------------
// A memory source hands libjpeg 4096 bytes per refill, a file source what
// one read of up to 64 KiB gives. At the end of the data both supply an
// end-of-image marker, as libjpeg's file source does, so a file and its bytes
// in memory decode alike.
constexpr std::size_t kChunk = 4096;
constexpr std::size_t kFileChunk = 65536;

struct Source {
  jpeg_source_mgr pub;
  const JOCTET* data;
  std::size_t size;
  const files::InputFile* file;
  JOCTET* buffer;  // kFileChunk bytes, for a file
  const std::stop_token* stop;
  std::uint64_t pos;
  bool startOfFile;
  bool decoding;       // past jpeg_start_decompress's set-up: rows are being read
  int rowsAtEnd;       // output rows whose data had been read when the data ended
  JOCTET eoi[2];
};

// The output rows whose data had been read when the data ended: the rows of
// the iMCU rows the current scan had finished. Scans that only refine
// coefficients (later scans of a progressive photo) cost detail when cut,
// not rows, unless a component has not had its first scan yet.
int RowsReadAtEnd(j_decompress_ptr cinfo) {
  if (cinfo->progressive_mode && cinfo->coef_bits) {
    for (int c = 0; c < cinfo->num_components; ++c)
      if (cinfo->coef_bits[c][0] < 0) return 0;
    if (cinfo->Ss != 0 || cinfo->Ah != 0) return INT_MAX;
  }
  const long long rows = static_cast<long long>(cinfo->input_iMCU_row) * cinfo->max_v_samp_factor *
                         cinfo->min_DCT_scaled_size;
  return static_cast<int>(std::min<long long>(rows, INT_MAX));
}

void InitSource(j_decompress_ptr cinfo) { reinterpret_cast<Source*>(cinfo->src)->startOfFile = true; }

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<Source*>(cinfo->src);
  // libjpeg reads past padding and unknown segments without calling the
  // progress monitor; gigabytes of them must not hold up a stop.
  if (src->stop->stop_requested()) Fail(reinterpret_cast<j_common_ptr>(cinfo), Failure::Cancelled);
  const JOCTET* from = nullptr;
  std::size_t n = 0;
  if (src->file) {
    bool failed = false;
    try {
      n = src->file->ReadAt(src->pos, src->buffer, kFileChunk);
    } catch (...) {
      reinterpret_cast<ErrorManager*>(cinfo->err)->pending = std::current_exception();
      failed = true;
    }
    if (failed) ERREXIT(cinfo, JERR_FILE_READ);  // outside the handler: longjmp must not leave one
    from = src->buffer;
  } else if (src->pos < src->size) {
    n = std::min<std::size_t>(kChunk, src->size - static_cast<std::size_t>(src->pos));
    from = src->data + src->pos;
  }
  if (n == 0) {
    if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    if (!reinterpret_cast<ErrorManager*>(cinfo->err)->dataEnded) src->rowsAtEnd = src->decoding ? RowsReadAtEnd(cinfo) : 0;
    reinterpret_cast<ErrorManager*>(cinfo->err)->dataEnded = true;
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->eoi[0] = 0xFF;
    src->eoi[1] = JPEG_EOI;
    src->pub.next_input_byte = src->eoi;
    src->pub.bytes_in_buffer = 2;
    return TRUE;
  }
  src->pub.next_input_byte = from;
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

void AttachSource(j_decompress_ptr cinfo, Source& src) {
  src.pub.init_source = InitSource;
  src.pub.fill_input_buffer = FillInputBuffer;
  src.pub.skip_input_data = SkipInputData;
  src.pub.resync_to_restart = jpeg_resync_to_restart;
  src.pub.term_source = TermSource;
  src.pub.next_input_byte = nullptr;
  src.pub.bytes_in_buffer = 0;
  src.pos = 0;
  src.startOfFile = true;
  src.decoding = false;
  src.rowsAtEnd = INT_MAX;
  cinfo->src = &src.pub;
}

// ---- destination: a sink, 64 KiB at a time ------------------------------
struct Destination {
  jpeg_destination_mgr pub;
  ByteSink* sink;
  JOCTET buffer[kFileChunk];
};

void InitDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kFileChunk;
}

// Hands bytes to the sink without letting an exception cross libjpeg's C frames.
void Deliver(j_compress_ptr cinfo, std::size_t count) {
  auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
  bool failed = false;
  try {
    dest->sink->Write(std::span<const std::uint8_t>(dest->buffer, count));
  } catch (...) {
    reinterpret_cast<ErrorManager*>(cinfo->err)->pending = std::current_exception();
    failed = true;
  }
  if (failed) ERREXIT(cinfo, JERR_FILE_WRITE);
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  Deliver(cinfo, kFileChunk);
  InitDestination(cinfo);
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  Deliver(cinfo, kFileChunk - cinfo->dest->free_in_buffer);
}

JpegHeader HeaderOf(j_decompress_ptr cinfo) {
  JpegHeader h;
  h.width = static_cast<int>(cinfo->image_width);
  h.height = static_cast<int>(cinfo->image_height);
  h.components = cinfo->num_components;
  h.grayscale = cinfo->jpeg_color_space == JCS_GRAYSCALE;
  h.progressive = jpeg_has_multiple_scans(cinfo) != 0;
  return h;
}

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

// ---- reading --------------------------------------------------------------

struct JpegReader::State {
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  Source src{};
  Monitor monitor{};
  std::stop_token stop;
  std::unique_ptr<JOCTET[]> fileBuffer;
  DecodeLimits limits;
  JpegHeader header;
  bool started = false;
  bool finished = false;
  bool broken = false;      // libjpeg failed: the object may only be destroyed
  bool endedEarly = false;  // libjpeg gave no more rows before the image's end
  bool gray = false;
  bool cmyk = false;
  bool adobeInverted = false;
  int width = 0;  // of the rows given out: the photo's, or smaller when decoding scaled
  int height = 0;
  int nextRow = 0;
  std::vector<JSAMPLE> rowBuffer;  // palette or four-component rows

  State(const DecodeLimits& l, std::stop_token token) : stop(std::move(token)), limits(l) {
    InitErrorManager(err, l.maxScans);
    cinfo.err = &err.pub;
    monitor.pub.progress_monitor = MonitorProgress;
    monitor.stop = &stop;
    src.stop = &stop;
  }
  ~State() { jpeg_destroy_decompress(&cinfo); }

  template <typename F>
  void Run(F&& f) { RunOnce(err, broken, "JpegReader", f); }

  void Open() {
    Run([&] { jpeg_create_decompress(&cinfo); });
    AttachSource(&cinfo, src);
    cinfo.progress = &monitor.pub;
    try {
      Run([&] { jpeg_read_header(&cinfo, TRUE); });
    } catch (EJPEG& e) {
      if (e.code() == JERR_NO_SOI) e.SetFileKind(KindOfFile());
      throw;
    }
    header = HeaderOf(&cinfo);
    width = header.width;
    height = header.height;
  }

  // What the first bytes show, for telling the user what a file that is not a JPEG is.
  files::FileKind KindOfFile() const {
    if (!src.file) return files::DetectFileKind(std::span<const std::uint8_t>(src.data, src.size));
    try {
      return files::DetectFileKind(*src.file);
    } catch (const std::exception&) {
      return files::FileKind::Unknown;
    }
  }
};

JpegReader::JpegReader(const files::InputFile& file, const DecodeLimits& limits, std::stop_token stop)
    : s_(std::make_unique<State>(limits, std::move(stop))) {
  s_->fileBuffer = std::make_unique_for_overwrite<JOCTET[]>(kFileChunk);
  s_->src.file = &file;
  s_->src.buffer = s_->fileBuffer.get();
  s_->Open();
}

JpegReader::JpegReader(std::span<const std::uint8_t> bytes, const DecodeLimits& limits, std::stop_token stop)
    : s_(std::make_unique<State>(limits, std::move(stop))) {
  s_->src.data = bytes.data();
  s_->src.size = bytes.size();
  s_->Open();
}

JpegReader::~JpegReader() = default;

const JpegHeader& JpegReader::Header() const { return s_->header; }

std::uint64_t JpegReader::NeededBytes() const {
  j_decompress_ptr cinfo = &s_->cinfo;
  std::uint64_t bytes = std::uint64_t{cinfo->image_width} * cinfo->image_height *
                        static_cast<std::uint64_t>(std::max(cinfo->num_components, 0));
  if (jpeg_has_multiple_scans(cinfo)) {
    // libjpeg keeps every coefficient of the image, in whole sampling units.
    for (int c = 0; c < cinfo->num_components; ++c) {
      const jpeg_component_info& comp = cinfo->comp_info[c];
      const auto roundUp = [](std::uint64_t v, int unit) {
        const auto u = static_cast<std::uint64_t>(std::max(unit, 1));
        return (v + u - 1) / u * u;
      };
      bytes += roundUp(comp.width_in_blocks, comp.h_samp_factor) * roundUp(comp.height_in_blocks, comp.v_samp_factor) *
               DCTSIZE2 * sizeof(JCOEF);
    }
  }
  return bytes;
}

void JpegReader::Start(std::uint64_t alsoNeeded, int scale) {
  State& s = *s_;
  j_decompress_ptr cinfo = &s.cinfo;
  if (s.started) throw std::logic_error("JpegReader started twice");
  if (cinfo->image_width == 0 || cinfo->image_height == 0)
    throw LibjpegError(reinterpret_cast<j_common_ptr>(cinfo), JERR_EMPTY_IMAGE);

  if (scale != 1 && scale != 2 && scale != 4 && scale != 8) throw std::invalid_argument("JpegReader: scale 1, 2, 4 or 8");
  cinfo->scale_num = 1;
  cinfo->scale_denom = static_cast<unsigned int>(scale);
  cinfo->do_block_smoothing = TRUE;
  cinfo->dct_method = JDCT_FLOAT;
  s.gray = cinfo->out_color_space == JCS_GRAYSCALE;
  s.cmyk = cinfo->out_color_space == JCS_CMYK;
  if (s.gray) {
    cinfo->quantize_colors = TRUE;
    cinfo->desired_number_of_colors = 236;
  } else if (!s.cmyk) {
    cinfo->out_color_space = JCS_EXT_BGR;  // the rows' order; libjpeg's RGB conversion otherwise
  }
  s.adobeInverted = cinfo->saw_Adobe_marker;

  // Refuse before libjpeg or we allocate anything image-sized.
  const std::uint64_t needed = NeededBytes() + alsoNeeded;
  if (needed > s.limits.memoryBudget) throw PhotoTooLarge(s.header.width, s.header.height, needed, s.limits.memoryBudget);
  s.cinfo.mem->max_memory_to_use = static_cast<long>(std::min<std::uint64_t>(s.limits.memoryBudget, LONG_MAX));

  s.src.decoding = true;
  s.Run([&] { jpeg_start_decompress(cinfo); });
  s.started = true;
  const auto scaled = [scale](JDIMENSION size) { return (size + static_cast<JDIMENSION>(scale) - 1) / static_cast<JDIMENSION>(scale); };
  if (cinfo->output_width != scaled(cinfo->image_width) || cinfo->output_height != scaled(cinfo->image_height))
    throw LibjpegError(reinterpret_cast<j_common_ptr>(cinfo), JERR_WIDTH_OVERFLOW);
  s.width = static_cast<int>(cinfo->output_width);
  s.height = static_cast<int>(cinfo->output_height);
  if (s.gray || s.cmyk)
    s.rowBuffer.resize(std::size_t{cinfo->output_width} * static_cast<std::size_t>(cinfo->output_components));
}

int JpegReader::ReadRows(std::uint8_t* const* rows, int count) {
  State& s = *s_;
  j_decompress_ptr cinfo = &s.cinfo;
  if (!s.started) throw std::logic_error("JpegReader read before Start");
  const int width = s.width;
  int done = 0;
  while (done < count && s.nextRow < s.height) {
    JDIMENSION got = 0;
    if (!s.endedEarly) {
      if (!s.gray && !s.cmyk) {
        s.Run([&] {
          got = jpeg_read_scanlines(cinfo, const_cast<JSAMPARRAY>(rows + done), static_cast<JDIMENSION>(count - done));
        });
      } else {
        JSAMPROW row = s.rowBuffer.data();
        s.Run([&] { got = jpeg_read_scanlines(cinfo, &row, 1); });
        if (got == 1) {
          std::uint8_t* out = rows[done];
          if (s.gray) {
            const JSAMPLE* map = cinfo->colormap[0];
            for (int x = 0; x < width; ++x) {
              const JSAMPLE v = map[s.rowBuffer[static_cast<std::size_t>(x)]];
              out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = v;
            }
          } else {
            CmykRowToBgr(s.rowBuffer.data(), out, width, s.adobeInverted);
          }
        }
      }
      // Our sources never suspend, so this does not happen; never spin anyway.
      if (got == 0) s.endedEarly = true;
    }
    if (s.endedEarly) {
      // Rows libjpeg never gave stay black rather than showing old memory.
      std::memset(rows[done], 0, 3 * static_cast<std::size_t>(width));
      got = 1;
    }
    done += static_cast<int>(got);
    s.nextRow += static_cast<int>(got);
  }
  return done;
}

int JpegReader::RowsPerBlockRow() const { return s_->cinfo.max_v_samp_factor * s_->cinfo.min_DCT_scaled_size; }

bool JpegReader::CanSkip() const { return !s_->gray; }

void JpegReader::SkipRows(int count) {
  State& s = *s_;
  if (!s.started || !CanSkip()) throw std::logic_error("JpegReader cannot skip here");
  count = std::min(count, s.height - s.nextRow);
  if (count <= 0) return;
  JDIMENSION skipped = 0;
  s.Run([&] { skipped = jpeg_skip_scanlines(&s.cinfo, static_cast<JDIMENSION>(count)); });
  s.nextRow += static_cast<int>(skipped);
}

void JpegReader::Finish() {
  State& s = *s_;
  if (!s.started || s.finished) return;
  if (s.nextRow < s.height) throw std::logic_error("JpegReader finished before its last row");
  if (!s.endedEarly) s.Run([&] { jpeg_finish_decompress(&s.cinfo); });
  s.finished = true;
}

int JpegReader::OutputWidth() const { return s_->width; }

int JpegReader::OutputHeight() const { return s_->height; }

int JpegReader::DecodedRows() const { return std::min(s_->src.rowsAtEnd, s_->height); }

std::string JpegReader::Warning() const {
  const long n = s_->err.pub.num_warnings;
  if (n == 0) return {};
  std::string text = s_->err.warning;
  if (n > 1) text += " (varování celkem: " + std::to_string(n) + ")";
  return text;
}

JpegHeader ReadJpegHeader(std::span<const std::uint8_t> file) { return JpegReader(file).Header(); }

// ---- writing --------------------------------------------------------------

struct JpegWriter::State {
  jpeg_compress_struct cinfo{};
  ErrorManager err{};
  Destination dest{};
  Monitor monitor{};
  std::stop_token stop;
  bool broken = false;

  State(ByteSink& sink, std::stop_token token) : stop(std::move(token)) {
    InitErrorManager(err);
    cinfo.err = &err.pub;
    dest.sink = &sink;
    monitor.pub.progress_monitor = MonitorProgress;
    monitor.stop = &stop;
  }
  ~State() { jpeg_destroy_compress(&cinfo); }

  template <typename F>
  void Run(F&& f) { RunOnce(err, broken, "JpegWriter", f); }
};

JpegWriter::JpegWriter(ByteSink& sink, int width, int height, int quality, bool progressive,
                       std::span<const JpegSegment> segments, std::stop_token stop)
    : s_(std::make_unique<State>(sink, std::move(stop))) {
  State& s = *s_;
  j_compress_ptr cinfo = &s.cinfo;
  s.Run([&] { jpeg_create_compress(cinfo); });
  s.dest.pub.init_destination = InitDestination;
  s.dest.pub.empty_output_buffer = EmptyOutputBuffer;
  s.dest.pub.term_destination = TermDestination;
  cinfo->dest = &s.dest.pub;
  cinfo->progress = &s.monitor.pub;
  cinfo->image_width = static_cast<JDIMENSION>(std::max(width, 0));
  cinfo->image_height = static_cast<JDIMENSION>(std::max(height, 0));
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_EXT_BGR;  // the rows' byte order; converts to YCbCr as RGB would
  const int q = std::clamp(quality, 1, 100);
  s.Run([&] {
    jpeg_set_defaults(cinfo);
    cinfo->dct_method = JDCT_FLOAT;
    jpeg_set_quality(cinfo, q, TRUE);
    if (progressive) jpeg_simple_progression(cinfo);
    jpeg_start_compress(cinfo, TRUE);
    for (const JpegSegment& segment : segments)
      jpeg_write_marker(cinfo, segment.marker, segment.body.data(), static_cast<unsigned int>(segment.body.size()));
  });
}

JpegWriter::~JpegWriter() = default;

void JpegWriter::WriteRows(const std::uint8_t* const* rows, int count) {
  s_->Run([&] { jpeg_write_scanlines(&s_->cinfo, const_cast<JSAMPARRAY>(rows), static_cast<JDIMENSION>(count)); });
}

void JpegWriter::Finish() { s_->Run([&] { jpeg_finish_compress(&s_->cinfo); }); }

std::uint64_t JpegWriter::WholeImageBytes(int width, int height, bool progressive) {
  if (!progressive) return 0;
  // Luminance at full size, two chroma components at half size, in 16 x 16 units.
  const std::uint64_t units = (static_cast<std::uint64_t>(std::max(width, 0)) + 15) / 16 *
                              ((static_cast<std::uint64_t>(std::max(height, 0)) + 15) / 16);
  return units * 6 * DCTSIZE2 * sizeof(JCOEF);
}

void WriteWithSegments(ByteSink& out, std::span<const std::uint8_t> encoded, std::span<const JpegSegment> segments) {
  // SOI, then the JFIF APP0 segment: FF E0, length, body.
  if (encoded.size() < 6 || encoded[0] != 0xFF || encoded[1] != 0xD8 || encoded[2] != 0xFF ||
      encoded[3] != JPEG_APP0)
    throw std::invalid_argument("WriteWithSegments: not a file of this program's encoder");
  const std::size_t headerEnd = 4 + (std::size_t{encoded[4]} << 8 | encoded[5]);
  if (headerEnd > encoded.size()) throw std::invalid_argument("WriteWithSegments: truncated JFIF header");
  out.Write(encoded.first(headerEnd));
  for (const JpegSegment& segment : segments) {
    if (segment.body.size() > 65533) throw EJPEG(JERR_BAD_LENGTH, "Bogus marker length");
    const std::size_t length = segment.body.size() + 2;
    const std::uint8_t head[4] = {0xFF, static_cast<std::uint8_t>(segment.marker), static_cast<std::uint8_t>(length >> 8),
                                  static_cast<std::uint8_t>(length)};
    out.Write(head);
    out.Write(segment.body);
  }
  out.Write(encoded.subspan(headerEnd));
}

}  // namespace imaging
