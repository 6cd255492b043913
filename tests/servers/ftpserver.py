"""FTP server for the tests: pyftpdlib (Debian's python3-pyftpdlib) on 127.0.0.1 with an
ephemeral port. Passive data ports come from the system's ephemeral range, and the address the
server names in its PASV replies is 127.0.0.1.

Usage: ftpserver.py --root DIR --user NAME --password PASSWORD
                    [--command-log FILE] [--connection-log FILE] [--refuse-store NAME ...]
                    [--max-cons-per-ip N] [--listen ADDRESS] [--timing-log FILE]
                    [--tls-cert FILE --tls-key FILE]
Prints "ROOT <dir>" and "PORT <n>" once it listens; runs until terminated.

--command-log FILE  appends every command line the server receives to FILE (one line each, as
                    received, the password included), so a test can check the exact sequence.
--connection-log FILE  the same lines, each led by the client's port and a space, so that the
                    commands of several connections at once can be told apart.
--max-cons-per-ip N  pyftpdlib's own limit: a further control connection from the same address is
                    greeted with "421 Too many connections from the same IP address." and closed.
--listen ADDRESS    listens on this IPv4 address instead of 127.0.0.1 and names it in PASV replies
                    (a benchmark's own network namespace).
--timing-log FILE   appends "open T" when a control connection is accepted and "close T" when it
                    ends, T in seconds of the server's monotonic clock: the one yardstick for every
                    client a benchmark compares.
--refuse-store NAME answers "STOR" of a file with this name (in any folder) with 550; may be
                    given more than once.
--tls-cert, --tls-key  explicit FTPS (AUTH TLS) with pyftpdlib's TLS handler (python3-openssl),
                    TLS required on the control connection and on every data connection.
"""
import argparse
import logging
import os
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class Recording:
    """Mixed into an FTP handler: records the command lines and refuses chosen uploads."""

    command_log = None
    connection_log = None
    timing_log = None
    refused_names = frozenset()

    def pre_process_command(self, line, cmd, arg):
        for path, lead in ((self.command_log, ""), (self.connection_log, "%d " % self.remote_port)):
            if path:
                with open(path, "a", encoding="utf-8", errors="surrogateescape") as log:
                    log.write(lead + line + "\n")
        return super().pre_process_command(line, cmd, arg)

    def timing(self, event):
        if self.timing_log:
            with open(self.timing_log, "a", encoding="ascii") as log:
                log.write("%s %.6f\n" % (event, time.monotonic()))

    def on_connect(self):
        self.timing("open")
        return super().on_connect()

    def on_disconnect(self):
        self.timing("close")
        return super().on_disconnect()

    def ftp_STOR(self, file, mode="w"):
        if os.path.basename(file) in self.refused_names:
            self.respond("550 Upload of this file refused.")
            return None
        return super().ftp_STOR(file, mode)


class RecordingHandler(Recording, FTPHandler):
    pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--command-log")
    parser.add_argument("--connection-log")
    parser.add_argument("--timing-log")
    parser.add_argument("--listen", default="127.0.0.1")
    parser.add_argument("--max-cons-per-ip", type=int, default=0)
    parser.add_argument("--refuse-store", action="append", default=[])
    parser.add_argument("--tls-cert")
    parser.add_argument("--tls-key")
    args = parser.parse_args()

    logging.basicConfig(level=logging.WARNING)
    logging.getLogger("pyftpdlib").setLevel(logging.WARNING)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, os.path.abspath(args.root), perm="elradfmwMT")

    handler = RecordingHandler
    if args.tls_cert:
        from pyftpdlib.handlers import TLS_FTPHandler

        class RecordingTlsHandler(Recording, TLS_FTPHandler):
            pass

        handler = RecordingTlsHandler
        handler.certfile = os.path.abspath(args.tls_cert)
        handler.keyfile = os.path.abspath(args.tls_key)
        handler.tls_control_required = True
        handler.tls_data_required = True
    handler.command_log = os.path.abspath(args.command_log) if args.command_log else None
    handler.connection_log = os.path.abspath(args.connection_log) if args.connection_log else None
    handler.timing_log = os.path.abspath(args.timing_log) if args.timing_log else None
    handler.refused_names = frozenset(args.refuse_store)
    handler.authorizer = authorizer
    handler.masquerade_address = args.listen
    handler.passive_ports = None  # bind port 0: the system picks from its ephemeral range
    handler.banner = "pyftpdlib ready."

    server = FTPServer((args.listen, 0), handler)
    server.max_cons = 32
    server.max_cons_per_ip = args.max_cons_per_ip
    print("ROOT", os.path.abspath(args.root))
    print("PORT", server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
