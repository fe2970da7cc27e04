#pragma once
// The short English report of a read photo that the main window picks apart by line position:
// file name, size and date, photo date, make and model, dimensions, exposure time, focal
// length, f-number, ISO speed and flash, lines separated by CR LF.

#include <chrono>
#include <string>

namespace exif {

class TImageInfo;

// Gives the date part of a moment as the user reads dates.
using DateFormatter = std::string (*)(std::chrono::system_clock::time_point moment);

// The local date in the short date format of the LC_TIME locale ("%x"); the program selects
// the user's locale with setlocale(LC_TIME, "") at start, otherwise the C locale's
// "03/28/04" form is used. Empty when the moment has no local date.
std::string ShortDateText(std::chrono::system_clock::time_point moment);

// The summary of `info` as read by its owner: empty without an EXIF segment, the two lines
// "File Name: ..." and "Exif Error: ..." after a failed read, otherwise six fixed lines, the
// stored exposure time, focal length, f-number and ISO lines that have a text, and the
// flash line. `formatDate` shows the file's date (tests pass a fixed one).
std::string SummaryText(const TImageInfo& info, DateFormatter formatDate = ShortDateText);

}  // namespace exif
