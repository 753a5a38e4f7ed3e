#!/usr/bin/env bash
# Starts a private print spooler for the spooler tests: cupsd in the foreground (in the
# background of this script) with its own configuration, spool and log folders under
# FOLDER, listening only on the socket FOLDER/cups.sock, with one raw queue per argument.
#
#   start-cupsd.sh FOLDER [QUEUE=DEVICE-URI[@DPI] ...]
#
# The tests give each queue a socket://127.0.0.1:PORT device, a printer port that the test
# itself listens on, so that the bytes of every job arrive at the test unchanged. (A raw
# queue with a file: device completes its jobs without writing the file in CUPS 2.4.) A
# QUEUE=URI@DPI queue states that resolution as its default. Jobs that cannot reach their
# device are aborted, never retried. The daemon's process id is kept in FOLDER/cupsd.pid;
# stop-cupsd.sh FOLDER ends it.
# Exit codes: 0 started; 77 cannot run here (not root, or CUPS not installed), the reason on
# standard error; 1 any other failure, with the daemon's log on standard error.
set -u
folder=${1:?usage: start-cupsd.sh FOLDER [QUEUE=DEVICE-URI[@DPI] ...]}
shift

if [ "$(id -u)" -ne 0 ]; then
  echo "a private cupsd starts only as root (its jobs run as user lp)" >&2
  exit 77
fi
cupsd=$(command -v cupsd || echo /usr/sbin/cupsd)
lpadmin=$(command -v lpadmin || echo /usr/sbin/lpadmin)
if [ ! -x "$cupsd" ] || [ ! -x "$lpadmin" ]; then
  echo "CUPS is not installed (Debian packages cups-daemon and cups-client)" >&2
  exit 77
fi
if ! getent passwd lp >/dev/null || ! getent group lp >/dev/null; then
  echo "the user and group lp that cupsd runs its jobs as do not exist" >&2
  exit 77
fi

mkdir -p "$folder"
folder=$(cd "$folder" && pwd)
conf=$folder/conf
mkdir -p "$conf/ppd" "$conf/ssl" "$folder/spool/tmp" "$folder/cache" "$folder/state" \
  "$folder/log"
# cupsd and its jobs (user lp) walk these folders.
chmod 755 "$folder" "$conf" "$folder/cache" "$folder/state" "$folder/log"
chown root:lp "$folder/spool" "$folder/spool/tmp"
chmod 0710 "$folder/spool"
chmod 1770 "$folder/spool/tmp"
socket=$folder/cups.sock
# The socket backend runs as root from a folder of this spooler's own (a backend that only
# root may run is run as root), so that its jobs reach the printer port even where user lp
# cannot walk the path to the system's backends.
serverbin=$folder/serverbin
mkdir -p "$serverbin/backend"
for part in daemon filter driver cgi-bin monitor notifier; do
  [ -e "/usr/lib/cups/$part" ] && ln -sfn "/usr/lib/cups/$part" "$serverbin/$part"
done
install -m 0700 /usr/lib/cups/backend/socket "$serverbin/backend/socket"

cat >"$conf/cups-files.conf" <<CONF
User lp
Group lp
SystemGroup root
FileDevice Yes
ServerRoot $conf
ServerBin $serverbin
RequestRoot $folder/spool
TempDir $folder/spool/tmp
CacheDir $folder/cache
StateDir $folder/state
ErrorLog $folder/log/error_log
AccessLog $folder/log/access_log
PageLog $folder/log/page_log
CONF

cat >"$conf/cupsd.conf" <<CONF
LogLevel info
Listen $socket
Browsing No
DefaultAuthType None
WebInterface No
JobRetryLimit 0
PreserveJobHistory Yes
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

"$cupsd" -f -c "$conf/cupsd.conf" -s "$conf/cups-files.conf" \
  >"$folder/log/cupsd.out" 2>&1 </dev/null &
echo $! >"$folder/cupsd.pid"

fail() {
  echo "$1" >&2
  cat "$folder/log/cupsd.out" "$folder/log/error_log" 2>/dev/null | tail -n 40 >&2
  kill "$(cat "$folder/cupsd.pid")" 2>/dev/null
  exit 1
}

for _ in $(seq 100); do
  [ -S "$socket" ] && break
  kill -0 "$(cat "$folder/cupsd.pid")" 2>/dev/null || fail "cupsd ended at start"
  sleep 0.1
done
[ -S "$socket" ] || fail "cupsd did not open $socket within 10 s"

for queue in "$@"; do
  name=${queue%%=*}
  uri=${queue#*=}
  options=(-o printer-error-policy=abort-job)
  if [ "${uri##*@}" != "$uri" ]; then
    options+=(-o "printer-resolution-default=${uri##*@}dpi")
    uri=${uri%@*}
  fi
  timeout 20 "$lpadmin" -h "$socket" -p "$name" -E -v "$uri" "${options[@]}" \
    >>"$folder/log/lpadmin.out" 2>&1 ||
    fail "lpadmin could not add the queue $name: $(cat "$folder/log/lpadmin.out")"
done
echo "$socket"
