#!/usr/bin/env python3
"""Derives the icon files from the two drawings (vostrel-32.xpm, vostrel-16.xpm).

Writes vostrel-32.png and vostrel-16.png (indexed, transparent ground) for the
window and the desktop entry, and vostrel.ico (both sizes, 4 bits a pixel) for
the Windows resource script. Standard library only; run it after editing a
drawing and commit what it writes.
"""
import struct
import zlib
from pathlib import Path

# The sixteen colours of the classic Windows palette, in their usual order.
PALETTE = [0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
           0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF]


def read_xpm(path):
    lines = [l.strip().rstrip(',') for l in Path(path).read_text().splitlines() if l.strip().startswith('"')]
    lines = [l.strip('"') for l in lines]
    w, h, ncolors, cpp = map(int, lines[0].split())
    assert cpp == 1
    keys = {}
    for l in lines[1:1 + ncolors]:
        key, _, value = l[0], l[2], l[4:]
        keys[key] = None if value == 'None' else PALETTE.index(int(value[1:], 16))
    rows = [[keys[c] for c in l] for l in lines[1 + ncolors:1 + ncolors + h]]
    assert all(len(r) == w for r in rows)
    return w, h, rows


def png(w, h, rows):
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    # Index 16 is the transparent ground.
    plte = b''.join(struct.pack('>I', c)[1:] for c in PALETTE) + b'\0\0\0'
    trns = b'\xff' * 16 + b'\0'
    raw = b''.join(b'\0' + bytes(16 if p is None else p for p in r) for r in rows)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 3, 0, 0, 0)) +
            chunk(b'PLTE', plte) + chunk(b'tRNS', trns) + chunk(b'IDAT', zlib.compress(raw, 9)) +
            chunk(b'IEND', b''))


def ico_image(w, h, rows):
    header = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', c & 0xFF, (c >> 8) & 0xFF, c >> 16, 0) for c in PALETTE)
    xor, mask = b'', b''
    for r in reversed(rows):  # bottom-up
        line = bytes(((0 if a is None else a) << 4) | (0 if b is None else b) for a, b in zip(r[0::2], r[1::2]))
        xor += line + b'\0' * (-len(line) % 4)
        bits = bytearray((w + 7) // 8)
        for x, p in enumerate(r):
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits) + b'\0' * (-len(bits) % 4)
    return header + palette + xor + mask


def main():
    here = Path(__file__).resolve().parent
    images = [read_xpm(here / f'vostrel-{n}.xpm') for n in (32, 16)]
    for w, h, rows in images:
        (here / f'vostrel-{w}.png').write_bytes(png(w, h, rows))
    blobs = [ico_image(*i) for i in images]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (w, h, _), blob in zip(images, blobs):
        out += struct.pack('<BBBBHHII', w, h, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    (here / 'vostrel.ico').write_bytes(out + b''.join(blobs))


if __name__ == '__main__':
    main()
