"""FTPS test server: Debian's vsftpd with a configuration of its own in the given folder, listening on
127.0.0.1 with an ephemeral port. Anonymous log-on (USER anonymous, no password) may upload into
<folder>/root/upload, so no system user is needed; TLS is required on the control connection and on
every data connection, and a data connection must resume the control connection's TLS session
(require_ssl_reuse). vsftpd must be started by root; the anonymous session runs as the user "ftp"
that Debian's vsftpd package makes.

Usage: vsftpdserver.py --folder DIR --cert FILE --key FILE [--implicit]
Prints "ROOT <dir>" and "PORT n" once vsftpd listens. Ends vsftpd on SIGTERM, on SIGINT and when
standard input reaches its end. The protocol log is <folder>/vsftpd.log."""
import argparse
import ctypes
import os
import signal
import socket
import subprocess
import sys
import threading
import time

VSFTPD = "/usr/sbin/vsftpd"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def write_config(args, port):
    folder = os.path.abspath(args.folder)
    root = os.path.join(folder, "root")
    upload = os.path.join(root, "upload")
    empty = os.path.join(folder, "empty")
    for path in (root, upload, empty):
        os.makedirs(path, exist_ok=True)
    # vsftpd refuses an anonymous root that the anonymous user could write to.
    os.chmod(folder, 0o755)
    os.chmod(root, 0o755)
    os.chmod(empty, 0o755)
    os.chmod(upload, 0o777)
    conf = os.path.join(folder, "vsftpd.conf")
    with open(conf, "w") as f:
        f.write(f"""listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port={port}
background=NO
anonymous_enable=YES
no_anon_password=YES
anon_root={root}
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_umask=022
write_enable=YES
local_enable=NO
ftp_username=ftp
nopriv_user=nobody
secure_chroot_dir={empty}
seccomp_sandbox=NO
pasv_enable=YES
port_enable=YES
connect_from_port_20=NO
pasv_address=127.0.0.1
xferlog_enable=YES
log_ftp_protocol=YES
vsftpd_log_file={os.path.join(folder, "vsftpd.log")}
ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
require_ssl_reuse=YES
implicit_ssl={"YES" if args.implicit else "NO"}
ssl_ciphers=HIGH
rsa_cert_file={os.path.abspath(args.cert)}
rsa_private_key_file={os.path.abspath(args.key)}
""")
    return conf, root


def die_with_parent():
    libc = ctypes.CDLL("libc.so.6", use_errno=True)
    libc.prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def listening(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=1):
            return True
    except OSError:
        return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--folder", required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--implicit", action="store_true")
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

    for _ in range(5):
        port = free_port()
        conf, root = write_config(args, port)
        proc = subprocess.Popen([VSFTPD, conf], preexec_fn=die_with_parent)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and proc.poll() is None and not listening(port):
            time.sleep(0.05)
        if proc.poll() is None and listening(port):
            break
        if proc.poll() is None:
            proc.terminate()
        proc.wait()
        proc = None
    if not proc:
        sys.stderr.write("vsftpd did not start listening\n")
        return 1
    print("ROOT", root)
    print("PORT", port, flush=True)
    while not stopping.is_set() and proc.poll() is None:
        stopping.wait(0.2)
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
