#!/usr/bin/env python3
"""Writes the binary seeds of knowledge_fuzz and model_fuzz.

  make_seeds.py DIC_DIR MODEL_DIR OUT_DIR

DIC_DIR holds a compiled dictionary (sys.tri, sys.idx, sys.dat), MODEL_DIR
a trained model (mtrans.frq, etrans.frq, tagseq.rul). Writes
OUT_DIR/knowledge/fixture and OUT_DIR/model/fixture in the input layouts
described at the top of knowledge_fuzz.cpp and model_fuzz.cpp.
"""
import os
import struct
import sys


def read(path):
    with open(path, "rb") as f:
        return f.read()


def knowledge_seed(dic):
    tri = read(os.path.join(dic, "sys.tri"))
    count = len(tri) // 8
    listed = []
    for i in range(count):
        base, check = struct.unpack_from("<iI", tri, i * 8)
        if base != 0 or check != 0:
            listed.append(struct.pack("<IiI", i, base, check))
    idx = read(os.path.join(dic, "sys.idx"))
    dat = read(os.path.join(dic, "sys.dat"))
    return (struct.pack("<II", count, len(listed)) + b"".join(listed) +
            struct.pack("<I", len(idx)) + idx + dat)


def model_seed(model):
    mtrans = read(os.path.join(model, "mtrans.frq"))
    etrans = read(os.path.join(model, "etrans.frq"))
    rules_path = os.path.join(model, "tagseq.rul")
    rules = read(rules_path) if os.path.exists(rules_path) else b""
    if not rules:
        rules = b"; patterns\nnng+j*\n*+ef\n  ignored\n\tvv+e?\n"
    return (struct.pack("<I", len(mtrans)) + mtrans +
            struct.pack("<I", len(etrans)) + etrans + rules)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    dic, model, out = sys.argv[1:]
    for name, data in (("knowledge", knowledge_seed(dic)),
                       ("model", model_seed(model))):
        os.makedirs(os.path.join(out, name), exist_ok=True)
        with open(os.path.join(out, name, "fixture"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
