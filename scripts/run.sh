#!/usr/bin/env bash
# Starts Orlenta. If no ODBC data source "Orlenta" is defined yet, defines one for this user
# (~/.odbc.ini) on an embedded SQLite database in the build folder, and fills it with a demo.
set -euo pipefail
build=$(realpath "${1:-build}")

if ! odbcinst -q -s -n Orlenta >/dev/null 2>&1; then
  mkdir -p "$build/demo"
  template=$(mktemp)
  cat > "$template" <<INI
[Orlenta]
Description=Orlenta (embedded demo database)
Driver=SQLite3
Database=$build/demo/orlenta.db
Timeout=30000
INI
  odbcinst -i -s -h -f "$template" >/dev/null
  rm -f "$template"
  echo "Defined the ODBC data source \"Orlenta\" in ~/.odbc.ini on $build/demo/orlenta.db"
fi

"$build/orlenta-db" init --if-missing
"$build/orlenta-db" demo --students 2000 --if-empty

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Orlenta on a virtual X display (xvfb-run)."
  exec xvfb-run -a "$build/orlenta"
fi
exec "$build/orlenta"
