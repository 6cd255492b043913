"""POP3 test server for the mail tests: Debian's dovecot (dovecot-pop3d) with a configuration of its
own in the given folder, listening on 127.0.0.1 with an ephemeral port, plaintext log-on allowed, one
passwd-file user. Run by root: dovecot refuses to give a mail user uid 0, so the user gets uid and gid
65534 and its mail folder is made theirs. Run by anyone else: dovecot runs every process as that user
(it cannot change users), so the mail user is that user and nothing changes owner.

Usage: pop3server.py --folder DIR [--user NAME --password PASS] [--tls-cert FILE --tls-key FILE]
With a certificate, TLS is required (ssl = required: log-on only after STLS on the plain port) and a
second listener speaks TLS from the first byte; its port is printed as "TLSPORT m" before the
"PORT n" line.
Prints "PORT n" once dovecot listens. Ends dovecot (and waits until it is gone, so that a new one
can start at once) on SIGTERM, on SIGINT and when standard input reaches its end (the test that
started it has gone away)."""
import argparse
import ctypes
import grp
import os
import pwd
import signal
import socket
import subprocess
import sys
import threading
import time

# The mail user's uid and gid, and whether dovecot runs as root (and so may change users).
AS_ROOT = os.geteuid() == 0
MAIL_UID, MAIL_GID = (65534, 65534) if AS_ROOT else (os.geteuid(), os.getegid())
DOVECOT = "/usr/sbin/dovecot"


def parse_args():
    parser = argparse.ArgumentParser()
    parser.add_argument("--folder", required=True)
    parser.add_argument("--user", default="quill")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--tls-cert")
    parser.add_argument("--tls-key")
    return parser.parse_args()


def free_port():
    # Dovecot treats port 0 as "no listener", so an ephemeral port is chosen here and handed to it;
    # should another program take it meanwhile, dovecot fails to bind and the start is retried.
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def write_config(folder, user, password, port, tls_port=0, cert=None, key=None):
    folder = os.path.abspath(folder)
    # The mail user must be able to walk down to its home folder.
    os.chmod(folder, 0o711)
    home = os.path.join(folder, "home", user)
    maildir = os.path.join(home, "Maildir")
    for sub in ("cur", "new", "tmp"):
        os.makedirs(os.path.join(maildir, sub), exist_ok=True)
    os.chmod(os.path.join(folder, "home"), 0o711)
    if AS_ROOT:
        for root, dirs, files in os.walk(home):
            os.chown(root, MAIL_UID, MAIL_GID)
            for name in files:
                os.chown(os.path.join(root, name), MAIL_UID, MAIL_GID)
    passwd = os.path.join(folder, "passwd")
    with open(passwd, "w") as f:
        f.write("%s:{PLAIN}%s:%d:%d::%s::\n" % (user, password, MAIL_UID, MAIL_GID, home))
    # Read by dovecot's auth process, which runs as its own user; a test password only.
    os.chmod(passwd, 0o644)
    run = os.path.join(folder, "run")
    os.makedirs(run, exist_ok=True)
    # Not run by root, dovecot can neither change users nor chroot its login processes: every one of
    # its processes runs as the current user.
    unprivileged = login_chroot = ""
    if not AS_ROOT:
        user_name = pwd.getpwuid(MAIL_UID).pw_name
        group_name = grp.getgrgid(MAIL_GID).gr_name
        unprivileged = f"""
default_login_user = {user_name}
default_internal_user = {user_name}
default_internal_group = {group_name}
service anvil {{
  chroot =
}}
"""
        login_chroot = "  chroot =\n"
    if cert:
        tls_settings = f"""ssl = required
ssl_cert = <{os.path.abspath(cert)}
ssl_key = <{os.path.abspath(key)}
disable_plaintext_auth = yes"""
    else:
        tls_settings = "ssl = no\ndisable_plaintext_auth = no"
    conf = os.path.join(folder, "dovecot.conf")
    with open(conf, "w") as f:
        f.write(f"""{unprivileged}
base_dir = {run}
state_dir = {os.path.join(folder, "state")}
log_path = {os.path.join(folder, "dovecot.log")}
protocols = pop3
listen = 127.0.0.1
{tls_settings}
auth_mechanisms = plain
first_valid_uid = {MAIL_UID}
last_valid_uid = {MAIL_UID}
mail_location = maildir:~/Maildir
pop3_uidl_format = %08Xu%08Xv
passdb {{
  driver = passwd-file
  args = scheme=PLAIN username_format=%u {passwd}
}}
userdb {{
  driver = passwd-file
  args = username_format=%u {passwd}
}}
service pop3-login {{
{login_chroot}  inet_listener pop3 {{
    address = 127.0.0.1
    port = {port}
  }}
  inet_listener pop3s {{
    address = 127.0.0.1
    port = {tls_port}
  }}
}}
""")
    return conf


