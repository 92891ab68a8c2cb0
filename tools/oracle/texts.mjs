// Prints what an independent reader sees in a file: first its catalog
//   #CATALOG
//   one line per table, as catalog.mjs prints it
// then, for every table, its text, memo, integer and boolean columns:
//   #TABLE name
//   column names, tab-separated
//   one line per row: each value as JSON (null for null), tab-separated
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";
import { catalogLines } from "./catalog_lines.mjs";

const [file, password] = process.argv.slice(2);
const reader = new MDBReader(readFileSync(file), password ? { password } : undefined);
console.log(["#CATALOG", ...catalogLines(reader)].join("\n"));
const kinds = new Set(["text", "memo", "long", "integer", "byte", "boolean"]);
for (const name of reader.getTableNames({ normalTables: true, systemTables: true, linkedTables: false })) {
  // Tables the reader cannot read (column types it does not know) are left out.
  let lines;
  try {
    const table = reader.getTable(name);
    const columns = table.getColumns().filter((c) => kinds.has(c.type));
    lines = ["#TABLE " + name, columns.map((c) => c.name).join("\t")];
    for (const row of table.getData()) lines.push(columns.map((c) => JSON.stringify(row[c.name] ?? null)).join("\t"));
  } catch {
    continue;
  }
  console.log(lines.join("\n"));
}
