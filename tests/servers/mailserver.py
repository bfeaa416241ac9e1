#!/usr/bin/python3
"""Stand-in for the mail web API, for the Lattica tests.

Listens on 127.0.0.1 on a free port, prints "PORT <n>", then for every POST
parses the multipart/form-data body with the standard library's MIME parser
and prints one line "MAIL <json>" with the path, the Authorization header and
the parts in order (name, filename, content type, body as Base64).
Answers like the mail service: a queued message, except on paths ending in
"/notqueued" (a 200 reply without "Queued") and "/unauthorised" (401).
Exits when its standard input closes.

Faults for the posting tests are set by a POST to "/control" with a JSON
object (each POST replaces the previous settings):
  "fail": {"address": [status, body]}  mails whose "to" holds the address get that answer
  "hold": ["address"]                  mails to it are recorded but never answered
  "delay": {"address": seconds}        mails to it are answered that much later
  "exitAfter": n                       the server exits after answering n more mails
  "replies": {"address": [status, body]}  answers of the address checks, GET
                                       "/api/check" (query "email") and
                                       "/v3/address/validate" (query "address"),
                                       each recorded as a line "MAIL {method: GET, path, authorization}"

With --eml-dir DIR every message is also stored in DIR as a standard .eml
file (RFC 5322: sender, recipients, subject, text and HTML body, attachments),
so a mail program can open what the application sent; the record then names
the file ("eml"). A GET of "/" answers with a short text, so the connectivity
check can be pointed here.
"""
import base64
import json
import os
import sys
import threading
import time
from urllib.parse import parse_qs, urlparse
from email import policy
from email.message import EmailMessage
from email.utils import formatdate, make_msgid
from email.parser import BytesParser
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from serve import announce_and_serve


CONTROL = {}
LOCK = threading.Lock()
EML_DIR = None
_counter = [0]


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
    with LOCK:
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
        url = urlparse(self.path)
        if url.path == "/":
            self.answer(200, b"Lattica mail catcher\n")
            return
        query = parse_qs(url.query)
        address = (query.get("email") or query.get("address") or [""])[0]
        record = {"method": "GET", "path": self.path, "authorization": self.headers.get("Authorization")}
        sys.stdout.write("MAIL " + json.dumps(record) + "\n")
        sys.stdout.flush()
        status, body = CONTROL.get("replies", {}).get(address, [404, "no recorded reply"])
        self.answer(status, body.encode("utf-8"))

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length)
        if self.path == "/control":
            global CONTROL
            with LOCK:
                CONTROL = json.loads(body or b"{}")
            self.answer(200, b"{}")
            return
        ctype = self.headers.get("Content-Type", "")
        message = BytesParser(policy=policy.HTTP).parsebytes(
            b"MIME-Version: 1.0\r\nContent-Type: " + ctype.encode("latin-1") + b"\r\n\r\n" + body)
        parts = []
        fields, files = {}, []
        if message.is_multipart():
            for part in message.iter_parts():
                payload = part.get_payload(decode=True) or b""
                if part.get_filename() is None:
                    fields[part.get_param("name", header="content-disposition")] = payload.decode("utf-8", "replace")
                else:
                    files.append((part.get_filename(),
                                  part.get_content_type() if part.get("Content-Type") else None, payload))
                parts.append({
                    "name": part.get_param("name", header="content-disposition"),
                    "filename": part.get_filename(),
                    "contentType": part.get_content_type() if part.get("Content-Type") else None,
                    "body": base64.b64encode(payload).decode("ascii"),
                })
        record = {
            "method": "POST",
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

        to = ""
        for part in parts:
            if part["name"] == "to":
                to = base64.b64decode(part["body"]).decode("utf-8", "replace")
        if any(address in to for address in CONTROL.get("hold", [])):
            while True:
                time.sleep(1)
        for address, seconds in CONTROL.get("delay", {}).items():
            if address in to:
                time.sleep(seconds)
        failure = next((v for k, v in CONTROL.get("fail", {}).items() if k in to), None)
        if failure:
            self.answer(failure[0], failure[1].encode("utf-8"))
        elif self.path.endswith("/unauthorised"):
            self.answer(401, b"Forbidden")
        elif self.path.endswith("/notqueued"):
            self.answer(200, b'{"message": "\'to\' parameter is not a valid address. please check documentation"}')
        else:
            self.answer(200, b'{"id": "<20261206.1@mg.example>", "message": "Queued. Thank you."}')

        self.count_down()

    def count_down(self):
        with LOCK:
            if "exitAfter" not in CONTROL:
                return
            CONTROL["exitAfter"] -= 1
            if CONTROL["exitAfter"] <= 0:
                self.wfile.flush()
                sys.stdout.flush()
                os._exit(0)

    def answer(self, status, body):
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
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
    announce_and_serve(server.server_address[1], server.serve_forever)


if __name__ == "__main__":
    main()
