#include "prosvitek/imaging/jpeg_codec.h"

#include "prosvitek/imaging/errors.h"

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <csetjmp>
#include <cstring>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include <sys/mman.h>
#include <unistd.h>

#include <jpeglib.h>
#include <jerror.h>
// The coefficient work below reaches into libjpeg's modules (the entropy
// decoder, the inverse DCT, the colour converter) through their method tables.
#include <jpegint.h>

namespace imaging {
namespace {

// ---- libjpeg boundary ---------------------------------------------------
// libjpeg reports fatal errors by calling error_exit, which must not return.
// It longjmps back into Guarded below; the code it runs holds no C++ objects
// with destructors, and the error becomes an exception only after the jump.
// Our own callbacks (reading, writing, the progress monitor) fail the same
// way, leaving the reason in the error manager.

enum class Failure { None, Cancelled, TooManyScans, Enough };

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
  // Kept scans: libjpeg's coefficient rows, per component; an output pass running.
  bool keep = false;
  bool outputActive = false;
  std::vector<std::vector<JBLOCKROW>> keptRows;
  bool lastPass = false;
  std::vector<std::size_t> givenBack;  // per component: rows given back to the system

  // Gives back the memory of the kept rows the pass has left behind, but for
  // the row being decoded and, when libjpeg smooths blocks, the two above it
  // that it looks at. Only whole pages inside runs of rows that lie one
  // after another: the rest of libjpeg's allocations stay as they are.
  int giveBackMargin = 1;
  void GiveBackBehind(int outputRow) {
    const int margin = giveBackMargin;
    const int behind = outputRow / (cinfo.max_v_samp_factor * DCTSIZE) - margin;
    if (behind <= 0) return;
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    for (int ci = 0; ci < cinfo.num_components; ++ci) {
      const auto c = static_cast<std::size_t>(ci);
      const std::vector<JBLOCKROW>& rows = keptRows[c];
      const jpeg_component_info& comp = cinfo.comp_info[ci];
      const JDIMENSION h = static_cast<JDIMENSION>(comp.h_samp_factor);
      const std::size_t rowBytes = (comp.width_in_blocks + h - 1) / h * h * sizeof(JBLOCK);  // as libjpeg asked for them
      const std::size_t upTo = std::min(rows.size(), static_cast<std::size_t>(behind * comp.v_samp_factor));
      std::size_t r = givenBack[c];
      while (r < upTo) {
        std::size_t end = r + 1;
        while (end < upTo && reinterpret_cast<char*>(rows[end]) == reinterpret_cast<char*>(rows[end - 1]) + rowBytes) ++end;
        const auto first = reinterpret_cast<std::uintptr_t>(rows[r]);
        const auto last = reinterpret_cast<std::uintptr_t>(rows[end - 1]) + rowBytes;
        const std::uintptr_t from = (first + page - 1) / page * page, to = last / page * page;
        if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
        r = end;
      }
      givenBack[c] = std::max(givenBack[c], upTo);
    }
  }
  // ReadCoefficients: where the blocks go, libjpeg's own MCU decoder, MCUs so far.
  CoefficientSink* sink = nullptr;
  boolean (*decodeMcu)(j_decompress_ptr, JBLOCKROW*) = nullptr;
  int mcuRow = 0, mcuColumn = 0;
  int sinkRow = -1;
  bool sinkZeroed = false;
  JBLOCKROW sinkRows[D_MAX_BLOCKS_IN_MCU] = {};
  int sinkColumns[D_MAX_BLOCKS_IN_MCU] = {}, sinkWidths[D_MAX_BLOCKS_IN_MCU] = {};

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

