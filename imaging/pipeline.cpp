#include "prosvitek/imaging/pipeline.h"

#include "prosvitek/imaging/errors.h"
#include "luminance_bounds.h"
#include "pixel_kernels.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include <malloc.h>

namespace imaging {
namespace {

// Gives the heap's free memory back to the system. The sanitizers bring
// allocators of their own, under which glibc's trim finds no heap of its own
// to walk (and crashes).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define PROSVITEK_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define PROSVITEK_OWN_ALLOCATOR 1
#endif
#endif
void GiveFreeHeapBack() {
#ifndef PROSVITEK_OWN_ALLOCATOR
  ::malloc_trim(0);
#endif
}

// A band of rows: rows [first, first + count) of the photo, of which the
// first `decoded` hold its data (the rest is the filler of a file that ended early).
struct Band {
  std::uint8_t* const* rows;
  int first;
  int count;
  int decoded;
};

// Reads the band of up to `count` rows from row `first` into `rows`.
Band ReadBand(JpegReader& reader, std::uint8_t* const* rows, int first, int count) {
  const int got = reader.ReadRows(rows, count);
  return Band{rows, first, got, std::clamp(reader.DecodedRows() - first, 0, got)};
}

// Bands handed from the decoding thread to the working one. The decoder
// fills free bands in order, the worker takes them in the same order and
// gives them back; Stop wakes both sides for good.
class Ring {
 public:
  Ring(int bands, std::size_t stride)
      : bands_(bands),
        memory_(std::make_unique_for_overwrite<std::uint8_t[]>(BytesFor(bands, stride))),
        rows_(static_cast<std::size_t>(bands) * kBandRows),
        slots_(static_cast<std::size_t>(bands)) {
    for (std::size_t i = 0; i < rows_.size(); ++i) rows_[i] = memory_.get() + i * stride;
  }

  static std::size_t BytesFor(int bands, std::size_t stride) {
    return static_cast<std::size_t>(bands) * kBandRows * stride;
  }

  // The rows of the next band to fill, or nullptr once stopped. Bands are
  // filled and published in the order they are taken here.
  std::uint8_t* const* Free() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopped_ || acquired_ - taken_ < static_cast<std::uint64_t>(bands_); });
    if (stopped_) return nullptr;
    return RowsOf(acquired_++);
  }
  // Whether Free would give a band at once.
  bool HasRoom() {
    std::lock_guard lock(mutex_);
    return !stopped_ && acquired_ - taken_ < static_cast<std::uint64_t>(bands_);
  }
  void Publish(const Band& band) {
    {
      std::lock_guard lock(mutex_);
      slots_[filled_ % slots_.size()] = band;
      ++filled_;
    }
    changed_.notify_all();
  }
  void Close() { Set(closed_); }

  // The next filled band, or nothing at the end or once stopped.
  std::optional<Band> Next() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopped_ || closed_ || taken_ < filled_; });
    if (stopped_ || taken_ == filled_) return std::nullopt;
    return slots_[taken_ % slots_.size()];
  }
  void Release() {
    {
      std::lock_guard lock(mutex_);
      ++taken_;
    }
    changed_.notify_all();
  }

  void Stop() { Set(stopped_); }

 private:
  void Set(bool& flag) {
    {
      std::lock_guard lock(mutex_);
      flag = true;
    }
    changed_.notify_all();
  }
  std::uint8_t* const* RowsOf(std::uint64_t band) {
    return rows_.data() + (band % static_cast<std::uint64_t>(bands_)) * kBandRows;
  }

  const int bands_;
  std::unique_ptr<std::uint8_t[]> memory_;
  std::vector<std::uint8_t*> rows_;
  std::vector<Band> slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t acquired_ = 0;
  std::uint64_t filled_ = 0;
  std::uint64_t taken_ = 0;
  bool closed_ = false;
  bool stopped_ = false;
};

// The stop of one pass, shared by its threads: requested by the caller's
// stop, by a failure on any side, or when the work has seen enough.
class PassStop {
 public:
  explicit PassStop(const std::stop_token& outer) : link_(outer, [this] { source_.request_stop(); }) {}
  std::stop_token token() const { return source_.get_token(); }
  void Request() { source_.request_stop(); }
  // Stops the pass because its work is done, not because anything failed.
  void Enough() {
    enough_ = true;
    source_.request_stop();
  }
  bool enough() const { return enough_; }

 private:
  std::stop_source source_;
  std::atomic<bool> enough_{false};
  std::stop_callback<std::function<void()>> link_;
};

