#!/usr/bin/env bash
# A private PostgreSQL server for the database tests:
#   scripts/postgres-test-server.sh start|stop|status
#
# The cluster lives in TARNWICK_PG_DIR (default: build/pg in the source tree)
# and listens on 127.0.0.1 only, port TARNWICK_PG_PORT (default 54329), with
# password logins over TCP and no Unix socket. PostgreSQL refuses to run as
# root, so under root the cluster belongs to the `postgres` system user.
#
# Roles (passwords overridable by the same-named environment variables):
#   tarnwick_owner  builds the fixture databases (CREATEDB, no superuser)
#   tarnwick_reader may only read what the owner grants it
# `start` is idempotent: a running cluster is left as it is, and a server
# already answering on the port with these roles is used as it is.
set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(dirname "$script_dir")

PORT=${TARNWICK_PG_PORT:-54329}
PG_DIR=${TARNWICK_PG_DIR:-$source_dir/build/pg}
SUPERUSER_PASSWORD=${TARNWICK_PG_SUPERUSER_PASSWORD:-tarnwick-admin}
OWNER_PASSWORD=${TARNWICK_PG_OWNER_PASSWORD:-tarnwick-owner}
READER_PASSWORD=${TARNWICK_PG_READER_PASSWORD:-tarnwick-reader}

action=${1:-}

die() {
    echo "postgres-test-server: $*" >&2
    # Where the suites may skip without the server, its absence fails nothing here.
    if [[ $action == start && ${TARNWICK_ALLOW_NO_POSTGRES:-} == 1 ]]; then
        echo "postgres-test-server: TARNWICK_ALLOW_NO_POSTGRES=1: the PostgreSQL suites will skip" >&2
        exit 0
    fi
    exit 1
}
say() { echo "postgres-test-server: $*"; }

find_bindir() {
    if [[ -n ${TARNWICK_PG_BIN:-} ]]; then
        echo "$TARNWICK_PG_BIN"; return
    fi
    local dir
    # Highest installed major version first.
    for dir in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -t/ -k5 -n -r); do
        [[ -x $dir/initdb ]] && { echo "$dir"; return; }
    done
    if command -v initdb >/dev/null 2>&1; then
        dirname "$(command -v initdb)"; return
    fi
    die "no PostgreSQL server found (Debian: apt-get install postgresql)"
}

BIN=$(find_bindir)
PSQL=$BIN/psql
[[ -x $PSQL ]] || PSQL=$(command -v psql || true)
[[ -n $PSQL ]] || die "psql not found (Debian: apt-get install postgresql-client)"

# Runs a command as the cluster's owner.
if [[ $(id -u) -eq 0 ]]; then
    id postgres >/dev/null 2>&1 || die "running as root needs the 'postgres' system user (Debian's postgresql package creates it)"
    as_owner() {
        if command -v runuser >/dev/null 2>&1; then
            runuser -u postgres -- "$@"
        else
            su -s /bin/sh postgres -c "$(printf '%q ' "$@")"
        fi
    }
else
    as_owner() { "$@"; }
fi

# The postgres user must reach the folder; a build tree under a private home
# (for example /root) is out of its reach, so the cluster then moves to /tmp.
resolve_dir() {
    mkdir -p "$PG_DIR"
    if [[ $(id -u) -eq 0 ]]; then
        chown postgres: "$PG_DIR"
        if ! as_owner test -w "$PG_DIR" 2>/dev/null; then
            local alt
            alt=/tmp/tarnwick-pg-$(printf '%s' "$PG_DIR" | cksum | cut -d' ' -f1)
            mkdir -p "$alt"
            chown postgres: "$alt"
            chmod 700 "$alt"
            PG_DIR=$alt
        fi
    fi
}

DATA() { echo "$PG_DIR/data"; }
LOG() { echo "$PG_DIR/server.log"; }

psql_super() {
    PGPASSWORD=$SUPERUSER_PASSWORD PGCONNECT_TIMEOUT=5 PGOPTIONS="-c client_min_messages=warning" "$PSQL" -X -q -v ON_ERROR_STOP=1 \
        -h 127.0.0.1 -p "$PORT" -U postgres -d postgres "$@"
}

owner_can_login() {
    PGPASSWORD=$OWNER_PASSWORD PGCONNECT_TIMEOUT=5 "$PSQL" -X -q -h 127.0.0.1 -p "$PORT" \
        -U tarnwick_owner -d postgres -c 'SELECT 1' >/dev/null 2>&1
}