  // Reads every scan into libjpeg's coefficient buffer, notes where its rows
  // lie, and starts the first output pass.
  void ConsumeAll() {
    j_decompress_ptr c = &cinfo;
    for (;;) {
      const int r = jpeg_consume_input(c);
      if (r == JPEG_REACHED_EOI || r == JPEG_SUSPENDED) break;  // our sources never suspend
      MonitorProgress(reinterpret_cast<j_common_ptr>(c));
    }
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(c);
    keptRows.assign(static_cast<std::size_t>(c->num_components), {});
    for (int ci = 0; ci < c->num_components; ++ci) {
      const jpeg_component_info& comp = c->comp_info[ci];
      const auto v = static_cast<JDIMENSION>(comp.v_samp_factor);
      const JDIMENSION rows = (comp.height_in_blocks + v - 1) / v * v;  // as libjpeg requested them
      for (JDIMENSION r = 0; r < rows; r += v) {
        const JBLOCKARRAY part = (*c->mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(c), arrays[ci], r, v, FALSE);
        keptRows[static_cast<std::size_t>(ci)].insert(keptRows[static_cast<std::size_t>(ci)].end(), part, part + v);
      }
    }
    // Everything is read: the file is not needed any more (and may go away
    // while the scans are kept); a read now would see the data's end.
    src.file = nullptr;
    src.data = nullptr;
    src.size = 0;
    jpeg_start_output(c, c->input_scan_number);
    outputActive = true;
  }