// Progress of all of a pass's threads, reported one call at a time.
class Progress {
 public:
  Progress(const PassOptions& options, int height) : report_(options.progress), height_(height) {}
  void Add(int rows) {
    if (!report_) return;
    std::lock_guard lock(mutex_);
    done_ += rows;
    report_(done_, height_);
  }

 private:
  const std::function<void(int, int)>& report_;
  int height_;
  std::mutex mutex_;
  int done_ = 0;
};

// Work on a band: `prepare` on the decoding thread right after the band was
// decoded, `consume` afterwards on the working thread. Either may say it has
// seen enough by giving false.
using BandWork = std::function<bool(const Band&)>;

std::uint64_t RingBytes(const JpegHeader& h, int threads) {
  return Ring::BytesFor(threads > 1 ? kRingBands : 1, 3 * static_cast<std::size_t>(h.width));
}

// Bands decoded ahead, before the settings to brighten them with are known:
// the decoding thread has nothing else to do while the command line's
// extremes are found. Within a quarter of a raster beside the search's rows
// and the program itself.
int AheadBands(const JpegHeader& h, std::uint64_t searchBytes) {
  const std::uint64_t stride = 3 * static_cast<std::uint64_t>(std::max(h.width, 1));
  const std::uint64_t raster = stride * static_cast<std::uint64_t>(std::max(h.height, 0));
  const std::uint64_t held = searchBytes + (std::uint64_t{8} << 20);
  const std::uint64_t room = raster / 4 > held ? raster / 4 - held : 0;
  const std::uint64_t bands = room / (stride * kBandRows);
  const std::uint64_t whole = (static_cast<std::uint64_t>(std::max(h.height, 0)) + kBandRows - 1) / kBandRows;
  return static_cast<int>(std::clamp<std::uint64_t>(bands, kRingBands, std::max<std::uint64_t>(whole, kRingBands)));
}

// Runs f, handing any exception to `error` and stopping the pass with it.
template <typename F>
void Capture(std::exception_ptr& error, PassStop& stop, F&& f) {
  try {
    f();
  } catch (...) {
    error = std::current_exception();
    stop.Request();
  }
}

// Of the exceptions of a pass's threads, the one the caller sees: a real
// failure before the cancellations it caused; none when the pass ended
// because its work had seen enough.
void RethrowFirst(std::initializer_list<std::exception_ptr> errors, const PassStop& stop) {
  for (const std::exception_ptr& e : errors) {
    if (!e) continue;
    try {
      std::rethrow_exception(e);
    } catch (const Cancelled&) {
    }
  }
  if (!stop.enough() && stop.token().stop_requested()) throw Cancelled();
}

// Decodes rows [first, last) of a started reader (which has passed `first`
// rows already) band by band through prepare and consume. Gives false when
// either said it had seen enough. With two threads the bands go through
// `ring` when given (else one of the usual size); `ahead` holds bands of it
// decoded already, taken from the ring in order but not yet prepared.
bool Stream(JpegReader& reader, int first, int last, PassStop& stop, int threads, Progress& progress,
            const BandWork& prepare, const BandWork& consume, Ring* ring = nullptr, std::vector<Band>* ahead = nullptr) {
  const std::size_t stride = 3 * static_cast<std::size_t>(reader.Header().width);
  if (threads <= 1) {
    const std::vector<Band> held = ahead ? std::exchange(*ahead, {}) : std::vector<Band>{};
    std::optional<Ring> one;
    std::uint8_t* const* rows = nullptr;
    std::size_t next = 0;
    for (int y = first; y < last;) {
      if (stop.token().stop_requested()) {
        if (stop.enough()) return false;
        throw Cancelled();
      }
      if (next == held.size() && !rows) rows = one.emplace(1, stride).Free();
      const Band band = next < held.size() ? held[next++] : ReadBand(reader, rows, y, std::min(kBandRows, last - y));
      if (!prepare(band) || !consume(band)) {
        stop.Enough();
        return false;
      }
      progress.Add(band.count);
      y = band.first + band.count;
    }
    return true;
  }

  std::optional<Ring> own;
  if (!ring) ring = &own.emplace(kRingBands, stride);
  std::stop_callback wake(stop.token(), [ring] { ring->Stop(); });
  std::exception_ptr workerError, decoderError;
  bool whole = false;
  {
    std::jthread worker([&] {
      Capture(workerError, stop, [&] {
        while (const std::optional<Band> band = ring->Next()) {
          if (!consume(*band)) return stop.Enough();
          progress.Add(band->count);
          ring->Release();
        }
      });
    });
    Capture(decoderError, stop, [&] {
      int y = first;
      if (ahead) {
        for (const Band& band : *ahead) {
          if (!prepare(band)) return stop.Enough();
          ring->Publish(band);
          y = band.first + band.count;
        }
        ahead->clear();
      }
      while (y < last) {
        std::uint8_t* const* rows = ring->Free();
        if (!rows) return;
        const Band band = ReadBand(reader, rows, y, std::min(kBandRows, last - y));
        if (!prepare(band)) return stop.Enough();
        ring->Publish(band);
        y += band.count;
      }
      ring->Close();
      whole = true;
    });
  }  // joins the worker
  RethrowFirst({workerError, decoderError}, stop);
  return whole && !stop.enough();
}