cluster_running() {
    [[ -f $(DATA)/PG_VERSION ]] && as_owner "$BIN/pg_ctl" -D "$(DATA)" status >/dev/null 2>&1
}

port_answers() {
    "$BIN/pg_isready" -q -h 127.0.0.1 -p "$PORT" -t 2 >/dev/null 2>&1
}

init_cluster() {
    local data
    data=$(DATA)
    # A folder left by an interrupted initdb is started afresh.
    if [[ -d $data && ! -f $data/PG_VERSION ]]; then
        rm -rf "$data"
    fi
    [[ -f $data/PG_VERSION ]] && return
    say "creating cluster in $data"
    local pwfile
    pwfile=$(mktemp "$PG_DIR/pw.XXXXXX")
    printf '%s\n' "$SUPERUSER_PASSWORD" >"$pwfile"
    [[ $(id -u) -eq 0 ]] && chown postgres: "$pwfile"
    as_owner "$BIN/initdb" -D "$data" -U postgres --pwfile="$pwfile" -E UTF8 --locale=C.UTF-8 \
        --auth-local=scram-sha-256 --auth-host=scram-sha-256 >"$PG_DIR/initdb.log" 2>&1 \
        || { rm -f "$pwfile"; cat "$PG_DIR/initdb.log" >&2; die "initdb failed"; }
    rm -f "$pwfile"
    # A throw-away test server: loopback only, no socket file, no durability.
    as_owner sh -c "cat >>'$data/postgresql.conf'" <<'EOF'

# Tarnwick test server
listen_addresses = '127.0.0.1'
unix_socket_directories = ''
fsync = off
synchronous_commit = off
full_page_writes = off
max_connections = 50
EOF
}

create_roles() {
    psql_super <<EOF
DO \$\$
BEGIN
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'tarnwick_owner') THEN
    CREATE ROLE tarnwick_owner LOGIN CREATEDB;
  END IF;
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'tarnwick_reader') THEN
    CREATE ROLE tarnwick_reader LOGIN;
  END IF;
END
\$\$;
ALTER ROLE tarnwick_owner LOGIN CREATEDB NOSUPERUSER PASSWORD '$OWNER_PASSWORD';
ALTER ROLE tarnwick_reader LOGIN NOCREATEDB NOCREATEROLE NOSUPERUSER PASSWORD '$READER_PASSWORD';
-- Lets the owner drop a test database that a reader connection still holds.
GRANT pg_signal_backend TO tarnwick_owner;
-- Compiling a plan to machine code cost each chunk of an export more than
-- running it (about 0.3 s of 0.6 s): the product's own servers do no such thing.
ALTER ROLE tarnwick_reader SET jit = off;
ALTER ROLE tarnwick_owner SET jit = off;
EOF
}

start() {
    resolve_dir
    if cluster_running; then
        local running_port
        running_port=$(sed -n 4p "$(DATA)/postmaster.pid" 2>/dev/null || true)
        [[ $running_port == "$PORT" ]] || die "the cluster in $(DATA) runs on port $running_port; stop it first"
        say "already running on 127.0.0.1:$PORT ($(DATA))"
        create_roles
        return
    fi
    if port_answers; then
        # Another build's test server: usable when it knows our roles.
        owner_can_login || die "port $PORT is taken by a server that is not a Tarnwick test server (set TARNWICK_PG_PORT)"
        say "using the test server already on 127.0.0.1:$PORT"
        return
    fi
    init_cluster
    as_owner "$BIN/pg_ctl" -D "$(DATA)" -l "$(LOG)" -o "-p $PORT" -w -t 60 start >/dev/null \
        || { tail -n 30 "$(LOG)" >&2 2>/dev/null || true; die "server did not start"; }
    create_roles
    say "running on 127.0.0.1:$PORT ($(DATA))"
}

stop() {
    resolve_dir
    if cluster_running; then
        as_owner "$BIN/pg_ctl" -D "$(DATA)" -m fast -w -t 60 stop >/dev/null
        say "stopped"
    else
        say "not running ($(DATA))"
    fi
}

status() {
    resolve_dir
    if cluster_running; then
        say "running on 127.0.0.1:$PORT ($(DATA))"
    elif port_answers; then
        say "another server answers on 127.0.0.1:$PORT"
    else
        say "not running ($(DATA))"
        return 3
    fi
}

case $action in
    start) start ;;
    stop) stop ;;
    status) status ;;
    *) echo "usage: $0 start|stop|status" >&2; exit 2 ;;
esac
