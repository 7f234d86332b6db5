#!/usr/bin/env bash
# A private CUPS server on a loopback port with two cups-pdf queues, for tests.
#   cups-server.sh start DIR PORT   prepares DIR, starts cupsd, prints its pid
#   cups-server.sh stop DIR         stops the cupsd started in DIR by its pid
#
# Queues: "PDF" (the default) writes each job as a PDF under DIR/pdf/PDF, "Cozinha" under
# DIR/pdf/Cozinha. Clients reach the server with CUPS_SERVER=127.0.0.1:PORT.
#
# cups-pdf reads its configuration from /etc/cups only (the path is built into it). To
# leave the system's files alone, cupsd runs in a mount namespace of its own in which
# DIR/etc is bound over /etc/cups; the system's /etc/cups is never written. Where
# namespaces are not allowed the script fails with a message instead.
set -euo pipefail

prepare() {
    local dir=$1 port=$2
    rm -rf "$dir"
    mkdir -p "$dir/etc/ppd" "$dir/spool/tmp" "$dir/cache" "$dir/state" "$dir/log" \
        "$dir/pdf-spool" "$dir/pdf"
    # Filters run as lp and the backend writes as the job's user.
    chmod 0755 "$dir" "$dir/pdf"
    chmod 1777 "$dir/pdf-spool"

    cat >"$dir/etc/cupsd.conf" <<CONF
Listen 127.0.0.1:$port
LogLevel warn
Browsing No
WebInterface No
DefaultAuthType None
DefaultEncryption Never
<Location />
  Order allow,deny
  Allow 127.0.0.1
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
    cat >"$dir/etc/cups-files.conf" <<CONF
ServerRoot /etc/cups
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
ServerBin /usr/lib/cups
DataDir /usr/share/cups
User lp
Group lp
SystemGroup root lpadmin
CONF
    : >"$dir/etc/printers.conf"
    local queue
    for queue in PDF Cozinha; do
        mkdir -p "$dir/pdf/$queue"
        chmod 0777 "$dir/pdf/$queue"
        # The queue "PDF" is the plain instance (cups-pdf:/), the others are named ones.
        local conf=cups-pdf-$queue.conf
        [ "$queue" = PDF ] && conf=cups-pdf.conf
        cat >"$dir/etc/$conf" <<CONF
Out $dir/pdf/$queue
AnonDirName $dir/pdf/$queue
Spool $dir/pdf-spool
Logdir $dir/log
Grp lpadmin
UserUMask 0022
Label 1
CONF
    done
}

# Waits until cupsd answers on its port.
wait_for_port() {
    local port=$1
    for _ in $(seq 1 50); do
        if (echo >"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            return 0
        fi
        sleep 0.2
    done
    return 1
}

start() {
    local dir=$1 port=$2
    if ! unshare --mount --propagation private true 2>/dev/null; then
        echo "cups-server.sh: mount namespaces are not allowed here (needs root)" >&2
        return 1
    fi
    prepare "$dir" "$port"
    # unshare and sh exec in place, so the recorded pid is cupsd's.
    nohup unshare --mount --propagation private sh -c \
        'mount --bind "$1/etc" /etc/cups && exec /usr/sbin/cupsd -f -c /etc/cups/cupsd.conf -s /etc/cups/cups-files.conf' \
        sh "$dir" >"$dir/server.out" 2>&1 &
    echo $! >"$dir/server.pid"
    if ! wait_for_port "$port"; then
        echo "cupsd did not start; see $dir/server.out and $dir/log/error_log" >&2
        stop "$dir"
        return 1
    fi
    local server=127.0.0.1:$port
    lpadmin -h "$server" -p PDF -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd -E 2>>"$dir/server.out"
    lpadmin -h "$server" -p Cozinha -v cups-pdf:/Cozinha \
        -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd -E 2>>"$dir/server.out"
    lpadmin -h "$server" -d PDF 2>>"$dir/server.out"
    cat "$dir/server.pid"
}

stop() {
    local dir=$1
    [ -f "$dir/server.pid" ] || return 0
    local pid
    pid=$(cat "$dir/server.pid")
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    rm -f "$dir/server.pid"
}

case "${1:-}" in
start) start "$2" "$3" ;;
stop) stop "$2" ;;
*)
    echo "usage: $0 start DIR PORT | stop DIR" >&2
    exit 2
    ;;
esac