const BandWork kNothing = [](const Band&) { return true; };

// ---- measuring ------------------------------------------------------------

// The photo's row a preview row shows.
int SourceRow(int previewRow, int height, int previewHeight) {
  return static_cast<int>((2 * std::int64_t{previewRow} + 1) * height / (2 * std::int64_t{previewHeight}));
}

// The preview of StretchNearest, filled from the source rows as they pass;
// several parts of a pass may fill it, each its own rows.
class PreviewRows {
 public:
  PreviewRows(Raster& preview, int width, int height, int firstRow)
      : preview_(preview), height_(height), columns_(static_cast<std::size_t>(std::max(preview.width(), 0))) {
    for (int x = 0; x < preview.width(); ++x)
      columns_[static_cast<std::size_t>(x)] =
          3 * static_cast<std::size_t>((2 * std::int64_t{x} + 1) * width / (2 * std::int64_t{preview.width()}));
    while (next_ < preview.height() && Source(next_) < firstRow) ++next_;
  }
  Raster& target() { return preview_; }
  void Take(const Band& band) {
    for (; next_ < preview_.height(); ++next_) {
      const int source = Source(next_);
      if (source >= band.first + band.count) return;
      const std::uint8_t* src = band.rows[source - band.first];
      std::uint8_t* dst = preview_.row(next_);
      for (std::size_t column : columns_) {
        dst[0] = src[column];
        dst[1] = src[column + 1];
        dst[2] = src[column + 2];
        dst += 3;
      }
    }
  }

 private:
  int Source(int previewRow) const { return SourceRow(previewRow, height_, preview_.height()); }
  Raster& preview_;
  int height_;
  std::vector<std::size_t> columns_;
  int next_ = 0;
};

// The measurement of a part of the photo: analysis totals, the pixels at
// its extremes (sampled while their rows are at hand: a recorded position
// only ever moves to a pixel of the band just measured), and its preview rows.
struct Measure {
  RowAnalysis totals;
  PixelSample minPixel, maxPixel;
  std::optional<PreviewRows> preview;

  // The preview shows the filler of a photo that ended early; the analysis leaves it out.
  void Take(const Band& band, int width) {
    for (int i = 0; i < band.decoded; ++i) AnalyseRow(band.rows[i], width, 0, band.first + i, totals);
    Sample(totals.haveMin, totals.minX, totals.minY, band, width, minPixel);
    Sample(totals.haveMax, totals.maxX, totals.maxY, band, width, maxPixel);
    if (preview) preview->Take(band);
  }

  static void Sample(bool have, int x, int y, const Band& band, int width, PixelSample& p) {
    if (!have || y < band.first || y >= band.first + band.count || x < 0 || x >= width) return;
    const std::uint8_t* q = band.rows[y - band.first] + 3 * static_cast<std::size_t>(x);
    p = PixelSample{MakeColour(q[2], q[1], q[0]), x, y, q[2], q[1], q[0]};
  }

  // Adds the measurement of the part below this one. Of equal extremes the
  // one in the leftmost column wins, then the upper part's: the order in
  // which one scan of the whole photo records them.
  void Append(const Measure& below) {
    for (std::size_t p = 0; p < totals.parts.size(); ++p)
      for (std::size_t l = 0; l < 256; ++l) totals.parts[p][l] += below.totals.parts[p][l];
    const RowAnalysis& b = below.totals;
    if (b.haveMin && (!totals.haveMin || b.minL < totals.minL || (b.minL == totals.minL && b.minX < totals.minX))) {
      totals.haveMin = true;
      totals.minL = b.minL;
      totals.minX = b.minX;
      totals.minY = b.minY;
      minPixel = below.minPixel;
    }
    if (b.haveMax && (!totals.haveMax || b.maxL > totals.maxL || (b.maxL == totals.maxL && b.maxX < totals.maxX))) {
      totals.haveMax = true;
      totals.maxL = b.maxL;
      totals.maxX = b.maxX;
      totals.maxY = b.maxY;
      maxPixel = below.maxPixel;
    }
  }
};

