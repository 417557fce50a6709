package com.quillon.talmoro;

/** The words of a tagged sentence, in order. */
public final class Sentence {
  private static final Eojul[] NO_EOJULS = new Eojul[0];

  // Filled by the native library; stays null when nothing was tagged.
  Eojul[] eojul;

  public Sentence() {}

  /** The words in order (the array itself, not a copy); never null. */
  public Eojul[] getEojuls() {
    return eojul != null ? eojul : NO_EOJULS;
  }

  /**
   * The chosen analyses separated by spaces, one word after the other, as in a
   * tagged corpus: {@code 학교/nng+에/jkb 가/vv+다/ef}.
   */
  @Override
  public String toString() {
    StringBuilder text = new StringBuilder();
    for (Eojul e : getEojuls()) {
      if (text.length() > 0) {
        text.append(' ');
      }
      Result r = e.getResult();
      text.append(r != null ? r.toString() : e.getText());
    }
    return text.toString();
  }
}
