#!/usr/bin/python3
"""FTP server for the Lattica tests (Debian's python3-pyftpdlib).

Usage: ftpserver.py --root DIR --writer USER PASS [--reader USER PASS]

Serves DIR on 127.0.0.1 at a free port and prints "PORT <n>". The writer may
read, create and replace files; the reader may only list and read. Every
completed upload prints "FTP <json>" with the user and the path below DIR.
Exits when its standard input closes.
"""
import json
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

from serve import announce_and_serve


class Handler(FTPHandler):
    def on_file_received(self, file):
        record = {"user": self.username,
                  "path": "/" + os.path.relpath(file, self.server.root).replace(os.sep, "/")}
        sys.stdout.write("FTP " + json.dumps(record) + "\n")
        sys.stdout.flush()


def main():
    args = sys.argv[1:]
    root, users = None, []
    i = 0
    while i < len(args):
        if args[i] == "--root":
            root = args[i + 1]
            i += 2
        elif args[i] in ("--writer", "--reader"):
            users.append((args[i + 1], args[i + 2], "elradfmwMT" if args[i] == "--writer" else "elr"))
            i += 3
        else:
            sys.exit("unknown argument " + args[i])
    if not root or not users:
        sys.exit(__doc__)

    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    for name, password, perm in users:
        authorizer.add_user(name, password, root, perm=perm)
    Handler.authorizer = authorizer
    Handler.auth_failed_timeout = 0.2  # keeps the wrong-password cases quick
    server = FTPServer(("127.0.0.1", 0), Handler)
    server.root = os.path.realpath(root)
    announce_and_serve(server.address[1], server.serve_forever)


if __name__ == "__main__":
    main()
