// prosvitek-cli: the window's work from the command line.
//   prosvitek-cli analyse [--json] PHOTO
//   prosvitek-cli brighten [options] (-o OUT PHOTO | --out-dir DIR [--tree ROOT] PHOTO... [--files-from LIST])
//   prosvitek-cli exif [--summary | --trace | --makernote | --tags | --json] FILE...

#include "batch.h"
#include "commands.h"
#include "prosvitek/files/terminating_signals.h"
#include "prosvitek/imaging/jpeg_codec.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <clocale>
#include <exception>
#include <iostream>
#include <new>
#include <string>

namespace {

// A whole number as a person types it: decimal only ("010" is ten, where the
// parser would read octal), within [minimum, maximum]. With clamp, any whole
// number is taken and a value outside becomes the nearest bound, computed in
// 64 bits; the text handed on is the plain decimal of the result.
CLI::Validator WholeNumber(long long minimum, long long maximum, bool clamp = false) {
  return CLI::Validator(
      [=](std::string& text) -> std::string {
        long long value = 0;
        const char* const end = text.data() + text.size();
        const auto [stop, error] = std::from_chars(text.data(), end, value);
        if (text.empty() || stop != end || error == std::errc::invalid_argument)
          return "„" + text + "“ není celé číslo";
        const bool below = error == std::errc::result_out_of_range ? text.front() == '-' : value < minimum;
        const bool above = error == std::errc::result_out_of_range ? text.front() != '-' : value > maximum;
        if ((below || above) && !clamp)
          return text + " je mimo rozsah " + std::to_string(minimum) + " až " + std::to_string(maximum);
        text = std::to_string(below ? minimum : above ? maximum : value);
        return {};
      },
      "");
}

CLI::Validator NonEmpty(const std::string& what) {
  return CLI::Validator([what](std::string& text) { return text.empty() ? "prázdný název " + what : std::string(); },
                        "");
}

// A typed threshold beyond nine digits (more than the window's field holds)
// counts as nine nines: that changes no result and keeps the brightening
// maths, which subtracts luminances from it, far from overflowing.
constexpr long long kThresholdLimit = 999'999'999;

// The decoder's memory budget per photo, in MiB.
CLI::Option* AddMemoryOption(CLI::App* command, int& mebibytes) {
  return command
      ->add_option("--max-memory", mebibytes,
                   "Nejvýš tolik MiB paměti na čtení jedné fotky (výchozí " +
                       std::to_string(imaging::kDefaultMemoryBudget >> 20) + "); větší fotky se odmítnou.")
      ->transform(WholeNumber(1, 1 << 24));
}

std::uint64_t Mebibytes(int value) { return static_cast<std::uint64_t>(value) << 20; }

int UsageFailure(const std::string& reason) {
  std::cerr << "prosvitek-cli: " << reason << "\n";
  return cli::kExitUsage;
}

int Run(int argc, char** argv) {
  // The EXIF summary shows the file's date as the user reads dates. No thread runs yet.
  (void)std::setlocale(LC_TIME, "");  // NOLINT(concurrency-mt-unsafe)
  // An interrupted batch leaves neither half-written photos nor temporary
  // files, and the batch stops taking photos.
  files::RemoveTemporaryFilesOnSignals(cli::NoteTermination);
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
  long long threshold = 0;
  CLI::App* brightenCmd = app.add_subcommand("brighten", "Zesvětlí fotky a uloží je jako okno.");
  brightenCmd->add_option("--strength", brighten.strength, "Efekt 1..150 (výchozí " + std::to_string(imaging::kDefaultStrength) + ").")
      ->transform(WholeNumber(1, 150));
  CLI::Option* thresholdOpt =
      brightenCmd->add_option("--threshold", threshold, "Práh jasu; jako v okně se vejde do rozsahu fotky.")
          ->transform(WholeNumber(-kThresholdLimit, kThresholdLimit, true));
  brightenCmd->add_option("--boost", brighten.boost, "Barevná úprava 0..20 (výchozí " + std::to_string(imaging::kDefaultColourBoost) + ").")
      ->transform(WholeNumber(0, 20));
  brightenCmd->add_flag("--shift", brighten.shift, "Posun místo mocninné křivky.");
  brightenCmd->add_flag("--keep-metadata", brighten.keepMetadata,
                        "Zachová metadata zdrojové fotky: EXIF, XMP a barevný profil ICC (náhled uvnitř EXIF "
                        "zůstane původní). Bez této volby se přenáší jen profil ICC a orientace.");
  brightenCmd->add_option("--quality", brighten.quality, "Kvalita JPEG 1..100 (výchozí " + std::to_string(imaging::kDefaultQuality) + ").")
      ->transform(WholeNumber(1, 100));
  brightenCmd->add_option("-j", brighten.jobs, "Počet vláken práce: tolik fotek zároveň, jedna fotka využije až dvě (výchozí počet jader).")
      ->transform(WholeNumber(1, 1024));
  CLI::Option* outOpt =
      brightenCmd->add_option("-o", brighten.output, "Výstupní soubor pro jednu fotku.")->check(NonEmpty("souboru"));
  CLI::Option* dirOpt = brightenCmd->add_option("--out-dir", brighten.outputDir, "Výstupní složka pro víc fotek.")
                            ->check(NonEmpty("složky"));
  int brightenMemory = 0;
  CLI::Option* brightenMemoryOpt = AddMemoryOption(brightenCmd, brightenMemory);
  outOpt->excludes(dirOpt);
  brightenCmd->add_option("--files-from", brighten.filesFrom,
                          "Fotky ze seznamu v SOUBORU, jedna na řádek („-“: standardní vstup), za fotkami z příkazové řádky.")
      ->type_name("SOUBOR")
      ->check(NonEmpty("seznamu"));
  brightenCmd->add_flag("-0,--null", brighten.nulSeparated, "Názvy v seznamu končí znakem NUL (jako z find -print0).");
  brightenCmd->add_option("--tree", brighten.tree,
                          "Zachová složky pod KOŘENEM: KOŘEN/2019/a.jpg se uloží do výstupní složky jako 2019/a.jpg.")
      ->type_name("KOŘEN")
      ->check(NonEmpty("složky"));
  brightenCmd->add_flag("--skip-existing", brighten.skipExisting,
                        "Přeskočí fotku, jejíž výstup už je: výstup vzniká vždy celý, takže přerušenou dávku stačí spustit znovu.");
  brightenCmd->add_option("--report", brighten.report,
                          "Za každou dokončenou fotku připíše do SOUBORU řádek JSON („-“: standardní výstup).")
      ->type_name("SOUBOR")
      ->check(NonEmpty("souboru"));
  brightenCmd->add_option("PHOTO", brighten.photos, "Fotky JPEG.");

  cli::ExifOptions exif;
  CLI::App* exifCmd = app.add_subcommand("exif", "Údaje EXIF fotek: JPEG, TIFF a raw, HEIC/AVIF, PNG, WebP, JPEG XL.");
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
  exifCmd->add_option("FILE", exif.files, "Soubory fotek; druh pozná podle obsahu, ne podle přípony.")->required();

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
      if (*thresholdOpt) brighten.threshold = static_cast<int>(threshold);  // clamped while parsing
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

}  // namespace

int main(int argc, char** argv) {
  // An exception escaping main would abort the program, past the removal of
  // temporary files.
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::cerr << "prosvitek-cli: nedostatek paměti\n";
  } catch (const std::exception& e) {
    std::cerr << "prosvitek-cli: " << e.what() << "\n";
  }
  return cli::kExitFailed;
}
