#pragma once
// Batches of a whole archive for `brighten`: lists of photos longer than a
// command line, where each result goes, the report a monitor follows and the
// progress line on a terminal.

#include "commands.h"
#include "prosvitek/imaging/brighten.h"

#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// One entry of the photos to do: a name, or why the entry is no name at all.
struct ListEntry {
  std::string path;
  std::string problem;     // set for an entry that cannot name a photo
  std::size_t number = 0;  // its line (or NUL-separated item) in the list; 0 on the command line
};

// Splits a list at `separator` ('\n', or '\0' as find -print0 writes). Names
// are taken byte for byte (spaces, quotes, leading dashes, any encoding); a
// last entry without its separator counts. An empty entry, a name with a
// newline in a NUL-separated list and a name beyond the system's path limit
// become entries with a problem, so that the batch reports them and goes on;
// memory stays bounded by the names kept.
std::vector<ListEntry> ReadPathList(std::istream& in, char separator);

// The list in a file, or on standard input for "-"; throws files::FileError
// when it cannot be read.
std::vector<ListEntry> ReadListFile(const std::string& path, char separator);

// The result of `input` under `outDir` with the folders below `root` kept
// (root/2019/a.jpg -> outDir/2019/a.jpg); nothing for an input that does not
// lie below root. Paths are compared as written, made absolute and with "."
// and ".." resolved, without following links.
std::optional<std::string> TreeOutput(const std::string& input, const std::string& root, const std::string& outDir);

// One photo of a batch: its input, its output, and why it must not run.
struct BatchJob {
  std::string input;
  std::string output;
  std::string refusal;
  std::size_t number = 0;  // as ListEntry::number
};

struct BatchPlan {
  std::vector<BatchJob> jobs;
  // Jobs (by index) that would write the same output as an earlier one; when
  // there is any, the batch must not start.
  std::vector<std::size_t> clashes;
};

// Where each entry's result goes under outDir: flat (the input's file name)
// or, with a tree root, keeping the folders below it. Entries with a problem,
// inputs given twice (the same path or the same file), inputs outside the
// tree and outputs that would replace an input are refused one by one.
BatchPlan PlanBatch(const std::vector<ListEntry>& entries, const std::string& outDir,
                    const std::optional<std::string>& treeRoot);

// Told by a signal handler, before it removes the temporary files, that the
// process is ending: the writes it cuts short fail then, and those failures
// are no photo's fault, so they go neither to stderr nor into the report.
// Safe in a signal handler.
void NoteTermination() noexcept;
bool Terminating() noexcept;

// What happened to one photo, as the report records it.
enum class PhotoStatus { Done, Skipped, Failed };
struct PhotoRecord {
  std::string input;
  std::string output;
  PhotoStatus status = PhotoStatus::Failed;
  std::string warning;
  std::string error;
  std::optional<imaging::BrightenSettings> settings;  // as brightened, once measured
  long long milliseconds = 0;
};

// The report's line for a photo: one JSON object with the input, the output,
// the settings used, the status, the warning, the error and the time taken.
// A name that is not UTF-8 is shown with U+FFFD and given byte for byte, in
// hexadecimal, under "inputHex" or "outputHex".
std::string ReportLine(const PhotoRecord& record, const BrightenOptions& options);

// The progress line on a terminal: count, photos a second and time left,
// redrawn at most ten times a second. Quiet when stderr is no terminal; the
// closing summary is always written.
class Progress {
 public:
  Progress(std::ostream& err, std::size_t total);
  // `finished` photos are finished, `skipped` of them without work.
  void Report(std::size_t finished, std::size_t skipped);
  // Clears the line before a message takes its place.
  void ClearLine();
  void Finish(std::size_t done, std::size_t failed, std::size_t skipped, std::size_t warned);

 private:
  double Elapsed() const;

  std::ostream& err_;
  std::size_t total_;
  bool tty_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastDrawn_{};
};

}  // namespace cli