  // libjpeg's MCU decoder, wrapped by ReadCoefficients: decodes each MCU into
  // the sink's storage and tells the sink when an MCU row is complete. libjpeg
  // passes no storage for the rows it skips, and its own for the rows it reads.
  static boolean DecodeIntoSink(j_decompress_ptr c, JBLOCKROW* data) {
    State& s = *static_cast<State*>(c->client_data);
    const int perRow = static_cast<int>(c->MCUs_per_row);
    const int mcuRow = s.mcuRow, mcuColumn = s.mcuColumn;
    if (++s.mcuColumn == perRow) {
      s.mcuColumn = 0;
      ++s.mcuRow;
    }
    JBLOCKROW blocks[D_MAX_BLOCKS_IN_MCU];
    int doneRow = -1;
    bool failed = false, stop = false;
    try {
      // Where each block of an MCU goes: its row's storage, found once per
      // MCU row, plus its column.
      if (mcuRow != s.sinkRow) {
        int within[MAX_COMPS_IN_SCAN] = {};
        for (int b = 0; b < c->blocks_in_MCU; ++b) {
          const jpeg_component_info* comp = c->cur_comp_info[c->MCU_membership[b]];
          const int i = within[c->MCU_membership[b]]++;
          const bool one = c->comps_in_scan == 1;  // a scan of one component: an MCU is one block
          s.sinkRows[b] = reinterpret_cast<JBLOCKROW>(
              s.sink->Row(comp->component_index, one ? mcuRow : mcuRow * comp->MCU_height + i / comp->MCU_width));
          s.sinkColumns[b] = one ? 0 : i % comp->MCU_width;
          s.sinkWidths[b] = one ? 1 : comp->MCU_width;
        }
        s.sinkRow = mcuRow;
      }
      for (int b = 0; b < c->blocks_in_MCU; ++b) blocks[b] = s.sinkRows[b] + mcuColumn * s.sinkWidths[b] + s.sinkColumns[b];
      if (c->comps_in_scan == 1 && mcuColumn == perRow - 1) {
        const jpeg_component_info* comp = c->cur_comp_info[0];
        if (mcuRow % comp->v_samp_factor == comp->v_samp_factor - 1 || mcuRow == static_cast<int>(comp->height_in_blocks) - 1)
          doneRow = mcuRow / comp->v_samp_factor;
      }
    } catch (...) {
      s.err.pending = std::current_exception();
      failed = true;
    }
    if (failed) ERREXIT(c, JERR_FILE_READ);  // outside the handler: longjmp must not leave one
    if (data == nullptr) {
      if (!s.sinkZeroed)
        for (int b = 0; b < c->blocks_in_MCU; ++b) std::memset(blocks[b], 0, sizeof(JBLOCK));
      if (!(*s.decodeMcu)(c, blocks)) return FALSE;
    } else {
      if (!(*s.decodeMcu)(c, data)) return FALSE;
      for (int b = 0; b < c->blocks_in_MCU; ++b) std::memcpy(blocks[b], data[b], sizeof(JBLOCK));
    }
    if (c->comps_in_scan > 1 && mcuColumn == perRow - 1) doneRow = mcuRow;
    if (doneRow < 0) return TRUE;
    try {
      stop = !s.sink->RowDone(doneRow);
    } catch (...) {
      s.err.pending = std::current_exception();
      failed = true;
    }
    if (failed) ERREXIT(c, JERR_FILE_READ);
    if (stop) Fail(reinterpret_cast<j_common_ptr>(c), Failure::Enough);
    return TRUE;
  }

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

void JpegReader::Start(std::uint64_t alsoNeeded, Scans scans, int scale) {
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
  s.keep = scans == Scans::Keep && jpeg_has_multiple_scans(cinfo);
  cinfo->buffered_image = s.keep ? TRUE : FALSE;

  // Refuse before libjpeg or we allocate anything image-sized.
  const std::uint64_t needed = NeededBytes() + alsoNeeded;
  if (needed > s.limits.memoryBudget) throw PhotoTooLarge(s.header.width, s.header.height, needed, s.limits.memoryBudget);
  s.cinfo.mem->max_memory_to_use = static_cast<long>(std::min<std::uint64_t>(s.limits.memoryBudget, LONG_MAX));

  s.src.decoding = true;
  s.Run([&] { jpeg_start_decompress(cinfo); });
  s.started = true;
  if (s.keep) s.Run([&] { s.ConsumeAll(); });
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
  if (s.lastPass) s.GiveBackBehind(s.nextRow);
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
  if (s.keep) {
    s.Run([&] { jpeg_finish_output(&s.cinfo); });  // the scans stay for another pass
    s.outputActive = false;
  } else if (!s.endedEarly) {
    s.Run([&] { jpeg_finish_decompress(&s.cinfo); });
  }
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

// ---- coefficients -----------------------------------------------------------

static_assert(sizeof(CoefficientBlock) == sizeof(JBLOCK), "a block is libjpeg's block");

bool JpegReader::KeepsScans() const { return s_->keep; }

void JpegReader::LastPass() {
  if (!s_->keep) return;
  s_->lastPass = true;
  s_->giveBackMargin = SmoothsBlocks() ? 3 : 1;
  s_->givenBack.assign(s_->keptRows.size(), 0);
}

void JpegReader::StartAnotherPass(std::stop_token stop) {
  State& s = *s_;
  if (!s.keep) throw std::logic_error("JpegReader keeps no scans");
  s.stop = std::move(stop);
  s.Run([&] {
    if (s.outputActive) jpeg_finish_output(&s.cinfo);
    jpeg_start_output(&s.cinfo, s.cinfo.input_scan_number);
  });
  s.outputActive = true;
  s.nextRow = 0;
  s.finished = false;
  s.endedEarly = false;
}

BlockGrid JpegReader::Grid() const {
  const jpeg_decompress_struct& c = s_->cinfo;
  BlockGrid g;
  g.width = static_cast<int>(c.image_width);
  g.height = static_cast<int>(c.image_height);
  g.maxH = c.max_h_samp_factor;
  g.maxV = c.max_v_samp_factor;
  g.mcuWidth = g.maxH * DCTSIZE;
  g.mcuHeight = g.maxV * DCTSIZE;
  g.mcuColumns = (g.width + g.mcuWidth - 1) / g.mcuWidth;
  g.mcuRows = (g.height + g.mcuHeight - 1) / g.mcuHeight;
  switch (c.jpeg_color_space) {
    case JCS_GRAYSCALE: g.colour = ColourModel::Grey; break;
    case JCS_YCbCr: g.colour = ColourModel::YCbCr; break;
    case JCS_RGB: g.colour = ColourModel::Rgb; break;
    case JCS_CMYK:
    case JCS_YCCK: g.colour = ColourModel::FourComponent; break;
    default: g.colour = ColourModel::Other; break;
  }
  for (int ci = 0; ci < c.num_components; ++ci) {
    const jpeg_component_info& comp = c.comp_info[ci];
    BlockGrid::Component out;
    out.h = comp.h_samp_factor;
    out.v = comp.v_samp_factor;
    out.widthInBlocks = static_cast<int>(comp.width_in_blocks);
    out.heightInBlocks = static_cast<int>(comp.height_in_blocks);
    if (comp.quant_table != nullptr)  // none for a component no scan carried
      for (std::size_t k = 0; k < 64; ++k) out.quant[k] = comp.quant_table->quantval[k];
    g.components.push_back(out);
  }
  return g;
}

const CoefficientBlock& JpegReader::KeptBlock(int component, int row, int column) const {
  return *reinterpret_cast<const CoefficientBlock*>(
      s_->keptRows[static_cast<std::size_t>(component)][static_cast<std::size_t>(row)] + column);
}

bool JpegReader::SmoothsBlocks() const {
  const jpeg_decompress_struct& c = s_->cinfo;
  if (!s_->keep || !c.progressive_mode || c.coef_bits == nullptr || !c.do_block_smoothing) return false;
  // libjpeg smooths when some coefficient is not known to its last bit.
  for (int ci = 0; ci < c.num_components; ++ci)
    for (int k = 0; k < DCTSIZE2; ++k)
      if (c.coef_bits[ci][k] != 0) return true;
  return false;
}

void JpegReader::InverseDct(int component, const CoefficientBlock& block, std::uint8_t* samples) const {
  j_decompress_ptr c = &s_->cinfo;
  JSAMPROW rows[DCTSIZE];
  for (int i = 0; i < DCTSIZE; ++i) rows[i] = samples + DCTSIZE * i;
  CoefficientBlock copy = block;  // libjpeg's routines take a writable block
  (*c->idct->inverse_DCT[component])(c, &c->comp_info[component], copy.data(), rows, 0);
}

void JpegReader::ConvertSamples(std::span<const std::uint8_t* const> planes, int count, std::uint8_t* bgr) const {
  j_decompress_ptr c = &s_->cinfo;
  const auto width = static_cast<std::size_t>(c->output_width);
  const std::size_t rows = (static_cast<std::size_t>(count) + width - 1) / width;
  constexpr std::size_t kSlack = 64;  // vector code may read and write a little past a row
  std::vector<std::vector<JSAMPLE>> in(planes.size(), std::vector<JSAMPLE>(rows * (width + kSlack)));
  std::vector<std::vector<JSAMPROW>> inRows(planes.size(), std::vector<JSAMPROW>(rows));
  std::vector<JSAMPARRAY> image(planes.size());
  for (std::size_t p = 0; p < planes.size(); ++p) {
    std::copy(planes[p], planes[p] + count, in[p].begin());
    for (std::size_t r = 0; r < rows; ++r) inRows[p][r] = in[p].data() + r * width;
    image[p] = inRows[p].data();
  }
  // The rows above are packed: row r starts at sample r x width. Give each
  // output row room for its slack as well.
  std::vector<JSAMPLE> out(rows * (3 * width + kSlack));
  std::vector<JSAMPROW> outRows(rows);
  for (std::size_t r = 0; r < rows; ++r) outRows[r] = out.data() + r * (3 * width + kSlack);
  (*c->cconvert->color_convert)(c, image.data(), 0, outRows.data(), static_cast<int>(rows));
  for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
    const JSAMPLE* p = outRows[i / width] + 3 * (i % width);
    std::copy(p, p + 3, bgr + 3 * i);
  }
}

bool JpegReader::ReadCoefficients(CoefficientSink& sink) {
  State& s = *s_;
  j_decompress_ptr c = &s.cinfo;
  if (!s.started || s.keep || jpeg_has_multiple_scans(c) || s.nextRow != 0 || s.broken)
    throw std::logic_error("JpegReader cannot read coefficients here");
  s.sink = &sink;
  s.mcuRow = s.mcuColumn = 0;
  s.sinkRow = -1;
  s.sinkZeroed = sink.ZeroedRows();
  s.decodeMcu = c->entropy->decode_mcu;
  c->entropy->decode_mcu = State::DecodeIntoSink;
  c->client_data = &s;
  // Skipping rows decodes their MCUs without the rest of the work; libjpeg
  // reads the last row of blocks (and, when upsampling needs context, the one
  // before the rows it reads next) as rows.
  const int unit = RowsPerBlockRow(), height = s.header.height;
  const int skip = (height - 1) / unit * unit;
  std::vector<JSAMPLE> row(static_cast<std::size_t>(c->output_width) * 4 + 64);
  const bool whole = Guarded(s.err, [&] {
    if (skip > 0) jpeg_skip_scanlines(c, static_cast<JDIMENSION>(skip));
    JSAMPROW r = row.data();
    while (c->output_scanline < c->output_height) jpeg_read_scanlines(c, &r, 1);
  });
  s.broken = true;  // used up
  s.nextRow = height;
  if (whole) return true;
  if (s.err.failure == Failure::Enough && !s.err.pending) return false;
  Raise(s.err);
}

void JpegReader::DecodeSelection(const McuSelection& sel, const BlockSource& blocks,
                                 const std::function<void(int, const std::uint8_t*)>& rowOut) const {
  const BlockGrid g = Grid();
  if (sel.columns.empty() || sel.firstRow < 0 || sel.lastRow >= g.mcuRows || sel.firstRow > sel.lastRow)
    throw std::logic_error("DecodeSelection: an empty or misplaced selection");
  std::vector<int> sourceColumns;
  for (const auto& [a, b] : sel.columns)
    for (int col = a; col <= b; ++col) sourceColumns.push_back(col);
  const int rows = sel.lastRow - sel.firstRow + 1, columns = static_cast<int>(sourceColumns.size());
  // The photo's last MCUs may be cut short; in the selection they are last too.
  const int width = columns * g.mcuWidth - (sourceColumns.back() == g.mcuColumns - 1 ? g.mcuColumns * g.mcuWidth - g.width : 0);
  const int height = rows * g.mcuHeight - (sel.lastRow == g.mcuRows - 1 ? g.mcuRows * g.mcuHeight - g.height : 0);

  // A baseline file of the selection's blocks, with the photo's tables,
  // sampling and colour space.
  Bytes file;
  {
    BytesSink bytes(file);
    struct Encoder {
      jpeg_compress_struct cinfo{};
      ErrorManager err{};
      std::unique_ptr<Destination> dest = std::make_unique<Destination>();
      ~Encoder() { jpeg_destroy_compress(&cinfo); }
    } e;
    InitErrorManager(e.err);
    e.cinfo.err = &e.err.pub;
    e.dest->sink = &bytes;
    const bool ok = Guarded(e.err, [&] {
      j_compress_ptr cc = &e.cinfo;
      jpeg_create_compress(cc);
      e.dest->pub.init_destination = InitDestination;
      e.dest->pub.empty_output_buffer = EmptyOutputBuffer;
      e.dest->pub.term_destination = TermDestination;
      cc->dest = &e.dest->pub;
      jpeg_copy_critical_parameters(&s_->cinfo, cc);
      cc->image_width = static_cast<JDIMENSION>(width);
      cc->image_height = static_cast<JDIMENSION>(height);
      jvirt_barray_ptr arrays[MAX_COMPONENTS];
      for (int ci = 0; ci < cc->num_components; ++ci) {
        const jpeg_component_info& comp = cc->comp_info[ci];
        arrays[ci] = (*cc->mem->request_virt_barray)(
            reinterpret_cast<j_common_ptr>(cc), JPOOL_IMAGE, FALSE, static_cast<JDIMENSION>(columns * comp.h_samp_factor),
            static_cast<JDIMENSION>(rows * comp.v_samp_factor), static_cast<JDIMENSION>(comp.v_samp_factor));
      }
      jpeg_write_coefficients(cc, arrays);
      for (int ci = 0; ci < cc->num_components; ++ci) {
        const int h = cc->comp_info[ci].h_samp_factor, v = cc->comp_info[ci].v_samp_factor;
        for (int by = 0; by < rows * v; by += v) {
          const JBLOCKARRAY part = (*cc->mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(cc), arrays[ci],
                                                                  static_cast<JDIMENSION>(by), static_cast<JDIMENSION>(v), TRUE);
          for (int i = 0; i < v; ++i)
            for (int bx = 0; bx < columns * h; ++bx) {
              const CoefficientBlock& from =
                  blocks(ci, sel.firstRow * v + by + i, sourceColumns[static_cast<std::size_t>(bx / h)] * h + bx % h);
              std::memcpy(part[i][bx], from.data(), sizeof(JBLOCK));
            }
        }
      }
      jpeg_finish_compress(cc);
    });
    if (!ok) Raise(e.err);
  }

  JpegReader reader(file);
  reader.Start();
  const BlockGrid back = reader.Grid();
  if (back.colour != g.colour || back.maxH != g.maxH || back.maxV != g.maxV || back.width != width)
    throw std::logic_error("DecodeSelection: the selection's file reads back differently");
  std::vector<std::uint8_t> pixels(3 * static_cast<std::size_t>(width));
  std::uint8_t* row[] = {pixels.data()};
  for (int y = 0; y < height; ++y) {
    reader.ReadRows(row, 1);
    rowOut(y, pixels.data());
  }
}

// ---- writing --------------------------------------------------------------

// A progressive file's scans after the first are written at the end, each
// a pass or two over all the coefficients. With two threads the luma's AC
// refinements, the larger half of the work, go to a second compressor that
// reads this one's coefficients; each compressor's scans come out as they
// would from one, and the file is put together in the script's order.
//
// libjpeg checks a script for its successive approximation before the first
// scan, and takes each scan from the script as it comes to it: so each
// compressor is given a script that passes the check, then the one it is to
// write, of the same length. A refinement scan depends on the coefficients
// alone, not on the scans before it. Where this compressor's script has a
// scan of the other's, it writes a cheap one in its place, which is dropped.
struct JpegWriter::State {
  jpeg_compress_struct cinfo{};
  ErrorManager err{};
  Destination dest{};
  Monitor monitor{};
  std::stop_token stop;
  bool broken = false;