// Where a measuring pass splits the photo between its two threads, or 0 to
// read it whole on one. The lower part's reader first passes over the upper
// part, at about half the cost of decoding it, so the upper part is the
// larger one. Not for progressive files: both readers would hold every
// coefficient and read every scan.
int SplitRow(const JpegReader& reader, const PassOptions& options) {
  const JpegHeader& h = reader.Header();
  const int unit = reader.RowsPerBlockRow();
  if (options.threads <= 1 || h.progressive || !reader.CanSkip() || unit <= 0) return 0;
  if (static_cast<std::uint64_t>(h.width) * static_cast<std::uint64_t>(h.height) < options.splitPixels) return 0;
  const int split = static_cast<int>(static_cast<std::int64_t>(h.height) * 64 / 100) / unit * unit;
  return split > 0 && split < h.height ? split : 0;
}

// Measures the whole photo: in two parts on two threads when SplitRow says
// so, else decoding on this thread and measuring on another. `after` sees
// each band once measured and may stop the pass by giving false. Gives
// whether the whole photo was measured, with the measurement in `top`, and
// libjpeg's warning and the rows that held data in `end`.
struct PassEnd {
  std::string warning;
  int decodedRows = 0;
};
bool MeasurePhoto(const files::InputFile& file, JpegReader& reader, PassStop& stop, const PassOptions& options,
                  Progress& progress, Measure& top, const std::function<bool(Measure&)>& after, PassEnd& end) {
  const int width = reader.Header().width, height = reader.Header().height;
  const int split = SplitRow(reader, options);
  if (split == 0) {
    const bool whole = Stream(reader, 0, height, stop, options.threads, progress, kNothing, [&](const Band& band) {
      top.Take(band, width);
      return after(top);
    });
    if (whole) reader.Finish();
    end = {reader.Warning(), reader.DecodedRows()};
    return whole;
  }

  Measure bottom;
  if (top.preview) bottom.preview.emplace(top.preview->target(), width, height, split);
  std::mutex partsLock;  // `after` sees one part's measurement at a time
  std::exception_ptr topError, bottomError;
  bool topWhole = false, bottomWhole = false;
  std::string bottomWarning;
  int bottomDecoded = height;
  auto measured = [&](Measure& part, const Band& band) {
    part.Take(band, width);
    std::lock_guard lock(partsLock);
    return after(part);
  };
  {
    std::jthread lower([&] {
      Capture(bottomError, stop, [&] {
        JpegReader second(file, options.limits, stop.token());
        second.Start(RingBytes(second.Header(), 1));
        second.SkipRows(split);
        bottomWhole = Stream(second, split, height, stop, 1, progress, kNothing,
                             [&](const Band& band) { return measured(bottom, band); });
        if (bottomWhole) second.Finish();
        bottomWarning = second.Warning();  // it has read the whole file, the upper part included
        bottomDecoded = second.DecodedRows();
      });
    });
    Capture(topError, stop, [&] {
      topWhole = Stream(reader, 0, split, stop, 1, progress, kNothing,
                        [&](const Band& band) { return measured(top, band); });
    });
  }  // joins the lower part
  RethrowFirst({topError, bottomError}, stop);
  // The upper part's reader stopped at the split: the file's end, if any, was
  // above it when it saw it, and below it for the lower part's reader alone.
  end = {bottomWarning.empty() ? reader.Warning() : bottomWarning, std::min(reader.DecodedRows(), bottomDecoded)};
  if (!topWhole || !bottomWhole) return false;
  top.Append(bottom);
  return true;
}


// ---- extremes from the coefficients ----------------------------------------------

// The entropy pass on the calling thread and the search on another: the pass
// writes each MCU row into the search's storage at most `lead` rows ahead of
// the last one the search has taken, and the search takes them in order.
class RowHandoff final : public CoefficientSink {
 public:
  RowHandoff(ExtremesSearch& search, const BlockGrid& grid, int lead, const std::stop_token& stop)
      : search_(search), grid_(grid), lead_(lead), wake_(stop, [this] { Halt(); }) {}

