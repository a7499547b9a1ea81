#!/usr/bin/python3
"""SMTP peer for the mail tests.

Listens on 127.0.0.1 on a free port, prints the port on its first output
line, and stores every message it accepts in OUTDIR as NNNN.env (JSON:
envelope sender and recipients) and NNNN.eml (the raw message bytes); the
.eml file appears last. With --auth USER:PASSWORD it offers AUTH (without
TLS) and accepts only that account.
"""
import asyncio
import json
import logging
import os
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult


class Sink:
    def __init__(self, outdir):
        self.outdir = outdir
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.outdir, "%04d" % self.count)
        with open(base + ".env", "w") as f:
            json.dump({"from": envelope.mail_from, "rcpt": envelope.rcpt_tos}, f)
        with open(base + ".tmp", "wb") as f:
            f.write(envelope.original_content)
        os.rename(base + ".tmp", base + ".eml")
        return "250 OK stored"


def main():
    # Plain AUTH without TLS is what the tests want: keep stderr quiet.
    warnings.simplefilter("ignore")
    logging.disable(logging.CRITICAL)
    outdir = sys.argv[1]
    account = None
    if len(sys.argv) > 3 and sys.argv[2] == "--auth":
        user, _, password = sys.argv[3].partition(":")
        account = (user.encode(), password.encode())

    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = account is not None and (auth_data.login, auth_data.password) == account
        # handled=False makes the server answer a refusal with 535.
        return AuthResult(success=ok, handled=False)

    sink = Sink(outdir)

    def factory():
        if account is None:
            return SMTP(sink, decode_data=False)
        return SMTP(sink, decode_data=False, authenticator=authenticate,
                    auth_require_tls=False, auth_required=True)

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(loop.create_server(factory, "127.0.0.1", 0))
    print(server.sockets[0].getsockname()[1], flush=True)
    loop.run_forever()


if __name__ == "__main__":
    main()
