#pragma once
// The subcommands of prosvitek-cli. Each returns the process exit status:
// 0 success, 1 a photo or file failed, 2 a usage error (reported by main).

#include "prosvitek/imaging/brighten.h"
#include "prosvitek/imaging/jpeg_codec.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// A usage error found after parsing (e.g. an output equal to its input).
struct UsageError {
  std::string reason;
};

struct AnalyseOptions {
  std::string photo;
  bool json = false;
  std::uint64_t memoryBudget = imaging::kDefaultMemoryBudget;  // --max-memory
};
int Analyse(const AnalyseOptions& options, std::ostream& out, std::ostream& err);

struct BrightenOptions {
  int strength = imaging::kDefaultStrength;
  std::optional<int> threshold;
  int boost = imaging::kDefaultColourBoost;
  bool shift = false;
  bool keepMetadata = false;  // the source's EXIF (thumbnail renewed), XMP, IPTC and comments too
  int quality = imaging::kDefaultQuality;
  int jobs = 0;  // 0: one per core
  std::uint64_t memoryBudget = imaging::kDefaultMemoryBudget;  // per photo being worked on
  std::string output;     // -o, for one photo
  std::string outputDir;  // --out-dir, for several
  std::vector<std::string> photos;
  std::string filesFrom;            // --files-from: a list of photos ("-": standard input)
  bool nulSeparated = false;        // -0: the list's names end with NUL, not a newline
  std::optional<std::string> tree;  // --tree: keep the folders below this one under outputDir
  bool skipExisting = false;        // --skip-existing: leave a photo whose output exists
  std::string report;               // --report: a JSON line per photo, appended ("-": standard output)
};
int Brighten(const BrightenOptions& options, std::ostream& err);

enum class ExifView { Summary, Trace, MakerNote, Tags, Json };
struct ExifOptions {
  ExifView view = ExifView::Summary;
  std::vector<std::string> files;
};
int Exif(const ExifOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cli
