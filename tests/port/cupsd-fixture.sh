#!/usr/bin/env bash
# Starts or stops a private cupsd for the print-queue tests. It keeps its configuration, spool,
# logs and socket in DIR, listens on no network address, and never reads or writes the
# system's CUPS configuration; lpadmin reaches it through CUPS_SERVER.
#
#   cupsd-fixture.sh start DIR QUEUE SINK_PORT   start it with a raw queue sending to the sink
#   cupsd-fixture.sh stop DIR [LOG_COPY]         stop it, keep its logs in LOG_COPY, remove DIR
#
# DIR must be a fresh path that the spool user can enter (under /tmp, not a home folder), since
# the daemon runs its backends as that user when started as root.
set -euo pipefail

action=$1
dir=$2

stop() {
    [[ -f "$dir/cupsd.pid" ]] || return 0
    local pid
    pid=$(cat "$dir/cupsd.pid")
    if kill "$pid" 2>/dev/null; then
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$dir/cupsd.pid"
}

if [[ $action == stop ]]; then
    stop
    # The logs tell why a test failed; the folder itself would outlive the build folder.
    log_copy=${3:-}
    if [[ -n $log_copy && -d $dir/log ]]; then
        rm -rf "$log_copy"
        cp -r "$dir/log" "$log_copy"
    fi
    rm -rf "$dir"
    exit 0
fi

queue=$3
sink_port=$4
cupsd=$(command -v cupsd || echo /usr/sbin/cupsd)
lpadmin=$(command -v lpadmin || echo /usr/sbin/lpadmin)
[[ -x $cupsd ]] || { echo "cupsd is not installed (Debian package: cups)" >&2; exit 1; }

stop
rm -rf "$dir"
# Not -p: a folder that reappeared in between is someone else's.
mkdir -m 0755 "$dir"
mkdir "$dir"/{conf,spool,cache,state,log,ppd}
mkdir -m 0777 "$dir/spool/tmp"
# The daemon drops to its User for filters and backends when started as root; that user must
# reach the spool.
chmod 0755 "$dir"/{conf,spool,cache,state,log,ppd}

user=$(id -un)
group=$(id -gn)
if [[ $(id -u) == 0 ]]; then
    user=lp group=lp
    getent passwd lp >/dev/null || user=nobody
    getent group lp >/dev/null || group=nogroup
    # Checked rather than assumed: as the spool user, reach a job file as the daemon writes it
    # (root's, the spool group's, mode 0640, in RequestRoot) and run the backend the queue uses.
    # A folder on the way that the user cannot enter (a home folder of mode 0700) fails here
    # with a clear message instead of as a job that never prints.
    spool_user_can() { # test's operator, path, what fails without it
        setpriv --reuid="$user" --regid="$group" --clear-groups test "$1" "$2" && return 0
        echo "cupsd-fixture: the spool user '$user' fails 'test $1 $2', so $3:" \
            "give the fixture a folder that every user can enter (under /tmp)" >&2
        rm -rf "$dir"
        exit 1
    }
    install -m 0640 -g "$group" /dev/null "$dir/spool/d-probe"
    spool_user_can -r "$dir/spool/d-probe" "no job file could be read"
    spool_user_can -x /usr/lib/cups/backend/socket "the queue's backend could not run"
    rm -f "$dir/spool/d-probe"
fi

cat >"$dir/conf/cups-files.conf" <<CONF
User $user
Group $group
SystemGroup root $(id -gn)
ServerRoot $dir/conf
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
ServerBin /usr/lib/cups
DataDir /usr/share/cups
FileDevice No
Printcap $dir/printcap
CONF

cat >"$dir/conf/cupsd.conf" <<CONF
Listen $dir/cups.sock
Browsing No
BrowseLocalProtocols none
DefaultAuthType None
LogLevel info
WebInterface No
MaxJobs 50
PreserveJobHistory Yes
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order allow,deny
    Allow all
  </Limit>
</Policy>
CONF

"$cupsd" -f -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" >"$dir/log/cupsd.out" 2>&1 &
echo $! >"$dir/cupsd.pid"

export CUPS_SERVER=$dir/cups.sock
for _ in $(seq 100); do
    [[ -S $CUPS_SERVER ]] && lpstat -r >/dev/null 2>&1 && break
    kill -0 "$(cat "$dir/cupsd.pid")" 2>/dev/null || break
    sleep 0.1
done
if ! lpstat -r >/dev/null 2>&1; then
    echo "the private cupsd did not start:" >&2
    cat "$dir/log/cupsd.out" "$dir/log/error_log" >&2 2>/dev/null || true
    stop
    exit 1
fi

# Without a model the queue is raw: the bytes pass to the device unchanged.
"$lpadmin" -p "$queue" -E -v "socket://127.0.0.1:$sink_port"
lpstat -p "$queue" >/dev/null
