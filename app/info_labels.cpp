#include "app/info_labels.h"

#include "app/main_window.h"
#include "text/fce_import_so.h"

void FillInfoLabels(TForm1& form, const QString& path) {
  const std::int64_t size = text::FileSizeOf(path.toStdString());
  form.velikostl->setText(QStringLiteral("Velikost: %1 B").arg(size));
}
