#!/usr/bin/python3
"""A real SMTP server for the mail tests, on loopback.

Prints "PORT <n>" once it listens, then stores each message it accepts as <dir>/<n>.eml (the
content as received, after the server undid the dot-stuffing) and <dir>/<n>.meta (one
"key=value" line each: from, rcpt, tls, login). Runs until it is terminated.
"""
import argparse
import asyncio
import os
import signal
import socket
import ssl

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class Recorder:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, str(self.count))
        with open(base + ".eml", "wb") as out:
            out.write(envelope.original_content)
        tls = server.transport.get_extra_info("ssl_object") is not None
        login = session.auth_data.login.decode() if session.authenticated else ""
        lines = [f"from={envelope.mail_from}"]
        lines += [f"rcpt={r}" for r in envelope.rcpt_tos]
        lines += [f"tls={int(tls)}", f"login={login}"]
        with open(base + ".meta", "w") as out:
            out.write("\n".join(lines) + "\n")
        return "250 Message accepted for delivery"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--folder", required=True)
    parser.add_argument("--user", default="")
    parser.add_argument("--password", default="")
    parser.add_argument("--cert", default="")
    parser.add_argument("--key", default="")
    parser.add_argument("--mode", choices=["plain", "starttls", "implicit"], default="plain")
    args = parser.parse_args()

    context = None
    if args.mode != "plain":
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)

    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and auth_data.login.decode() == args.user
              and auth_data.password.decode() == args.password)
        return AuthResult(success=ok, handled=False, auth_data=auth_data)

    recorder = Recorder(args.folder)

    def factory():
        return SMTP(recorder, hostname="mail.test", authenticator=authenticate,
                    auth_require_tls=args.mode == "starttls",
                    tls_context=context if args.mode == "starttls" else None)

    # Both loopback addresses on one port, so "localhost" reaches it whichever comes first.
    listeners = [socket.socket(socket.AF_INET, socket.SOCK_STREAM)]
    listeners[0].bind(("127.0.0.1", 0))
    port = listeners[0].getsockname()[1]
    try:
        v6 = socket.socket(socket.AF_INET6, socket.SOCK_STREAM)
        v6.bind(("::1", port))
        listeners.append(v6)
    except OSError:
        pass

    loop = asyncio.new_event_loop()
    servers = []
    for listener in listeners:
        listener.listen(8)
        servers.append(loop.run_until_complete(loop.create_server(
            factory, sock=listener, ssl=context if args.mode == "implicit" else None)))
    loop.add_signal_handler(signal.SIGTERM, loop.stop)
    print(f"PORT {port}", flush=True)
    loop.run_forever()
    for server in servers:
        server.close()


if __name__ == "__main__":
    main()
