#!/usr/bin/env bash
# A Secret Service of its own for the keyring tests: a private session bus that starts nothing by
# itself (no service files), and gnome-keyring-daemon on it with a login keyring, unlocked, in a
# temporary home. Prints "BUS <address>" once the service answers on the bus, or "SKIP <reason>"
# when it cannot be had. Then reads commands from standard input, one a line, and answers each:
#   lock  -> "LOCKED" once the login keyring is locked (unlocking it again needs a person)
#   stop  -> "STOPPED" once the service has left the bus (the keyring is then absent)
# and ends, cleaning up, when standard input closes.
set -uo pipefail
work=$(mktemp -d)
bus=""
keyring=""
trap '[ -n "$keyring" ] && kill "$keyring" 2>/dev/null; [ -n "$bus" ] && kill "$bus" 2>/dev/null; rm -rf "$work"' EXIT
for program in dbus-daemon gnome-keyring-daemon dbus-send; do
    command -v "$program" >/dev/null || { echo "SKIP $program is not installed (packages dbus-daemon, gnome-keyring)"; exit 0; }
done
cat >"$work/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$work</listen>
  <auth>EXTERNAL</auth>
  <policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy>
</busconfig>
EOF
dbus-daemon --config-file="$work/bus.conf" --nofork --print-address=3 3>"$work/address" 2>"$work/bus.log" &
bus=$!
for _ in $(seq 100); do [ -s "$work/address" ] && break; sleep 0.05; done
[ -s "$work/address" ] || { echo "SKIP the private session bus did not start: $(cat "$work/bus.log")"; exit 0; }
export DBUS_SESSION_BUS_ADDRESS
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/address")
mkdir -p "$work/home" "$work/run" && chmod 700 "$work/run"
printf 'keyring-test' | HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_RUNTIME_DIR="$work/run" \
    gnome-keyring-daemon --foreground --components=secrets --unlock >"$work/keyring.log" 2>&1 &
keyring=$!
owned() {
    timeout 5 dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q 'boolean true'
}
for _ in $(seq 100); do owned && break; sleep 0.05; done
owned || { echo "SKIP gnome-keyring-daemon did not start: $(cat "$work/keyring.log")"; exit 0; }
echo "BUS $DBUS_SESSION_BUS_ADDRESS"
while read -r command; do
    case $command in
    lock)
        dbus-send --session --print-reply --dest=org.freedesktop.secrets /org/freedesktop/secrets \
            org.freedesktop.Secret.Service.Lock array:objpath:/org/freedesktop/secrets/collection/login >/dev/null &&
            echo LOCKED || echo "FAILED lock"
        ;;
    stop)
        kill "$keyring" && wait "$keyring" 2>/dev/null
        keyring=""
        for _ in $(seq 100); do owned || break; sleep 0.05; done
        owned && echo "FAILED stop" || echo STOPPED
        ;;
    esac
done
