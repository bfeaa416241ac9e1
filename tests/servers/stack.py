#!/usr/bin/python3
"""The local cloud of Lattica's demo and end-to-end test, on 127.0.0.1.

Usage: stack.py --state DIR [--seed CLI] [--catalogue DIR]

Starts the servers the tests use, each from its own file beside this one:
  s3server.js   object storage (npm s3rver), storage in DIR/s3, buckets
                "lattica" and "vexatimecodes", key pair KEY_ID/SECRET below
  ftpserver.py  the supplier's file server, root DIR/ftp (address files in
                /Addresses, portal drop folder /Orders)
  mailserver.py the mail API, every message stored as .eml in DIR/mail
With --seed CLI (the path of lattica-cli) the store and the file server are
filled with what a new business needs to register: the published catalogue
made from --catalogue (default data/catalogue), the configuration archive,
"un.ini", the demo account's address file. Seeding replaces those objects only.

Prints "READY <json>" once every server listens (ports, folders, the demo
account) and writes the same object to DIR/stack.json; then runs until its
standard input closes or it is told to stop, and stops the servers with it.
"""
import base64
import email.utils
import hashlib
import hmac
import io
import json
import os
import signal
import subprocess
import sys
import threading
import urllib.request
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))

KEY_ID = "LTADEMOKEY"
SECRET = "lta/demo+secret=0123456789"
MAIL_CREDENTIAL = "api:demo-mail-key"
BUCKET = "lattica"

# The demo business: the registration screen takes these three.
DEMO = {
    "email": "demo@lattica.test",
    "customer": "C123456",
    "password": "demo1234",
    "business": "Demo Shutters Ltd",
    "ordersEmail": "orders@supplier.test",
    "ftpUser": "portal",
    "ftpPassword": "portal-pass",
}

PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable


class Server:
    def __init__(self, name, argv):
        self.name = name
        self.proc = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=sys.stderr)
        self.port = None
        for raw in self.proc.stdout:
            line = raw.decode("utf-8", "replace").strip()
            if line.startswith("PORT "):
                self.port = int(line[5:])
                break
        if self.port is None:
            raise RuntimeError("%s did not start" % name)
        # Keep reading what it journals, so its pipe never fills.
        threading.Thread(target=self._drain, daemon=True).start()

    def _drain(self):
        for _ in self.proc.stdout:
            pass

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.close()
            except OSError:
                pass
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def put_object(port, key, data, content_type="application/octet-stream"):
    """PUT with the storage's header signature (version 2), as any client."""
    date = email.utils.formatdate(usegmt=True)
    # the path as sent (percent-encoded) is what the service signs
    resource = urllib.request.quote("/%s/%s" % (BUCKET, key), safe="/~")
    # the date travels as x-amz-date, which leaves the Date line empty
    to_sign = "PUT\n\n%s\n\nx-amz-date:%s\n%s" % (content_type, date, resource)
    signature = base64.b64encode(hmac.new(SECRET.encode(), to_sign.encode(), hashlib.sha1).digest()).decode()
    request = urllib.request.Request(
        "http://127.0.0.1:%d%s" % (port, resource), data=data, method="PUT",
        headers={"x-amz-date": date, "Content-Type": content_type, "Authorization": "AWS %s:%s" % (KEY_ID, signature)})
    with urllib.request.urlopen(request, timeout=30) as reply:
        reply.read()


def zip_folder(folder, prefix):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as archive:
        for root, dirs, files in os.walk(folder):
            dirs.sort()
            for name in sorted(files):
                path = os.path.join(root, name)
                archive.write(path, prefix + os.path.relpath(path, folder).replace(os.sep, "/"))
    return out.getvalue()


def zip_files(files):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, text in files.items():
            archive.writestr(name, text)
    return out.getvalue()