  bool split = false;
  ByteSink* sink;
  Bytes own;  // this compressor's file, when split
  BytesSink ownSink{own};
  std::vector<jpeg_scan_info> script;  // libjpeg's, in the file's order
  std::vector<char> theirs;            // per scan of the script: the other compressor's
  std::vector<jpeg_scan_info> mineChecked, mineWritten, theirsChecked, theirsWritten;
  // The coefficient arrays, the luma's first, and their rows, noted as
  // libjpeg's first pass fills them.
  jvirt_barray_ptr (*request)(j_common_ptr, int, boolean, JDIMENSION, JDIMENSION, JDIMENSION) = nullptr;
  JBLOCKARRAY (*access)(j_common_ptr, jvirt_barray_ptr, JDIMENSION, JDIMENSION, boolean) = nullptr;
  std::vector<jvirt_barray_ptr> arrays;
  std::vector<std::vector<JBLOCKROW>> rows;
  // libjpeg frees the coefficients at the end of its last pass: not while
  // the other compressor still reads them.
  void (*freePool)(j_common_ptr, int) = nullptr;
  std::mutex otherLock;
  std::condition_variable otherDone;
  bool otherRunning = false;

  State(ByteSink& out, std::stop_token token) : stop(std::move(token)), sink(&out) {
    InitErrorManager(err);
    cinfo.err = &err.pub;
    dest.sink = &out;
    monitor.pub.progress_monitor = MonitorProgress;
    monitor.stop = &stop;
  }
  ~State() { jpeg_destroy_compress(&cinfo); }

