#!/usr/bin/env bash
# A private PostgreSQL cluster for the tests that run against a database server.
# It listens only on a socket in its own folder and leaves the system's
# clusters alone.
#   tools/pg-test-env.sh start   initdb + pg_ctl start, prints the environment
#                                for the tests (eval it)
#   tools/pg-test-env.sh stop    stops the postmaster that start began (by its
#                                PID) and removes the folder
# The folder is $RYDOL_PG_DIR (default /tmp/rydol-pg-$UID). The server refuses
# to run as root: then the cluster belongs to the system user postgres.
set -uo pipefail
dir="${RYDOL_PG_DIR:-/tmp/rydol-pg-$(id -u)}"

fail() {
    # The server tests read RYDOL_PG_ERROR and fail with it.
    printf 'export RYDOL_PG_ERROR=%q\n' "$*"
    echo "pg-test-env: $*" >&2
    exit 1
}

bindir() {
    local d
    d="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n1)"
    [ -n "$d" ] && [ -x "$d/initdb" ] && echo "$d"
}

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

stop() {
    local pidfile="$dir/data/postmaster.pid" pid
    if [ -f "$pidfile" ]; then
        pid="$(head -n1 "$pidfile")"
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            kill -INT "$pid" 2>/dev/null   # fast shutdown
            for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
            kill -9 "$pid" 2>/dev/null || true
        fi
    fi
    case "$dir" in /tmp/*) rm -rf "$dir" ;; esac
}

start() {
    stop
    local bin
    bin="$(bindir)" || fail "PostgreSQL is not installed (package postgresql)"
    if [ "$(id -u)" -eq 0 ]; then
        getent passwd postgres >/dev/null || fail "no system user postgres to run the server as"
    fi
    mkdir -p "$dir" || fail "cannot make $dir"
    chmod 700 "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
    as_owner "$bin/initdb" -D "$dir/data" -U postgres -E UTF8 --locale=C -A trust \
        >"$dir/initdb.log" 2>&1 || fail "initdb failed: $(tail -n 3 "$dir/initdb.log")"
    as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
        -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off -c full_page_writes=off -c max_connections=60" \
        start >"$dir/pg_ctl.log" 2>&1 || { log="$(tail -n 5 "$dir/server.log" "$dir/pg_ctl.log" 2>/dev/null)"; stop; fail "the server did not start: $log"; }
    printf 'export RYDOL_TEST_PG=%q\n' "postgresql://postgres@/postgres?host=$dir"
}

case "${1:-}" in
    start) start ;;
    stop) stop ;;
    *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
