#!/usr/bin/python3
"""SMTP peers for the mail tests, on 127.0.0.1:PORT.

smtp_sink.py PORT sink OUTDIR USER:PASSWORD
    aiosmtpd, offering AUTH without TLS for that one account (sending without
    AUTH is allowed too). Every message is stored as OUTDIR/NNNN.eml: the
    envelope sender and recipients one a line, an empty line, the raw bytes.
    NNNN.parts, written first, holds every leaf part as parsed by Python's
    email package: "ENCODING LENGTH\n" and the decoded body (a mac-binhex40
    body as it was sent).
smtp_sink.py PORT script GREETING REPLY...
    Sends GREETING to every client, answers each line it receives with the
    next REPLY, then falls silent and keeps the connection open. A REPLY that
    begins with "<drop>" sends the rest and closes the connection.
"""
import asyncio
import email
import logging
import os
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult


class Sink:
    def __init__(self, outdir):
        self.outdir, self.count = outdir, 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.outdir, "%04d" % self.count)
        with open(base + ".parts", "wb") as f:
            for part in email.message_from_bytes(envelope.original_content).walk():
                if part.is_multipart():
                    continue
                cte = part.get("Content-Transfer-Encoding", "")
                body = part.get_payload(decode=cte != "mac-binhex40")
                if isinstance(body, str):
                    body = body.encode("ascii", "surrogateescape")
                f.write(b"%s %d\n%s" % (cte.encode(), len(body), body))
        with open(base + ".tmp", "wb") as f:
            f.write("\n".join([envelope.mail_from, *envelope.rcpt_tos, "", ""]).encode())
            f.write(envelope.original_content)
        os.rename(base + ".tmp", base + ".eml")  # the .eml file appears complete
        return "250 OK stored"


async def scripted(reader, writer, greeting, replies):
    writer.write(greeting)
    for reply in replies:
        if not await reader.readline():
            return
        if reply.startswith(b"<drop>"):
            writer.write(reply[len(b"<drop>"):])
            await writer.drain()
            writer.close()
            return
        writer.write(reply)
    await reader.read()


async def serve(port, mode, args):
    if mode == "sink":
        account = tuple(a.encode() for a in args[1].split(":", 1))

        def authenticate(server, session, envelope, mechanism, auth):
            # handled=False makes the server answer a refusal with 535.
            return AuthResult(success=(auth.login, auth.password) == account, handled=False)

        sink = Sink(args[0])
        server = await asyncio.get_running_loop().create_server(
            lambda: SMTP(sink, decode_data=False, authenticator=authenticate,
                         auth_require_tls=False), "127.0.0.1", port)
    else:
        script = [a.encode("utf-8", "surrogateescape") for a in args]
        server = await asyncio.start_server(
            lambda r, w: scripted(r, w, script[0], script[1:]), "127.0.0.1", port)
    await server.serve_forever()


if __name__ == "__main__":
    warnings.simplefilter("ignore")  # plain AUTH without TLS is what the tests want
    logging.disable(logging.CRITICAL)
    asyncio.run(serve(int(sys.argv[1]), sys.argv[2], sys.argv[3:]))
