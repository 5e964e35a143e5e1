#!/usr/bin/env bash
# A private CUPS server with a cups-pdf queue, for the printing tests. It needs
# no systemd and leaves the system's CUPS configuration alone.
#   tools/cups-test-env.sh start   starts cupsd, adds the queue, prints the
#                                  environment for the tests (eval it)
#   tools/cups-test-env.sh stop    stops the cupsd that start began (by its PID)
# The directory is $RYDOL_CUPS_DIR (default /tmp/rydol-cups-$UID).
set -uo pipefail
dir="${RYDOL_CUPS_DIR:-/tmp/rydol-cups-$(id -u)}"
queue="RydolPDF"
sock="$dir/cups.sock"

fail() {
    # The tests read RYDOL_CUPS_ERROR and fail with it.
    printf 'export RYDOL_CUPS_ERROR=%q\n' "$*"
    echo "cups-test-env: $*" >&2
    exit 1
}

stop() {
    if [ -f "$dir/cupsd.pid" ]; then
        pid="$(cat "$dir/cupsd.pid")"
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            kill "$pid" 2>/dev/null
            for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
            kill -9 "$pid" 2>/dev/null || true
        fi
        rm -f "$dir/cupsd.pid"
    fi
}

# Where cups-pdf puts the files of jobs that the current user sends.
pdf_out() {
    local conf=/etc/cups/cups-pdf.conf out home
    out="$(sed -n 's/^[[:space:]]*Out[[:space:]]\+//p' "$conf" 2>/dev/null | tail -n1)"
    [ -z "$out" ] && out='${HOME}/PDF'
    home="$(getent passwd "$(id -un)" | cut -d: -f6)"
    out="${out//\$\{HOME\}/$home}"
    out="${out//\$\{USER\}/$(id -un)}"
    echo "$out"
}

start() {
    stop
    [ -x /usr/sbin/cupsd ] || fail "cupsd is not installed (package cups)"
    [ -e /usr/lib/cups/backend/cups-pdf ] || fail "the cups-pdf backend is not installed (package printer-driver-cups-pdf)"
    [ "$(id -u)" -eq 0 ] || fail "cups-pdf needs cupsd to run as root; run the tests as root (or with sudo)"
    ppd="$(ls /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd /usr/share/ppd/cups-pdf/*.ppd 2>/dev/null | head -n1)"
    [ -n "$ppd" ] || fail "no cups-pdf PPD under /usr/share/ppd/cups-pdf"

    rm -rf "$dir"
    mkdir -p "$dir"/{conf/ppd,conf/ssl,spool/tmp,cache,state,log}
    chmod 755 "$dir" "$dir/conf"
    cat >"$dir/conf/cups-files.conf" <<CONF
ServerRoot $dir/conf
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
Printcap $dir/printcap
ServerBin /usr/lib/cups
DataDir /usr/share/cups
SystemGroup root
User lp
Group lp
CONF
    cat >"$dir/conf/cupsd.conf" <<CONF
LogLevel info
Listen $sock
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
    /usr/sbin/cupsd -f -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" \
        >"$dir/log/cupsd.out" 2>&1 &
    echo $! >"$dir/cupsd.pid"
    export CUPS_SERVER="$sock"
    ok=""
    for _ in $(seq 100); do
        kill -0 "$(cat "$dir/cupsd.pid")" 2>/dev/null || break
        if lpstat -r 2>/dev/null | grep -q "is running"; then ok=1; break; fi
        sleep 0.1
    done
    [ -n "$ok" ] || { log="$(tail -n 5 "$dir/log/error_log" "$dir/log/cupsd.out" 2>/dev/null)"; stop; fail "cupsd did not start: $log"; }
    lpadmin -p "$queue" -E -v "cups-pdf:/" -P "$ppd" 2>"$dir/log/lpadmin.err" \
        || { stop; fail "lpadmin could not add $queue: $(cat "$dir/log/lpadmin.err")"; }
    cupsenable "$queue" 2>/dev/null; cupsaccept "$queue" 2>/dev/null
    lpadmin -d "$queue" 2>/dev/null
    out="$(pdf_out)"
    mkdir -p "$out"
    printf 'export CUPS_SERVER=%q\n' "$sock"
    printf 'export RYDOL_CUPS_QUEUE=%q\n' "$queue"
    printf 'export RYDOL_CUPS_PDF_OUT=%q\n' "$out"
    printf 'export RYDOL_CUPS_LOG=%q\n' "$dir/log/error_log"
}

case "${1:-}" in
    start) start ;;
    stop) stop ;;
    *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
