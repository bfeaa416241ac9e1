#!/usr/bin/python3
"""Reads an HTML text on standard input with the standard library's parser and
prints one JSON object: "tags", the start tags in document order, and
"lines", the visible text broken at <br>, <hr> and paragraph boundaries, with
character references resolved and empty lines left out."""
import json
import sys
from html.parser import HTMLParser


class Lines(HTMLParser):
    BREAKS = {"br", "hr", "p"}

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tags = []
        self.lines = [""]

    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        if tag in self.BREAKS:
            self.lines.append("")

    def handle_endtag(self, tag):
        if tag in self.BREAKS:
            self.lines.append("")

    def handle_data(self, data):
        self.lines[-1] += data


parser = Lines()
parser.feed(sys.stdin.buffer.read().decode("utf-8"))
parser.close()
print(json.dumps({"tags": parser.tags,
                  "lines": [line.strip() for line in parser.lines if line.strip()]}))
