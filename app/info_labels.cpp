#include "info_labels.h"

#include "main_window.h"
#include "prosvitek/text/display_text.h"

namespace {

QString Shown(const std::string& bytes) { return QString::fromStdString(text::ToDisplayUtf8(bytes)); }

// A label's value as the summary line shows it, with the blank after the line's colon; a
// value the photo lacks leaves the label empty after its own colon.
QString Value(const std::string& value) { return value.empty() ? QString() : QStringLiteral(" ") + Shown(value); }

}  // namespace

void FillInfoLabels(TForm1& form, const Photo& photo) {
  form.velikostl->setText(QStringLiteral("Velikost: %1 B").arg(photo.fileSize));
  if (!photo.summary) return;
  const exif::Summary& summary = *photo.summary;
  // Each label takes its own value, so a photo without one of them shows that label empty
  // rather than the next value.
  form.casl->setText(QStringLiteral("Čas: ") + Value(summary.exposureTime));
  form.clonal->setText(QStringLiteral("Clona: ") + Value(summary.fNumber));
  form.isol->setText(QStringLiteral("ISO: ") + Value(summary.iso));
  form.bleskl->setText(QStringLiteral("Blesk: ") + Value(summary.FlashFired() ? "Yes" : "No"));
  form.pristrojl->setText((QStringLiteral("Foťák: ") + Shown(summary.model)).left(47));
}
