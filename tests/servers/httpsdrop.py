#!/usr/bin/python3
"""HTTPS file drop for the Lattica tests (standard library only).

Usage: httpsdrop.py --cert CERT.pem --key KEY.pem --user USER PASS

Listens on 127.0.0.1 at a free port with the given certificate and prints
"PORT <n>". A request without the right Basic credentials gets 401 with a
Basic challenge (clients send URL credentials only after that). With them:
paths below "/forbidden/" get 403, below "/moved/" a 302 to "/elsewhere";
any other POST or PUT is accepted (201) and printed as "DROP <json>" with
method, path, user, content type and the body in Base64.
Exits when its standard input closes.
"""
import base64
import json
import os
import ssl
import sys
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from serve import announce_and_serve


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    credentials = None

    def log_message(self, *args):
        pass

    def answer(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def receive(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length)
        auth = self.headers.get("Authorization", "")
        user = None
        if auth.startswith("Basic "):
            try:
                user = base64.b64decode(auth[6:]).decode("utf-8")
            except ValueError:
                user = None
        if user != self.credentials:
            self.answer(401, b"Authentication required",
                        [("WWW-Authenticate", 'Basic realm="drop"')])
            return
        if self.path.startswith("/forbidden/"):
            self.answer(403, b"Forbidden")
        elif self.path.startswith("/moved/"):
            self.answer(302, b"Moved", [("Location", "/elsewhere")])
        else:
            record = {"method": self.command, "path": self.path, "user": user.split(":", 1)[0],
                      "contentType": self.headers.get("Content-Type"),
                      "body": base64.b64encode(body).decode("ascii")}
            sys.stdout.write("DROP " + json.dumps(record) + "\n")
            sys.stdout.flush()
            self.answer(201, b"Stored")

    do_POST = receive
    do_PUT = receive


def main():
    args = sys.argv[1:]
    opts = {}
    i = 0
    while i < len(args):
        if args[i] == "--user":
            opts["user"] = args[i + 1] + ":" + args[i + 2]
            i += 3
        else:
            opts[args[i][2:]] = args[i + 1]
            i += 2
    Handler.credentials = opts["user"]
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(opts["cert"], opts["key"])
    server.socket = context.wrap_socket(server.socket, server_side=True)
    announce_and_serve(server.server_address[1], server.serve_forever)


if __name__ == "__main__":
    main()
