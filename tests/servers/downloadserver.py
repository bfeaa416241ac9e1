#!/usr/bin/env python3
"""Installer download server for the Lattica tests.

The file is BODY_SIZE bytes, byte i = i % 251. The first path segment picks
the answer, whatever follows names the file:
  /files/...   the whole file with its Content-Length, sent in pieces
  /short/...   Content-Length of the whole file, half of it, then close
  /cut/...     no Content-Length, half of the file, then close
  /page/...    200 with an HTML error page
  /moved/...   302 to /files/ + the rest
  /missing/... 404
  /stall/...   Content-Length, 1000 bytes, then nothing until the client leaves
With --cert FILE --key FILE it speaks https, as installer hosts do.
Prints "PORT <n>", then "DL <json>" ({method, path}) per request; exits when
stdin closes.
"""
import http.server
import json
import ssl
import sys
import time

from serve import announce_and_serve

BODY_SIZE = 200000
BODY = bytes(i % 251 for i in range(BODY_SIZE))


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'

    def log_message(self, *args):
        pass

    def send_body(self, data, length=None, pieces=20):
        if length is not None:
            self.send_header('Content-Length', str(length))
        else:
            self.send_header('Connection', 'close')
        self.end_headers()
        step = max(1, len(data) // pieces)
        for at in range(0, len(data), step):
            self.wfile.write(data[at:at + step])
            self.wfile.flush()
            time.sleep(0.02)
        self.close_connection = True

    def do_GET(self):
        print('DL ' + json.dumps({'method': 'GET', 'path': self.path}), flush=True)
        kind, _, rest = self.path.lstrip('/').partition('/')
        if kind == 'files':
            self.send_response(200)
            self.send_body(BODY, len(BODY))
        elif kind == 'short':
            self.send_response(200)
            self.send_body(BODY[:BODY_SIZE // 2], BODY_SIZE)
        elif kind == 'cut':
            self.send_response(200)
            self.send_body(BODY[:BODY_SIZE // 2])
        elif kind == 'page':
            page = b'<html><body>Service unavailable</body></html>'
            self.send_response(200)
            self.send_header('Content-Type', 'text/html')
            self.send_body(page, len(page))
        elif kind == 'moved':
            self.send_response(302)
            self.send_header('Location', '/files/' + rest)
            self.send_body(b'', 0)
        elif kind == 'stall':
            self.send_response(200)
            self.send_header('Content-Length', str(BODY_SIZE))
            self.end_headers()
            self.wfile.write(BODY[:1000])
            self.wfile.flush()
            try:
                for _ in range(300):
                    time.sleep(0.1)
                    self.wfile.write(b'')
                    self.wfile.flush()
            except OSError:
                pass
            self.close_connection = True
        else:
            page = b'<html><body>Not found</body></html>'
            self.send_response(404)
            self.send_body(page, len(page))


server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
server.daemon_threads = True
if '--cert' in sys.argv:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[sys.argv.index('--cert') + 1], sys.argv[sys.argv.index('--key') + 1])
    server.socket = context.wrap_socket(server.socket, server_side=True)
announce_and_serve(server.server_address[1], server.serve_forever)
