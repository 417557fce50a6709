#!/usr/bin/env python3
"""Extracts Korean prose from unpacked HTML documentation trees.

Reads every .html file under the given directories (sorted by path), takes
the text of its block elements (paragraphs, list items, table cells,
headings, ...), skipping scripts, styles, the document head and navigation,
decodes entities, cuts the text into sentences and keeps the lines that are
mostly Hangul. Lines are deduplicated; when more text is left than the cap
allows, a deterministic sample (by a hash of the line) is kept, written in
the order the lines were found. One sentence per line on the output.
"""

import argparse
import hashlib
import html.parser
import os
import re
import sys
import unicodedata

BLOCK_TAGS = {
    "address", "article", "aside", "blockquote", "br", "caption", "dd",
    "div", "dl", "dt", "figcaption", "footer", "h1", "h2", "h3", "h4", "h5",
    "h6", "header", "hr", "li", "nav", "ol", "p", "pre", "section", "table",
    "tbody", "td", "th", "thead", "tr", "ul",
}
# Elements whose text is never prose.
SKIP_TAGS = {"script", "style", "head", "noscript", "svg", "math", "select",
             "option", "button", "nav"}
# Void elements never get an end tag and so must not open a skip region.
VOID_TAGS = {"area", "base", "br", "col", "embed", "hr", "img", "input",
             "link", "meta", "param", "source", "track", "wbr"}
# Containers of navigation: their ids or classes hold one of these words.
NAV_WORDS = ("navheader", "navfooter", "dropdown", "langselect", "search",
             "contents-treeview")


class BlockText(html.parser.HTMLParser):
    """Collects the text of block elements as separate strings."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.blocks = []
        self.current = []
        self.skip_stack = []  # tags that opened a skipped region

    def flush(self):
        text = "".join(self.current)
        self.current = []
        text = " ".join(text.split())
        if text:
            self.blocks.append(text)

    def handle_starttag(self, tag, attrs):
        if tag in BLOCK_TAGS:
            self.flush()
        if tag in VOID_TAGS:
            return
        if self.skip_stack:
            self.skip_stack.append(tag)
            return
        names = " ".join(v or "" for k, v in attrs if k in ("id", "class"))
        names = names.lower()
        if tag in SKIP_TAGS or any(w in names for w in NAV_WORDS):
            self.skip_stack.append(tag)

    def handle_startendtag(self, tag, attrs):
        if tag in BLOCK_TAGS:
            self.flush()

    def handle_endtag(self, tag):
        if self.skip_stack:
            # Pop up to the matching open tag; stray end tags are ignored.
            if tag in self.skip_stack:
                while self.skip_stack:
                    if self.skip_stack.pop() == tag:
                        break
            return
        if tag in BLOCK_TAGS:
            self.flush()

    def handle_data(self, data):
        if not self.skip_stack:
            self.current.append(data)

    def close(self):
        super().close()
        self.flush()


def is_hangul(ch):
    o = ord(ch)
    return (0xAC00 <= o <= 0xD7A3 or 0x1100 <= o <= 0x11FF
            or 0x3130 <= o <= 0x318F)


# A sentence ends at . ! ? (possibly followed by closing quotes or brackets)
# before white space.
SENTENCE_END = re.compile(r'(?<=[.!?。])([)"\'”’\]]*)\s+')


def sentences(block):
    start = 0
    for m in SENTENCE_END.finditer(block):
        end = m.end(1)
        yield block[start:end].strip()
        start = m.end()
    rest = block[start:].strip()
    if rest:
        yield rest


def keep(line, min_ratio, min_hangul):
    letters = [c for c in line if not c.isspace()]
    if not letters:
        return False
    hangul = sum(1 for c in letters if is_hangul(c))
    if hangul < min_hangul or hangul < min_ratio * len(letters):
        return False
    # At least two words: single labels and menu entries are not prose.
    return len(line.split()) >= 2


def clean(text):
    text = unicodedata.normalize("NFC", text)
    # No-break, ideographic and other spaces become plain spaces; control
    # and format characters go.
    out = []
    for c in text:
        cat = unicodedata.category(c)
        if cat == "Zs" or c in "\t\r\n":
            out.append(" ")
        elif cat in ("Cc", "Cf", "Co", "Cs"):
            continue
        else:
            out.append(c)
    return " ".join("".join(out).split())


def html_files(roots):
    found = []
    for root in roots:
        for dirpath, dirnames, filenames in os.walk(root):
            dirnames.sort()
            for name in filenames:
                if name.endswith((".html", ".htm", ".xhtml")):
                    found.append(os.path.join(dirpath, name))
    return sorted(found)


def extract(roots, min_ratio, min_hangul):
    seen = set()
    lines = []
    for path in html_files(roots):
        with open(path, "rb") as f:
            raw = f.read()
        parser = BlockText()
        parser.feed(raw.decode("utf-8", errors="replace"))
        parser.close()
        for block in parser.blocks:
            for s in sentences(clean(block)):
                if "\ufffd" in s or not keep(s, min_ratio, min_hangul):
                    continue
                if s not in seen:
                    seen.add(s)
                    lines.append(s)
    return lines


def cap_lines(lines, max_chars):
    total = sum(len(s) for s in lines)
    if total <= max_chars:
        return lines
    order = sorted(range(len(lines)),
                   key=lambda i: hashlib.sha1(lines[i].encode()).digest())
    chosen = set()
    used = 0
    for i in order:
        if used + len(lines[i]) > max_chars:
            continue
        chosen.add(i)
        used += len(lines[i])
    return [lines[i] for i in range(len(lines)) if i in chosen]


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("roots", nargs="+", help="directories to read")
    ap.add_argument("-o", "--output", required=True)
    ap.add_argument("--max-chars", type=int, default=1000000,
                    help="cap on the characters of all lines (default 1M)")
    ap.add_argument("--min-hangul-ratio", type=float, default=0.4,
                    help="share of Hangul among non-space characters")
    ap.add_argument("--min-hangul", type=int, default=4,
                    help="fewest Hangul characters in a line")
    args = ap.parse_args(argv)
    lines = cap_lines(extract(args.roots, args.min_hangul_ratio,
                              args.min_hangul), args.max_chars)
    tmp = args.output + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        for s in lines:
            f.write(s + "\n")
    os.replace(tmp, args.output)
    print("%s: %d lines, %d characters" %
          (args.output, len(lines), sum(len(s) for s in lines)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
