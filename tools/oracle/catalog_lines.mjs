// The catalog's tables (types 1, 4, 6) as an independent reader sees them,
// one tab-separated line each:
//   name  type  system|user  database  connect  foreignName  lv  rows
// where database, connect and foreignName are "-" for null or "+" and the
// value, lv is "null" or "set", and rows is the row count of a local table.
export function catalogLines(reader) {
  const objects = reader.getTable("MSysObjects").getData();
  const col = (v) => (v === null || v === undefined ? "-" : "+" + String(v));
  const clean = (s) => s.replace(/[\t\n\r]/g, " ");
  const lines = [];
  for (const o of objects) {
    const type = o.Type & 0x7fff;
    if (![1, 4, 6].includes(type)) continue;
    const flags = o.Flags >>> 0;
    const system = (flags & 0x80000000) !== 0 || (flags & 0x2) !== 0;
    let rows = "";
    if (type === 1) {
      try {
        rows = String(reader.getTable(o.Name).rowCount);
      } catch {
        rows = "";
      }
    }
    const lv = o.Lv === null || o.Lv === undefined ? "null" : "set";
    lines.push([o.Name, type, system ? "system" : "user", clean(col(o.Database)), clean(col(o.Connect)),
      clean(col(o.ForeignName)), lv, rows].join("\t"));
  }
  return lines;
}
