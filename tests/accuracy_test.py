"""Normalisation, gold reading and matching of bench/accuracy.py."""

import os
import shlex
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "bench"))
import accuracy  # noqa: E402

GOLD = """\
# sent_id = a
# text = 학교에 갔다.
1\t학교에\t학교+에\tNOUN\tNNG+JKB\t_\t2\tobl\t_\t_
2\t갔다\t가+았+다\tVERB\tVV+EP+EF\t_\t0\troot\t_\tSpaceAfter=No
3\t.\t.\tPUNCT\tSF\t_\t2\tpunct\t_\t_

# sent_id = b
# text = 학생이라는 "말"
1-2\t학생이라는\t_\t_\t_\t_\t_\t_\t_\t_
1\t학생\t학생\tNOUN\tNNG\t_\t2\tnsubj\t_\t_
2\t이라는\t이\tAUX\tVCP+ETM\t_\t0\tcop\t_\tOrigLemma=이+라는|Translit=x
3\t"\t"\tPUNCT\tSS\t_\t2\tpunct\t_\tSpaceAfter=No
4\t말\t말\tNOUN\tNNG\t_\t2\tobj\t_\tSpaceAfter=No
5\t"\t"\tPUNCT\tSS\t_\t2\tpunct\t_\t_
"""


class NormalisationTest(unittest.TestCase):
    def test_forms(self):
        # Jongseong and choseong jamo become compatibility jamo.
        self.assertEqual(accuracy.normalize_form("\u11ab\ub2e4"), "ㄴ다")
        self.assertEqual(accuracy.normalize_form("\u11af"), "ㄹ")
        self.assertEqual(accuracy.normalize_form("\u11b8\ub2c8\ub2e4"), "ㅂ니다")
        self.assertEqual(accuracy.normalize_form("\u11c2"), "ㅎ")
        self.assertEqual(accuracy.normalize_form("\u1107"), "ㅂ")
        self.assertEqual(accuracy.normalize_form("\u1112"), "ㅎ")
        # Decomposed syllables are composed, not torn into jamo.
        self.assertEqual(accuracy.normalize_form("\u1100\u1161\u11ab"), "간")
        self.assertEqual(accuracy.normalize_form("ABC"), "abc")
        self.assertEqual(accuracy.normalize_form("Ｅ"), "ｅ")

    def test_tags(self):
        m = accuracy.morpheme
        for tag in ("nng", "nfg", "nnc", "nnx", "nnu", "nfu", "nf", "NF"):
            self.assertEqual(m("x", tag), ("x", "NNG"), tag)
        self.assertEqual(m("개", "nnbc"), ("개", "NNB"))
        self.assertEqual(m("(", "SSO"), ("(", "SS"))
        self.assertEqual(m(")", "ssc"), (")", "SS"))
        self.assertEqual(m(",", "SC"), (",", "SP"))
        self.assertEqual(m("#", "SY"), ("#", "SW"))
        self.assertEqual(m("들", "xsb"), ("들", "XSN"))
        self.assertEqual(m("가", "vf"), ("가", "VV"))
        self.assertEqual(m("가", "vv"), ("가", "VV"))
        self.assertEqual(m("가", "JKS"), ("가", "JKS"))
        # Quotes and brackets count as SS whatever symbol tag they have.
        for form in ('"', "'", "“", "」", "《", "["):
            for tag in ("SW", "sp", "SO", "SY"):
                self.assertEqual(m(form, tag), (form, "SS"), (form, tag))
        self.assertEqual(m("#", "SO"), ("#", "SO"))
        self.assertEqual(m('"', "SF"), ('"', "SF"))

    def test_morphs_lines(self):
        self.assertEqual(
            accuracy.parse_morphs_line("학교/nng 에/jkb  1/2/sn //sp"),
            [("학교", "NNG"), ("에", "JKB"), ("1/2", "SN"), ("/", "SP")])
        self.assertEqual(accuracy.parse_morphs_line(""), [])
        self.assertEqual(accuracy.parse_morphs_line("x"), [("x", "")])