  CoefficientBlock* Row(int component, int row) override {
    const int mcuRow = row / grid_.components[static_cast<std::size_t>(component)].v;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return halted_ || mcuRow <= taken_ + lead_; });
    return search_.Row(component, row);
  }
  bool RowDone(int mcuRow) override {
    bool more;
    {
      std::lock_guard lock(mutex_);
      published_ = mcuRow;
      more = !halted_;
    }
    changed_.notify_all();
    return more;
  }
  bool ZeroedRows() const override { return true; }

  // The pass has ended (or failed): no more rows come.
  void Finish() {
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    changed_.notify_all();
  }
  void Halt() {
    {
      std::lock_guard lock(mutex_);
      halted_ = true;
    }
    changed_.notify_all();
  }

  // The search's side: the next row to take, waiting for it when asked to;
  // nothing when there is none (yet, or any more: see Over).
  std::optional<int> Next(bool wait) {
    std::unique_lock lock(mutex_);
    if (wait) changed_.wait(lock, [&] { return halted_ || finished_ || published_ > taken_; });
    if (halted_ || published_ <= taken_) return std::nullopt;
    return taken_ + 1;
  }
  void Taken(int mcuRow, bool more) {
    {
      std::lock_guard lock(mutex_);
      taken_ = mcuRow;
      halted_ = halted_ || !more;
    }
    changed_.notify_all();
  }
  bool Over() {
    std::lock_guard lock(mutex_);
    return halted_ || (finished_ && published_ <= taken_);
  }

 private:
  ExtremesSearch& search_;
  const BlockGrid& grid_;
  const int lead_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int published_ = -1, taken_ = -1;
  bool finished_ = false, halted_ = false;
  std::stop_callback<std::function<void()>> wake_;
};

// Rows the entropy pass may run ahead of the search on the other thread.
constexpr int kSearchLead = 8;

struct Extremes {
  int darkest = 255, brightest = 0;
  bool whole = false;  // false: stopped once `settled` said so
};

// Whether a started reader's extremes are found from its coefficients.
bool Bounded(const JpegReader& reader, const PassOptions& options) {
  const JpegHeader& h = reader.Header();
  return static_cast<std::uint64_t>(h.width) * static_cast<std::uint64_t>(h.height) >= options.boundPixels &&
         ExtremesSearch::Applies(reader);
}

// The extremes of a single-scan photo from its entropy pass (the reader is
// used up), with the search on a second thread when there are two, which
// meanwhile runs `aside` whenever it gives true (work it has to do, a little
// at a time). Nothing when the search gave up.
std::optional<Extremes> SearchSingleScan(JpegReader& reader, const std::function<bool(int, int)>& settled,
                                         PassStop& stop, const PassOptions& options, const std::function<bool()>& aside) {
  const int threads = options.threads;
  if (threads <= 1) {
    ExtremesSearch search(reader, settled, stop.token());
    reader.ReadCoefficients(search);
    if (stop.token().stop_requested()) throw Cancelled();
    if (search.gaveUp()) return std::nullopt;
    return Extremes{search.extremes().darkest, search.extremes().brightest, !search.settled()};
  }
  ExtremesSearch search(reader, settled, stop.token(), kSearchLead);
  const BlockGrid grid = reader.Grid();
  RowHandoff handoff(search, grid, kSearchLead, stop.token());
  std::exception_ptr passError, searchError;
  {
    std::jthread searcher([&] {
      Capture(searchError, stop, [&] {
        Progress progress(options, grid.height);
        bool more = true;
        while (!handoff.Over()) {
          if (const std::optional<int> row = handoff.Next(!more)) {
            handoff.Taken(*row, search.RowDone(*row));
            progress.Add(std::min(grid.mcuHeight, grid.height - *row * grid.mcuHeight));
          } else if (more) {
            more = aside && aside();
          }
        }
      });
      handoff.Halt();  // a failed search must not leave the pass waiting
    });
    Capture(passError, stop, [&] { reader.ReadCoefficients(handoff); });
    handoff.Finish();
  }  // joins the search
  RethrowFirst({passError, searchError}, stop);
  if (stop.token().stop_requested()) throw Cancelled();
  if (search.gaveUp()) return std::nullopt;
  return Extremes{search.extremes().darkest, search.extremes().brightest, !search.settled()};
}

// The extremes by decoding the photo: MeasurePhoto, for a reader of its own.
// The extremes of the parts measured so far, shown to `settled` only when
// they moved, until it says they are settled.
class Settling {
 public:
  explicit Settling(const std::function<bool(int, int)>& settled) : settled_(settled) {}
  // Whether measuring goes on after a part whose totals are `part`.
  bool GoOn(const RowAnalysis& part) {
    const int d = std::min(darkest_, part.minL), b = std::max(brightest_, part.maxL);
    if (d == darkest_ && b == brightest_) return true;
    darkest_ = d;
    brightest_ = b;
    return !(settled_ && settled_(darkest_, brightest_));
  }
  // The extremes: the whole photo's totals, or those it settled on.
  Extremes Result(bool whole, const RowAnalysis& totals) const {
    if (whole) return {totals.minL, totals.maxL, true};
    return {darkest_, brightest_, false};
  }

 private:
  const std::function<bool(int, int)>& settled_;
  int darkest_ = 255, brightest_ = 0;
};

