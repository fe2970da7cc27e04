#pragma once
// Builds the containers the doors read, around a TIFF structure: ISO base media boxes (HEIC,
// CR3, JPEG XL), PNG and WebP chunks, RAF, MRW and CRW headers, and BigTIFF directories.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "exif_builder.h"

namespace doortest {

using exiftest::Order;

inline std::string Be32(uint32_t v) { return exiftest::U32(Order::Motorola, v); }
inline std::string Be16(uint16_t v) { return exiftest::U16(Order::Motorola, v); }
inline std::string Le32(uint32_t v) { return exiftest::U32(Order::Intel, v); }
inline std::string Le16(uint16_t v) { return exiftest::U16(Order::Intel, v); }

// A TIFF structure with Make "Canon" and Model "EOS R5".
inline std::string CanonTiff(Order order = Order::Intel) {
  exiftest::TiffBuilder t(order);
  t.Ifd({t.Ascii(0x010F, "Canon"), t.Ascii(0x0110, "EOS R5")});
  return t.Bytes();
}

inline std::string Box(std::string_view type, std::string_view payload) {
  return Be32(static_cast<uint32_t>(8 + payload.size())) + std::string(type) + std::string(payload);
}
// Version 0 and no flags before the payload.
inline std::string FullBox(std::string_view type, std::string_view payload, uint8_t version = 0) {
  return Box(type, std::string(1, static_cast<char>(version)) + std::string(3, '\0') + std::string(payload));
}

// HEIC: "ftyp", "meta" (with "iinf" naming item 1 "Exif" and "iloc" placing it), then "mdat"
// holding the item: a 4-byte offset (6), "Exif\0\0" and the TIFF structure. `mdatSizeZero`
// writes the last box's size as 0 (to the end of the file); `metaLargeSize` writes meta's
// size as 1 followed by a 64-bit size.
inline std::string Heic(const std::string& tiff, bool withExif = true, bool mdatSizeZero = false,
                        bool metaLargeSize = false) {
  const std::string ftyp = Box("ftyp", std::string("heic\0\0\0\0mif1heic", 16));
  const std::string item = Be32(6) + std::string("Exif\0\0", 6) + tiff;
  const std::string infe = FullBox("infe", Be16(1) + Be16(0) + (withExif ? "Exif" : "hvc1") + std::string(1, '\0'), 2);
  const auto meta = [&](uint32_t itemOffset) {
    const std::string iinf = FullBox("iinf", Be16(1) + infe);
    // Version 0: offset and length of 4 bytes, no base offset; one item with one extent.
    const std::string iloc = FullBox("iloc", std::string("\x44\x00", 2) + Be16(1) + Be16(1) + Be16(0) + Be16(1) +
                                                 Be32(itemOffset) + Be32(static_cast<uint32_t>(item.size())));
    const std::string hdlr = FullBox("hdlr", std::string(4, '\0') + "pict" + std::string(13, '\0'));
    // The primary item, 2, is 4000 x 3000 by its "ispe", the second property (index bytes with the essential bit).
    const std::string iprp = Box("iprp", Box("ipco", Box("colr", "nclx") + FullBox("ispe", Be32(4000) + Be32(3000))) +
                                             FullBox("ipma", Be32(1) + Be16(2) + std::string("\x02\x81\x82", 3)));
    const std::string body = std::string(4, '\0') + hdlr + FullBox("pitm", Be16(2)) + iinf + iloc + iprp;
    if (!metaLargeSize) return Box("meta", body);
    return Be32(1) + "meta" + Be32(0) + Be32(static_cast<uint32_t>(16 + body.size())) + body;
  };
  const std::string mdatHeader = (mdatSizeZero ? Be32(0) : Be32(static_cast<uint32_t>(8 + item.size()))) + "mdat";
  const auto offset = static_cast<uint32_t>(ftyp.size() + meta(0).size() + mdatHeader.size());
  return ftyp + meta(offset) + mdatHeader + item;
}

inline const std::string kCanonUuid("\x85\xc0\xb6\x87\x82\x0f\x11\xe0\x81\x11\xf4\xce\x46\x2b\x6a\x48", 16);

// CR3: "ftyp" of brand "crx ", "moov" holding Canon's "uuid" box with the given CMT boxes.
inline std::string Cr3(const std::vector<std::pair<std::string, std::string>>& cmts) {
  std::string inner;
  for (const auto& [type, tiff] : cmts) inner += Box(type, tiff);
  return Box("ftyp", std::string("crx \0\0\0\1crx isom", 16)) + Box("moov", Box("uuid", kCanonUuid + inner));
}

// JPEG XL container: signature box, "ftyp", the codestream, then an "Exif" box (4-byte offset
// 0, then the TIFF structure) or, given `brob`, a compressed box holding it.
inline std::string JpegXl(const std::string& exifBox, std::string_view type = "Exif") {
  return std::string("\0\0\0\x0CJXL \r\n\x87\n", 12) + Box("ftyp", std::string("jxl \0\0\0\0jxl ", 12)) +
         Box("jxlc", std::string("\xFF\x0A\x00", 3)) + Box(type, exifBox);
}

inline std::string PngChunk(std::string_view type, std::string_view data) {
  return Be32(static_cast<uint32_t>(data.size())) + std::string(type) + std::string(data) + std::string(4, '\0');
}
inline std::string Png(const std::vector<std::string>& chunks) {
  // 640 x 480, 8-bit RGB
  std::string png =
      std::string("\x89PNG\r\n\x1A\n", 8) + PngChunk("IHDR", Be32(640) + Be32(480) + std::string("\x08\x02\0\0\0", 5));
  for (const std::string& c : chunks) png += c;
  return png + PngChunk("IEND", "");
}
// The raw profile text of a block: a name line, the count, the digits in lines of 72.
inline std::string RawProfile(std::string_view block) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text = "\nexif\n" + std::string(6, ' ') + std::to_string(block.size()) + "\n";
  for (size_t i = 0; i < block.size(); ++i) {
    text += kHex[static_cast<uint8_t>(block[i]) >> 4];
    text += kHex[static_cast<uint8_t>(block[i]) & 0xF];
    if (i % 36 == 35) text += '\n';
  }
  return text + "\n";
}

