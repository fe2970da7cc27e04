// prosvitek-cli: the window's work from the command line.
//   prosvitek-cli analyse [--json] PHOTO
//   prosvitek-cli brighten [options] (-o OUT PHOTO | --out-dir DIR PHOTO...)
//   prosvitek-cli exif [--summary | --trace | --makernote | --tags | --json] FILE...

#include "cli/commands.h"
#include "imaging/jpeg_codec.h"

#include <CLI/CLI.hpp>

#include <clocale>
#include <csignal>
#include <iostream>

namespace {

// An interrupted batch leaves neither half-written photos (writes go through
// temporary files) nor the temporary files themselves.
void OnTerminatingSignal(int signal) {
  imaging::RemovePendingTemporaryFiles();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// The decoder's memory budget per photo, in MiB.
CLI::Option* AddMemoryOption(CLI::App* command, int& mebibytes) {
  return command
      ->add_option("--max-memory", mebibytes,
                   "Nejvýš tolik MiB paměti na čtení jedné fotky (výchozí " +
                       std::to_string(imaging::kDefaultMemoryBudget >> 20) + "); větší fotky se odmítnou.")
      ->check(CLI::Range(1, 1 << 24));
}

std::uint64_t Mebibytes(int value) { return static_cast<std::uint64_t>(value) << 20; }

int UsageFailure(const std::string& reason) {
  std::cerr << "prosvitek-cli: " << reason << "\n";
  return cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_TIME, "");  // the EXIF summary shows the file's date as the user reads dates
  for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, OnTerminatingSignal);
  CLI::App app{"Prosvitek: zesvětlí tmavé části fotek JPEG a čte jejich EXIF.", "prosvitek-cli"};
  app.set_version_flag("--version", std::string("prosvitek-cli ") + PROSVITEK_VERSION);
  app.require_subcommand(1);

  cli::AnalyseOptions analyse;
  CLI::App* analyseCmd = app.add_subcommand("analyse", "Rozbor fotky jako po otevření v okně.");
  analyseCmd->add_flag("--json", analyse.json, "Jeden objekt JSON místo řádků.");
  int analyseMemory = 0;
  CLI::Option* analyseMemoryOpt = AddMemoryOption(analyseCmd, analyseMemory);
  analyseCmd->add_option("PHOTO", analyse.photo, "Fotka JPEG.")->required();

  cli::BrightenOptions brighten;
  int threshold = 0;
  CLI::App* brightenCmd = app.add_subcommand("brighten", "Zesvětlí fotky a uloží je jako okno.");
  brightenCmd->add_option("--strength", brighten.strength, "Efekt 1..150 (výchozí " + std::to_string(imaging::kDefaultStrength) + ").")->check(CLI::Range(1, 150));
  CLI::Option* thresholdOpt =
      brightenCmd->add_option("--threshold", threshold, "Práh jasu; jako v okně se vejde do rozsahu fotky.");
  brightenCmd->add_option("--boost", brighten.boost, "Barevná úprava 0..20 (výchozí " + std::to_string(imaging::kDefaultColourBoost) + ").")->check(CLI::Range(0, 20));
  brightenCmd->add_flag("--shift", brighten.shift, "Posun místo mocninné křivky.");
  brightenCmd->add_option("--quality", brighten.quality, "Kvalita JPEG 1..100 (výchozí " + std::to_string(imaging::kDefaultQuality) + ").")->check(CLI::Range(1, 100));
  brightenCmd
      ->add_option("-j", brighten.jobs,
                   "Počet vláken práce: tolik fotek zároveň, jedna fotka využije až dvě (výchozí počet jader).")
      ->check(CLI::Range(1, 1024));
  int brightenMemory = 0;
  CLI::Option* brightenMemoryOpt = AddMemoryOption(brightenCmd, brightenMemory);
  CLI::Option* outOpt = brightenCmd->add_option("-o", brighten.output, "Výstupní soubor pro jednu fotku.");
  CLI::Option* dirOpt = brightenCmd->add_option("--out-dir", brighten.outputDir, "Výstupní složka pro víc fotek.");
  outOpt->excludes(dirOpt);
  brightenCmd->add_option("PHOTO", brighten.photos, "Fotky JPEG.")->required();

  cli::ExifOptions exif;
  CLI::App* exifCmd = app.add_subcommand("exif", "Údaje EXIF souborů JPEG a TIFF.");
  bool summary = false, trace = false, makernote = false, tags = false, json = false;
  CLI::Option* views[] = {
      exifCmd->add_flag("--summary", summary, "Souhrn (výchozí)."),
      exifCmd->add_flag("--trace", trace, "Výpis všech značek jako v okně podrobností."),
      exifCmd->add_flag("--makernote", makernote, "Výpis poznámek výrobce."),
      exifCmd->add_flag("--tags", tags, "Uložené značky: název, tabulátor, text."),
      exifCmd->add_flag("--json", json, "Objekt JSON na soubor (pole pro víc souborů)."),
  };
  for (CLI::Option* a : views)
    for (CLI::Option* b : views)
      if (a != b) a->excludes(b);
  exifCmd->add_option("FILE", exif.files, "Soubory JPEG nebo TIFF.")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return UsageFailure(e.what());
  }

  try {
    if (*analyseCmd) {
      if (*analyseMemoryOpt) analyse.memoryBudget = Mebibytes(analyseMemory);
      return cli::Analyse(analyse, std::cout, std::cerr);
    }
    if (*brightenCmd) {
      if (*thresholdOpt) brighten.threshold = threshold;
      if (*brightenMemoryOpt) brighten.memoryBudget = Mebibytes(brightenMemory);
      if (!*outOpt && !*dirOpt) return UsageFailure("chybí výstup: -o SOUBOR nebo --out-dir SLOŽKA");
      return cli::Brighten(brighten, std::cerr);
    }
    exif.view = trace ? cli::ExifView::Trace
                : makernote ? cli::ExifView::MakerNote
                : tags ? cli::ExifView::Tags
                : json ? cli::ExifView::Json
                       : cli::ExifView::Summary;
    return cli::Exif(exif, std::cout, std::cerr);
  } catch (const cli::UsageError& e) {
    return UsageFailure(e.reason);
  }
}
