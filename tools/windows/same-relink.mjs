// Compares two database files that the same relink wrote, one on Linux and
// one on Windows: they must be the same byte for byte but for the dates the
// relink stamps (8-byte doubles, days since 1899-12-30, near now).
//   node same-relink.mjs LINUX.mdb WINDOWS.mdb
import { readFileSync } from "node:fs";

const [a, b] = process.argv.slice(2).map((f) => readFileSync(f));
if (a.length !== b.length) {
  console.error(`sizes differ: ${a.length} and ${b.length}`);
  process.exit(1);
}
const now = Date.now() / 86400000 + 25569; // days since 1899-12-30, UTC
const nearNow = (buf, at) => at >= 0 && at + 8 <= buf.length && Math.abs(buf.readDoubleLE(at) - now) < 2;
let dates = 0;
for (let i = 0; i < a.length; i++) {
  if (a[i] === b[i]) continue;
  // The differing byte must lie in a date both files hold there.
  let start = -1;
  for (let s = i - 7; s <= i; s++) if (nearNow(a, s) && nearNow(b, s)) start = s;
  if (start < 0) {
    console.error(`byte ${i} differs (0x${a[i].toString(16)} and 0x${b[i].toString(16)}) outside any date`);
    process.exit(1);
  }
  dates++;
  i = start + 7;
}
console.log(`same but for ${dates} date${dates === 1 ? "" : "s"}`);
