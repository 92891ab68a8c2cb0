// Turns the XWD picture Xvfb keeps of its screen (-fbdir) into a PNG of the
// part that is not the black background: the window.
//   node xwd-to-png.mjs SCREEN.xwd OUT.png
import { readFileSync, writeFileSync } from "node:fs";
import { deflateSync, crc32 } from "node:zlib";

const [input, output] = process.argv.slice(2);
const x = readFileSync(input);
const field = (i) => x.readUInt32BE(i * 4);
const headerSize = field(0), width = field(4), height = field(5), byteOrder = field(7);
const bitsPerPixel = field(11), bytesPerLine = field(12), ncolors = field(19);
if (bitsPerPixel !== 32) throw new Error(`${bitsPerPixel} bits per pixel: run Xvfb with a 24-bit screen`);
const pixels = headerSize + ncolors * 12;
const rgb = (px, py) => {
  const at = pixels + py * bytesPerLine + px * 4;
  const v = byteOrder === 0 ? x.readUInt32LE(at) : x.readUInt32BE(at);
  return [(v >> 16) & 255, (v >> 8) & 255, v & 255];
};
// The background: the black root window of "Xvfb -br".
const bg = "0,0,0";
let left = width, top = height, right = -1, bottom = -1;
for (let py = 0; py < height; py++)
  for (let px = 0; px < width; px++)
    if (rgb(px, py).join() !== bg) {
      left = Math.min(left, px); right = Math.max(right, px);
      top = Math.min(top, py); bottom = Math.max(bottom, py);
    }
if (right < 0) throw new Error("the screen is empty");
const w = right - left + 1, h = bottom - top + 1;
const raw = Buffer.alloc((w * 3 + 1) * h);
for (let py = 0; py < h; py++)
  for (let px = 0; px < w; px++) raw.set(rgb(left + px, top + py), py * (w * 3 + 1) + 1 + px * 3);
const chunk = (type, data) => {
  const out = Buffer.alloc(12 + data.length);
  out.writeUInt32BE(data.length, 0);
  out.write(type, 4, "latin1");
  data.copy(out, 8);
  out.writeUInt32BE(crc32(out.subarray(4, 8 + data.length)), 8 + data.length);
  return out;
};
const ihdr = Buffer.alloc(13);
ihdr.writeUInt32BE(w, 0);
ihdr.writeUInt32BE(h, 4);
ihdr.set([8, 2, 0, 0, 0], 8); // 8 bits, RGB
writeFileSync(output, Buffer.concat([
  Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]),
  chunk("IHDR", ihdr), chunk("IDAT", deflateSync(raw, { level: 9 })), chunk("IEND", Buffer.alloc(0)),
]));
console.log(`${output}: ${w}x${h}`);
