#include "commands.h"
#include "terminal_text.h"

#include "prosvitek/exif/reader.h"
#include "prosvitek/text/display_text.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <ostream>

namespace cli {
namespace {

// Texts longer than this are cut in the JSON, so that one hostile file cannot make the
// output (or the memory it takes) grow without bound.
constexpr std::size_t kLongestJsonText = 4096;
constexpr std::string_view kCutMark = "…";

// The displayable text cut to kLongestJsonText bytes at a character boundary.
std::string Capped(std::string_view bytes) {
  std::string shown = text::ToDisplayUtf8(bytes);
  if (shown.size() <= kLongestJsonText) return shown;
  std::size_t end = kLongestJsonText;
  while (end > 0 && (static_cast<unsigned char>(shown[end]) & 0xC0) == 0x80) --end;
  shown.resize(end);
  shown += kCutMark;
  return shown;
}

std::vector<std::string> Lines(const std::string& text) { return text::DisplayLines(text); }

void PrintLines(std::ostream& out, const std::string& crlfText) {
  for (const std::string& l : Lines(crlfText)) out << TerminalText(l) << "\n";
}

std::vector<std::string> CappedLines(const std::string& crlfText) {
  std::vector<std::string> lines;
  for (const std::string& l : Lines(crlfText)) lines.push_back(Capped(l));
  return lines;
}

// Why a file gave nothing, for people: the reader's status, or why it could not be read.
std::string FailureText(const exif::Reader& reader) {
  if (reader.Status() == exif::ReadStatus::Missing) return "soubor neexistuje";
  const std::error_code open = reader.OpenError();
  if (!open) return TerminalText(reader.ErrorText());
  switch (open.value()) {
    case ENOENT:
      return "soubor neexistuje";
    case EACCES:
    case EPERM:
      return "soubor nelze číst: chybí oprávnění";
    case EISDIR:
      return "je to složka, ne soubor";
    case EINVAL:
      return "není to obyčejný soubor";
    default:
      return "soubor nelze číst: " + TerminalText(open.message());
  }
}

nlohmann::ordered_json FileJson(const std::string& file, bool processed, const exif::Reader& reader) {
  nlohmann::ordered_json j;
  j["file"] = Capped(file);
  j["processed"] = processed;
  j["hasExif"] = reader.HasExif();
  j["errorText"] = Capped(reader.ErrorText());
  const std::optional<exif::ExifData> info = reader.Exif();
  const std::optional<exif::Summary> summary = reader.GetSummary();
  j["make"] = info ? Capped(info->Make()) : "";
  j["model"] = info ? Capped(info->Model()) : "";
  j["dateTime"] = info ? Capped(info->DateTime()) : "";
  j["width"] = info ? info->Width() : 0;
  j["height"] = info ? info->Height() : 0;
  j["flash"] = info ? info->Flash() : 0;
  j["summary"] = summary ? CappedLines(exif::SummaryText(*summary)) : std::vector<std::string>{};
  auto tags = nlohmann::ordered_json::array();
  if (info)
    for (const exif::TagView& t : info->Tags())
      tags.push_back({{"name", Capped(t.name)},
                      {"description", Capped(t.description)},
                      {"tag", t.tag},
                      {"type", t.type},
                      {"text", Capped(t.text)}});
  j["tags"] = std::move(tags);
  j["trace"] = info ? CappedLines(info->Trace()) : std::vector<std::string>{};
  j["makerNoteTrace"] = info ? CappedLines(info->MakerNoteTrace()) : std::vector<std::string>{};
  return j;
}

// One element of the JSON array, indented as the whole array would be.
void WriteArrayElement(std::ostream& out, const nlohmann::ordered_json& element, bool first) {
  const std::string dumped = element.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  out << (first ? "\n  " : ",\n  ");
  for (char c : dumped) {
    out << c;
    if (c == '\n') out << "  ";
  }
}

}  // namespace

int Exif(const ExifOptions& options, std::ostream& out, std::ostream& err) {
  int status = kExitOk;
  const bool json = options.view == ExifView::Json;
  const bool array = json && options.files.size() != 1;
  if (array) out << "[";
  bool first = true;
  for (const std::string& file : options.files) {
    // The summary needs no traces and a maker note only for a missing ISO; the tag list no traces.
    exif::ReaderOptions readerOptions = options.view == ExifView::Summary ? exif::SummaryOnly() : exif::ReaderOptions{};
    if (options.view == ExifView::Tags) readerOptions.traces = false;
    exif::Reader reader(readerOptions);
    const bool processed = reader.ProcessFile(file);
    if (!processed) {
      err << TerminalText(file) << ": " << FailureText(reader) << "\n";
      status = kExitFailed;
    }
    const std::optional<exif::ExifData> info = reader.Exif();
    switch (options.view) {
      case ExifView::Json: {
        // Each file's result goes out as soon as it is read; memory does not grow with files.
        const nlohmann::ordered_json j = FileJson(file, processed, reader);
        if (array) {
          WriteArrayElement(out, j, first);
        } else {
          out << j.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
        }
        out.flush();
        first = false;
        break;
      }
      case ExifView::Summary:
        if (const std::optional<exif::Summary> summary = reader.GetSummary())
          PrintLines(out, exif::SummaryText(*summary));
        break;
      case ExifView::Trace:
        if (processed && reader.HasExif() && info) PrintLines(out, info->Trace());
        break;
      case ExifView::MakerNote:
        if (info) PrintLines(out, info->MakerNoteTrace());
        break;
      case ExifView::Tags:
        if (info)
          for (const exif::TagView& t : info->Tags()) out << TerminalText(t.name) << "\t" << TerminalText(t.text) << "\n";
        break;
    }
  }
  if (array) out << (first ? "]\n" : "\n]\n");
  return status;
}

}  // namespace cli
