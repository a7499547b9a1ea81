#!/usr/bin/python3
"""Mail peers for the mail tests and benchmarks. ADDR is "PORT" (127.0.0.1) or
"HOST:PORT".

smtp_sink.py ADDR sink OUTDIR USER:PASSWORD
    aiosmtpd, offering AUTH without TLS for that one account (sending without
    AUTH is allowed too). A recipient whose local part starts with "refused"
    is refused with 550. Every message is stored as OUTDIR/NNNN.eml: the
    envelope sender and recipients one a line, an empty line, the raw bytes.
    NNNN.parts, written first, holds every leaf part as parsed by Python's
    email package: "ENCODING\tCONTENT-TYPE\tDISPOSITION\tFILENAME LENGTH\n"
    (the two headers' values unfolded, the file name as the package reads
    it) and the decoded body (a mac-binhex40 body as it was sent).
smtp_sink.py ADDR tls OUTDIR USER:PASSWORD
    The same, offering STARTTLS with a self-signed certificate made in OUTDIR
    by the openssl program.
smtp_sink.py ADDR discard
    aiosmtpd without a size limit that keeps nothing (for benchmarks).
smtp_sink.py ADDR script OUTDIR GREETING REPLY...
    Sends GREETING to every client, then answers each line it receives with
    the next REPLY, then falls silent and keeps the connection open. Every
    line received is appended to OUTDIR/received.log. A REPLY may start with
    a directive:
      <drop>TEXT          send TEXT (may be empty), then close the connection
      <trickle SECS>TEXT  send TEXT in small pieces spread over SECS seconds
      <wait SECS>TEXT     send TEXT after SECS seconds
      <data RATE>TEXT     send TEXT (the 354 reply), then read the message
                          data up to its end mark at RATE bytes a second,
                          then go on with the next REPLY without waiting for
                          a line
"""
import asyncio
import email
import logging
import os
import socket
import ssl
import subprocess
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult


def unfolded(value):
    return "" if value is None else str(value).replace("\r", "").replace("\n", "").replace("\t", " ")


class Sink:
    def __init__(self, outdir):
        self.outdir, self.count = outdir, 0

    async def handle_RCPT(self, server, session, envelope, address, options):
        if address.split("@")[0].startswith("refused"):
            return "550 5.1.1 no such mailbox"
        envelope.rcpt_tos.append(address)
        return "250 OK"

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
                fields = [cte, part.get("Content-Type"), part.get("Content-Disposition"),
                          part.get_filename()]
                head = "\t".join(unfolded(v) for v in fields)
                f.write(b"%s %d\n%s" % (head.encode("utf-8", "surrogateescape"), len(body), body))
        with open(base + ".tmp", "wb") as f:
            f.write("\n".join([envelope.mail_from, *envelope.rcpt_tos, "", ""]).encode())
            f.write(envelope.original_content)
        os.rename(base + ".tmp", base + ".eml")  # the .eml file appears complete
        return "250 OK stored"


class Discard:
    async def handle_DATA(self, server, session, envelope):
        return "250 OK %d bytes" % len(envelope.original_content)


async def scripted(reader, writer, log_path, greeting, replies):
    writer.write(greeting)
    skip_read = False
    for reply in replies:
        if not skip_read:
            line = await reader.readline()
            if not line:
                return
            with open(log_path, "ab") as log:
                log.write(line)
        skip_read = False
        directive, text = b"", reply
        if reply.startswith(b"<") and b">" in reply:
            directive, text = reply[1:].split(b">", 1)
        if directive == b"drop":
            writer.write(text)
            await writer.drain()
            writer.close()
            return
        if directive.startswith(b"trickle "):
            secs = directive.split(b" ")[1]
            pieces = [text[i:i + 8] for i in range(0, len(text), 8)]
            for piece in pieces:
                writer.write(piece)
                await writer.drain()
                await asyncio.sleep(float(secs) / len(pieces))
            continue
        if directive.startswith(b"wait "):
            await asyncio.sleep(float(directive.split(b" ")[1]))
            writer.write(text)
            continue
        if directive.startswith(b"data "):
            rate = directive.split(b" ")[1]
            writer.write(text)
            await writer.drain()
            tail, step = b"", 16384
            while not tail.endswith(b"\r\n.\r\n"):
                piece = await reader.read(step)
                if not piece:
                    return
                tail = (tail + piece)[-5:]
                await asyncio.sleep(len(piece) / float(rate))
            skip_read = True
            continue
        writer.write(reply)
    await reader.read()


def listening_socket(host, port, small_buffer):
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    if small_buffer:  # a slow reader must not take the data into its buffers
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 16384)
    sock.bind((host, port))
    sock.listen(16)
    return sock


def self_signed(outdir):
    cert, key = os.path.join(outdir, "cert.pem"), os.path.join(outdir, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                    "/CN=localhost", "-keyout", key, "-out", cert],
                   check=True, capture_output=True)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    return context


async def serve(host, port, mode, args):
    loop = asyncio.get_running_loop()
    if mode in ("sink", "tls"):
        account = tuple(a.encode() for a in args[1].split(":", 1))

        def authenticate(server, session, envelope, mechanism, auth):
            # handled=False makes the server answer a refusal with 535.
            return AuthResult(success=(auth.login, auth.password) == account, handled=False)

        sink = Sink(args[0])
        tls = self_signed(args[0]) if mode == "tls" else None
        server = await loop.create_server(
            lambda: SMTP(sink, decode_data=False, authenticator=authenticate,
                         auth_require_tls=False, tls_context=tls, data_size_limit=None),
            sock=listening_socket(host, port, False))
    elif mode == "discard":
        server = await loop.create_server(
            lambda: SMTP(Discard(), decode_data=False, data_size_limit=None),
            sock=listening_socket(host, port, False))
    else:
        log_path = os.path.join(args[0], "received.log")
        script = [a.encode("utf-8", "surrogateescape") for a in args[1:]]
        server = await asyncio.start_server(
            lambda r, w: scripted(r, w, log_path, script[0], script[1:]),
            sock=listening_socket(host, port, True))
    await server.serve_forever()


if __name__ == "__main__":
    warnings.simplefilter("ignore")  # plain AUTH without TLS is what the tests want
    logging.disable(logging.CRITICAL)
    host, _, port = sys.argv[1].rpartition(":")
    asyncio.run(serve(host or "127.0.0.1", int(port), sys.argv[2], sys.argv[3:]))
