#!/usr/bin/env python3
"""Derives the icon files from the two drawings (vostrel-32.xpm, vostrel-16.xpm).

Writes vostrel-32.png and vostrel-16.png (indexed, transparent ground) for the
window and the desktop entry, the smooth dart at 48 to 256 pixels
(vostrel-SIZE.png) for the desktop's larger icons, and vostrel.ico for the Windows resource script:
the two drawings at 4 bits a pixel, and the same dart drawn smooth (32 bits a
pixel, with alpha) at 16 to 256 pixels for today's screens and their DPI, the
largest as PNG, as Windows keeps it. Standard library only; run it after
editing a drawing and commit what it writes.
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


# The dart for the smooth images, on the drawings' 32-unit grid: each part a
# convex polygon with its fill and outline colour, later parts over earlier.
# Points are given along the shaft (a, from the point at the upper left) and
# across it (b, towards the upper right).
def dart_parts():
    r2 = 2 ** -0.5
    def at(a, b):
        return (1 + (a + b) * r2, 1 + (a - b) * r2)
    flight = lambda side: [at(23, side * 1.2), at(30, side * 6.6), at(35, side * 6.6), at(34.3, side * 1.2)]
    return [
        (flight(1), 0xFFFF00, 0x808000),
        (flight(-1), 0xFFFF00, 0x808000),
        ([at(5, 1.8), at(35, 1.8), at(35, -1.8), at(5, -1.8)], 0xFF0000, 0x800000),
        ([at(0, 0), at(7, 1.5), at(7, -1.5)], 0xC0C0C0, 0x808080),
    ]


def render(size, samples=4):
    """RGBA rows of the dart at size x size pixels, each pixel the mean of samples^2 points."""
    scale = 32 / size
    outline = 0.75  # units of the 32-grid
    parts = []
    for points, fill, line in dart_parts():
        edges = []
        n = len(points)
        for i in range(n):
            (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
            length = ((x1 - x0) ** 2 + (y1 - y0) ** 2) ** 0.5
            edges.append((x0, y0, (x1 - x0) / length, (y1 - y0) / length))
        # The inside is the side every edge has on its right (clockwise on screen)
        # or its left: take whichever holds for the polygon's centre.
        cx = sum(p[0] for p in points) / n
        cy = sum(p[1] for p in points) / n
        sign = 1 if all((cx - x0) * dy - (cy - y0) * dx > 0 for x0, y0, dx, dy in edges) else -1
        parts.append((edges, sign, fill, line))
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) * scale
                    y = (py + (sy + 0.5) / samples) * scale
                    colour = None
                    for edges, sign, fill, line in parts:
                        inside = min(sign * ((x - x0) * dy - (y - y0) * dx) for x0, y0, dx, dy in edges)
                        if inside > 0:
                            colour = fill if inside > outline else line
                    if colour is not None:
                        acc[0] += colour >> 16
                        acc[1] += (colour >> 8) & 0xFF
                        acc[2] += colour & 0xFF
                        acc[3] += 1
            covered = acc[3]
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((acc[0] // covered, acc[1] // covered, acc[2] // covered,
                            round(255 * covered / samples ** 2)))
        rows.append(row)
    return rows


def svg():
    """The dart as a scalable image on the 32-unit grid, for the desktop's scalable icon: each
    part filled and outlined inside its own edge, as render() draws it."""
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 32 32">']
    for i, (points, fill, line) in enumerate(dart_parts()):
        coords = ' '.join(f'{x:.3f},{y:.3f}' for x, y in points)
        out.append(f'  <clipPath id="p{i}"><polygon points="{coords}"/></clipPath>')
        out.append(f'  <polygon points="{coords}" fill="#{fill:06x}" stroke="#{line:06x}" stroke-width="1.5"'
                   f' stroke-linejoin="miter" clip-path="url(#p{i})"/>')
    out.append('</svg>')
    return '\n'.join(out) + '\n'


def png_rgba(size, rows):
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    raw = b''.join(b'\0' + b''.join(bytes(p) for p in r) for r in rows)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def ico_image_rgba(size, rows):
    header = struct.pack('<IiiHHIIiiII', 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b''.join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    mask_line = (size + 7) // 8
    mask = b'\0' * ((mask_line + (-mask_line % 4)) * size)  # alpha decides
    return header + xor + mask


def main():
    here = Path(__file__).resolve().parent
    images = [read_xpm(here / f'vostrel-{n}.xpm') for n in (32, 16)]
    for w, h, rows in images:
        (here / f'vostrel-{w}.png').write_bytes(png(w, h, rows))
    # (size, colours, bits a pixel, image)
    entries = [(w, 16, 4, ico_image(w, h, rows)) for w, h, rows in images]
    for size in (16, 24, 32, 48, 64, 128, 256):
        rows = render(size)
        if size > 32:  # the desktop's larger sizes; 16 and 32 are the drawings
            (here / f'vostrel-{size}.png').write_bytes(png_rgba(size, rows))
        entries.append((size, 0, 32, png_rgba(size, rows) if size == 256 else ico_image_rgba(size, rows)))
    out = struct.pack('<HHH', 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, colours, bits, blob in entries:
        out += struct.pack('<BBBBHHII', size % 256, size % 256, colours, 0, 1, bits, len(blob), offset)
        offset += len(blob)
    (here / 'vostrel.svg').write_text(svg())
    (here / 'vostrel.ico').write_bytes(out + b''.join(entries_blob for *_, entries_blob in entries))


if __name__ == '__main__':
    main()
