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
  "events": [status, body]             the event log answers so instead of its items

Every message the service takes (answered "Queued", or held or delayed on
its way to that answer) is logged at once as one "accepted" event per
recipient. GET "/v3/<domain>/events" answers as the real service's events
API: filters "event", "recipient", "subject", "from" (each a filter
expression: terms that must all occur, "quoted phrases", OR, NOT), "begin"
and "end" (epoch seconds or an RFC 2822 date), "ascending" (yes/no) and
"limit" (at most 300); the reply is {"items": [...], "paging": {"first",
"last", "next", "previous"}}, each page address being the events path with a
page token. Items carry "event", "id", "timestamp", "recipient",
"message": {"headers": {"to", "from", "subject", "message-id"}} and
"user-variables" (the form's "v:NAME" fields). Without Basic credentials the
answer is 401 "Forbidden". Event requests are recorded like the other GETs.

With --eml-dir DIR every message is also stored in DIR as a standard .eml
file (RFC 5322: sender, recipients, subject, text and HTML body, attachments),
so a mail program can open what the application sent; the record then names
the file ("eml"). A GET of "/" answers with a short text, so the connectivity
check can be pointed here.
"""
import base64
import email.utils
import json
import os
import re
import shlex
import uuid
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
EVENTS = []
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


def log_accepted(domain, fields):
    """Logs what the service logs when it takes a message: one "accepted"
    event per recipient."""
    # one field at a time: Debian's strict parser gives up on empty ones
    recipients = [a for name in ("to", "cc", "bcc") if fields.get(name)
                  for _, a in email.utils.getaddresses([fields[name]]) if a]
    message_id = make_msgid(domain=domain or "localhost")[1:-1]
    variables = {k[2:]: v for k, v in fields.items() if k.startswith("v:")}
    with LOCK:
        for address in recipients:
            EVENTS.append({
                "event": "accepted", "id": uuid.uuid4().hex[:22], "timestamp": time.time(),
                "log-level": "info", "method": "http", "domain": domain,
                "recipient": address, "recipient-domain": address.rpartition("@")[2],
                "envelope": {"targets": address, "transport": "smtp", "sender": fields.get("from", "")},
                "flags": {"is-authenticated": True, "is-test-mode": False},
                "message": {"headers": {"to": fields.get("to", ""), "from": fields.get("from", ""),
                                        "subject": fields.get("subject", ""), "message-id": message_id},
                            "attachments": [], "size": 0},
                "tags": [], "user-variables": variables,
            })


def filter_matches(expression, value):
    """A filter expression of the events API against one field's value:
    every term (or "quoted phrase") must occur, OR joins alternatives and NOT
    negates the next term. Case does not matter."""
    value = (value or "").lower()
    try:
        tokens = shlex.split(expression)
    except ValueError:
        tokens = expression.split()
    alternatives, current, negate = [], [], False
    for token in tokens:
        if token == "OR":
            alternatives.append(current)
            current = []
        elif token == "AND":
            continue
        elif token == "NOT":
            negate = True
        else:
            current.append((negate, token.lower()))
            negate = False
    alternatives.append(current)
    return any(all((term in value) != neg for neg, term in alt) for alt in alternatives if alt)


def parse_time(text):
    try:
        return float(text)
    except ValueError:
        parsed = email.utils.parsedate_to_datetime(text)
        return parsed.timestamp()


def event_field(item, name):
    if name == "subject":
        return item["message"]["headers"]["subject"]
    if name == "from":
        return item["message"]["headers"]["from"]
    if name == "to":
        return item["message"]["headers"]["to"]
    return item.get(name, "")


def events_page(domain, base, query):
    """Selects and pages the events as the real API does."""
    ascending = query.get("ascending", "no") == "yes"
    begin = parse_time(query["begin"]) if "begin" in query else None
    end = parse_time(query["end"]) if "end" in query else None
    if begin is not None and end is None and "ascending" not in query:
        ascending = True
    limit = max(1, min(300, int(query.get("limit", "100"))))
    offset = int(query.get("_offset", "0"))
    with LOCK:
        items = [e for e in EVENTS if e["domain"] == domain]
    if begin is not None and end is not None:
        lo, hi = min(begin, end), max(begin, end)
    elif begin is not None:
        lo, hi = (begin, None) if ascending else (None, begin)
    else:
        lo, hi = None, end
    selected = []
    for item in items:
        if lo is not None and item["timestamp"] < lo:
            continue
        if hi is not None and item["timestamp"] > hi:
            continue
        if any(name in query and not filter_matches(query[name], event_field(item, name))
               for name in ("event", "recipient", "subject", "from", "to")):
            continue
        selected.append(item)
    selected.sort(key=lambda e: e["timestamp"], reverse=not ascending)
    page = selected[offset:offset + limit]

    def page_url(at):
        token = base64.urlsafe_b64encode(json.dumps(dict(query, _offset=str(max(0, at)))).encode()).decode()
        return "%s/%s" % (base, token.rstrip("="))

    return {"items": page,
            "paging": {"first": page_url(0), "last": page_url(max(0, len(selected) - limit)),
                       "next": page_url(offset + len(page)), "previous": page_url(offset - limit)}}


def serve_events(handler, url):
    match = re.match(r"^/v3/([^/]+)/events(?:/([A-Za-z0-9_\-]+))?$", url.path)
    if not match:
        return False
    record = {"method": "GET", "path": handler.path, "authorization": handler.headers.get("Authorization")}
    sys.stdout.write("MAIL " + json.dumps(record) + "\n")
    sys.stdout.flush()
    if not (handler.headers.get("Authorization") or "").startswith("Basic "):
        handler.answer(401, b"Forbidden")
        return True
    if CONTROL.get("events"):
        status, body = CONTROL["events"]
        handler.answer(status, body.encode("utf-8"))
        return True
    domain, token = match.group(1), match.group(2)
    if token:
        query = json.loads(base64.urlsafe_b64decode(token + "=" * (-len(token) % 4)))
    else:
        query = {k: v[-1] for k, v in parse_qs(url.query, keep_blank_values=True).items()}
    try:
        page = events_page(domain, "http://%s/v3/%s/events" % (handler.headers.get("Host"), domain), query)
    except (ValueError, TypeError) as e:
        handler.answer(400, json.dumps({"message": "Invalid parameter: %s" % e}).encode("utf-8"))
        return True
    handler.answer(200, json.dumps(page).encode("utf-8"))
    return True


class Handler(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        url = urlparse(self.path)
        if url.path == "/":
            self.answer(200, b"Lattica mail catcher\n")
            return
        if serve_events(self, url):
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
        failure = next((v for k, v in CONTROL.get("fail", {}).items() if k in to), None)
        refused = failure or self.path.endswith("/unauthorised") or self.path.endswith("/notqueued")
        if message.is_multipart() and not refused:
            match = re.match(r"^/v3/([^/]+)/messages$", self.path)
            log_accepted(match.group(1) if match else "", fields)
        if any(address in to for address in CONTROL.get("hold", [])):
            while True:
                time.sleep(1)
        for address, seconds in CONTROL.get("delay", {}).items():
            if address in to:
                time.sleep(seconds)
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
        try:
            self.end_headers()
            self.wfile.write(body)
        except (BrokenPipeError, ConnectionResetError):
            pass  # the client died waiting (the posting crash tests kill it so)


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