Extremes MeasureDecoding(const files::InputFile& file, JpegReader& reader, const std::function<bool(int, int)>& settled,
                         const PassOptions& options, std::string& warning) {
  PassStop stop(options.stop);
  Progress progress(options, reader.Header().height);
  Settling settling(settled);
  Measure measure;
  PassEnd end;
  const bool whole = MeasurePhoto(
      file, reader, stop, options, progress, measure, [&](Measure& part) { return settling.GoOn(part.totals); }, end);
  warning = std::move(end.warning);
  return settling.Result(whole, measure.totals);
}

// The extremes of a small photo decoded whole into the bands of `whole`
// (listed in `decoded`), measured as its rows come as MeasureDecoding
// measures them; the rows are decoded to the end even once settled, to be
// brightened from memory.
Extremes MeasureHeld(JpegReader& reader, Ring& whole, std::vector<Band>& decoded,
                     const std::function<bool(int, int)>& settled, const PassOptions& options, PassStop& stop) {
  const int width = reader.Header().width, height = reader.Header().height;
  Progress progress(options, height);
  Settling settling(settled);
  Measure measure;
  bool measuring = true;
  for (int y = 0; y < height;) {
    if (stop.token().stop_requested()) throw Cancelled();
    const Band band = ReadBand(reader, whole.Free(), y, std::min(kBandRows, height - y));
    decoded.push_back(band);
    y += band.count;
    if (!measuring) continue;
    measure.Take(band, width);
    progress.Add(band.count);
    measuring = settling.GoOn(measure.totals);
  }
  return settling.Result(measuring, measure.totals);
}

BrightenSettings SettingsOf(const CommandControls& c, const Extremes& e) {
  const ControlValues values{c.strength, ThresholdAfterOpen(c.threshold, e.darkest, e.brightest), c.colourBoost,
                             c.shiftMode};
  return SettingsFor(values, e.darkest);
}

// ---- rendering ------------------------------------------------------------------

// Brightens a started reader's rows with the request's settings and encodes
// them, through `ring` (and the bands decoded `ahead` in it) when given.
Rendered RenderRows(JpegReader& reader, const RenderRequest& request, ByteSink& out, const PassOptions& options,
                    PassStop& stop, Ring* ring = nullptr, std::vector<Band>* ahead = nullptr) {
  Rendered result;
  result.source = reader.Header();
  const int width = result.source.width, height = result.source.height;
  JpegWriter writer(out, width, height, request.quality, result.source.progressive, request.segments, stop.token(),
                    options.threads > 1);
  result.steps.reserve(static_cast<std::size_t>((height + kRowsPerStep - 1) / kRowsPerStep));
  Progress progress(options, height);
  std::optional<BrightenTable> table;
  // Decoding takes a little less than encoding, so the brightening goes
  // with the decoding.
  const BandWork brighten = [&](const Band& band) {
    for (int i = 0; i < band.count; ++i) {
      const int y = band.first + i;
      if (y % kRowsPerStep == 0) {
        result.steps.push_back(request.settingsAt(y, height));
        TableFor(result.steps.back(), request.exponent, table);
      }
      BrightenRow(*table, band.rows[i], band.rows[i], width);
    }
    return true;
  };
  const BandWork encode = [&](const Band& band) {
    writer.WriteRows(band.rows, band.count);
    return true;
  };
  if (!Stream(reader, 0, height, stop, options.threads, progress, brighten, encode, ring, ahead)) throw Cancelled();
  reader.Finish();
  writer.Finish();
  result.warning = reader.Warning();
  result.decodedRows = reader.DecodedRows();
  return result;
}

}  // namespace

// The kept reader and the lock that gives it to one pass at a time.
class DecodedScans {
 public:
  explicit DecodedScans(std::unique_ptr<JpegReader> reader) : reader_(std::move(reader)) {}
  std::mutex lock;
  JpegReader& reader() { return *reader_; }

 private:
  std::unique_ptr<JpegReader> reader_;
};

