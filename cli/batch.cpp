#include "batch.h"

#include "prosvitek/files/write_target.h"

#include "prosvitek/files/errors.h"
#include "prosvitek/text/display_text.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <istream>
#include <map>
#include <ostream>
#include <system_error>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace cli {
namespace {

namespace fs = std::filesystem;

// No system call takes a longer path; a longer "name" is a list read
// wrongly (a binary file, a missing -0), and keeping it would only cost memory.
constexpr std::size_t kLongestName = PATH_MAX;

// A path made absolute, with "." and ".." resolved as written and no
// trailing separator, so that two spellings of one place compare equal.
fs::path Normal(const std::string& path) {
  std::error_code error;
  fs::path normal = fs::absolute(path, error);
  if (error) normal = path;
  normal = normal.lexically_normal();
  if (!normal.has_filename() && normal.has_relative_path()) normal = normal.parent_path();
  return normal;
}

// A name for JSON, and the bytes themselves beside it when they are not UTF-8.
void SetPath(nlohmann::ordered_json& j, const char* key, const std::string& path) {
  j[key] = path;
  if (text::IsValidUtf8(path)) return;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const unsigned char c : path) hex.append({kHex[c >> 4], kHex[c & 15]});
  j[std::string(key) + "Hex"] = hex;
}

nlohmann::ordered_json TextOrNull(const std::string& s) {
  return s.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(s);
}

std::atomic<bool> terminating{false};
static_assert(std::atomic<bool>::is_always_lock_free);

const char* StatusName(PhotoStatus status) {
  switch (status) {
    case PhotoStatus::Done:
      return "done";
    case PhotoStatus::Skipped:
      return "skipped";
    case PhotoStatus::Failed:
      break;
  }
  return "failed";
}

}  // namespace

void NoteTermination() noexcept { terminating.store(true); }
bool Terminating() noexcept { return terminating.load(); }

std::vector<ListEntry> ReadPathList(std::istream& in, char separator) {
  std::vector<ListEntry> entries;
  std::string name;
  bool pending = false, tooLong = false;
  auto finish = [&] {
    ListEntry entry;
    entry.number = entries.size() + 1;
    if (tooLong)
      entry.problem = "název je delší než " + std::to_string(kLongestName) + " bajtů";
    else if (name.empty())
      entry.problem = separator == '\n' ? "prázdný řádek" : "prázdný název";
    else if (separator == '\0' && name.find('\n') != std::string::npos)
      entry.problem = "název obsahuje konec řádku";
    else if (separator != '\0' && name.find('\0') != std::string::npos)
      entry.problem = "název obsahuje znak NUL (seznam oddělený znaky NUL se čte s volbou -0)";
    else
      entry.path = std::move(name);
    entries.push_back(std::move(entry));
    name.clear();
    pending = tooLong = false;
  };
  char buffer[1 << 16];
  while (in) {
    in.read(buffer, sizeof buffer);
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
      const char c = buffer[i];
      if (c == separator) {
        finish();
        continue;
      }
      pending = true;
      if (tooLong) continue;
      if (name.size() == kLongestName) {
        tooLong = true;
        name = std::string();  // gives the memory back
      } else {
        name.push_back(c);
      }
    }
  }
  if (pending) finish();
  return entries;
}

std::vector<ListEntry> ReadListFile(const std::string& path, char separator) {
  auto failure = [&](int error) {
    return files::FileError((path == "-" ? std::string("standardní vstup") : path) + ": seznam nelze číst (" +
                            std::error_code(error, std::generic_category()).message() + ")");
  };
  if (path == "-") {
    std::vector<ListEntry> entries = ReadPathList(std::cin, separator);
    if (std::cin.bad()) throw failure(EIO);
    return entries;
  }
  // A list may come through a pipe (<(find ...)), so it is read as a stream;
  // a folder is refused by name rather than read as an empty list.
  std::error_code kind;
  if (fs::is_directory(path, kind)) throw failure(EISDIR);
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw failure(errno ? errno : ENOENT);
  std::vector<ListEntry> entries = ReadPathList(in, separator);
  if (in.bad()) throw failure(EIO);
  return entries;
}

std::optional<std::string> TreeOutput(const std::string& input, const std::string& root, const std::string& outDir) {
  const fs::path below = Normal(input).lexically_relative(Normal(root));
  if (below.empty() || below == "." || *below.begin() == "..") return std::nullopt;
  return (fs::path(outDir) / below).string();
}

