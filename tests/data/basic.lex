# A small source lexicon for tests (talmoro-dict format, see
# docs/dictionary-format.md): surface, then its analyses.

# nouns and pronouns
학교	학교/nng
사람	사람/nng
책	책/nng
나	나/np	나/vv
것	것/nnb[+의존]
개	개/nng	개/nnb[@단위]

# particles: @유종성 after a closed syllable, @무종성 after an open one
이	이/jks[@유종성]	이/vcp
가	가/jks[@무종성]	가/vv
을	을/jko[@유종성]
를	를/jko[@무종성]
은	은/jx[@유종성]
는	는/jx[@무종성]	는/etm
에	에/jkb
에서	에서/jkb

# endings; +지정사: may follow a noun with the copula dropped
다	다/ef[+지정사]
고	고/ec[+지정사]
는데	는데/ec[+지정사,-형용사]
어요	어요/ef[-지정사]

# verb stems and contracted forms ("~": not spelled in the surface)
먹	먹/vv
가다	가/vv+다/ef
갈	갈/vv	가/vv+~ㄹ/etm