def die_with_parent():
    # Dovecot must not outlive this script, however the script ends.
    libc = ctypes.CDLL("libc.so.6", use_errno=True)
    libc.prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def socket_inodes(pid):
    inodes = set()
    fd_dir = "/proc/%d/fd" % pid
    try:
        names = os.listdir(fd_dir)
    except OSError:
        return inodes
    for name in names:
        try:
            target = os.readlink(os.path.join(fd_dir, name))
        except OSError:
            continue
        if target.startswith("socket:["):
            inodes.add(target[8:-1])
    return inodes


def listening_port(pid, wanted=None):
    """The TCP port on 127.0.0.1 that the dovecot master listens on (found through /proc); with
    wanted, that port once it listens (else 0)."""
    inodes = socket_inodes(pid)
    with open("/proc/net/tcp") as f:
        next(f)
        for line in f:
            fields = line.split()
            local, state, inode = fields[1], fields[3], fields[9]
            if state == "0A" and inode in inodes:
                address, port = local.split(":")
                if address == "0100007F" and (wanted is None or int(port, 16) == wanted):
                    return int(port, 16)
    return 0


def start_dovecot(args, stopping):
    """Starts dovecot on fresh ports; returns (process, port, TLS port), or (None, 0, 0) when it did
    not listen."""
    port, tls_port = free_port(), (free_port() if args.tls_cert else 0)
    conf = write_config(args.folder, args.user, args.password, port, tls_port, args.tls_cert, args.tls_key)
    proc = subprocess.Popen([DOVECOT, "-F", "-c", conf], preexec_fn=die_with_parent)
    deadline = time.monotonic() + 15
    while time.monotonic() < deadline and proc.poll() is None and not stopping.is_set():
        if listening_port(proc.pid, port) and (not tls_port or listening_port(proc.pid, tls_port)):
            return proc, port, tls_port
        time.sleep(0.05)
    end_dovecot(proc)
    return None, 0, 0


def end_dovecot(proc):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def main():
    args = parse_args()
    stopping = threading.Event()

    def stop(*_):
        stopping.set()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    def watch_stdin():
        try:
            while sys.stdin.buffer.read(4096):
                pass
        except OSError:
            pass
        stopping.set()

    threading.Thread(target=watch_stdin, daemon=True).start()

    proc, port, tls_port = None, 0, 0
    for _ in range(5):
        proc, port, tls_port = start_dovecot(args, stopping)
        if proc or stopping.is_set():
            break
    if not proc:
        log = os.path.join(os.path.abspath(args.folder), "dovecot.log")
        if os.path.exists(log):
            sys.stderr.write(open(log, errors="replace").read())
        sys.stderr.write("dovecot did not start listening\n")
        return 1
    if args.tls_cert:
        print("TLSPORT", tls_port)
    print("PORT", port, flush=True)
    while not stopping.is_set() and proc.poll() is None:
        stopping.wait(0.2)
    end_dovecot(proc)
    return 0


if __name__ == "__main__":
    sys.exit(main())
