"""A server that accepts every connection and resets it at once (SO_LINGER 0, then close).

Listens on 127.0.0.1 with an ephemeral port and prints "PORT n". Keeps the number of connections it
has accepted in the file given with --count-file ("accepted N"). A line "SYNC" on standard input
makes it accept whatever is still queued and then write "synced N" (to the file and to standard
error), so a test reads an exact count.
"""
import argparse
import os
import select
import socket
import struct
import sys


def main():
    parser = argparse.ArgumentParser(description="accept-and-reset server")
    parser.add_argument("--count-file", required=True)
    args = parser.parse_args()

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(128)
    listener.setblocking(False)
    count = 0

    def write(text):
        tmp = args.count_file + ".tmp"
        with open(tmp, "w", encoding="ascii") as f:
            f.write(text + "\n")
        os.replace(tmp, args.count_file)

    def drain():
        nonlocal count
        while True:
            try:
                conn, _ = listener.accept()
            except BlockingIOError:
                return
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            conn.close()
            count += 1
            write("accepted %d" % count)

    write("accepted 0")
    print("PORT", listener.getsockname()[1], flush=True)
    while True:
        ready, _, _ = select.select([listener, sys.stdin], [], [])
        if listener in ready:
            drain()
        if sys.stdin in ready:
            line = sys.stdin.readline()
            if not line:
                return
            if line.strip() == "SYNC":
                drain()
                write("synced %d" % count)
                sys.stderr.write("synced %d\n" % count)
                sys.stderr.flush()


if __name__ == "__main__":
    main()
