#include "imaging/errors.h"

namespace imaging {

namespace {

std::string JpegErrorText(int code, const std::string& explanation) {
  std::string text = "JPEG error #" + std::to_string(code);
  if (!explanation.empty()) text.append(": ").append(explanation);
  return text;
}

}  // namespace

EJPEG::EJPEG(int code, const std::string& explanation)
    : std::runtime_error(JpegErrorText(code, explanation)), code_(code) {}

PhotoTooLarge::PhotoTooLarge(int width, int height)
    : std::runtime_error("Fotka " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixelů je příliš velká: nevejde se do paměti.") {}

namespace {

std::string Mebibytes(std::uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MiB"; }

}  // namespace

PhotoTooLarge::PhotoTooLarge(int width, int height, std::uint64_t needed, std::uint64_t budget)
    : std::runtime_error("Fotka " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixelů je příliš velká: potřebovala by " + Mebibytes(needed) +
                         " paměti, povoleno je " + Mebibytes(budget) + ".") {}

}  // namespace imaging
