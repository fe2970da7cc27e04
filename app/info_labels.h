#pragma once
// The photo information labels: file size and five values of the EXIF summary.

#include <QString>

class TForm1;

// Fills velikostl and, when the photo has EXIF data, casl, clonal, isol,
// bleskl and pristrojl. Throws text::FileSizeError when the file cannot be sized.
void FillInfoLabels(TForm1& form, const QString& path);
