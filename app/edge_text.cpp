#include "app/edge_text.h"

std::string ReaderCredit() { return "Čtení exif pomocí knihovny pvexif 1.0"; }

std::string DetailsTraceText(const std::string&) { return {}; }
