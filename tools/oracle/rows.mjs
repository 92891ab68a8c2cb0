// Prints every row of one table as JSON with sorted keys, one row a line, so
// that two reads of a table can be compared line by line.
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const [file, table, password] = process.argv.slice(2);
const reader = new MDBReader(readFileSync(file), password ? { password } : undefined);
const rows = reader.getTable(table).getData();
const plain = (v) => {
  if (v instanceof Date) return { date: v.toISOString() };
  if (Buffer.isBuffer(v) || v instanceof Uint8Array) return { hex: Buffer.from(v).toString("hex") };
  if (typeof v === "bigint") return v.toString();
  return v;
};
for (const row of rows) {
  const out = {};
  for (const k of Object.keys(row).sort()) out[k] = plain(row[k]);
  console.log(JSON.stringify(out));
}
