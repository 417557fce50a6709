package com.quillon.talmoro;

/** One analysis of a word: its morphemes in order, and its score. */
public final class Result {
  private static final Morph[] NO_MORPHS = new Morph[0];

  // Filled by the native library.
  float score;
  Morph[] morph;

  public Result() {}

  /** Higher is better; the results of a candidate come sorted by it. */
  public float getScore() {
    return score;
  }

  /** The morphemes in order (the array itself, not a copy); never null. */
  public Morph[] getMorphs() {
    return morph != null ? morph : NO_MORPHS;
  }

  /** The morphemes joined by {@code +}, such as {@code 학교/nng+에/jkb}. */
  @Override
  public String toString() {
    StringBuilder text = new StringBuilder();
    for (Morph m : getMorphs()) {
      if (text.length() > 0) {
        text.append('+');
      }
      text.append(m);
    }
    return text.toString();
  }
}
