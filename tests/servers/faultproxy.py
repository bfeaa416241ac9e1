#!/usr/bin/env python3
"""HTTP proxy in front of a test server, for the Lattica tests.

Forwards every request to 127.0.0.1:--target unchanged and hands back the
answer, except that the first --fail-times PUT requests whose path contains
--fail-put are answered 500 without being forwarded. Prints "PORT <n>" once
listening, then "PROXY <json>" per request ({method, path, failed}); exits
when stdin closes.
"""
import argparse
import http.client
import http.server
import json
import threading

from serve import announce_and_serve

parser = argparse.ArgumentParser()
parser.add_argument('--target', type=int, required=True)
parser.add_argument('--fail-put', default='')
parser.add_argument('--fail-times', type=int, default=1)
opt = parser.parse_args()
state = {'left': opt.fail_times}
lock = threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'

    def log_message(self, *args):
        pass

    def handle_one(self):
        length = int(self.headers.get('Content-Length') or 0)
        body = self.rfile.read(length) if length else b''
        fail = False
        with lock:
            if (self.command == 'PUT' and opt.fail_put and opt.fail_put in self.path
                    and state['left'] > 0):
                state['left'] -= 1
                fail = True
        print('PROXY ' + json.dumps({'method': self.command, 'path': self.path, 'failed': fail}), flush=True)
        if fail:
            text = b'<Error><Code>InternalError</Code></Error>'
            self.send_response(500)
            self.send_header('Content-Length', str(len(text)))
            self.end_headers()
            self.wfile.write(text)
            return
        conn = http.client.HTTPConnection('127.0.0.1', opt.target, timeout=30)
        headers = {k: v for k, v in self.headers.items() if k.lower() not in ('connection', 'keep-alive')}
        conn.request(self.command, self.path, body=body if body or length else None, headers=headers)
        reply = conn.getresponse()
        data = reply.read()
        self.send_response(reply.status, reply.reason)
        for key, value in reply.getheaders():
            if key.lower() not in ('connection', 'keep-alive', 'transfer-encoding', 'content-length'):
                self.send_header(key, value)
        if self.command != 'HEAD' or data:
            self.send_header('Content-Length', str(len(data)))
        else:
            self.send_header('Content-Length', reply.getheader('Content-Length') or '0')
        self.end_headers()
        if self.command != 'HEAD':
            self.wfile.write(data)
        conn.close()

    do_GET = do_PUT = do_HEAD = do_DELETE = do_POST = handle_one


server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
server.daemon_threads = True
announce_and_serve(server.server_address[1], server.serve_forever)
