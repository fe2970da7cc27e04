#!/usr/bin/env python3
"""Writes the seeds of the container door fuzz targets into fuzz/seeds/door_*/:
each container built around a small TIFF structure (Make, Model, an EXIF directory
with exposure, f-number and ISO), in both byte orders where the container allows."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def tiff(big_endian=False):
    e = '>' if big_endian else '<'
    out = (b'MM' if big_endian else b'II') + struct.pack(e + 'HI', 42, 8)
    # IFD0: Make, Model, ExifOffset; then the EXIF directory; values after each table.
    ifd0_len = 2 + 3 * 12 + 4
    make, model = b'Canon\0', b'EOS R5\0'
    exif_at = 8 + ifd0_len + len(make) + len(model) + 1
    values = 8 + ifd0_len
    ifd0 = struct.pack(e + 'H', 3)
    ifd0 += struct.pack(e + 'HHII', 0x010F, 2, len(make), values)
    ifd0 += struct.pack(e + 'HHII', 0x0110, 2, len(model), values + len(make))
    ifd0 += struct.pack(e + 'HHII', 0x8769, 4, 1, exif_at)
    ifd0 += struct.pack(e + 'I', 0) + make + model + b'\0'
    rationals = exif_at + 2 + 3 * 12 + 4
    exif = struct.pack(e + 'H', 3)
    exif += struct.pack(e + 'HHII', 0x829A, 5, 1, rationals)
    exif += struct.pack(e + 'HHII', 0x829D, 5, 1, rationals + 8)
    exif += struct.pack(e + 'HHHH', 0x8827, 3, 1, 0) + struct.pack(e + 'H', 400)[:0]
    exif = exif[:-4] + struct.pack(e + 'I', 1) + struct.pack(e + 'HH', 400, 0)
    exif += struct.pack(e + 'I', 0) + struct.pack(e + 'IIII', 1, 250, 28, 10)
    return out + ifd0 + exif


def box(kind, payload):
    return struct.pack('>I', 8 + len(payload)) + kind + payload


def full_box(kind, payload, version=0):
    return box(kind, bytes([version, 0, 0, 0]) + payload)


def heif(t):
    item = struct.pack('>I', 6) + b'Exif\0\0' + t
    ftyp = box(b'ftyp', b'heic\0\0\0\0mif1heic')
    infe = full_box(b'infe', struct.pack('>HH', 1, 0) + b'Exif\0', 2)

    def meta(offset):
        iinf = full_box(b'iinf', struct.pack('>H', 1) + infe)
        iloc = full_box(b'iloc', b'\x44\x00' + struct.pack('>HHHHII', 1, 1, 0, 1, offset, len(item)))
        return box(b'meta', b'\0\0\0\0' + iinf + iloc)
    offset = len(ftyp) + len(meta(0)) + 8
    return ftyp + meta(offset) + box(b'mdat', item)


def cr3(t):
    uuid = bytes.fromhex('85c0b687820f11e08111f4ce462b6a48')
    cmts = box(b'CMT1', t) + box(b'CMT2', t) + box(b'CMT3', t) + box(b'CMT4', t)
    return box(b'ftyp', b'crx \0\0\0\1crx isom') + box(b'moov', box(b'uuid', uuid + cmts))


def png_chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))


def png(chunks):
    return b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', struct.pack('>IIBBBBB', 1, 1, 8, 2, 0, 0, 0)) + b''.join(chunks) + png_chunk(b'IEND', b'')


def raw_profile(block):
    digits = block.hex()
    lines = '\n'.join(digits[i:i + 72] for i in range(0, len(digits), 72))
    return ('\nexif\n      %d\n%s\n' % (len(block), lines)).encode()


def riff_chunk(kind, data):
    return kind + struct.pack('<I', len(data)) + data + (b'\0' if len(data) % 2 else b'')


def webp(chunks):
    body = b'WEBP' + riff_chunk(b'VP8X', bytes(10)) + b''.join(chunks)
    return b'RIFF' + struct.pack('<I', len(body)) + body


def jpeg_with_exif(t):
    body = b'Exif\0\0' + t
    return b'\xff\xd8\xff\xe1' + struct.pack('>H', len(body) + 2) + body + b'\xff\xda\x00\x02\x00\xff\xd9'


def raf(t):
    jpeg = jpeg_with_exif(t)
    head = (b'FUJIFILMCCD-RAW 0201FF383501' + b'X' * 32).ljust(84, b'\0')
    return head + struct.pack('>II', 100, len(jpeg)) + bytes(8) + jpeg


def mrw(t):
    records = b'\0PRD' + struct.pack('>I', 8) + bytes(8) + b'\0TTW' + struct.pack('>I', len(t)) + t
    return b'\0MRM' + struct.pack('>I', len(records)) + records


def ciff_heap(records):
    data, table = b'', struct.pack('<H', len(records))
    for kind, payload in records:
        table += struct.pack('<HII', kind, len(payload), len(data))
        data += payload
    return data + table + struct.pack('<I', len(data))


def crw():
    inner = ciff_heap([(0x080A, b'Canon\0Canon EOS D30\0'), (0x180E, struct.pack('<III', 1000000000, 0, 0)),
                       (0x1818, struct.pack('<fff', 0.0, 7.0, 5.0)), (0x102A, struct.pack('<4h', 0, 0, 160, 0))])
    return b'II' + struct.pack('<I', 26) + b'HEAPCCDR' + struct.pack('<I', 0x00010002) + bytes(8) + ciff_heap([(0x300A, inner)])


def bigtiff(big_endian):
    e = '>' if big_endian else '<'
    out = (b'MM' if big_endian else b'II') + struct.pack(e + 'HHHQ', 43, 8, 0, 16)
    values = 16 + 8 + 3 * 20 + 8
    out += struct.pack(e + 'Q', 3)
    out += struct.pack(e + 'HHQ', 0x010F, 2, 6) + b'Canon\0\0\0'
    out += struct.pack(e + 'HHQ', 0x0110, 2, 7) + b'EOS R5\0\0'
    out += struct.pack(e + 'HHQQ', 0x0131, 16, 1, values)
    return out + struct.pack(e + 'Q', 0) + struct.pack(e + 'Q', 7)


def main():
    seeds = {
        'door_heif': {'intel.heic': heif(tiff()), 'motorola.heic': heif(tiff(True))},
        'door_cr3': {'canon.cr3': cr3(tiff())},
        'door_png': {'exif.png': png([png_chunk(b'eXIf', tiff(True))]),
                     'profile.png': png([png_chunk(b'zTXt', b'Raw profile type exif\0\0' + zlib.compress(raw_profile(b'Exif\0\0' + tiff())))])},
        'door_webp': {'exif.webp': webp([riff_chunk(b'EXIF', b'Exif\0\0' + tiff())])},
        'door_jpeg_xl': {'exif.jxl': b'\0\0\0\x0cJXL \r\n\x87\n' + box(b'ftyp', b'jxl \0\0\0\0jxl ') + box(b'Exif', bytes(4) + tiff(True))},
        'door_raf': {'preview.raf': raf(tiff(True))},
        'door_mrw': {'ttw.mrw': mrw(tiff(True))},
        'door_crw': {'records.crw': crw()},
        'door_bigtiff': {'intel.tif': bigtiff(False), 'motorola.tif': bigtiff(True)},
    }
    for target, files in seeds.items():
        folder = os.path.join(HERE, 'seeds', target)
        os.makedirs(folder, exist_ok=True)
        for name, data in files.items():
            with open(os.path.join(folder, name), 'wb') as f:
                f.write(data)


if __name__ == '__main__':
    main()
