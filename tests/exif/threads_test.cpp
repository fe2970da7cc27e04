// Readers on several threads at once share nothing: every input read on two threads together
// gives what it gives read alone. Built with ThreadSanitizer, this also catches any shared state.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "prosvitek/exif/reader.h"
#include "exif_builder.h"
#include "makernotes/note_builder.h"
#include "samples.h"

namespace {

using exiftest::Order;

struct Input {
  std::string name;
  std::string bytes;
};

std::string FixedDate(std::chrono::system_clock::time_point) { return "2004-03-28"; }

// Everything a read gives, as one text.
std::string ReadAll(const Input& input, const exif::ReaderOptions& options) {
  exif::Reader reader(options);
  std::string all = reader.ProcessBytes(input.name, input.bytes) ? "read|" : "not read|";
  all += reader.ErrorText() + "|";
  if (const std::optional<exif::Summary> summary = reader.GetSummary()) {
    all += exif::SummaryText(*summary, FixedDate) + "|";
  }
  if (const std::optional<exif::ExifData> data = reader.Exif()) {
    all += data->Trace() + "|" + data->MakerNoteTrace() + "|";
    for (const exif::TagView& tag : data->Tags()) all.append(tag.name).append("=").append(tag.text).append(";");
  }
  return all;
}

// The sample photos, and built files with maker notes, so that the test never runs empty.
std::vector<Input> Inputs() {
  std::vector<Input> inputs;
  for (const std::filesystem::path& file : testsupport::InputFilesUnder(testsupport::SamplesDir())) {
    std::ifstream in(file, std::ios::binary);
    inputs.push_back({file.filename().string(), std::string(std::istreambuf_iterator<char>(in), {})});
  }
  for (Order order : {Order::Intel, Order::Motorola}) {
    const std::string canon = notetest::BuildNote(notetest::Layout::Plain, order, "",
                                                  {{0x0001, 'S', {0, 2, 100, 4, 0, 3}}, {0x0009, 'A', {}, "Owner"}});
    const std::string fuji = notetest::BuildNote(notetest::Layout::Fuji, order, "", {{0x1001, 'S', {3}}});
    inputs.push_back({"canon.jpg", exiftest::Jpeg({exiftest::ExifSegment(notetest::ExifWithNote(order, {"Canon"}, canon))})});
    inputs.push_back({"fuji.tif", notetest::ExifWithNote(order, {"FUJIFILM"}, fuji)});
  }
  return inputs;
}

TEST(ExifThreads, TwoReadersAtOnceReadAsOneAlone) {
  const std::vector<Input> inputs = Inputs();
  exif::ReaderOptions detailed;
  detailed.traceDetailLevel = 1;
  detailed.useTagDecoders = false;
  const exif::ReaderOptions options[] = {exif::ReaderOptions{}, detailed};
  std::vector<std::string> alone[2];
  for (int o = 0; o < 2; ++o) {
    for (const Input& input : inputs) alone[o].push_back(ReadAll(input, options[o]));
  }
  // Each thread reads every input with its own options, the second in reverse order, so that
  // different files and settings meet at the same time.
  std::vector<std::string> together[2];
  std::vector<std::thread> threads;
  for (int o = 0; o < 2; ++o) {
    threads.emplace_back([&, o] {
      together[o].resize(inputs.size());
      for (size_t k = 0; k < inputs.size(); ++k) {
        const size_t i = o == 0 ? k : inputs.size() - 1 - k;
        together[o][i] = ReadAll(inputs[i], options[o]);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (int o = 0; o < 2; ++o) {
    for (size_t i = 0; i < inputs.size(); ++i) EXPECT_EQ(together[o][i], alone[o][i]) << inputs[i].name;
  }
  EXPECT_NE(alone[0], alone[1]);  // the options did change what was read
}

}  // namespace
