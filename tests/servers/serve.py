"""What every test server of tests/servers does once it listens: tell its port
on standard output, then serve until its parent closes standard input."""
import os
import sys
import threading


def announce_and_serve(port, serve_forever):
    sys.stdout.write("PORT %d\n" % port)
    sys.stdout.flush()

    def watch_stdin():
        sys.stdin.buffer.read()
        os._exit(0)

    threading.Thread(target=watch_stdin, daemon=True).start()
    serve_forever()
