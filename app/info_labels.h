#pragma once
// The photo information labels: file size and five values of the EXIF summary.

class TForm1;
struct Photo;

// Fills velikostl and, when the photo has EXIF data, casl, clonal, isol,
// bleskl and pristrojl, from what its open read.
void FillInfoLabels(TForm1& form, const Photo& photo);