def seed(state, ports, cli, catalogue):
    # edi.cfg keeps the portal password enciphered with the program's cipher.
    enciphered = subprocess.run([cli, "encipher"], input=DEMO["ftpPassword"].encode(), check=True,
                                stdout=subprocess.PIPE).stdout.decode().strip()
    edi = ("[General]\nediEnabled=true\nediRemote=Orders\nediAddress=127.0.0.1\nediScheme=ftp\n"
           "ediUserName=%s\nediUserPass=%s\n" % (DEMO["ftpUser"], enciphered))
    values = ("[General]\nordersemail=%s\nemailconf_s=%s\nattachXml_b=yes\nattachLta_b=no\nsaveins3_b=yes\n"
              # the completion screen's delivery choices
              "list1_sl=\"Collect from supplier,Deliver to address\"\n" % (DEMO["ordersEmail"], DEMO["email"]))
    products = zip_folder(catalogue, "Products/")
    config = zip_files({"edi.cfg": edi, "values.cfg": values})
    # no newer release on offer, so the demo asks for no installer
    universal = "[General]\ncurrvers=0.0.0\n"
    # The universal copies are what registration reads; the account's own
    # copies are what its later update checks read.
    for folder in ("0_cfg", DEMO["email"]):
        put_object(ports["s3"], folder + "/V3VexaData.zip", products, "application/zip")
        put_object(ports["s3"], folder + "/VexaCfg.zip", config, "application/zip")
    put_object(ports["s3"], "0_cfg/un.ini", universal.encode(), "text/plain")

    ftp = os.path.join(state, "ftp")
    os.makedirs(os.path.join(ftp, "Addresses"), exist_ok=True)
    os.makedirs(os.path.join(ftp, "Orders"), exist_ok=True)
    fields = [
        ["Account Number", "Business Name", "Location ID", "Delivery Name", "Address 2", "Address 3",
         "Building", "Address 1", "Postcode", "Country ID", "Primary"],
        [DEMO["customer"], DEMO["business"], "1001", "Head Office", "Unit 4", "Riverside Park", "12",
         "Mill Lane", "AB1 2CD", "GB", "1"],
        [DEMO["customer"], DEMO["business"], "1002", "Warehouse", "", "Dock Road", "7", "Quay Street",
         "AB3 4EF", "GB", "0"],
    ]
    lines = ['"' + '","'.join(row) + '"' for row in fields]
    with open(os.path.join(ftp, "Addresses", DEMO["customer"] + ".txt"), "w", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")
    with open(os.path.join(ftp, "Addresses", "StockV2.txt"), "w") as f:
        f.write('"Item Number","Description","Lead Time"\r\n"PS-STD","Plantation shutters","28"\r\n')


def main():
    args = sys.argv[1:]
    state, cli, catalogue = None, None, os.path.join(SOURCE, "data", "catalogue")
    i = 0
    while i < len(args):
        if args[i] in ("--state", "--seed", "--catalogue") and i + 1 < len(args):
            if args[i] == "--state":
                state = os.path.abspath(args[i + 1])
            elif args[i] == "--seed":
                cli = args[i + 1]
            else:
                catalogue = args[i + 1]
            i += 2
        else:
            sys.exit(__doc__)
    if not state:
        sys.exit(__doc__)
    for sub in ("s3", "ftp/Addresses", "ftp/Orders", "mail"):
        os.makedirs(os.path.join(state, sub), exist_ok=True)

    servers = []

    def stop_all(*_):
        for s in reversed(servers):
            s.stop()
        os._exit(0)

    signal.signal(signal.SIGTERM, stop_all)
    signal.signal(signal.SIGINT, stop_all)
    try:
        servers.append(Server("s3", ["node", "--openssl-legacy-provider", os.path.join(HERE, "s3server.js"),
                                     "--dir", os.path.join(state, "s3"), "--key", KEY_ID, "--secret", SECRET,
                                     "--bucket", BUCKET, "--bucket", "vexatimecodes",
                                     "--faults", os.path.join(state, "s3faults.json")]))
        servers.append(Server("ftp", [PYTHON, os.path.join(HERE, "ftpserver.py"), "--root",
                                      os.path.join(state, "ftp"), "--writer", DEMO["ftpUser"],
                                      DEMO["ftpPassword"]]))
        servers.append(Server("mail", [PYTHON, os.path.join(HERE, "mailserver.py"), "--eml-dir",
                                       os.path.join(state, "mail")]))
        ports = {s.name: s.port for s in servers}
        if cli:
            seed(state, ports, cli, catalogue)
    except Exception as e:  # noqa: BLE001 - any failure stops what started
        sys.stderr.write("stack: %s\n" % e)
        for s in reversed(servers):
            s.stop()
        sys.exit(1)

    info = {
        "s3": ports["s3"], "ftp": ports["ftp"], "mail": ports["mail"],
        "mailUrl": "http://127.0.0.1:%d/v3/demo/messages" % ports["mail"],
        "probeUrl": "http://127.0.0.1:%d/" % ports["mail"],
        "keyId": KEY_ID, "secret": SECRET, "mailCredential": MAIL_CREDENTIAL,
        "emlDir": os.path.join(state, "mail"), "ftpRoot": os.path.join(state, "ftp"),
        "dropDir": os.path.join(state, "ftp", "Orders"), "storageDir": os.path.join(state, "s3"),
        "s3Faults": os.path.join(state, "s3faults.json"),
        "demo": DEMO,
    }
    with open(os.path.join(state, "stack.json"), "w") as f:
        json.dump(info, f, indent=1)
    sys.stdout.write("READY " + json.dumps(info) + "\n")
    sys.stdout.flush()

    threading.Thread(target=lambda: (sys.stdin.buffer.read(), stop_all()), daemon=True).start()
    while True:
        for s in servers:
            if s.proc.poll() is not None:
                sys.stderr.write("stack: %s stopped\n" % s.name)
                stop_all()
        threading.Event().wait(1)


if __name__ == "__main__":
    main()
