#!/usr/bin/env bash
# A private Firebird server on a loopback port, for tests.
#   firebird-server.sh start DIR PORT [ADDRESS]   prepares DIR, starts the server listening
#                                                 on ADDRESS (default 127.0.0.1), prints its pid
#   firebird-server.sh stop DIR         stops the server started in DIR by its pid
set -euo pipefail
# shellcheck source=tools/lib/pid-stop.sh
source "$(dirname "$0")/lib/pid-stop.sh"

fb_root=/usr/lib/x86_64-linux-gnu/firebird/3.0
security_sql=/usr/share/firebird/3.0/security.sql

prepare() {
    local dir=$1 port=$2 address=$3
    rm -rf "$dir"
    mkdir -p "$dir/intl" "$dir/lock"
    cp "$fb_root/firebird.msg" "$dir/"
    cp "$fb_root/plugins.conf" "$dir/"
    ln -s "$fb_root/plugins" "$dir/plugins"
    ln -s "$fb_root/lib" "$dir/lib"
    # WIN1252 is "not defined" when libfbintl.so is only a link.
    cp -L "$fb_root/intl/libfbintl.so" "$fb_root/intl/fbintl.conf" "$dir/intl/"
    : >"$dir/databases.conf"
    cat >"$dir/firebird.conf" <<CONF
RemoteServicePort = $port
RemoteBindAddress = $address
SecurityDatabase = $dir/security3.fdb
ServerMode = Super
WireCrypt = Enabled
AuthServer = Srp, Legacy_Auth
AuthClient = Srp, Legacy_Auth
UserManager = Srp
CONF
    (
        export FIREBIRD=$dir FIREBIRD_LOCK=$dir/lock LANG=C
        echo "create database '$dir/security3.fdb';" | isql-fb -q
        isql-fb -q -user SYSDBA -i "$security_sql" "$dir/security3.fdb"
        echo "create or alter user SYSDBA password 'cellarbox';" |
            isql-fb -q -user SYSDBA "$dir/security3.fdb"
    )
}

start() {
    local dir=$1 port=$2 address=${3:-127.0.0.1}
    prepare "$dir" "$port" "$address"
    FIREBIRD=$dir FIREBIRD_LOCK=$dir/lock nohup /usr/sbin/firebird >"$dir/server.out" 2>&1 &
    echo $! >"$dir/server.pid"
    for _ in $(seq 1 50); do
        if (echo >"/dev/tcp/$address/$port") 2>/dev/null; then
            cat "$dir/server.pid"
            return 0
        fi
        sleep 0.2
    done
    echo "Firebird server did not start; see $dir/server.out" >&2
    stop "$dir"
    return 1
}

stop() {
    stop_by_pid_file "$1/server.pid"
}

case "${1:-}" in
start) start "$2" "$3" "${4:-}" ;;
stop) stop "$2" ;;
*)
    echo "usage: $0 start DIR PORT [ADDRESS] | stop DIR" >&2
    exit 2
    ;;
esac
