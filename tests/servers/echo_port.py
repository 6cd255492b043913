"""A minimal line server used to test the test harness itself: listens on 127.0.0.1 with an
ephemeral port, reports it, and answers each line with the same line in upper case."""
import socketserver
import sys


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        for line in self.rfile:
            self.wfile.write(line.upper())


with socketserver.TCPServer(("127.0.0.1", 0), Handler) as server:
    print("NAME echo")
    print("PORT", server.server_address[1], flush=True)
    server.serve_forever()
