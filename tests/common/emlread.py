#!/usr/bin/python3
"""Reads .eml files as a mail program would (Python's email package) and
prints one JSON object per file: from, to, cc, replyTo, subject, text, html
and attachments [{name, contentType, body (Base64)}]. Exits 1 on a file the
parser finds defects in."""
import base64
import json
import sys
from email import policy
from email.parser import BytesParser


def read(path):
    with open(path, "rb") as f:
        msg = BytesParser(policy=policy.default).parse(f)
    defects = list(msg.defects) + [d for part in msg.walk() for d in part.defects]
    text = msg.get_body(("plain",))
    html = msg.get_body(("html",))
    return {
        "file": path,
        "from": str(msg["From"] or ""),
        "to": [a.addr_spec for a in msg["To"].addresses] if msg["To"] else [],
        "cc": [a.addr_spec for a in msg["Cc"].addresses] if msg["Cc"] else [],
        "replyTo": str(msg["Reply-To"] or ""),
        "subject": str(msg["Subject"] or ""),
        "text": text.get_content() if text else None,
        "html": html.get_content() if html else None,
        "attachments": [{"name": p.get_filename(), "contentType": p.get_content_type(),
                         "body": base64.b64encode(p.get_payload(decode=True) or b"").decode("ascii")}
                        for p in msg.iter_attachments()],
        "defects": [str(d) for d in defects],
    }


def main():
    bad = False
    for path in sys.argv[1:]:
        record = read(path)
        bad = bad or bool(record["defects"])
        print(json.dumps(record))
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