class GoldAndMatchingTest(unittest.TestCase):
    def setUp(self):
        fd, self.path = tempfile.mkstemp(suffix=".conllu")
        with os.fdopen(fd, "w", encoding="utf-8") as f:
            f.write(GOLD)

    def tearDown(self):
        os.remove(self.path)

    def test_gold(self):
        gold = accuracy.read_gold(self.path)
        self.assertEqual([t for t, _ in gold], ["학교에 갔다.", '학생이라는 "말"'])
        self.assertEqual(gold[0][1], [("학교", "NNG"), ("에", "JKB"),
                                      ("가", "VV"), ("았", "EP"), ("다", "EF"),
                                      (".", "SF")])
        # OrigLemma where LEMMA is short; the range line is skipped.
        self.assertEqual(gold[1][1], [("학생", "NNG"), ("이", "VCP"),
                                      ("라는", "ETM"), ('"', "SS"),
                                      ("말", "NNG"), ('"', "SS")])

    def test_multiset_micro_average(self):
        gold = accuracy.read_gold(self.path)
        system = [
            # 갔 for 가+았, and 말 with a wrong tag
            accuracy.parse_morphs_line("학교/nng 에/jkb 갔/vv 다/ef ./sf"),
            accuracy.parse_morphs_line('학생/nng 이/vcp 라는/etm "/sw 말/nnp "/sso'),
        ]
        s = accuracy.score(system, gold)
        self.assertEqual(s.gold["form+tag"], 12)
        self.assertEqual(s.system["form+tag"], 11)
        self.assertEqual(s.matched["form+tag"], 9)  # 4 + 5
        self.assertEqual(s.matched["form"], 10)
        self.assertEqual(s.matched["tag"], 10)  # EP and NNG missing
        p, r, f = s.prf("form+tag")
        self.assertAlmostEqual(p, 9 / 11)
        self.assertAlmostEqual(r, 9 / 12)
        self.assertAlmostEqual(f, 2 * p * r / (p + r))
        self.assertEqual(s.missed[("가", "VV")], 1)
        self.assertEqual(s.missed[("말", "NNG")], 1)
        self.assertEqual(s.spurious[("갔", "VV")], 1)
        # A repeated morpheme matches as often as the gold has it, no more.
        t = accuracy.Score()
        t.add([("a", "X")] * 3, [("a", "X")] * 2)
        self.assertEqual(t.matched["form+tag"], 2)
        self.assertEqual(t.prf("form+tag"), (2 / 3, 1.0, 0.8))
        with self.assertRaises(ValueError):
            accuracy.score(system[:1], gold)

    def test_program_is_fed_the_texts(self):
        gold = accuracy.read_gold(self.path)
        # A stand-in program: each word as one nng morpheme.
        script = ("import sys\n"
                  "for l in sys.stdin:\n"
                  "    print(' '.join(w + '/nng' for w in l.split()))\n")
        command = "%s -c %s" % (shlex.quote(sys.executable), shlex.quote(script))
        out = accuracy.run_program(command, [t for t, _ in gold])
        self.assertEqual(out[0], [("학교에", "NNG"), ("갔다.", "NNG")])
        with self.assertRaises(RuntimeError):
            accuracy.run_program("true", ["a", "b"])  # no lines written
        with self.assertRaises(RuntimeError):
            accuracy.run_program("exit 3", ["a"])


class MecabTest(unittest.TestCase):
    def test_expression_gives_the_morphemes(self):
        out = ("학교\tNNG,장소,F,학교,*,*,*,*\n"
               "갔\tVV+EP,*,T,갔,Inflect,VV,EP,가/VV/*+았/EP/*\n"
               "한다\tXSV+EF,*,F,한다,Inflect,XSV,EF,하/XSV/*+\u11ab다/EF/*\n"
               ",\tSC,*,*,*,*,*,*,*\n"
               "EOS\n"
               "EOS\n"
               "abc\tSL,*,*,*,*,*,*,*\n"
               "EOS\n")
        self.assertEqual(accuracy.parse_mecab_output(out), [
            [("학교", "NNG"), ("가", "VV"), ("았", "EP"), ("하", "XSV"),
             ("ㄴ다", "EF"), (",", "SP")],
            [],
            [("abc", "SL")],
        ])


if __name__ == "__main__":
    unittest.main()
