# Hand-kept supplement to the lexicon converted from mecab-ko-dic: analyses
# the converted entries lack and the connection rules need. Format: see
# talmoro-dict --help.
#
# The verb-forming suffixes 되 and 시키 after a noun (조사됐다, 성공시켰다):
# the source spells their contracted forms only as verbs, and a verb may not
# follow a noun in the strict pass.
됐      ~되/xsv+~었/ep
돼      ~되/xsv+~어/ec  ~되/xsv+~어/_
됩      되/xsv+~ㅂ/_
된      되/xsv+~ㄴ/etm  되/xsv+~ㄴ/_
될      되/xsv+~ㄹ/etm  되/xsv+~ㄹ/_
됨      되/xsv+~ㅁ/etn
시켰    ~시키/xsv+~었/ep
시켜    ~시키/xsv+~어/ec  ~시키/xsv+~어/_
시킨    시키/xsv+~ㄴ/etm  시키/xsv+~ㄴ/_
시킬    시키/xsv+~ㄹ/etm  시키/xsv+~ㄹ/_
시킵    시키/xsv+~ㅂ/_
#
# Brackets and quotation marks outside ASCII, which the analyzer's own
# symbol runs would tag sw.
《       《/ss
》       》/ss
〈       〈/ss
〉       〉/ss
『       『/ss
』       』/ss
‘       ‘/ss
’       ’/ss
