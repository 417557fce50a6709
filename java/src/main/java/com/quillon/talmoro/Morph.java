package com.quillon.talmoro;

/**
 * One morpheme of an analysis: its dictionary form, its tag name and the span
 * of text it covers. Offsets count UTF-16 characters of the analysed word, or
 * of the sentence for a tagged word; the dictionary form may differ from the
 * text the span covers.
 */
public final class Morph {
  // Filled by the native library.
  String lexicon;
  String posTag;
  int startOffset;
  int endOffset;

  public Morph() {}

  /** The dictionary form, such as {@code 학교}. */
  public String getLexicon() {
    return lexicon;
  }

  /** The tag name, such as {@code nng}. */
  public String getPosTag() {
    return posTag;
  }

  public int getStartOffset() {
    return startOffset;
  }

  /** The offset just past the morpheme's span. */
  public int getEndOffset() {
    return endOffset;
  }

  /** {@code lexicon/posTag}, as in a tagged corpus. */
  @Override
  public String toString() {
    return lexicon + "/" + posTag;
  }
}