BatchPlan PlanBatch(const std::vector<ListEntry>& entries, const std::string& outDir,
                    const std::optional<std::string>& treeRoot) {
  BatchPlan plan;
  plan.jobs.reserve(entries.size());
  // Every input first: an output may be an input listed later.
  std::map<std::string, std::size_t> byPath;
  std::map<files::TargetId, std::size_t> byFile;
  for (const ListEntry& entry : entries) {
    BatchJob job{entry.path, {}, entry.problem, entry.number};
    if (job.refusal.empty()) {
      const std::size_t index = plan.jobs.size();
      std::optional<std::size_t> first;
      if (auto [at, fresh] = byPath.emplace(Normal(entry.path).string(), index); !fresh) first = at->second;
      if (auto id = files::IdentifyTarget(entry.path); id && !first)
        if (auto [at, fresh] = byFile.emplace(*id, index); !fresh) first = at->second;
      if (first) {
        const std::string& earlier = plan.jobs[*first].input;
        job.refusal =
            "fotka je v dávce podruhé" + (earlier != entry.path ? " (poprvé jako " + earlier + ")" : std::string());
      }
    }
    plan.jobs.push_back(std::move(job));
  }

  std::map<std::string, std::size_t> byOutput;
  // What the outputs reach, whatever the paths (links, "..") that lead there.
  std::map<files::TargetId, std::size_t> byTarget;
  for (std::size_t i = 0; i < plan.jobs.size(); ++i) {
    BatchJob& job = plan.jobs[i];
    if (!job.refusal.empty()) continue;
    if (treeRoot) {
      if (auto output = TreeOutput(job.input, *treeRoot, outDir))
        job.output = std::move(*output);
      else
        job.refusal = "neleží ve složce " + *treeRoot + " (--tree)";
    } else {
      const fs::path name = fs::path(job.input).filename();
      if (name.empty() || name == "." || name == "..")
        job.refusal = "není název souboru";
      else
        job.output = (fs::path(outDir) / name).string();
    }
    if (!job.refusal.empty()) continue;
    if (auto [at, fresh] = byOutput.emplace(fs::path(job.output).lexically_normal().string(), i); !fresh) {
      job.refusal = "stejný název výstupu jako " + plan.jobs[at->second].input;
      plan.clashes.push_back(i);
    } else if (auto id = files::IdentifyTarget(job.output)) {
      if (auto input = byFile.find(*id); input != byFile.end())
        job.refusal = "výstup by přepsal vstupní fotku " + plan.jobs[input->second].input;
      else if (auto [other, added] = byTarget.emplace(*id, i); !added)
        job.refusal = "výstup vede do stejného souboru jako výstup fotky " + plan.jobs[other->second].input;
    }
  }
  return plan;
}

std::string ReportLine(const PhotoRecord& record, const BrightenOptions& options) {
  nlohmann::ordered_json j;
  SetPath(j, "input", record.input);
  SetPath(j, "output", record.output);
  nlohmann::ordered_json settings;
  settings["strength"] = options.strength;
  if (record.settings) {
    settings["threshold"] = record.settings->threshold;
    settings["darkestLuminance"] = record.settings->darkestLuminance;
  } else {
    settings["threshold"] = options.threshold ? nlohmann::ordered_json(*options.threshold) : nlohmann::ordered_json();
  }
  settings["boost"] = options.boost;
  settings["shift"] = options.shift;
  settings["quality"] = options.quality;
  settings["keepMetadata"] = options.keepMetadata;
  j["settings"] = std::move(settings);
  j["status"] = StatusName(record.status);
  j["warning"] = TextOrNull(record.warning);
  j["error"] = TextOrNull(record.error);
  j["milliseconds"] = record.milliseconds;
  return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

Progress::Progress(std::ostream& err, std::size_t total) : err_(err), total_(total), tty_(::isatty(2) == 1) {}

double Progress::Elapsed() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Progress::Report(std::size_t finished, std::size_t skipped) {
  if (!tty_) return;
  const auto now = std::chrono::steady_clock::now();
  if (finished < total_ && now - lastDrawn_ < std::chrono::milliseconds(100)) return;
  lastDrawn_ = now;
  const double seconds = Elapsed();
  // Skipped photos cost nothing: the rate and the time left count the work only.
  const double rate = seconds > 0 ? static_cast<double>(finished - skipped) / seconds : 0.0;
  constexpr int kBar = 24;
  const int filled = total_ ? static_cast<int>(kBar * finished / total_) : kBar;
  char left[48] = "";
  if (rate > 0 && finished < total_) {
    const auto s = static_cast<long long>(static_cast<double>(total_ - finished) / rate + 0.5);
    std::snprintf(left, sizeof left, "  zbývá %lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  }
  char line[200];
  std::snprintf(line, sizeof line, "\r[%-*s] %zu/%zu  %.1f fotek/s%s", kBar,
                std::string(static_cast<std::size_t>(filled), '#').c_str(), finished, total_, rate, left);
  err_ << line << std::flush;
  shown_ = true;
}

void Progress::ClearLine() {
  if (shown_) err_ << "\r" << std::string(79, ' ') << "\r";
  shown_ = false;
}

void Progress::Finish(std::size_t done, std::size_t failed, std::size_t skipped, std::size_t warned) {
  ClearLine();
  std::string line = "hotovo: " + std::to_string(done) + ", selhalo: " + std::to_string(failed);
  if (skipped) line += ", přeskočeno: " + std::to_string(skipped);
  char time[48];
  std::snprintf(time, sizeof time, ", čas: %.1f s", Elapsed());
  line += time;
  if (warned) line += ", s varováním: " + std::to_string(warned);
  err_ << line << "\n";
}

}  // namespace cli
