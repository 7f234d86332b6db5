#!/usr/bin/env bash
# prepare-data.sh DIR: creates the data folder DIR and, when they are missing, the two
# databases DRAVCUVORA22.FDB and DRAVPALMS.FDB in the database folder ($TOBRASK_DB_DIR,
# else DIR), empty, from tools/schema/. Existing databases are left as they are. Run as
# root on a machine with Debian's Firebird server (user "firebird"), the new files are
# given to that user, mode 0660, so that the server can open them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ $# -ne 1 ]; then
    echo "usage: $0 DIR" >&2
    exit 2
fi
data_dir=$1
db_dir=${TOBRASK_DB_DIR:-$data_dir}
mkdir -p "$data_dir" "$db_dir"

for name in DRAVCUVORA22 DRAVPALMS; do
    file=$db_dir/$name.FDB
    [ -e "$file" ] && continue
    # Built under a temporary name, so that a failure leaves no half-made database behind.
    partial=$db_dir/.$name.FDB.partial
    rm -f "$partial"
    if ! LANG=C isql-fb -q -bail -user SYSDBA -password cellarbox >"$db_dir/.$name.log" 2>&1 <<SQL; then
SET SQL DIALECT 3;
CREATE DATABASE '$partial' PAGE_SIZE 8192 DEFAULT CHARACTER SET WIN1252;
INPUT '$root/tools/schema/$name.sql';
SQL
        cat "$db_dir/.$name.log" >&2
        rm -f "$partial" "$db_dir/.$name.log"
        echo "could not create $file" >&2
        exit 1
    fi
    rm -f "$db_dir/.$name.log"
    if [ "$(id -u)" -eq 0 ] && id firebird >/dev/null 2>&1; then
        chown firebird:firebird "$partial"
        chmod 0660 "$partial"
    fi
    mv "$partial" "$file"
done