  template <typename F>
  void Run(F&& f) { RunOnce(err, broken, "JpegWriter", f); }

  static jvirt_barray_ptr RequestNoting(j_common_ptr c, int pool, boolean zero, JDIMENSION blocks, JDIMENSION count,
                                        JDIMENSION access) {
    State& s = *static_cast<State*>(c->client_data);
    const jvirt_barray_ptr array = (*s.request)(c, pool, zero, blocks, count, access);
    s.arrays.push_back(array);
    s.rows.emplace_back(count, nullptr);
    return array;
  }
  static JBLOCKARRAY AccessNoting(j_common_ptr c, jvirt_barray_ptr array, JDIMENSION start, JDIMENSION count,
                                  boolean writable) {
    State& s = *static_cast<State*>(c->client_data);
    const JBLOCKARRAY got = (*s.access)(c, array, start, count, writable);
    for (std::size_t a = 0; a < s.arrays.size(); ++a)
      if (s.arrays[a] == array)
        for (JDIMENSION i = 0; i < count && start + i < s.rows[a].size(); ++i) s.rows[a][start + i] = got[i];
    return got;
  }
  static void FreeAfterOther(j_common_ptr c, int pool) {
    State& s = *static_cast<State*>(c->client_data);
    {
      std::unique_lock lock(s.otherLock);
      s.otherDone.wait(lock, [&] { return !s.otherRunning; });
    }
    (*s.freePool)(c, pool);
  }
  // The other compressor's arrays: the rows noted above.
  static JBLOCKARRAY NotedRows(j_common_ptr c, jvirt_barray_ptr array, JDIMENSION start, JDIMENSION, boolean) {
    State& s = *static_cast<State*>(c->client_data);
    const auto a = static_cast<std::size_t>(std::find(s.arrays.begin(), s.arrays.end(), array) - s.arrays.begin());
    return s.rows.at(a).data() + start;
  }

