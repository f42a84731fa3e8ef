#!/usr/bin/env python3
"""E-mail round trip for the agent's "Email Round-Trip" monitor.

Sends a message carrying a unique token over SMTP, then polls the mailbox over IMAP (the given
folder) or POP3 until that message arrives or --timeout seconds pass, deletes it and exits 0.
Otherwise it writes one line with the reason to standard error and exits 1. The password is the
first line of standard input; it is never printed.

Options (each value is the next argument, even when it begins with "-"):
  --host H --timeout S --to ADDR [--from ADDR] --smtp-port P --smtp-secure-connection W
  [--smtp-user U] --read-host H --read-secure-connection W --read-port P [--read-user U]
  [--imap-folder F] [--read-with POP3]
Secure words: none, starttls (if the server offers it), tls (STARTTLS or fail), ssl (TLS from
the start). Certificates are not verified: the check is that mail flows, not who serves it.
Standard library only.
"""
import imaplib
import poplib
import smtplib
import ssl
import sys
import time
import uuid
from email.message import EmailMessage

KNOWN = {"--host", "--timeout", "--to", "--from", "--smtp-port", "--smtp-secure-connection", "--smtp-user",
         "--read-host", "--read-secure-connection", "--read-port", "--read-user", "--imap-folder", "--read-with"}


class RoundTripError(Exception):
    pass


def parse(argv):
    options = {}
    i = 0
    while i < len(argv):
        name = argv[i]
        if name not in KNOWN:
            raise RoundTripError("unknown option %s" % name)
        if i + 1 >= len(argv):
            raise RoundTripError("option %s needs a value" % name)
        options[name] = argv[i + 1]
        i += 2
    for required in ("--host", "--timeout", "--to", "--read-host", "--read-port"):
        if required not in options:
            raise RoundTripError("option %s is missing" % required)
    return options


def tls_context():
    context = ssl.create_default_context()
    context.check_hostname = False
    context.verify_mode = ssl.CERT_NONE
    return context


def send(options, password, token, timeout):
    host = options["--host"]
    port = int(options.get("--smtp-port", "25"))
    secure = options.get("--smtp-secure-connection", "none")
    try:
        if secure == "ssl":
            smtp = smtplib.SMTP_SSL(host, port, timeout=timeout, context=tls_context())
        else:
            smtp = smtplib.SMTP(host, port, timeout=timeout)
        with smtp:
            smtp.ehlo()
            if secure in ("starttls", "tls"):
                if smtp.has_extn("starttls"):
                    smtp.starttls(context=tls_context())
                    smtp.ehlo()
                elif secure == "tls":
                    raise RoundTripError("SMTP server %s does not offer STARTTLS" % host)
            if "--smtp-user" in options:
                smtp.login(options["--smtp-user"], password)
            message = EmailMessage()
            sender = options.get("--from", options["--to"])
            message["From"] = sender
            message["To"] = options["--to"]
            message["Subject"] = "Corvane round trip " + token
            message.set_content("Round-trip check " + token + "\n")
            smtp.send_message(message, from_addr=sender, to_addrs=[options["--to"]])
    except RoundTripError:
        raise
    except (OSError, smtplib.SMTPException) as e:
        raise RoundTripError("Sending through %s:%d failed: %s" % (host, port, e))


def take_from_imap(options, password, token, timeout):
    host, port = options["--read-host"], int(options["--read-port"])
    secure = options.get("--read-secure-connection", "none")
    folder = options.get("--imap-folder", "INBOX")
    try:
        if secure == "ssl":
            imap = imaplib.IMAP4_SSL(host, port, ssl_context=tls_context(), timeout=timeout)
        else:
            imap = imaplib.IMAP4(host, port, timeout=timeout)
            if secure in ("starttls", "tls"):
                if "STARTTLS" in imap.capabilities:
                    imap.starttls(ssl_context=tls_context())
                elif secure == "tls":
                    raise RoundTripError("IMAP server %s does not offer STARTTLS" % host)
        try:
            imap.login(options.get("--read-user", options["--to"]), password)
            status, _ = imap.select(folder)
            if status != "OK":
                raise RoundTripError("IMAP folder %s cannot be opened" % folder)
            status, data = imap.search(None, "SUBJECT", '"%s"' % token)
            numbers = data[0].split() if status == "OK" and data and data[0] else []
            for number in numbers:
                imap.store(number, "+FLAGS", "\\Deleted")
            if numbers:
                imap.expunge()
            return bool(numbers)
        finally:
            try:
                imap.logout()
            except (OSError, imaplib.IMAP4.error):
                pass
    except RoundTripError:
        raise
    except (OSError, imaplib.IMAP4.error) as e:
        raise RoundTripError("Reading from %s:%d over IMAP failed: %s" % (host, port, e))


def take_from_pop3(options, password, token, timeout):
    host, port = options["--read-host"], int(options["--read-port"])
    secure = options.get("--read-secure-connection", "none")
    try:
        if secure == "ssl":
            pop = poplib.POP3_SSL(host, port, timeout=timeout, context=tls_context())
        else:
            pop = poplib.POP3(host, port, timeout=timeout)
            if secure in ("starttls", "tls"):
                try:
                    pop.stls(context=tls_context())
                except poplib.error_proto:
                    if secure == "tls":
                        raise RoundTripError("POP3 server %s does not offer STLS" % host)
        try:
            pop.user(options.get("--read-user", options["--to"]))
            pop.pass_(password)
            count, _ = pop.stat()
            found = False
            for number in range(1, count + 1):
                _, lines, _ = pop.top(number, 0)
                if any(token.encode() in line for line in lines):
                    pop.dele(number)
                    found = True
            return found
        finally:
            try:
                pop.quit()
            except (OSError, poplib.error_proto):
                pass
    except RoundTripError:
        raise
    except (OSError, poplib.error_proto) as e:
        raise RoundTripError("Reading from %s:%d over POP3 failed: %s" % (host, port, e))


def main(argv):
    try:
        options = parse(argv)
        password = sys.stdin.readline().rstrip("\r\n")
        deadline = time.monotonic() + max(1, int(options["--timeout"]))
        token = uuid.uuid4().hex
        take = take_from_pop3 if options.get("--read-with", "").upper() == "POP3" else take_from_imap
        send(options, password, token, max(1.0, deadline - time.monotonic()))
        while True:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise RoundTripError("The message did not arrive within %s s" % options["--timeout"])
            if take(options, password, token, max(1.0, remaining)):
                print("message arrived")
                return 0
            time.sleep(min(0.5, max(0.0, deadline - time.monotonic())))
    except RoundTripError as e:
        sys.stderr.write("%s\n" % e)
        return 1
    except (ValueError, KeyboardInterrupt) as e:
        sys.stderr.write("Round trip failed: %s\n" % e)
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
