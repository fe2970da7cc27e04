#include "prosvitek/imaging/errors.h"

#include <algorithm>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

namespace imaging {

namespace {

std::string JpegErrorText(int code, const std::string& explanation) {
  std::string text = "JPEG error #" + std::to_string(code);
  if (!explanation.empty()) text.append(": ").append(explanation);
  return text;
}

std::string Mebibytes(std::uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MiB"; }

}  // namespace

EJPEG::EJPEG(int code, const std::string& explanation, const JpegFailureContext& context)
    : std::runtime_error(JpegErrorText(code, explanation)), code_(code), context_(context) {}

PhotoTooLarge::PhotoTooLarge(int width, int height)
    : std::runtime_error("Fotka " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixelů je příliš velká: nevejde se do paměti.") {}

PhotoTooLarge::PhotoTooLarge(int width, int height, std::uint64_t needed, std::uint64_t budget)
    : std::runtime_error("Fotka " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixelů je příliš velká: potřebovala by " + Mebibytes(needed) +
                         " paměti, povoleno je " + Mebibytes(budget) + ".") {}

// ---- what the user is told ------------------------------------------------

namespace {

using files::FileKind;

constexpr const char* kFetchAgain = " Zkopírujte ji nebo stáhněte znovu z původního místa.";
constexpr const char* kOnlyJpeg = " Program upravuje jen fotky JPEG: převeďte ho do JPEG jiným programem.";

std::string NotJpegText(FileKind kind) {
  const std::string name(files::FileKindName(kind));
  switch (kind) {
    case FileKind::OlympusRaw:
    case FileKind::PanasonicRaw:
    case FileKind::CanonCr3:
    case FileKind::FujifilmRaf:
    case FileKind::MinoltaMrw:
    case FileKind::CanonCrw:
      return "Soubor není fotka JPEG, ale surová fotka z fotoaparátu (raw, " + name +
             "). Program upravuje jen fotky JPEG: vyvolejte ji do JPEG jiným programem.";
    case FileKind::Tiff:
    case FileKind::BigTiff:
      return "Soubor není fotka JPEG, ale obrázek " + name +
             " (nebo surová fotka z fotoaparátu uložená jako TIFF)." + kOnlyJpeg;
    case FileKind::Png:
    case FileKind::Gif:
    case FileKind::Bmp:
    case FileKind::WebP:
    case FileKind::Heif:
    case FileKind::Avif:
    case FileKind::JpegXl:
      return "Soubor není fotka JPEG, ale obrázek " + name + "." + kOnlyJpeg;
    case FileKind::Pdf:
      return "Soubor není fotka JPEG, ale dokument PDF. Otevřete fotku JPEG.";
    case FileKind::OtherIsoMedia:
      return "Soubor není fotka JPEG, ale video nebo jiný soubor " + name + ". Otevřete fotku JPEG.";
    case FileKind::Jpeg:
    case FileKind::Unknown:
      break;
  }
  return "Soubor není fotka JPEG ani jiný známý obrázek. Otevřete fotku JPEG.";
}

std::string UnsupportedText(const std::string& kind) {
  return "Fotka je " + kind +
         "; takový program neupravuje, umí jen běžné fotky JPEG. Převeďte ji jiným programem na běžný JPEG.";
}

const std::string kIncomplete = std::string("Fotka je neúplná: soubor končí dřív, než se z něj dá fotka přečíst.") + kFetchAgain;
const std::string kDamaged = std::string("Fotka je poškozená: její data nejdou přečíst.") + kFetchAgain;
const std::string kOutOfMemory =
    "Na fotku nestačí paměť počítače. Zavřete jiné programy, nebo fotku zmenšete jiným programem.";

// The first line for one of libjpeg's errors.
std::string JpegHeadline(const EJPEG& e) {
  const JpegFailureContext& c = e.context();
  switch (e.code()) {
    case JERR_NO_SOI:
      return NotJpegText(c.kind);
    case JERR_INPUT_EMPTY:
      return "Soubor je prázdný, nemá v sobě žádná data. Otevřete jinou fotku.";
    case JERR_BAD_PRECISION:
      if (c.parameter > 8 && !c.dataEnded) return UnsupportedText(std::to_string(c.parameter) + "bitový JPEG");
      break;
    case JERR_SOF_UNSUPPORTED:
      switch (c.parameter) {
        case 0xC3: case 0xC7: case 0xCB: case 0xCF: return UnsupportedText("bezeztrátový (lossless) JPEG");
        case 0xC5: case 0xC6: case 0xCD: case 0xCE: return UnsupportedText("hierarchický JPEG");
        default: break;
      }
      break;
    case JERR_ARITH_NOTIMPL:
      return UnsupportedText("JPEG s aritmetickým kódováním");
    case JERR_OUT_OF_MEMORY:
      return kOutOfMemory;
    case JERR_IMAGE_TOO_BIG:
      return "Fotka má větší rozměry, než program zvládne." + std::string(kFetchAgain);
    case JERR_INPUT_EOF:
    case JERR_NO_IMAGE:
      return kIncomplete;
    default:
      break;
  }
  return c.dataEnded ? kIncomplete : kDamaged;
}

std::string Lines(const std::string& first, const std::string& second) {
  return second.empty() ? first : first + "\n" + second;
}

}  // namespace

std::string PhotoErrorText(const std::exception& error) {
  if (const auto* e = dynamic_cast<const EJPEG*>(&error)) return Lines(JpegHeadline(*e), e->what());
  if (const auto* e = dynamic_cast<const PhotoTooLarge*>(&error)) {
    if (e->reason() == PhotoTooLarge::Reason::Scans)
      return Lines("Fotka je progresivní JPEG s neobvykle mnoha průchody, takovou program nečte. Uložte ji "
                   "jiným programem znovu.",
                   e->what());
    return Lines("Fotka je příliš velká pro povolenou paměť. Zmenšete ji jiným programem, nebo v příkazové řádce "
                 "povolte víc paměti volbou --max-memory.",
                 e->what());
  }
  if (dynamic_cast<const std::bad_alloc*>(&error)) return kOutOfMemory;
  return error.what();  // files' and the program's own messages are the user's already
}

std::string PhotoErrorText(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return PhotoErrorText(e);
  } catch (...) {
  }
  return "Neznámá chyba.";
}

std::string PhotoWarningText(const std::string& warning, int decodedRows, int height) {
  if (warning.empty() && decodedRows >= height) return {};
  if (decodedRows >= height)
    return Lines("Fotka je mírně poškozená: část jejích dat nešla přečíst, na fotce mohou být vady.", warning);
  const int missing = height - std::max(decodedRows, 0);
  // Any missing row shows as at least one per cent.
  const long long percent = std::max(1LL, (200LL * missing + height) / (2LL * height));
  return Lines("Fotka je neúplná: chybí " + std::to_string(percent) + " % (dolních " + std::to_string(missing) +
                   " z " + std::to_string(height) + " řádků), na jejich místě je šedá plocha.",
               warning);
}

}  // namespace imaging
