# shellcheck shell=bash
# Sourced by the server scripts: stops the process whose pid a file holds.
#   stop_by_pid_file FILE   SIGTERM, up to 5 s for it to end, then SIGKILL; removes FILE.
# Only that pid is signalled, never a process found by its name: other servers of the same
# program may run beside it.
stop_by_pid_file() {
    local file=$1
    [ -f "$file" ] || return 0
    local pid
    pid=$(cat "$file")
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    rm -f "$file"
}
