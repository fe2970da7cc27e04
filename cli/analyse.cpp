#include "commands.h"
#include "terminal_text.h"

#include "prosvitek/imaging/analysis.h"
#include "prosvitek/imaging/errors.h"
#include "prosvitek/files/input_file.h"
#include "prosvitek/imaging/pipeline.h"

#include <nlohmann/json.hpp>

#include <ostream>

namespace cli {
namespace {

nlohmann::ordered_json PixelJson(const imaging::PixelSample& p) {
  return {{"colour", p.Colour}, {"x", p.X}, {"y", p.Y}, {"red", p.Red}, {"green", p.Green}, {"blue", p.Blue}};
}

void PrintPixel(std::ostream& out, const char* label, int luminance, const imaging::PixelSample& p) {
  out << label << ": " << luminance << "\n"
      << "  barva (Tcolor): " << p.Colour << "\n"
      << "  složky: " << p.Red << "x" << p.Green << "x" << p.Blue << "\n"
      << "  pozice: " << p.X << "x" << p.Y << "\n";
}

}  // namespace

int Analyse(const AnalyseOptions& options, std::ostream& out, std::ostream& err) {
  imaging::OpenedPhoto photo;
  try {
    imaging::PassOptions pass;
    pass.limits.memoryBudget = options.memoryBudget;
    photo = imaging::OpenPhoto(files::OpenInputFile(options.photo), pass, /*withPreview=*/false);
  } catch (const std::exception& e) {
    err << TerminalLines("prosvitek-cli: " + options.photo + ": " + imaging::PhotoErrorText(e)) << "\n";
    return kExitFailed;
  }
  const int width = photo.header.width, height = photo.header.height;
  const imaging::PhotoAnalysis& a = photo.analysis;
  const imaging::ThresholdRange t = imaging::PrimeThreshold(a);
  if (options.json) {
    nlohmann::ordered_json j;
    j["width"] = width;
    j["height"] = height;
    j["minLuminance"] = a.MinLuminance;
    j["maxLuminance"] = a.MaxLuminance;
    j["minPixel"] = PixelJson(a.MinPixel);
    j["maxPixel"] = PixelJson(a.MaxPixel);
    j["threshold"] = {{"min", t.minimum}, {"max", t.maximum}, {"value", t.value}};
    j["histogram"] = a.histogram;
    out << j.dump() << "\n";
  } else {
    out << "rozlišení: " << width << "x" << height << "\n";
    PrintPixel(out, "min", a.MinLuminance, a.MinPixel);
    PrintPixel(out, "max", a.MaxLuminance, a.MaxPixel);
    out << "práh: " << t.value << " (rozsah " << t.minimum << " až " << t.maximum << ")\n"
        << "histogram:";
    for (auto count : a.histogram) out << " " << count;
    out << "\n";
  }
  if (!photo.warning.empty()) {
    // Measured as far as libjpeg could read it; the user has to know.
    err << TerminalLines("prosvitek-cli: " + options.photo + ": varování: " +
                         imaging::PhotoWarningText(photo.warning, photo.decodedRows, height))
        << "\n";
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace cli
