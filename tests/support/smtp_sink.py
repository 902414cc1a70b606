#!/usr/bin/python3
"""A local SMTP server for the mail tests.

Usage: smtp_sink.py <folder>

Listens on a free port of 127.0.0.1 and prints "PORT <n>" once it accepts connections. Every
message it receives is stored twice in <folder>: <k>.eml holds the DATA bytes as received, and
<k>.json what Python's own mail parser reads from them (headers decoded, body decoded from its
transfer encoding, as base64 of the bytes), so the test checks the message with a MIME
implementation other than the one that wrote it. Each file appears complete (written, then
renamed) before the server answers the DATA command, so a sendmail program that has ended
successfully has left both files behind. A recipient whose local part is "unknown" is refused
with 550, as a server does for a mailbox it does not have.

Ends when its standard input closes, or after two minutes in any case.
"""
import base64
import email
import email.header
import email.policy
import json
import os
import signal
import socket
import sys

from aiosmtpd.controller import Controller


class Sink:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    def _store(self, name, data):
        path = os.path.join(self.folder, name)
        with open(path + ".part", "wb") as f:
            f.write(data)
        os.rename(path + ".part", path)

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower().startswith("unknown@"):
            return "550 5.1.1 <%s>: no such mailbox" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        raw = envelope.original_content
        message = email.message_from_bytes(raw, policy=email.policy.compat32)
        subject = message.get("Subject", "")
        decoded_subject = str(email.header.make_header(email.header.decode_header(subject)))
        payload = message.get_payload(decode=True) or b""
        parsed = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "to": message.get_all("To", []),
            "bcc": message.get_all("Bcc", []),
            "subject_raw": subject,
            "subject": decoded_subject,
            "content_type": message.get_content_type(),
            "charset": message.get_content_charset(),
            "transfer_encoding": message.get("Content-Transfer-Encoding", ""),
            "mime_version": message.get("MIME-Version", ""),
            "date": message.get("Date", ""),
            "body_base64": base64.b64encode(payload).decode("ascii"),
        }
        self._store("%d.eml" % self.count, raw)
        self._store("%d.json" % self.count, json.dumps(parsed).encode("utf-8"))
        return "250 OK"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    signal.alarm(120)
    folder = sys.argv[1]
    controller = None
    for _ in range(5):  # another program may take the port between probing and binding
        candidate = Controller(Sink(folder), hostname="127.0.0.1", port=free_port(), ready_timeout=10)
        try:
            candidate.start()
            controller = candidate
            break
        except Exception as error:  # noqa: BLE001 - any failure to listen means: try another port
            last_error = error
    if controller is None:
        print("ERROR cannot listen: %s" % last_error, flush=True)
        return 1
    print("PORT %d" % controller.port, flush=True)
    sys.stdin.read()
    controller.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
