#!/usr/bin/env bash
# A throwaway PostgreSQL 15 cluster for the tests and the benchmark, on a unix socket only.
#   pg-cluster.sh start DIR   initdb in DIR (if needed) and start; DIR/socket names the socket dir
#   pg-cluster.sh stop DIR    stop it (the data stays until DIR is removed)
# Runs the server as "postgres" when started by root, since PostgreSQL refuses to run as root.
set -euo pipefail
action=${1:?start or stop}
dir=$(realpath -m "${2:?cluster directory}")
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bin/pg_ctl" ] || { echo "PostgreSQL server binaries not found (install postgresql-15)" >&2; exit 1; }

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case "$action" in
start)
  mkdir -p "$dir"
  if [ ! -s "$dir/socket" ] || [ ! -d "$(cat "$dir/socket")" ]; then
    # The socket's path must stay short (about 100 bytes), so it lives in /tmp.
    mktemp -d /tmp/orlenta-pg.XXXXXX > "$dir/socket"
  fi
  sock=$(cat "$dir/socket")
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres "$dir" "$sock"
    # The server must reach its data directory through every parent.
    p="$dir"; while [ "$p" != / ]; do chmod o+x "$p" 2>/dev/null || true; p=$(dirname "$p"); done
  fi
  if [ ! -f "$dir/data/PG_VERSION" ]; then
    as_owner "$bin/initdb" -D "$dir/data" -U postgres -E UTF8 --locale=C.UTF-8 -A trust >"$dir/initdb.log" 2>&1 \
      || { cat "$dir/initdb.log" >&2; exit 1; }
  fi
  if ! as_owner "$bin/pg_ctl" -D "$dir/data" status >/dev/null 2>&1; then
    # The server outlives whoever started it, so it must not keep their open files: a lock file
    # that a wrapper holds around a test run, say, would stay held for as long as the server runs.
    for fd in /proc/$$/fd/*; do
      n=${fd##*/}
      if [ "$n" -gt 2 ] && [ "$n" -lt 255 ]; then eval "exec $n>&-"; fi
    done
    as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start \
      -o "-c listen_addresses='' -c unix_socket_directories='$sock' -c fsync=off -c full_page_writes=off -c synchronous_commit=off -c max_connections=200 -c shared_buffers=256MB -c work_mem=32MB" \
      >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
  fi
  echo "PostgreSQL running, socket in $sock"
  ;;
stop)
  [ -f "$dir/data/PG_VERSION" ] && as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
  ;;
*) echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac
