#!/usr/bin/python3
"""Local SMTP test server for the checks' tests (started by scripts/test-servers.sh).

Three listeners in one process, all accepting the same login:
  --port           plain; AUTH PLAIN/LOGIN allowed without TLS, no STARTTLS offered
  --starttls-port  STARTTLS offered; AUTH only after STARTTLS
  --smtps-port     TLS from the first byte; AUTH allowed
Every accepted message is written as one file to --spool (envelope in X-Envelope-* lines
on top, then the data as received), so tests can read what a check sent.
Runs until SIGTERM or SIGINT.
"""
import argparse
import os
import socket
import signal
import ssl
import threading
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


class SpoolHandler:
    def __init__(self, spool, maildir=None, maildir_user=None):
        self.spool = spool
        self.maildir = maildir
        self.maildir_user = maildir_user
        self.lock = threading.Lock()
        self.counter = 0

    async def handle_DATA(self, server, session, envelope):
        with self.lock:
            self.counter += 1
            name = "%d-%06d.eml" % (int(time.time() * 1000), self.counter)
        head = "X-Envelope-From: %s\r\n" % envelope.mail_from
        head += "".join("X-Envelope-To: %s\r\n" % r for r in envelope.rcpt_tos)
        data = envelope.original_content or envelope.content or b""
        if isinstance(data, str):
            data = data.encode("utf-8", "replace")
        tmp = os.path.join(self.spool, "." + name)
        with open(tmp, "wb") as f:
            f.write(head.encode("ascii", "replace") + data)
        # rename: readers never see a half-written message
        os.rename(tmp, os.path.join(self.spool, name))
        if self.maildir and any(r.split("@")[0] == self.maildir_user for r in envelope.rcpt_tos):
            self.deliver(name, data)
        return "250 OK message accepted"

    def deliver(self, name, data):
        """The test user's mail also goes to the Maildir that POP3 and IMAP serve."""
        if not os.path.isdir(self.maildir):
            return
        owner = os.stat(self.maildir)
        for sub in ("tmp", "new", "cur"):
            os.makedirs(os.path.join(self.maildir, sub), exist_ok=True)
        unique = "%s.smtp.%s" % (name, socket.gethostname())
        tmp = os.path.join(self.maildir, "tmp", unique)
        with open(tmp, "wb") as f:
            f.write(data)
        os.chown(tmp, owner.st_uid, owner.st_gid)
        os.rename(tmp, os.path.join(self.maildir, "new", unique))


def make_authenticator(user, password):
    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login == user.encode()
              and auth_data.password == password.encode())
        # handled=False: the server itself answers 535 on a refusal
        return AuthResult(success=ok, handled=False)
    return authenticate


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--starttls-port", type=int, required=True)
    p.add_argument("--smtps-port", type=int, required=True)
    p.add_argument("--cert", required=True)
    p.add_argument("--key", required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    p.add_argument("--spool", required=True)
    p.add_argument("--name", default="mail.zam.test")
    p.add_argument("--maildir", default=None)
    a = p.parse_args()

    os.makedirs(a.spool, exist_ok=True)
    handler = SpoolHandler(a.spool, a.maildir, a.user)
    auth = make_authenticator(a.user, a.password)

    tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    tls.load_cert_chain(a.cert, a.key)

    common = dict(server_hostname=a.name, authenticator=auth, ready_timeout=10.0)
    controllers = [
        Controller(handler, hostname=a.host, port=a.port, auth_require_tls=False, **common),
        Controller(handler, hostname=a.host, port=a.starttls_port, tls_context=tls,
                   auth_require_tls=True, **common),
        Controller(handler, hostname=a.host, port=a.smtps_port, ssl_context=tls,
                   auth_require_tls=False, **common),
    ]

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    started = []
    try:
        for c in controllers:
            c.start()
            started.append(c)
        print("smtp test server ready", flush=True)
        while not stop.wait(1.0):
            pass
    finally:
        for c in reversed(started):
            c.stop()


if __name__ == "__main__":
    main()