inline std::string RiffChunk(std::string_view type, std::string_view data) {
  std::string chunk = std::string(type) + Le32(static_cast<uint32_t>(data.size())) + std::string(data);
  return data.size() % 2 != 0 ? chunk + '\0' : chunk;
}
inline std::string WebP(const std::vector<std::string>& chunks) {
  // A canvas of 1024 x 768 (each side stored less 1, in 24 bits)
  std::string body =
      "WEBP" + RiffChunk("VP8X", std::string(4, '\0') + Le32(1023).substr(0, 3) + Le32(767).substr(0, 3));
  for (const std::string& c : chunks) body += c;
  return "RIFF" + Le32(static_cast<uint32_t>(body.size())) + body;
}

// RAF: the identifier, version, camera, then the preview's offset and length at byte 84.
inline std::string Raf(const std::string& jpeg) {
  std::string raf = std::string("FUJIFILMCCD-RAW 0201FF383501") + std::string(32, 'X');
  raf.resize(84, '\0');
  return raf + Be32(100) + Be32(static_cast<uint32_t>(jpeg.size())) + std::string(8, '\0') + jpeg;
}

// MRW: "\0MRM", the records' length, a "\0PRD" record, then "\0TTW" holding the TIFF.
inline std::string Mrw(const std::string& tiff) {
  const std::string records = std::string("\0PRD", 4) + Be32(8) + std::string(8, '\1') + std::string("\0TTW", 4) +
                              Be32(static_cast<uint32_t>(tiff.size())) + tiff;
  return std::string("\0MRM", 4) + Be32(static_cast<uint32_t>(records.size())) + records;
}

// A CIFF heap: the records' data, then the table (count, 10-byte records), then its offset.
struct CiffRecord {
  uint16_t type;
  std::string data;  // for a sub-heap: the heap's bytes
};
inline std::string CiffHeap(const std::vector<CiffRecord>& records) {
  std::string data, table = Le16(static_cast<uint16_t>(records.size()));
  for (const CiffRecord& r : records) {
    table += Le16(r.type) + Le32(static_cast<uint32_t>(r.data.size())) + Le32(static_cast<uint32_t>(data.size()));
    data += r.data;
  }
  return data + table + Le32(static_cast<uint32_t>(data.size()));
}
// CRW: the header, then the root heap with `inner` heaps nested one in another around the
// make and model and the time stamp.
inline std::string Crw(int depth = 1) {
  std::string heap = CiffHeap({{0x080A, std::string("Canon\0Canon EOS D30\0", 20)},
                               {0x180E, Le32(1000000000) + Le32(0) + Le32(0)}});
  for (int i = 1; i < depth; ++i) heap = CiffHeap({{0x300A, heap}});
  return "II" + Le32(26) + "HEAPCCDR" + Le32(0x00010002) + std::string(8, '\0') + CiffHeap({{0x300A, heap}});
}

// BigTIFF: header, one directory of 8-byte counts and offsets (Make and Model inline, as
// values of up to 8 bytes are, Software after the directory), no next directory.
inline std::string BigTiff(Order order) {
  const auto u64 = [&](uint64_t v) {
    const std::string lo = exiftest::U32(order, static_cast<uint32_t>(v)), hi = exiftest::U32(order, static_cast<uint32_t>(v >> 32));
    return order == Order::Motorola ? hi + lo : lo + hi;
  };
  const auto u16 = [&](uint16_t v) { return exiftest::U16(order, v); };
  const std::string mark = order == Order::Motorola ? "MM" : "II";
  std::string big = mark + u16(43) + u16(8) + u16(0) + u64(16);
  const uint64_t values = 16 + 8 + 3 * 20 + 8;
  big += u64(3);
  big += u16(0x010F) + u16(2) + u64(6) + std::string("Canon\0\0\0", 8);
  big += u16(0x0110) + u16(2) + u64(7) + std::string("EOS R5\0\0", 8);
  big += u16(0x0131) + u16(2) + u64(15) + u64(values);
  big += u64(0);
  return big + std::string("prosvitek test", 15);
}

}  // namespace doortest
