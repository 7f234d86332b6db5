#!/usr/bin/env bash
# A private CUPS server on a loopback port with two queues that keep each job as a PDF file,
# for tests.
#   cups-server.sh start DIR PORT   prepares DIR, starts cupsd, prints its pid
#   cups-server.sh stop DIR         stops the cupsd started in DIR by its pid
#
# Queues: "PDF" (the default) writes each job as DIR/pdf/PDF/job-NNNNNNNN.pdf, "Cozinha"
# under DIR/pdf/Cozinha. Clients reach the server with CUPS_SERVER=127.0.0.1:PORT.
#
# Everything the server reads and writes is under DIR: its configuration (ServerRoot
# DIR/etc), and its programs (ServerBin DIR/serverbin, the system's filters and helpers
# linked in beside a backend of our own, "pdf-folder"). The backend's device URI names the
# folder, "pdf-folder:/path": it stores the PDF it is handed, exactly as the client sent it
# (the queues' PPD, DIR/pdf/queue.ppd, declares PDF the printer's own language, so no filter
# runs). Nothing needs a mount namespace or touches the system's /etc/cups.
#
# A further queue whose jobs land among another's PDFs:
#   lpadmin -h 127.0.0.1:PORT -p NAME -v pdf-folder:DIR/pdf/Cozinha -P DIR/pdf/queue.ppd -E
set -euo pipefail
# shellcheck source=tools/lib/pid-stop.sh
source "$(dirname "$0")/lib/pid-stop.sh"

write_backend() {
    local file=$1 root=$2
    {
        echo '#!/bin/sh'
        printf 'root=%q\n' "$root"
        cat <<'BACKEND'
# CUPS backend: keeps the job's document as FOLDER/job-NNNNNNNN.pdf, FOLDER being the device
# URI's path (pdf-folder:/FOLDER), a folder under $root. Written under a temporary name and
# renamed, so a reader never sees half a file.
#   pdf-folder                                      lists the device for lpinfo
#   pdf-folder JOB USER TITLE COPIES OPTIONS [FILE] stores FILE, or standard input
set -eu
if [ $# -eq 0 ]; then
    echo 'file pdf-folder "Unknown" "PDF files in a folder"'
    exit 0
fi
if [ $# -lt 5 ]; then
    echo "ERROR: usage: pdf-folder job user title copies options [file]" >&2
    exit 1
fi
folder=${DEVICE_URI#pdf-folder:}
case $folder in
"$root"/*/* | "$root"/*..* | "$root"/) folder= ;;
"$root"/*) ;;
*) folder= ;;
esac
if [ -z "$folder" ] || [ ! -d "$folder" ]; then
    echo "ERROR: $DEVICE_URI names no queue folder under $root" >&2
    exit 1
fi
name=$(printf 'job-%08d.pdf' "$1")
part=$folder/.$name.part
if [ $# -ge 6 ]; then
    cat -- "$6" >"$part"
else
    cat >"$part"
fi
chmod 0644 "$part"
mv -f -- "$part" "$folder/$name"
BACKEND
    } >"$file"
    # A backend only root may run is run as root: DIR may lie where lp cannot reach (root's
    # home, in a container).
    chmod 0700 "$file"
}

write_ppd() {
    cat >"$1" <<'PPD'
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "PDFFOLD.PPD"
*Manufacturer: "Generic"
*Product: "(PDF folder)"
*ModelName: "PDF folder"
*ShortNickName: "PDF folder"
*NickName: "PDF folder"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "8"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*cupsFilter2: "application/pdf application/pdf 0 -"
*HWMargins: 0 0 0 0
*OpenUI *PageSize/Page Size: PickOne
*OrderDependency: 100 AnySetup *PageSize
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*PageSize Letter/US Letter: "<</PageSize[612 792]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*OrderDependency: 100 AnySetup *PageRegion
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*PageRegion Letter/US Letter: "<</PageSize[612 792]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "0 0 595 842"
*ImageableArea Letter/US Letter: "0 0 612 792"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*PaperDimension Letter/US Letter: "612 792"
*OpenUI *Resolution/Output Resolution: PickOne
*OrderDependency: 100 AnySetup *Resolution
*DefaultResolution: 300dpi
*Resolution 300dpi/300 DPI: "<</HWResolution[300 300]>>setpagedevice"
*Resolution 600dpi/600 DPI: "<</HWResolution[600 600]>>setpagedevice"
*CloseUI: *Resolution
*DefaultFont: Courier
*Font Courier: Standard "(002.004S)" Standard ROM
PPD
}

prepare() {
    local dir=$1 port=$2
    rm -rf "$dir"
    mkdir -p "$dir/etc/ppd" "$dir/spool/tmp" "$dir/cache" "$dir/state" "$dir/log" \
        "$dir/serverbin/backend" "$dir/pdf"
    # cupsd runs only programs that root owns and nobody else may change, in folders alike.
    chmod 0755 "$dir" "$dir/etc" "$dir/serverbin" "$dir/serverbin/backend" "$dir/pdf"
    local part
    for part in cgi-bin daemon driver filter monitor notifier; do
        [ -e "/usr/lib/cups/$part" ] && ln -s "/usr/lib/cups/$part" "$dir/serverbin/$part"
    done
    write_backend "$dir/serverbin/backend/pdf-folder" "$dir/pdf"
    write_ppd "$dir/pdf/queue.ppd"

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
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
ServerBin $dir/serverbin
DataDir /usr/share/cups
User lp
Group lp
SystemGroup root lpadmin
CONF
    : >"$dir/etc/printers.conf"
    local queue
    for queue in PDF Cozinha; do
        mkdir -p "$dir/pdf/$queue"
        chmod 0755 "$dir/pdf/$queue"
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
    local dir
    dir=$(mkdir -p "$1" && cd "$1" && pwd)
    local port=$2
    prepare "$dir" "$port"
    nohup /usr/sbin/cupsd -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" \
        >"$dir/server.out" 2>&1 &
    echo $! >"$dir/server.pid"
    if ! wait_for_port "$port"; then
        echo "cupsd did not start; see $dir/server.out and $dir/log/error_log" >&2
        stop "$dir"
        return 1
    fi
    local server=127.0.0.1:$port queue
    for queue in PDF Cozinha; do
        lpadmin -h "$server" -p "$queue" -v "pdf-folder:$dir/pdf/$queue" \
            -P "$dir/pdf/queue.ppd" -E 2>>"$dir/server.out"
    done
    lpadmin -h "$server" -d PDF 2>>"$dir/server.out"
    cat "$dir/server.pid"
}

stop() {
    stop_by_pid_file "$1/server.pid"
}

case "${1:-}" in
start) start "$2" "$3" ;;
stop) stop "$2" ;;
*)
    echo "usage: $0 start DIR PORT | stop DIR" >&2
    exit 2
    ;;
esac
