"""Authoritative DNS test server: Debian's BIND 9 named with a configuration of its own in the given
folder, serving primary zones on 127.0.0.1 (UDP and TCP) with an ephemeral port. Dynamic updates to ZONE
are allowed to the TSIG keys given (update-policy zonesub), so a client with a key may change any name
in the zone and a client without one is refused; the zones of --locked take no updates from anyone
(allow-update none: REFUSED). No command channel (controls {}), no recursion, no IPv6 listener:
nothing but the zones on the port.

Usage: namedserver.py --folder DIR --zone ZONE --key ALGORITHM:NAME:BASE64 [--key ...] [--locked ZONE]
Prints "PORT n" once named has loaded the zone and answers. Ends named on SIGTERM, on SIGINT and when
standard input reaches its end. named's own log is <folder>/named.log."""
import argparse
import ctypes
import os
import signal
import socket
import subprocess
import sys
import threading
import time

NAMED = "/usr/sbin/named"
DIG = "/usr/bin/dig"


def free_port():
    # The same number must be free for both UDP and TCP.
    for _ in range(20):
        with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as t:
            t.bind(("127.0.0.1", 0))
            port = t.getsockname()[1]
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as u:
                try:
                    u.bind(("127.0.0.1", port))
                except OSError:
                    continue
                return port
    raise OSError("no free port")


def write_zone(folder, zone):
    path = os.path.join(folder, zone + ".db")
    with open(path, "w") as f:
        f.write(f"""$TTL 300
@ IN SOA ns.{zone}. hostmaster.{zone}. 1 3600 600 86400 300
@ IN NS ns.{zone}.
ns IN A 127.0.0.1
""")
    return path


def write_config(args, port):
    folder = os.path.abspath(args.folder)
    os.makedirs(folder, exist_ok=True)
    zone = args.zone.rstrip(".")
    keys, grants = "", ""
    for key in args.key:
        algorithm, name, secret = key.split(":", 2)
        keys += f'key "{name}" {{ algorithm {algorithm}; secret "{secret}"; }};\n'
        grants += f"grant {name} zonesub ANY; "
    locked = ""
    for other in args.locked:
        other = other.rstrip(".")
        locked += f'zone "{other}" {{ type primary; file "{write_zone(folder, other)}"; allow-update {{ none; }}; }};\n'
    conf = os.path.join(folder, "named.conf")
    with open(conf, "w") as f:
        f.write(f"""options {{
    directory "{folder}";
    listen-on port {port} {{ 127.0.0.1; }};
    listen-on-v6 {{ none; }};
    pid-file none;
    session-keyfile none;
    recursion no;
    dnssec-validation no;
    notify no;
}};
controls {{ }};
{keys}zone "{zone}" {{
    type primary;
    file "{write_zone(folder, zone)}";
    update-policy {{ {grants}}};
}};
{locked}""")
    return conf


def die_with_parent():
    libc = ctypes.CDLL("libc.so.6", use_errno=True)
    libc.prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def answers(port, zone):
    """Whether named answers the zone's SOA with authority (the zone is loaded), asked with dig."""
    done = subprocess.run([DIG, "@127.0.0.1", "-p", str(port), "+norec", "+tries=1", "+time=1",
                           zone, "SOA"], capture_output=True, text=True)
    return done.returncode == 0 and "status: NOERROR" in done.stdout and " aa" in done.stdout


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--folder", required=True)
    parser.add_argument("--zone", required=True)
    parser.add_argument("--key", action="append", required=True)
    parser.add_argument("--locked", action="append", default=[])
    args = parser.parse_args()
    stopping = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stopping.set())
    signal.signal(signal.SIGINT, lambda *_: stopping.set())

    def watch_stdin():
        try:
            while sys.stdin.buffer.read(4096):
                pass
        except OSError:
            pass
        stopping.set()

    threading.Thread(target=watch_stdin, daemon=True).start()

    proc = None
    for _ in range(5):
        port = free_port()
        conf = write_config(args, port)
        log = open(os.path.join(args.folder, "named.log"), "wb")
        # -g: in the foreground, logging to stderr; one worker thread is plenty for a test.
        proc = subprocess.Popen([NAMED, "-g", "-n", "1", "-c", conf], stdout=log, stderr=log,
                                preexec_fn=die_with_parent)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and proc.poll() is None and not answers(port, args.zone):
            time.sleep(0.05)
        if proc.poll() is None and answers(port, args.zone):
            break
        if proc.poll() is None:
            proc.terminate()
        proc.wait()
        proc = None
    if not proc:
        sys.stderr.write("named did not start answering; see named.log\n")
        return 1
    print("PORT", port, flush=True)
    while not stopping.is_set() and proc.poll() is None:
        stopping.wait(0.2)
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
    return 0


if __name__ == "__main__":
    sys.exit(main())