  // The luma's AC refinement scans go to the other compressor.
  static bool Theirs(const jpeg_scan_info& scan) {
    return scan.comps_in_scan == 1 && scan.component_index[0] == 0 && scan.Ss > 0 && scan.Ah > 0;
  }

  void SplitScript() {
    script.assign(cinfo.scan_info, cinfo.scan_info + cinfo.num_scans);
    std::size_t lastMine = 0;
    for (std::size_t i = 0; i < script.size(); ++i) {
      theirs.push_back(Theirs(script[i]));
      if (theirs.back()) theirsWritten.push_back(script[i]);
      else lastMine = i;
    }
    if (theirsWritten.empty() || cinfo.num_components != 3) return;
    // Up to this compressor's last scan; the other's in it replaced by a
    // refinement of the last component's DC, which needs no Huffman pass.
    mineChecked.assign(script.begin(), script.begin() + static_cast<std::ptrdiff_t>(lastMine + 1));
    mineWritten = mineChecked;
    for (std::size_t i = 0; i < mineWritten.size(); ++i)
      if (theirs[i]) mineWritten[i] = jpeg_scan_info{1, {2, 0, 0, 0}, 0, 0, 1, 0};
    // A DC scan, then a chain of luma AC scans down to the last bit: as
    // many scans, each with a Huffman pass, as the other writes.
    const int n = static_cast<int>(theirsWritten.size());
    theirsChecked.push_back(jpeg_scan_info{3, {0, 1, 2, 0}, 0, 0, 0, 0});
    for (int k = n - 2; k >= 0; --k)
      theirsChecked.push_back(jpeg_scan_info{1, {0, 0, 0, 0}, 1, 63, k == n - 2 ? 0 : k + 1, k});
    cinfo.scan_info = mineChecked.data();
    cinfo.num_scans = static_cast<int>(mineChecked.size());
    split = true;
    dest.sink = &ownSink;
    cinfo.client_data = this;
    request = cinfo.mem->request_virt_barray;
    access = cinfo.mem->access_virt_barray;
    cinfo.mem->request_virt_barray = RequestNoting;
    cinfo.mem->access_virt_barray = AccessNoting;
    freePool = cinfo.mem->free_pool;
    cinfo.mem->free_pool = FreeAfterOther;
  }

