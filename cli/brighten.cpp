#include "cli/commands.h"
#include "cli/terminal_text.h"

#include "imaging/errors.h"
#include "files/input_file.h"
#include "files/atomic_file.h"
#include "files/write_target.h"
#include "imaging/metadata.h"
#include "imaging/pipeline.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <thread>

#include <unistd.h>

namespace cli {
namespace {

namespace fs = std::filesystem;

struct Job {
  std::string input;
  std::string output;
  std::string refusal;  // set when the job must not run at all
};

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
// first pixel is brightened, so the photo is decoded twice: measured (only
// until the rest of it cannot change the settings), then brightened and
// encoded. Gives the warnings about a photo that was written all the same:
// libjpeg's complaint about damaged data, the save's own.
std::vector<std::string> BrightenPhoto(const Job& job, const BrightenOptions& o, const imaging::PassOptions& options) {
  const files::InputFile input = files::OpenInputFile(job.input);
  const imaging::CommandControls controls{o.strength, o.threshold, o.boost, o.shift};
  const imaging::MeasuredSettings measured = imaging::SettingsAfterOpen(input, controls, options);
  imaging::RenderRequest request;
  request.exponent = imaging::ExponentFor(o.strength);
  request.settingsAt = [&](int, int) { return measured.settings; };
  // As the window's save: the colour profile and the orientation always, the
  // rest when asked, with the EXIF thumbnail made from the brightened photo.
  // The segments are held through the rendering, so they come out of the
  // photo's memory budget.
  const std::vector<imaging::JpegSegment> segments =
      imaging::SegmentsToCarry(input, {o.keepMetadata, request.exponent, request.settingsAt, options.limits,
                                       options.stop, options.limits.memoryBudget});
  imaging::PassOptions pass = options;
  for (const imaging::JpegSegment& segment : segments) pass.limits.memoryBudget -= segment.body.size();
  request.quality = o.quality;
  request.segments = segments;
  OutputFile out(job.output);
  const imaging::Rendered rendered = imaging::RenderPhoto(input, request, out, pass);
  std::vector<std::string> warnings;
  if (std::string damaged = imaging::PhotoWarningText(rendered.warning, rendered.decodedRows, rendered.source.height);
      !damaged.empty())
    warnings.push_back(std::move(damaged));
  if (std::optional<std::string> saved = out.Commit()) warnings.push_back(std::move(*saved));
  return warnings;
}

// The files a batch's outputs reach, whatever the paths (links, "..") that
// lead there: an output may replace neither an input nor another output.
class OutputTargets {
 public:
  explicit OutputTargets(const std::vector<std::string>& photos) {
    for (const std::string& photo : photos)
      if (auto id = files::IdentifyTarget(photo)) inputs_.emplace(*id, photo);
  }
  // Why the output of `photo` may not be written; nothing when it may.
  std::optional<std::string> Clash(const std::string& output, const std::string& photo) {
    const std::optional<files::TargetId> id = files::IdentifyTarget(output);
    if (!id) return std::nullopt;  // writing it fails with the reason
    if (auto input = inputs_.find(*id); input != inputs_.end()) return "výstup by přepsal vstupní fotku " + input->second;
    if (auto [it, fresh] = outputs_.emplace(*id, photo); !fresh)
      return "výstup vede do stejného souboru jako výstup fotky " + it->second;
    return std::nullopt;
  }

 private:
  std::map<files::TargetId, std::string> inputs_;
  std::map<files::TargetId, std::string> outputs_;
};

// One line about a photo, its name and every text escaped for the terminal.
void Report(std::ostream& err, const std::string& photo, const std::string& text) {
  err << TerminalLines(photo + ": " + text) << "\n";
}

class Progress {
 public:
  Progress(std::ostream& err, std::size_t total) : err_(err), total_(total), tty_(::isatty(2) == 1) {}

