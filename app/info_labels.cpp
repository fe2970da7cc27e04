#include "app/info_labels.h"

#include "app/main_window.h"
#include "app/native_path.h"
#include "exif/reader.h"
#include "text/display_text.h"
#include "text/fce_import_so.h"

namespace {

QString Shown(const std::string& bytes) { return QString::fromStdString(text::ToDisplayUtf8(bytes)); }

// A label's value as the summary line shows it, with the blank after the line's colon; a
// value the photo lacks leaves the label empty after its own colon.
QString Value(const std::string& value) { return value.empty() ? QString() : QStringLiteral(" ") + Shown(value); }

}  // namespace

void FillInfoLabels(TForm1& form, const QString& path) {
  const std::int64_t size = text::FileSizeOf(NativePath(path));
  form.velikostl->setText(QStringLiteral("Velikost: %1 B").arg(size));

  exif::Reader reader(exif::SummaryOnly());
  if (!reader.ProcessFile(NativePath(path)) || !reader.HasExif()) return;
  const std::optional<exif::Summary> summary = reader.GetSummary();
  if (!summary) return;
  // Each label takes its own value, so a photo without one of them shows that label empty
  // rather than the next value.
  form.casl->setText(QStringLiteral("Čas: ") + Value(summary->exposureTime));
  form.clonal->setText(QStringLiteral("Clona: ") + Value(summary->fNumber));
  form.isol->setText(QStringLiteral("ISO: ") + Value(summary->iso));
  form.bleskl->setText(QStringLiteral("Blesk: ") + Value(summary->FlashFired() ? "Yes" : "No"));
  form.pristrojl->setText((QStringLiteral("Foťák: ") + Shown(summary->model)).left(47));
}