OpenedPhoto OpenPhoto(const files::InputFile& file, const PassOptions& options, bool withPreview,
                      std::optional<PreviewSize> previewSize) {
  PassStop stop(options.stop);
  auto reader = std::make_unique<JpegReader>(file, options.limits, stop.token());
  OpenedPhoto photo;
  photo.header = reader->Header();
  const int width = photo.header.width, height = photo.header.height;
  const bool keep = options.keepScans && photo.header.progressive;
  reader->Start(RingBytes(photo.header, options.threads), keep ? JpegReader::Scans::Keep : JpegReader::Scans::ReadOnce);
  if (withPreview) {
    const PreviewSize size = previewSize ? *previewSize : FitPreviewSize(width, height);
    photo.preview = Raster(size.width, size.height);
  }
  Progress progress(options, height);
  Measure measure;
  if (withPreview) measure.preview.emplace(photo.preview, width, height, 0);
  PassEnd end;
  MeasurePhoto(file, *reader, stop, options, progress, measure, [](Measure&) { return true; }, end);
  photo.warning = std::move(end.warning);
  photo.decodedRows = end.decodedRows;
  photo.previewDecodedRows = withPreview ? PreviewRowsFrom(photo.decodedRows, height, photo.preview.height()) : 0;

  PhotoAnalysis& a = photo.analysis;
  a.histogram = measure.totals.histogram();
  a.MinLuminance = measure.totals.minL;
  a.MaxLuminance = measure.totals.maxL;
  if (measure.totals.haveMin) a.MinPixel = measure.minPixel;
  if (measure.totals.haveMax) a.MaxPixel = measure.maxPixel;
  // Kept only while a save from them fits in the budget beside them.
  if (keep && reader->KeepsScans() &&
      reader->NeededBytes() + RingBytes(photo.header, options.threads) +
              JpegWriter::WholeImageBytes(width, height, true) <=
          options.limits.memoryBudget)
    photo.scans = std::make_shared<DecodedScans>(std::move(reader));
  return photo;
}

MeasuredSettings SettingsAfterOpen(const files::InputFile& file, const CommandControls& c, const PassOptions& options) {
  const auto settled = [&c](int darkest, int brightest) { return SettingsSettled(c, darkest, brightest); };
  MeasuredSettings m;
  std::optional<Extremes> found;
  {
    PassStop stop(options.stop);
    JpegReader reader(file, options.limits, stop.token());
    const bool progressive = reader.Header().progressive;
    reader.Start(RingBytes(reader.Header(), options.threads) + ExtremesSearch::BytesFor(reader.Header(), kSearchLead),
                 progressive ? JpegReader::Scans::Keep : JpegReader::Scans::ReadOnce);
    if (Bounded(reader, options)) {
      if (progressive) {
        ExtremesSearch search(reader, settled, stop.token());
        search.SearchKept();
        if (!search.gaveUp()) found = Extremes{search.extremes().darkest, search.extremes().brightest, !search.settled()};
      } else {
        found = SearchSingleScan(reader, settled, stop, options, {});
      }
      m.warning = reader.Warning();
      // A damaged photo's coefficients hold the filler of what is missing:
      // its extremes are those of the rows decoded, as the window measures them.
      if (!m.warning.empty()) found.reset();
    } else {
      found = MeasureDecoding(file, reader, settled, options, m.warning);
    }
  }
  if (!found) {  // the search gave up: decode
    JpegReader reader(file, options.limits, options.stop);
    reader.Start(RingBytes(reader.Header(), options.threads));
    found = MeasureDecoding(file, reader, settled, options, m.warning);
  }
  m.wholePhoto = found->whole;
  m.settings = SettingsOf(c, *found);
  return m;
}

Rendered RenderPhoto(const files::InputFile& file, const RenderRequest& request, ByteSink& out, const PassOptions& options) {
  PassStop stop(options.stop);
  if (request.scans) {
    std::lock_guard lock(request.scans->lock);
    JpegReader& reader = request.scans->reader();
    reader.StartAnotherPass(stop.token());
    return RenderRows(reader, request, out, options, stop);
  }
  JpegReader reader(file, options.limits, stop.token());
  const JpegHeader& h = reader.Header();
  reader.Start(RingBytes(h, options.threads) + JpegWriter::WholeImageBytes(h.width, h.height, h.progressive));
  return RenderRows(reader, request, out, options, stop);
}