  void FinishSplit();
};

namespace {

// The parts of a file this encoder wrote: up to the first scan, each scan
// (its tables, header and data), and the end.
struct FileParts {
  std::span<const std::uint8_t> head, tail;
  std::vector<std::span<const std::uint8_t>> scans;
};

constexpr std::uint8_t kSos = 0xDA, kDht = 0xC4;

FileParts PartsOf(std::span<const std::uint8_t> file) {
  FileParts parts;
  const auto length = [&](std::size_t at) { return 2 + (std::size_t{file[at + 2]} << 8 | file[at + 3]); };
  std::size_t pos = 2;  // after SOI
  while (pos + 4 <= file.size() && file[pos] == 0xFF && file[pos + 1] != kSos && file[pos + 1] != kDht)
    pos += length(pos);
  parts.head = file.first(pos);
  while (pos + 2 <= file.size() && file[pos] == 0xFF && file[pos + 1] != JPEG_EOI) {
    const std::size_t start = pos;
    while (file[pos + 1] == kDht) pos += length(pos);  // the scan's tables
    if (file[pos + 1] != kSos) throw std::logic_error("an unexpected segment between scans");
    pos += length(pos);
    // The data ends at the first marker: 0xFF not followed by a stuffed 0.
    while (pos + 1 < file.size() && !(file[pos] == 0xFF && file[pos + 1] != 0)) ++pos;
    parts.scans.push_back(file.subspan(start, pos - start));
  }
  parts.tail = file.subspan(pos);
  return parts;
}

}  // namespace

void JpegWriter::State::FinishSplit() {
  struct Other {
    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    std::unique_ptr<Destination> dest = std::make_unique<Destination>();
    Monitor monitor{};
    ~Other() { jpeg_destroy_compress(&cinfo); }
  } other;
  Bytes theirsFile;
  BytesSink theirsSink(theirsFile);
  InitErrorManager(other.err);
  other.cinfo.err = &other.err.pub;
  other.dest->sink = &theirsSink;
  other.monitor.pub.progress_monitor = MonitorProgress;
  other.monitor.stop = &stop;
  bool otherFinished = false;
  {
    std::jthread second;  // declared after what it uses: joined before any of it goes
    const bool started = Guarded(other.err, [&] {
      j_compress_ptr o = &other.cinfo;
      jpeg_create_compress(o);
      o->dest = &other.dest->pub;
      other.dest->pub.init_destination = InitDestination;
      other.dest->pub.empty_output_buffer = EmptyOutputBuffer;
      other.dest->pub.term_destination = TermDestination;
      o->progress = &other.monitor.pub;
      o->client_data = this;
      o->image_width = cinfo.image_width;
      o->image_height = cinfo.image_height;
      o->input_components = 3;
      o->in_color_space = JCS_RGB;
      jpeg_set_defaults(o);  // the same components, sampling and table numbers
      o->scan_info = theirsChecked.data();
      o->num_scans = static_cast<int>(theirsChecked.size());
      o->mem->access_virt_barray = NotedRows;
      jpeg_write_coefficients(o, arrays.data());
      o->scan_info = theirsWritten.data();
    });
    if (started) {
      otherRunning = true;
      second = std::jthread([&] {
        otherFinished = Guarded(other.err, [&] { jpeg_finish_compress(&other.cinfo); });
        {
          std::lock_guard lock(otherLock);
          otherRunning = false;
        }
        otherDone.notify_all();
      });
    }
    Run([&] { jpeg_finish_compress(&cinfo); });
    if (!started) Raise(other.err);
  }
  if (!otherFinished) Raise(other.err);

  const FileParts mineParts = PartsOf(own), theirParts = PartsOf(theirsFile);
  if (mineParts.scans.size() != mineWritten.size() || theirParts.scans.size() != theirsWritten.size())
    throw std::logic_error("JpegWriter: the scans did not come out as scripted");
  // A stop while the file is handed over still ends the pass as a stop.
  const auto write = [&](std::span<const std::uint8_t> part) {
    if (stop.stop_requested()) throw Cancelled();
    sink->Write(part);
  };
  write(mineParts.head);
  std::size_t t = 0;
  for (std::size_t i = 0; i < script.size(); ++i) write(theirs[i] ? theirParts.scans[t++] : mineParts.scans[i]);
  write(mineParts.tail);
  if (stop.stop_requested()) throw Cancelled();
}

JpegWriter::JpegWriter(ByteSink& sink, int width, int height, int quality, bool progressive,
                       std::span<const JpegSegment> segments, std::stop_token stop, bool twoThreads)
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
    if (progressive) {
      jpeg_simple_progression(cinfo);
      if (twoThreads) s.SplitScript();
    }
    jpeg_start_compress(cinfo, TRUE);
    if (s.split) cinfo->scan_info = s.mineWritten.data();  // checked: now the scans it writes
    for (const JpegSegment& segment : segments)
      jpeg_write_marker(cinfo, segment.marker, segment.body.data(), static_cast<unsigned int>(segment.body.size()));
  });
}

JpegWriter::~JpegWriter() = default;

void JpegWriter::WriteRows(const std::uint8_t* const* rows, int count) {
  s_->Run([&] { jpeg_write_scanlines(&s_->cinfo, const_cast<JSAMPARRAY>(rows), static_cast<JDIMENSION>(count)); });
}

void JpegWriter::Finish() {
  if (s_->split) {
    if (s_->broken) throw std::logic_error("JpegWriter used after a failure");
    s_->FinishSplit();
    return;
  }
  s_->Run([&] { jpeg_finish_compress(&s_->cinfo); });
}

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
