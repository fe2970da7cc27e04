#include "commands.h"
#include "batch.h"
#include "terminal_text.h"

#include "prosvitek/imaging/errors.h"
#include "prosvitek/files/input_file.h"
#include "prosvitek/files/line_log.h"
#include "prosvitek/files/atomic_file.h"
#include "prosvitek/files/write_target.h"
#include "prosvitek/imaging/metadata.h"
#include "prosvitek/imaging/pipeline.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <ostream>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace cli {
namespace {

namespace fs = std::filesystem;

// The encoded photo goes straight into the target's temporary file, which is
// created with the first bytes: a photo refused at its header leaves nothing
// behind, and one that fails later takes its temporary file with it.
class OutputFile final : public imaging::ByteSink {
 public:
  explicit OutputFile(std::string target) : target_(std::move(target)) {}
  void Write(std::span<const std::uint8_t> bytes) override {
    if (!file_) file_.emplace(target_);
    file_->Write(bytes);
  }
  // An encoder always writes something; never put an empty file in place.
  // Gives the save's warning, if any.
  std::optional<std::string> Commit() {
    if (!file_) throw imaging::FileError("Soubor nelze uložit: " + target_ + " (není co zapsat)");
    return file_->Commit();
  }

 private:
  std::string target_;
  std::optional<files::AtomicFile> file_;
};

// The same file the window writes when the photo is opened, the controls set
// and the result saved. The threshold needs the photo's extremes before the
// first pixel is brightened: the pipeline finds them first (see
// RenderWithControls), then brightens and encodes. Gives the settings, and
// the warnings about a photo that was written all the same (libjpeg's
// complaint about damaged data, the save's own), one a line.
struct PhotoResult {
  std::string warnings;
  imaging::BrightenSettings settings;
};
PhotoResult BrightenPhoto(const BatchJob& job, const BrightenOptions& o, const imaging::PassOptions& options) {
  const files::InputFile input = files::OpenInputFile(job.input);
  const imaging::CommandControls controls{o.strength, o.threshold, o.boost, o.shift};
  imaging::RenderRequest request;
  request.exponent = imaging::ExponentFor(o.strength);
  request.quality = o.quality;
  // As the window's save: the colour profile and the orientation always, the
  // rest when asked, with the EXIF thumbnail made from the brightened photo
  // once the settings are known. The segments are held through the
  // rendering, so they come out of the photo's memory budget: counted before
  // anything is decoded, with room for the renewed thumbnail.
  imaging::CarryRequest carry{o.keepMetadata, request.exponent, {}, options.limits, options.stop,
                              options.limits.memoryBudget};
  std::uint64_t held = o.keepMetadata ? imaging::kMaxSegmentBody : 0;
  for (const imaging::JpegSegment& segment : imaging::SegmentsToCarry(input, carry)) held += segment.body.size();
  imaging::PassOptions pass = options;
  pass.limits.memoryBudget -= std::min(held, pass.limits.memoryBudget);
  request.segmentsFor = [&](const imaging::BrightenSettings& settings) {
    carry.settingsAt = [settings](int, int) { return settings; };
    return imaging::SegmentsToCarry(input, carry);
  };
  OutputFile out(job.output);
  const imaging::Rendered rendered = imaging::RenderWithControls(input, controls, request, out, pass);
  PhotoResult result{imaging::PhotoWarningText(rendered.warning, rendered.decodedRows, rendered.source.height),
                     rendered.steps.empty() ? imaging::BrightenSettings{} : rendered.steps.front()};
  if (std::optional<std::string> saved = out.Commit())
    result.warnings += (result.warnings.empty() ? "" : "\n") + *saved;
  return result;
}

// One line about a photo, its name and every text escaped for the terminal.
void Report(std::ostream& err, const std::string& photo, const std::string& text) {
  err << TerminalLines(photo + ": " + text) << "\n";
}

// The folder a result of --tree goes into, made when its first photo is written.
void CreateFolderFor(const std::string& output) {
  const fs::path folder = fs::path(output).parent_path();
  std::error_code error;
  if (folder.empty() || fs::create_directories(folder, error) || fs::is_directory(folder)) return;
  throw files::FileError(folder.string() + ": složku nelze vytvořit" +
                         (error ? " (" + error.message() + ")" : std::string()));
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// One photo of a batch: skipped, brightened, or the reason it was not.
PhotoRecord DoPhoto(const BatchJob& job, const BrightenOptions& o, const imaging::PassOptions& pass) {
  const auto started = std::chrono::steady_clock::now();
  PhotoRecord r{job.input, job.output, PhotoStatus::Failed, {}, job.refusal, {}, 0};
  if (r.error.empty() && o.skipExisting && IsRegularFile(job.output)) {
    // Results are only ever renamed into place: one that exists is whole.
    r.status = PhotoStatus::Skipped;
  } else if (r.error.empty()) {
    try {
      if (o.tree) CreateFolderFor(job.output);
      PhotoResult result = BrightenPhoto(job, o, pass);
      r.status = PhotoStatus::Done;
      r.warning = std::move(result.warnings);
      r.settings = result.settings;
    } catch (const std::exception& e) {
      r.error = imaging::PhotoErrorText(e);
    }
  }
  r.milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
  return r;
}

// The photos named on the command line, then those of the list.
std::vector<ListEntry> PhotosToDo(const BrightenOptions& o) {
  std::vector<ListEntry> entries;
  for (const std::string& photo : o.photos) entries.push_back({photo, {}, 0});
  if (!o.filesFrom.empty()) {
    std::vector<ListEntry> listed = ReadListFile(o.filesFrom, o.nulSeparated ? '\0' : '\n');
    entries.insert(entries.end(), std::make_move_iterator(listed.begin()), std::make_move_iterator(listed.end()));
  }
  return entries;
}

}  // namespace

int Brighten(const BrightenOptions& o, std::ostream& err) {
  if (o.photos.empty() && o.filesFrom.empty()) throw UsageError{"chybí fotky: FOTKA... nebo --files-from SEZNAM"};
  if (o.nulSeparated && o.filesFrom.empty()) throw UsageError{"-0 patří k --files-from"};
  if (o.tree && o.outputDir.empty()) throw UsageError{"--tree patří k --out-dir"};
  if (o.report == "-" && o.output == "-") throw UsageError{"výstup i zpráva by šly na standardní výstup"};
  std::vector<ListEntry> entries;
  try {
    entries = PhotosToDo(o);
  } catch (const files::FileError& e) {
    err << e.what() << "\n";
    return kExitFailed;
  }
  // A problem of the list is told by its place there: the name may be empty or span lines.
  const std::string listName = o.filesFrom == "-" ? "standardní vstup" : o.filesFrom;
  auto label = [&](const BatchJob& job) {
    return job.input.empty() ? listName + ":" + std::to_string(job.number) : job.input;
  };

  std::vector<BatchJob> jobs;
  std::vector<std::size_t> clashes;
  if (!o.output.empty()) {
    if (entries.size() != 1) throw UsageError{"-o patří k jedné fotce; pro víc fotek použijte --out-dir"};
    const ListEntry& photo = entries.front();
    if (files::SameTarget(o.output, photo.path) || o.output == photo.path)
      throw UsageError{"výstup je sama vstupní fotka: " + TerminalText(o.output)};
    if (o.output == "-" && ::isatty(STDOUT_FILENO) == 1)
      throw UsageError{"standardní výstup je terminál; fotku přesměrujte do souboru nebo roury"};
    jobs.push_back({photo.path, o.output, photo.problem, photo.number});
  } else {
    std::error_code ec;
    fs::create_directories(o.outputDir, ec);
    // A folder we may not create is a failure of the run, not of its usage.
    if (ec || !fs::is_directory(o.outputDir)) {
      Report(err, o.outputDir, "složku nelze vytvořit" + (ec ? " (" + ec.message() + ")" : std::string()));
      return kExitFailed;
    }
    BatchPlan plan = PlanBatch(entries, o.outputDir, o.tree);
    jobs = std::move(plan.jobs);
    clashes = std::move(plan.clashes);
  }

  std::optional<files::LineLog> report;
  try {
    // Appended to, so a resumed batch adds to the first run's lines and several
    // processes may share one; each line goes out as soon as its photo is finished.
    if (!o.report.empty()) report.emplace(o.report, "zprávu");
  } catch (const files::FileError& e) {
    err << e.what() << "\n";
    return kExitFailed;
  }
  bool reportBroken = false;
  auto record = [&](const PhotoRecord& r) {
    if (!report || reportBroken) return;
    if (auto failure = report->Append(ReportLine(r, o))) {
      err << *failure << "\n";
      reportBroken = true;
    }
  };

  // Two photos that would write one file: the second would replace the first
  // one's result, so nothing starts until the user has chosen other names.
  if (!clashes.empty()) {
    for (std::size_t i : clashes) {
      Report(err, jobs[i].input, jobs[i].refusal);
      record({jobs[i].input, jobs[i].output, PhotoStatus::Failed, {}, jobs[i].refusal, {}, 0});
    }
    const std::size_t n = clashes.size();
    err << "dávka nezačala: " << n
        << (n == 1 ? " fotka by zapsala" : n < 5 ? " fotky by zapsaly" : " fotek by zapsalo")
        << " výsledek jiné fotky; složky zachová --tree\n";
    return kExitFailed;
  }

  // -j N: N threads of work. As many photos at once as there are threads,
  // each on one; threads left over go to the photos, two at most to each
  // (one decodes, the other encodes).
  const std::size_t threads =
      o.jobs > 0 ? static_cast<std::size_t>(o.jobs) : std::max(1u, std::thread::hardware_concurrency());
  const std::size_t workers = std::max<std::size_t>(1, std::min(threads, jobs.size()));
  imaging::PassOptions pass;
  pass.limits.memoryBudget = o.memoryBudget;
  pass.threads = threads / workers >= 2 ? 2 : 1;
  std::atomic<std::size_t> next{0};
  std::size_t done = 0, failed = 0, skipped = 0, warned = 0;
  std::mutex reportLock;
  Progress progress(err, jobs.size());
  auto work = [&] {
    for (std::size_t i = next++; i < jobs.size(); i = next++) {
      const BatchJob& job = jobs[i];
      PhotoRecord r = DoPhoto(job, o, pass);
      std::lock_guard lock(reportLock);
      if (Terminating()) return;
      if (r.status == PhotoStatus::Failed) {
        ++failed;
        progress.ClearLine();
        Report(err, label(job), r.error);
        if (job.input.empty()) r.error = label(job) + ": " + r.error;
      }
      done += r.status == PhotoStatus::Done;
      skipped += r.status == PhotoStatus::Skipped;
      if (!r.warning.empty()) {
        // Written, but as far as libjpeg could read it or not yet safe from a
        // power cut; the user has to know.
        ++warned;
        progress.ClearLine();
        Report(err, job.input, "varování: " + r.warning);
      }
      record(r);
      progress.Report(done + failed + skipped, skipped);
    }
  };
  std::vector<std::thread> pool;
  for (std::size_t i = 1; i < workers; ++i) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  progress.Finish(done, failed, skipped, warned);
  return failed || warned || reportBroken ? kExitFailed : kExitOk;
}

}  // namespace cli
