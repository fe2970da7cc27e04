#include "app/info_labels.h"

#include "app/main_window.h"
#include "app/native_path.h"
#include "exif/container.h"
#include "exif/summary.h"
#include "text/display_text.h"
#include "text/fce_import_so.h"

namespace {

QString Shown(const std::string& bytes) { return QString::fromStdString(text::ToDisplayUtf8(bytes)); }

}  // namespace

void FillInfoLabels(TForm1& form, const QString& path) {
  const std::int64_t size = text::FileSizeOf(NativePath(path));
  form.velikostl->setText(QStringLiteral("Velikost: %1 B").arg(size));

  exif::TimgData reader(exif::kBuildAll);
  if (!reader.ProcessFile(NativePath(path)) || !reader.HasExif() || !reader.ExifInfo) return;
  const text::Tparsedstring lines = text::SplitText('\r', exif::SummaryText(*reader.ExifInfo));
  // The labels take the summary's lines by position; a shorter summary leaves
  // the labels it does not reach at their placeholders.
  const std::pair<QLabel*, const char*> byLine[] = {
      {form.casl, "Čas: "}, {nullptr, nullptr}, {form.clonal, "Clona: "}, {form.isol, "ISO: "}, {form.bleskl, "Blesk: "}};
  for (std::size_t i = 0; i < std::size(byLine); ++i) {
    const std::size_t element = 6 + i;
    if (!byLine[i].first || element >= lines.Count()) continue;
    byLine[i].first->setText(QString::fromUtf8(byLine[i].second) + Shown(text::StripThroughLast(lines[element], ':')));
  }
  form.pristrojl->setText((QStringLiteral("Foťák: ") + Shown(reader.ExifInfo->ModelText)).left(47));
}
