#!/usr/bin/python3
"""Stand-in for the mail web API, for the Lattica tests.

Listens on 127.0.0.1 on a free port, prints "PORT <n>", then for every POST
parses the multipart/form-data body with the standard library's MIME parser
and prints one line "MAIL <json>" with the path, the Authorization header and
the parts in order (name, filename, content type, body as Base64).
Answers like the mail service: a queued message, except on paths ending in
"/notqueued" (a 200 reply without "Queued") and "/unauthorised" (401).
Exits when its standard input closes.
"""
import base64
import json
import os
import sys
import threading
from email import policy
from email.parser import BytesParser
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class Handler(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length)
        ctype = self.headers.get("Content-Type", "")
        message = BytesParser(policy=policy.HTTP).parsebytes(
            b"MIME-Version: 1.0\r\nContent-Type: " + ctype.encode("latin-1") + b"\r\n\r\n" + body)
        parts = []
        if message.is_multipart():
            for part in message.iter_parts():
                payload = part.get_payload(decode=True) or b""
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
