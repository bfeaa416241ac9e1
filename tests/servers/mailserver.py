#!/usr/bin/python3
"""Stand-in for the mail web API, for the Lattica tests.

Listens on 127.0.0.1 on a free port, prints "PORT <n>", then for every POST
parses the multipart/form-data body with the standard library's MIME parser
and prints one line "MAIL <json>" with the path, the Authorization header and
the parts in order (name, filename, content type, body as Base64).
Answers like the mail service: a queued message, except on paths ending in
"/notqueued" (a 200 reply without "Queued") and "/unauthorised" (401).
Exits when its standard input closes.

With --eml-dir DIR every message is also stored in DIR as a standard .eml
file (RFC 5322: sender, recipients, subject, text and HTML body, attachments),
so a mail program can open what the application sent; the record then names
the file ("eml"). A GET answers with a short text, so the connectivity check
can be pointed here.
"""
import base64
import json
import os
import sys
import threading
import time
from email import policy
from email.message import EmailMessage
from email.utils import formatdate, make_msgid
from email.parser import BytesParser
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


EML_DIR = None
_counter = [0]
_counter_lock = threading.Lock()


def write_eml(fields, files):
    """Builds the message the mail service would deliver from the form
    fields and files, and stores it in EML_DIR. Returns the file's path."""
    msg = EmailMessage()
    msg["From"] = fields.get("from") or "Lattica <no-reply@localhost>"
    msg["To"] = fields.get("to", "")
    if fields.get("cc"):
        msg["Cc"] = fields["cc"]
    if fields.get("h:Reply-To"):
        msg["Reply-To"] = fields["h:Reply-To"]
    msg["Subject"] = fields.get("subject", "")
    msg["Date"] = formatdate(localtime=True)
    msg["Message-ID"] = make_msgid(domain="localhost")
    msg.set_content(fields.get("text", ""))
    if "html" in fields:
        msg.add_alternative(fields["html"], subtype="html")
    for name, ctype, payload in files:
        maintype, _, subtype = (ctype or "application/octet-stream").partition("/")
        msg.add_attachment(payload, maintype=maintype, subtype=subtype or "octet-stream",
                           filename=name or "attachment")
    with _counter_lock:
        _counter[0] += 1
        n = _counter[0]
    path = os.path.join(EML_DIR, "%s-%d-%03d.eml" % (time.strftime("%Y%m%d-%H%M%S"), os.getpid(), n))
    tmp = path + ".part"
    with open(tmp, "wb") as f:
        f.write(msg.as_bytes(policy=policy.SMTP))
    os.replace(tmp, path)
    return path


class Handler(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        self.answer(200, b"Lattica mail catcher\n")

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length)
        ctype = self.headers.get("Content-Type", "")
        message = BytesParser(policy=policy.HTTP).parsebytes(
            b"MIME-Version: 1.0\r\nContent-Type: " + ctype.encode("latin-1") + b"\r\n\r\n" + body)
        parts = []
        fields, files = {}, []
        if message.is_multipart():
            for part in message.iter_parts():
                payload = part.get_payload(decode=True) or b""
                name = part.get_param("name", header="content-disposition")
                if part.get_filename() is None:
                    fields[name] = payload.decode("utf-8", "replace")
                else:
                    files.append((part.get_filename(), part.get_content_type() if part.get("Content-Type") else None,
                                  payload))
                parts.append({
                    "name": part.get_param("name", header="content-disposition"),
                    "filename": part.get_filename(),
                    "contentType": part.get_content_type() if part.get("Content-Type") else None,
                    "body": base64.b64encode(payload).decode("ascii"),
                })
        record = {
            "path": self.path,
            "authorization": self.headers.get("Authorization"),
            "contentType": ctype,
            "multipart": message.is_multipart(),
            "defects": len(message.defects),
            "parts": parts,
        }
        if EML_DIR and message.is_multipart():
            record["eml"] = write_eml(fields, files)
        sys.stdout.write("MAIL " + json.dumps(record) + "\n")
        sys.stdout.flush()

        if self.path.endswith("/unauthorised"):
            self.answer(401, b"Forbidden")
        elif self.path.endswith("/notqueued"):
            self.answer(200, b'{"message": "\'to\' parameter is not a valid address. please check documentation"}')
        else:
            self.answer(200, b'{"id": "<20261206.1@mg.example>", "message": "Queued. Thank you."}')

    def answer(self, status, body):
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def main():
    global EML_DIR
    args = sys.argv[1:]
    if args[:1] == ["--eml-dir"] and len(args) == 2:
        EML_DIR = os.path.abspath(args[1])
        os.makedirs(EML_DIR, exist_ok=True)
    elif args:
        sys.exit("usage: mailserver.py [--eml-dir DIR]")
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    sys.stdout.write("PORT %d\n" % server.server_address[1])
    sys.stdout.flush()

    def watch_stdin():
        sys.stdin.buffer.read()
        os._exit(0)

    threading.Thread(target=watch_stdin, daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
