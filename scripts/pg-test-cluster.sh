#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests and benchmarks.
#   pg-test-cluster.sh start STATEFILE   makes a cluster in a new temporary folder, starts it listening
#                                        only on a unix socket in that folder (no TCP), and writes the
#                                        folder's path to STATEFILE
#   pg-test-cluster.sh stop STATEFILE    stops that cluster and removes its folder
# The server refuses to run as root, so as root it runs as the unprivileged user postgres.
# A libpq URI postgresql:///DB?host=FOLDER&user=postgres reaches it. fsync is off: test data only.
set -euo pipefail
action=${1:?start or stop}
state=${2:?state file}

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bindir/initdb" ] || { echo "PostgreSQL server programs not found (scripts/install-deps.sh installs them)" >&2; exit 1; }

as_owner=()
if [ "$(id -u)" -eq 0 ]; then as_owner=(runuser -u postgres --); fi

# The server must not hold what its caller opened: a lock held by the process that starts the
# cluster (a build lock around a test run, say) would stay held for as long as the server runs.
for fd in /proc/$$/fd/*; do
  n=${fd##*/}
  if [ "$n" -gt 2 ] && [ "$n" -lt 255 ]; then eval "exec $n>&-"; fi
done

case "$action" in
  start)
    # A cluster left by an interrupted run goes first, and so does one that a test program started
    # for itself (zorbex-pg-state-PID) and could not stop because it was killed.
    [ -f "$state" ] && "$0" stop "$state"
    for other in /tmp/zorbex-pg-state-*; do
      [ -f "$other" ] || continue
      pid=${other##*-}
      if [[ "$pid" =~ ^[0-9]+$ ]] && ! kill -0 "$pid" 2>/dev/null; then "$0" stop "$other"; fi
    done
    dir=$(mktemp -d /tmp/zorbex-pg-XXXXXX)
    chmod 755 "$dir"
    [ ${#as_owner[@]} -gt 0 ] && chown postgres: "$dir"
    "${as_owner[@]}" "$bindir/initdb" -D "$dir/data" -U postgres -A trust --encoding=UTF8 --locale=C >"$dir/initdb.log" 2>&1 ||
      { cat "$dir/initdb.log" >&2; exit 1; }
    "${as_owner[@]}" "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
      -o "-k $dir -c listen_addresses='' -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" \
      start >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
    # Every database made for a test inherits the case-insensitive text type.
    "$bindir/psql" -X -q -v ON_ERROR_STOP=1 "postgresql:///template1?host=$dir&user=postgres" \
      -c "CREATE EXTENSION IF NOT EXISTS citext;" >/dev/null
    echo "$dir" >"$state"
    echo "PostgreSQL test cluster running on the socket in $dir"
    ;;
  stop)
    [ -f "$state" ] || exit 0
    dir=$(cat "$state")
    if [ -d "$dir/data" ]; then
      "${as_owner[@]}" "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null || true
    fi
    rm -rf "$dir" "$state"
    ;;
  *)
    echo "unknown action $action" >&2
    exit 2
    ;;
esac
