"""SMTP test server for the mail tests: aiosmtpd (Debian's python3-aiosmtpd) on 127.0.0.1 with an
ephemeral port. AUTH LOGIN (and PLAIN) is offered without TLS and accepts one user; authentication
is optional, so the plain path works against the same server. Every accepted message is saved in the
given folder as NNN.eml (the bytes received after DATA, with the transparency dots removed, exactly as
they came otherwise) and NNN.json (HELO/EHLO name, envelope sender, recipients, authenticated user).
The .json file is written last, so its presence means the message is complete.

Usage: smtpserver.py --folder DIR [--user NAME --password PASS]
                     [--tls-cert FILE --tls-key FILE --tls-mode starttls|implicit]
                     [--no-login] [--command-log FILE]
--tls-mode starttls  STARTTLS is required before anything but EHLO/HELO/NOOP/QUIT; implicit: TLS
                     from the first byte. AUTH is offered there as well.
--no-login           offers AUTH PLAIN only.
--command-log FILE   appends the name of every command the server receives to FILE.
Prints "PORT n" once it listens."""
import argparse
import asyncio
import json
import os
import ssl
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def parse_args():
    parser = argparse.ArgumentParser()
    parser.add_argument("--folder", required=True)
    parser.add_argument("--user", default="quill")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--tls-cert")
    parser.add_argument("--tls-key")
    parser.add_argument("--tls-mode", choices=["starttls", "implicit"])
    parser.add_argument("--no-login", action="store_true")
    parser.add_argument("--command-log")
    return parser.parse_args()


def recording_class(log_path):
    """SMTP with every command's name appended to log_path before it is handled."""
    if not log_path:
        return SMTP

    class Recording(SMTP):
        pass

    def wrap(name):
        original = getattr(SMTP, "smtp_" + name)

        async def handler(self, arg):
            with open(log_path, "a") as log:
                log.write(name + "\n")
            return await original(self, arg)

        return handler

    for name in ("HELO", "EHLO", "STARTTLS", "AUTH", "MAIL", "RCPT", "DATA", "RSET", "NOOP", "QUIT"):
        setattr(Recording, "smtp_" + name, wrap(name))
    return Recording


class SavingHandler:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, "%03d" % self.count)
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content)
        auth = session.auth_data if session.authenticated else None
        login = auth.login.decode("latin-1") if isinstance(auth, LoginPassword) else None
        meta = {
            "helo": session.host_name,
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "login": login,
        }
        tmp = base + ".json.tmp"
        with open(tmp, "w", encoding="utf-8") as f:
            json.dump(meta, f)
        os.replace(tmp, base + ".json")
        return "250 Message accepted"


def make_authenticator(user, password):
    expected = LoginPassword(user.encode("latin-1"), password.encode("latin-1"))

    def authenticator(server, session, envelope, mechanism, auth_data):
        if isinstance(auth_data, LoginPassword) and auth_data == expected:
            return AuthResult(success=True, auth_data=auth_data)
        # Not handled: the server itself answers 535.
        return AuthResult(success=False, handled=False)

    return authenticator


async def main():
    # aiosmtpd warns about its own deprecated session fields on every log-on.
    warnings.simplefilter("ignore")
    args = parse_args()
    os.makedirs(args.folder, exist_ok=True)
    handler = SavingHandler(args.folder)
    authenticator = make_authenticator(args.user, args.password)
    loop = asyncio.get_running_loop()

    context = None
    if args.tls_cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.tls_cert, args.tls_key)
    smtp_class = recording_class(args.command_log)
    options = {}
    if args.tls_mode == "starttls":
        options = {"tls_context": context, "require_starttls": True}
    if args.no_login:
        options["auth_exclude_mechanism"] = ["LOGIN"]

    def factory():
        return smtp_class(handler, hostname="quillmap-test", auth_require_tls=False, auth_required=False,
                          authenticator=authenticator, decode_data=False, loop=loop, **options)

    server = await loop.create_server(factory, "127.0.0.1", 0,
                                      ssl=context if args.tls_mode == "implicit" else None)
    print("PORT", server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        pass
