#include "cli/commands.h"

#include "exif/container.h"
#include "exif/settings.h"
#include "exif/summary.h"
#include "text/display_text.h"

#include <nlohmann/json.hpp>

#include <ostream>

namespace cli {
namespace {

std::vector<std::string> Lines(const std::string& text) { return text::DisplayLines(text); }

void PrintLines(std::ostream& out, const std::vector<std::string>& lines) {
  for (const std::string& l : lines) out << l << "\n";
}

std::string Shown(std::string_view bytes) { return text::ToDisplayUtf8(bytes); }

nlohmann::ordered_json FileJson(const std::string& file, bool processed, const exif::TimgData& reader) {
  nlohmann::ordered_json j;
  j["file"] = Shown(file);
  j["processed"] = processed;
  j["hasExif"] = reader.HasExif();
  j["errorText"] = Shown(reader.ErrorText);
  const exif::TImageInfo* info = reader.ExifInfo.get();
  j["make"] = info ? Shown(info->MakeText) : "";
  j["model"] = info ? Shown(info->ModelText) : "";
  j["dateTime"] = info ? Shown(info->DateTimeText) : "";
  j["width"] = info ? info->PixelWidth : 0;
  j["height"] = info ? info->PixelHeight : 0;
  j["flash"] = info ? info->FlashValue : 0;
  j["summary"] = info ? Lines(exif::SummaryText(*info)) : std::vector<std::string>{};
  auto tags = nlohmann::ordered_json::array();
  if (info)
    for (const exif::TTagEntry& t : info->StoredTags())
      tags.push_back({{"name", Shown(t.Name)},
                      {"description", Shown(t.Description)},
                      {"tag", t.Tag},
                      {"type", t.DataType},
                      {"text", Shown(t.Text)}});
  j["tags"] = std::move(tags);
  j["trace"] = info ? Lines(info->TraceText) : std::vector<std::string>{};
  j["makerNoteTrace"] = info ? Lines(info->MakerNoteTraceText) : std::vector<std::string>{};
  return j;
}

}  // namespace

int Exif(const ExifOptions& options, std::ostream& out, std::ostream& err) {
  exif::UseTagDecoders = true;
  int status = kExitOk;
  auto all = nlohmann::ordered_json::array();
  for (const std::string& file : options.files) {
    exif::TimgData reader(exif::kBuildAll);
    reader.TraceRequest = 1;
    const bool processed = reader.ProcessFile(file);
    if (!processed) {
      err << file << ": " << Shown(reader.ErrorText) << "\n";
      status = kExitFailed;
    }
    const exif::TImageInfo* info = reader.ExifInfo.get();
    switch (options.view) {
      case ExifView::Json:
        all.push_back(FileJson(file, processed, reader));
        continue;
      case ExifView::Summary:
        if (info) PrintLines(out, Lines(exif::SummaryText(*info)));
        break;
      case ExifView::Trace:
        if (processed && reader.HasExif() && info) PrintLines(out, Lines(info->TraceText));
        break;
      case ExifView::MakerNote:
        if (info) PrintLines(out, Lines(info->MakerNoteTraceText));
        break;
      case ExifView::Tags:
        if (info)
          for (const exif::TTagEntry& t : info->StoredTags()) out << Shown(t.Name) << "\t" << Shown(t.Text) << "\n";
        break;
    }
  }
  if (options.view == ExifView::Json) {
    const auto& doc = options.files.size() == 1 ? all.front() : all;
    out << doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
  }
  return status;
}

}  // namespace cli
