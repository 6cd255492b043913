"""A web space for the tests: serves the files of one folder over HTTP on 127.0.0.1 with an ephemeral
port, as a provider's web server shows what was uploaded by FTP. Prints "PORT n" once it listens.

Usage: webspace.py --root DIR
"""
import argparse
import functools
import sys
from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer


class QuietHandler(SimpleHTTPRequestHandler):
    def log_message(self, format, *args):
        pass

    def end_headers(self):
        # Every read sees the folder as it is now.
        self.send_header("Cache-Control", "no-store")
        super().end_headers()


def main():
    parser = argparse.ArgumentParser(description="Static web space")
    parser.add_argument("--root", required=True)
    args = parser.parse_args()
    handler = functools.partial(QuietHandler, directory=args.root)
    server = ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    print("PORT", server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    sys.exit(0)


if __name__ == "__main__":
    main()
