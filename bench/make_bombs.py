#!/usr/bin/env python3
"""Writes small files that describe a 20000 x 20000 (400-megapixel) picture into a folder:

  png_zero_bomb.png     RGB 8-bit PNG, every row zeros, deflated (about 1.2 MB)
  tiff_deflate_bomb.tif RGB 8-bit TIFF, 1250 deflated strips of zeros (about 1.3 MB)
  tga_rle_bomb.tga      24-bit run-length Targa, packets of 128 grey pixels (12.5 MB)
  jpeg_grey_20000.jpg   a valid baseline grey JPEG, every block flat (1.6 MB)

They are made here rather than kept, for scripts/bomb-bench. Usage: make_bombs.py FOLDER
"""
import os
import struct
import sys
import zlib

SIDE = 20000


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def write_png(path):
    row = b"\0" * (1 + SIDE * 3)  # filter byte, then the row
    compressor = zlib.compressobj(9)
    idat = bytearray()
    for _ in range(SIDE):
        idat += compressor.compress(row)
    idat += compressor.flush()
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(png_chunk(b"IHDR", struct.pack(">IIBBBBB", SIDE, SIDE, 8, 2, 0, 0, 0)))
        f.write(png_chunk(b"IDAT", bytes(idat)))
        f.write(png_chunk(b"IEND", b""))


def write_tiff(path):
    rows = 16
    strips = SIDE // rows
    strip = zlib.compress(b"\0" * (SIDE * 3 * rows), 9)
    data_at = 8
    offsets_at = data_at + len(strip) * strips
    counts_at = offsets_at + 4 * strips
    bits_at = counts_at + 4 * strips
    ifd_at = bits_at + 6
    entries = [
        (256, 4, 1, SIDE),  # width
        (257, 4, 1, SIDE),  # height
        (258, 3, 3, bits_at),  # 8, 8, 8
        (259, 3, 1, 8),  # deflate
        (262, 3, 1, 2),  # RGB
        (273, 4, strips, offsets_at),
        (277, 3, 1, 3),
        (278, 4, 1, rows),
        (279, 4, strips, counts_at),
        (284, 3, 1, 1),
    ]
    with open(path, "wb") as f:
        f.write(b"II*\0" + struct.pack("<I", ifd_at))
        for _ in range(strips):
            f.write(strip)
        f.write(b"".join(struct.pack("<I", data_at + i * len(strip)) for i in range(strips)))
        f.write(struct.pack("<I", len(strip)) * strips)
        f.write(struct.pack("<HHH", 8, 8, 8))
        f.write(struct.pack("<H", len(entries)))
        for tag, kind, count, value in entries:
            if kind == 3 and count == 1:
                f.write(struct.pack("<HHIHH", tag, kind, count, value, 0))
            else:
                f.write(struct.pack("<HHII", tag, kind, count, value))
        f.write(struct.pack("<I", 0))


def write_targa(path):
    packets = SIDE * SIDE // 128
    with open(path, "wb") as f:
        f.write(struct.pack("<BBB5sHHHHBB", 0, 0, 10, b"\0" * 5, 0, 0, SIDE, SIDE, 24, 0x20))
        packet = bytes([0xFF, 0x80, 0x80, 0x80])  # 128 pixels of one grey
        chunk = packet * 4096
        for _ in range(packets // 4096):
            f.write(chunk)
        f.write(packet * (packets % 4096))


def write_jpeg(path):
    # One component; a Huffman table of one one-bit code for the DC difference 0 and one for
    # the end of block: every 8 x 8 block is "00", four blocks a byte.
    def segment(marker, data):
        return struct.pack(">BBH", 0xFF, marker, len(data) + 2) + data

    one_code = bytes([1] + [0] * 15) + b"\0"
    blocks = (SIDE // 8) * (SIDE // 8)
    with open(path, "wb") as f:
        f.write(b"\xff\xd8")
        f.write(segment(0xDB, b"\0" + bytes([1] * 64)))
        f.write(segment(0xC0, struct.pack(">BHHB", 8, SIDE, SIDE, 1) + bytes([1, 0x11, 0])))
        f.write(segment(0xC4, b"\x00" + one_code + b"\x10" + one_code))
        f.write(segment(0xDA, bytes([1, 1, 0x00, 0, 63, 0])))
        f.write(b"\0" * (blocks // 4))
        f.write(b"\xff\xd9")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    write_png(os.path.join(folder, "png_zero_bomb.png"))
    write_tiff(os.path.join(folder, "tiff_deflate_bomb.tif"))
    write_targa(os.path.join(folder, "tga_rle_bomb.tga"))
    write_jpeg(os.path.join(folder, "jpeg_grey_20000.jpg"))


if __name__ == "__main__":
    main()