  void Report(std::size_t done) {
    if (!tty_) return;
    const double seconds = Elapsed();
    constexpr int kBar = 30;
    const int filled = total_ ? static_cast<int>(kBar * done / total_) : kBar;
    char line[160];
    std::snprintf(line, sizeof line, "\r[%-*s] %zu/%zu  %.1f fotek/s", kBar, std::string(static_cast<std::size_t>(filled), '#').c_str(),
                  done, total_, seconds > 0 ? static_cast<double>(done) / seconds : 0.0);
    err_ << line << std::flush;
  }
  void ClearLine() {
    if (tty_) err_ << "\r" << std::string(60, ' ') << "\r";
  }
  void Finish(std::size_t done, std::size_t failed, std::size_t warned) {
    ClearLine();
    char line[160];
    if (warned)
      std::snprintf(line, sizeof line, "hotovo: %zu, selhalo: %zu, čas: %.1f s, s varováním: %zu\n", done, failed,
                    Elapsed(), warned);
    else
      std::snprintf(line, sizeof line, "hotovo: %zu, selhalo: %zu, čas: %.1f s\n", done, failed, Elapsed());
    err_ << line;
  }
  double Elapsed() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::ostream& err_;
  std::size_t total_;
  bool tty_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace

int Brighten(const BrightenOptions& o, std::ostream& err) {
  std::vector<Job> jobs;
  if (!o.output.empty()) {
    if (o.photos.size() != 1) throw UsageError{"-o patří k jedné fotce; pro víc fotek použijte --out-dir"};
    if (files::SameTarget(o.output, o.photos.front()) || o.output == o.photos.front())
      throw UsageError{"výstup je sama vstupní fotka: " + TerminalText(o.output)};
    if (o.output == "-" && ::isatty(STDOUT_FILENO) == 1)
      throw UsageError{"standardní výstup je terminál; fotku přesměrujte do souboru nebo roury"};
    jobs.push_back({o.photos.front(), o.output, {}});
  } else {
    std::error_code ec;
    fs::create_directories(o.outputDir, ec);
    // A folder we may not create is a failure of the run, not of its usage.
    if (ec || !fs::is_directory(o.outputDir)) {
      Report(err, o.outputDir, "složku nelze vytvořit" + (ec ? " (" + ec.message() + ")" : std::string()));
      return kExitFailed;
    }
    OutputTargets targets(o.photos);
    std::map<std::string, std::string> taken;  // output name -> the input that has it
    for (const std::string& photo : o.photos) {
      Job job{photo, (fs::path(o.outputDir) / fs::path(photo).filename()).string(), {}};
      if (auto [it, fresh] = taken.emplace(job.output, photo); !fresh)
        job.refusal = "stejný název výstupu jako " + it->second;
      else if (std::optional<std::string> clash = targets.Clash(job.output, photo))
        job.refusal = std::move(*clash);
      jobs.push_back(std::move(job));
    }
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
  std::atomic<std::size_t> next{0}, done{0}, failed{0}, warned{0};
  std::mutex reportLock;
  Progress progress(err, jobs.size());
  auto work = [&] {
    for (std::size_t i = next++; i < jobs.size(); i = next++) {
      std::string reason = jobs[i].refusal;
      std::vector<std::string> warnings;
      if (reason.empty()) {
        try {
          warnings = BrightenPhoto(jobs[i], o, pass);
        } catch (const std::exception& e) {
          reason = imaging::PhotoErrorText(e);
        }
      }
      std::lock_guard lock(reportLock);
      if (reason.empty()) {
        ++done;
      } else {
        ++failed;
        progress.ClearLine();
        Report(err, jobs[i].input, reason);
      }
      if (!warnings.empty()) {
        // Written, but as far as libjpeg could read it or not yet safe from a
        // power cut; the user has to know.
        ++warned;
        progress.ClearLine();
        for (const std::string& warning : warnings) Report(err, jobs[i].input, "varování: " + warning);
      }
      progress.Report(done + failed);
    }
  };
  std::vector<std::thread> pool;
  for (std::size_t i = 1; i < workers; ++i) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  progress.Finish(done, failed, warned);
  return failed || warned ? kExitFailed : kExitOk;
}

}  // namespace cli
