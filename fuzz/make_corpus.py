#!/usr/bin/env python3
"""Writes the seed corpus of the bitmap reader's fuzz target: one small file
per form the reader knows (file header or none, core and later headers, bit
depths, run-length data) plus a few broken ones. Run from the repository root;
the output is committed under fuzz/corpus/packed_dib/."""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "packed_dib")


def info_header(width, height, bits, compression=0, size_image=0, colours_used=0, size=40):
    head = struct.pack("<IiiHHIIiiII", size, width, height, 1, bits, compression, size_image, 0, 0, colours_used, 0)
    return head + b"\x77" * (size - 40)


def rows(width, height, bits, value=lambda x, y: (x + 3 * y) & 0xFF):
    stride = (bits * width + 31) // 32 * 4
    out = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray(stride)
        if bits == 8:
            for x in range(width):
                row[x] = 10 if (x + y) % 5 == 0 else value(x, y)
        else:
            for i in range(stride):
                row[i] = (i * 37 + y) & 0xFF
        out += row
    return bytes(out)


def table(count, entry=4):
    return b"".join(bytes([(k * 5) & 0xFF, (255 - k) & 0xFF, (k * 11) & 0xFF, 0][:entry]) for k in range(count))


def file_header(body_before_rows, row_bytes, gap=0):
    off = 14 + len(body_before_rows) + gap
    return b"BM" + struct.pack("<IHHI", off + len(row_bytes), 0, 0, off)


def bmp(head, row_bytes, gap=0):
    return file_header(head, row_bytes, gap) + head + b"\0" * gap + row_bytes


def main():
    os.makedirs(OUT, exist_ok=True)
    seeds = {}
    r = rows(6, 5, 8)
    seeds["8bit_file.bmp"] = bmp(info_header(6, 5, 8) + table(256), r)
    seeds["8bit_packed.dib"] = info_header(5, 4, 8) + table(256) + rows(5, 4, 8)
    seeds["8bit_gap_before_rows.bmp"] = bmp(info_header(3, 2, 8, colours_used=256) + table(256), rows(3, 2, 8), 6)
    seeds["8bit_core.bmp"] = bmp(struct.pack("<IHHHH", 12, 4, 3, 1, 8) + table(256, 3), rows(4, 3, 8))
    seeds["8bit_16_colours.bmp"] = bmp(info_header(4, 4, 8, colours_used=16) + table(16), rows(4, 4, 8))
    seeds["8bit_rle.bmp"] = bmp(info_header(4, 2, 8, compression=1, size_image=8, colours_used=2) + table(2),
                                bytes([4, 1, 0, 0, 4, 2, 0, 1]))
    seeds["4bit.bmp"] = bmp(info_header(7, 3, 4) + table(16), rows(7, 3, 4))
    seeds["1bit.bmp"] = bmp(info_header(9, 2, 1) + table(2), rows(9, 2, 1))
    seeds["24bit.bmp"] = bmp(info_header(3, 2, 24), rows(3, 2, 24))
    seeds["32bit_bitfields_v5.bmp"] = bmp(info_header(2, 2, 32, compression=3, size=124), rows(2, 2, 32))
    seeds["top_down.bmp"] = bmp(info_header(4, -2, 8, colours_used=4) + table(4), rows(4, 2, 8))
    seeds["truncated_rows.bmp"] = bmp(info_header(8, 8, 8, colours_used=8) + table(8), rows(8, 8, 8))[:-40]
    seeds["small_size_image.bmp"] = bmp(info_header(8, 4, 8, size_image=5, colours_used=8) + table(8), rows(8, 4, 8))
    seeds["huge_colour_count.bmp"] = bmp(info_header(2, 2, 8, colours_used=0xFFFFFFFF), rows(2, 2, 8))
    seeds["not_a_bitmap.txt"] = b"this is not a bitmap at all\n"
    for name, data in seeds.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)
    print(f"{len(seeds)} seeds, {sum(len(d) for d in seeds.values())} bytes in {OUT}")


if __name__ == "__main__":
    main()