Rendered RenderWithControls(const files::InputFile& file, const CommandControls& c, const RenderRequest& request,
                            ByteSink& out, const PassOptions& options) {
  const auto settled = [&c](int darkest, int brightest) { return SettingsSettled(c, darkest, brightest); };
  const auto render = [&](JpegReader& reader, const Extremes& found, PassStop& stop, Ring* ring,
                          std::vector<Band>* ahead) {
    RenderRequest fixed = request;
    const BrightenSettings settings = SettingsOf(c, found);
    fixed.settingsAt = [settings](int, int) { return settings; };
    std::vector<JpegSegment> segments;
    if (request.segmentsFor) {
      segments = request.segmentsFor(settings);
      fixed.segments = segments;
    }
    return RenderRows(reader, fixed, out, options, stop, ring, ahead);
  };
  std::string warning;  // the measuring's; the file's damage shows in the rendering's as well
  LibjpegOffsets();  // read while little else is held, and the heap it used given back
  GiveFreeHeapBack();
  PassStop stop(options.stop);
  JpegReader reader(file, options.limits, stop.token());
  const JpegHeader h = reader.Header();
  const std::uint64_t searchBytes = ExtremesSearch::BytesFor(h, kSearchLead);

  if (h.progressive) {
    // One reading of the scans: the extremes from the kept coefficients (or
    // from a first pass over them), then the pass that is encoded.
    reader.Start(RingBytes(h, options.threads) + searchBytes + JpegWriter::WholeImageBytes(h.width, h.height, true),
                 JpegReader::Scans::Keep);
    std::optional<Extremes> found;
    if (Bounded(reader, options)) {
      ExtremesSearch search(reader, settled, stop.token());
      search.SearchKept();
      if (!search.gaveUp()) found = Extremes{search.extremes().darkest, search.extremes().brightest, !search.settled()};
    }
    if (!reader.Warning().empty()) found.reset();  // damaged: only its decoded rows count, as in the window
    if (!found) found = MeasureDecoding(file, reader, settled, options, warning);
    reader.StartAnotherPass(stop.token());
    reader.LastPass();
    // At the start of this pass all the scans' coefficients are held and the
    // encoder's begin to fill: keep the rest small. The heap the measuring
    // left free goes back to the system, and the ring is short (decoding the
    // kept scans takes much less than encoding).
    GiveFreeHeapBack();
    Ring ring(options.threads > 1 ? 4 : 1, 3 * static_cast<std::size_t>(h.width));
    return render(reader, *found, stop, options.threads > 1 ? &ring : nullptr, nullptr);
  }

  const std::size_t stride = 3 * static_cast<std::size_t>(h.width);
  // A photo too small for the search to pay is decoded once and held whole
  // (no more than the search would hold for a photo of its size), instead
  // of being decoded again for the rendering.
  const int bands = (h.height + kBandRows - 1) / kBandRows;
  if (static_cast<std::uint64_t>(h.width) * static_cast<std::uint64_t>(h.height) < options.boundPixels &&
      reader.NeededBytes() + Ring::BytesFor(bands, stride) <= options.limits.memoryBudget) {
    reader.Start(Ring::BytesFor(bands, stride));
    Ring whole(bands, stride);
    std::vector<Band> decoded;
    const Extremes found = MeasureHeld(reader, whole, decoded, settled, options, stop);
    return render(reader, found, stop, &whole, &decoded);
  }
  const int ahead = options.threads > 1 ? AheadBands(h, searchBytes) : 1;
  const std::uint64_t held = Ring::BytesFor(ahead, stride) + searchBytes;
  reader.Start(held);
  if (!Bounded(reader, options)) {
    const Extremes found = MeasureDecoding(file, reader, settled, options, warning);
    JpegReader again(file, options.limits, stop.token());
    again.Start(RingBytes(h, options.threads));
    return render(again, found, stop, nullptr, nullptr);
  }
  // The photo is decoded once, for the rendering; while its extremes are
  // found from the coefficients, the second thread starts decoding it.
  JpegReader decoder(file, options.limits, stop.token());
  decoder.Start(held);
  Ring ring(ahead, stride);
  std::vector<Band> decoded;
  int next = 0;
  const auto decodeAhead = [&] {
    if (next >= h.height || !ring.HasRoom()) return false;
    std::uint8_t* const* rows = ring.Free();
    const Band band = ReadBand(decoder, rows, next, std::min(kBandRows, h.height - next));
    decoded.push_back(band);
    next += band.count;
    return true;
  };
  std::optional<Extremes> found = SearchSingleScan(reader, settled, stop, options, decodeAhead);
  if (!reader.Warning().empty()) found.reset();  // damaged: only its decoded rows count, as in the window
  if (!found) {  // the search gave up: measure by decoding
    JpegReader again(file, options.limits, stop.token());
    again.Start(RingBytes(h, options.threads));
    found = MeasureDecoding(file, again, settled, options, warning);
  }
  return render(decoder, *found, stop, options.threads > 1 ? &ring : nullptr, &decoded);
}

int PreviewRowsFrom(int decodedRows, int height, int previewHeight) {
  int rows = 0;
  while (rows < previewHeight && SourceRow(rows, height, previewHeight) < decodedRows) ++rows;
  return rows;
}

SettingsAt Replay(std::vector<BrightenSettings> steps) {
  return [steps = std::move(steps)](int row, int) {
    if (steps.empty()) return BrightenSettings{};
    const auto step = static_cast<std::size_t>(row / kRowsPerStep);
    return steps.at(std::min(step, steps.size() - 1));
  };
}

}  // namespace imaging
