# shellcheck shell=bash
# A private CUPS server for tests, isolated from the machine's own print system.
#
# Source this file from a bash test script, then:
#   cups_start DIR          configures and starts cupsd with its config, state, spool, logs and
#                           socket in a private folder under /tmp, exports CUPS_SERVER (that
#                           socket) and waits until the scheduler answers. The daemon is a child
#                           of the calling script. cups_stop copies its logs into DIR/log.
#   cups_add_pdf_queue NAME FILE [default]
#                           adds a file:// queue with the Generic PDF driver that writes every
#                           job to FILE; with "default" it becomes the server's default printer.
#   cups_remove_queue NAME  deletes a queue (when it was the default, there is none then).
#   cups_wait_idle [SECS]   waits until no job is pending or processing; fails after SECS (10).
#   cups_stop               stops the daemon by its PID and waits for it.
# Nothing is written outside DIR and that folder; ~/.cups is not touched (the server's default
# stays visible).
# Works under "set -euo pipefail".

cups_pid=""
cups_dir=""
cups_log_dir=""

cups_start() {
    cups_log_dir=$1/log
    rm -rf "$1"
    mkdir -p "$cups_log_dir"
    # The filters run as user lp and must reach the queue's PPD and the spool: a build tree in a
    # private home folder would hide them. /tmp also keeps the socket path within its limit.
    cups_dir=$(mktemp -d "${TMPDIR:-/tmp}/velmor-cups.XXXXXX")
    mkdir -p "$cups_dir"/{spool/tmp,cache,state,log,ppd}
    # The filters run as user lp: the spool and the output folders must be reachable for it.
    chmod 0755 "$cups_dir" "$cups_dir"/{cache,state,log,ppd}
    chmod 1777 "$cups_dir/spool/tmp"
    chmod 0710 "$cups_dir/spool"
    chgrp lp "$cups_dir/spool" 2>/dev/null || true

    cat >"$cups_dir/cups-files.conf" <<CONF
ServerRoot $cups_dir
RequestRoot $cups_dir/spool
TempDir $cups_dir/spool/tmp
CacheDir $cups_dir/cache
StateDir $cups_dir/state
AccessLog $cups_dir/log/access_log
ErrorLog $cups_dir/log/error_log
PageLog $cups_dir/log/page_log
SystemGroup root
FileDevice Yes
CONF
    cat >"$cups_dir/cupsd.conf" <<CONF
Listen $cups_dir/cups.sock
Browsing No
WebInterface No
DefaultAuthType None
LogLevel info
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
    cupsd -f -c "$cups_dir/cupsd.conf" -s "$cups_dir/cups-files.conf" \
        >"$cups_dir/log/cupsd.out" 2>&1 &
    cups_pid=$!
    export CUPS_SERVER=$cups_dir/cups.sock
    local _
    for _ in $(seq 1 200); do
        # lpstat -r exits with 0 either way: only its answer tells.
        if [ "$(lpstat -r 2>/dev/null)" = "scheduler is running" ]; then return 0; fi
        if ! kill -0 "$cups_pid" 2>/dev/null; then break; fi
        sleep 0.05
    done
    echo "cupsd did not start; its log:" >&2
    cat "$cups_dir/log/cupsd.out" "$cups_dir/log/error_log" >&2 2>/dev/null || true
    return 1
}

cups_add_pdf_queue() {
    local name=$1 file=$2 make_default=${3:-}
    mkdir -p "$(dirname "$file")"
    lpadmin -p "$name" -E -v "file://$file" -m lsb/usr/cupsfilters/Generic-PDF_Printer-PDF.ppd ||
        return 1
    # lpadmin -d sets the server's default; lpoptions -d would write ~/.cups/lpoptions and then
    # hide the server's choice from every later client.
    if [ "$make_default" = default ]; then lpadmin -d "$name" || return 1; fi
}

cups_remove_queue() {
    # The scheduler forgets its default printer when that queue goes.
    lpadmin -x "$1"
}

cups_wait_idle() {
    local limit=${1:-10}
    for _ in $(seq 1 $((limit * 20))); do
        if [ -z "$(lpstat -o 2>/dev/null)" ]; then return 0; fi
        sleep 0.05
    done
    echo "print jobs still pending after ${limit}s:" >&2
    lpstat -o >&2
    return 1
}

cups_stop() {
    if [ -n "$cups_pid" ]; then
        kill "$cups_pid" 2>/dev/null || true
        wait "$cups_pid" 2>/dev/null || true
        cups_pid=""
    fi
    if [ -n "$cups_dir" ]; then
        cp -r "$cups_dir/log/." "$cups_log_dir/" 2>/dev/null || true
        rm -rf "$cups_dir"
        cups_dir=""
    fi
}
