#include "cli/commands.h"

#include "imaging/errors.h"
#include "files/input_file.h"
#include "files/atomic_file.h"
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

#include <sys/stat.h>
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
  void Commit() {
    if (!file_) throw imaging::FileError("Soubor nelze uložit: " + target_ + " (není co zapsat)");
    file_->Commit();
  }

 private:
  std::string target_;
  std::optional<files::AtomicFile> file_;
};

// The same file the window writes when the photo is opened, the controls set
// and the result saved. The threshold needs the photo's extremes before the
// first pixel is brightened: the pipeline finds them first (see
// RenderWithControls), then brightens and encodes. Gives libjpeg's complaint
// about damaged data, if any.
std::string BrightenPhoto(const Job& job, const BrightenOptions& o, const imaging::PassOptions& pass) {
  const files::InputFile input = files::OpenInputFile(job.input);
  const imaging::CommandControls controls{o.strength, o.threshold, o.boost, o.shift};
  // As the window's save: the colour profile and the orientation always, the rest when asked.
  const std::vector<imaging::JpegSegment> segments = imaging::SegmentsToCarry(input, o.keepMetadata);
  imaging::RenderRequest request;
  request.exponent = imaging::ExponentFor(o.strength);
  request.quality = o.quality;
  request.segments = segments;
  OutputFile out(job.output);
  const imaging::Rendered rendered = imaging::RenderWithControls(input, controls, request, out, pass);
  out.Commit();
  return rendered.warning;
}

// A file's identity, whatever the path that names it.
using FileId = std::pair<dev_t, ino_t>;
std::optional<FileId> IdOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileId{st.st_dev, st.st_ino};
}

bool SameFile(const std::string& a, const std::string& b) {
  const auto ia = IdOf(a), ib = IdOf(b);
  return ia && ib && *ia == *ib;
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
    if (SameFile(o.output, o.photos.front()) || o.output == o.photos.front())
      throw UsageError{"výstup je sama vstupní fotka: " + o.output};
    jobs.push_back({o.photos.front(), o.output, {}});
  } else {
    std::error_code ec;
    fs::create_directories(o.outputDir, ec);
    // A folder we may not create is a failure of the run, not of its usage.
    if (ec || !fs::is_directory(o.outputDir)) {
      err << o.outputDir << ": složku nelze vytvořit" << (ec ? " (" + ec.message() + ")" : std::string()) << "\n";
      return kExitFailed;
    }
    std::map<FileId, std::string> inputs;
    for (const std::string& photo : o.photos)
      if (auto id = IdOf(photo)) inputs.emplace(*id, photo);
    std::map<std::string, std::string> taken;  // output name -> the input that has it
    for (const std::string& photo : o.photos) {
      Job job{photo, (fs::path(o.outputDir) / fs::path(photo).filename()).string(), {}};
      const auto id = IdOf(job.output);
      const auto input = id ? inputs.find(*id) : inputs.end();
      if (auto [it, fresh] = taken.emplace(job.output, photo); !fresh)
        job.refusal = "stejný název výstupu jako " + it->second;
      else if (input != inputs.end())
        job.refusal = "výstup by přepsal vstupní fotku " + input->second;
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
      std::string reason = jobs[i].refusal, warning;
      if (reason.empty()) {
        try {
          warning = BrightenPhoto(jobs[i], o, pass);
        } catch (const std::bad_alloc&) {
          reason = "nedostatek paměti";
        } catch (const std::exception& e) {
          reason = e.what();
        }
      }
      std::lock_guard lock(reportLock);
      if (reason.empty()) {
        ++done;
      } else {
        ++failed;
        progress.ClearLine();
        err << jobs[i].input << ": " << reason << "\n";
      }
      if (!warning.empty()) {
        // Written as far as libjpeg could read it; the user has to know.
        ++warned;
        progress.ClearLine();
        err << jobs[i].input << ": varování: " << warning << "\n";
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
