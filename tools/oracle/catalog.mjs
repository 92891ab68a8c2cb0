// Prints the catalog's tables as an independent reader sees them (see
// catalog_lines.mjs for the form of a line).
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";
import { catalogLines } from "./catalog_lines.mjs";

const [file, password] = process.argv.slice(2);
const reader = new MDBReader(readFileSync(file), password ? { password } : undefined);
for (const line of catalogLines(reader)) console.log(line);
