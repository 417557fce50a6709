package com.quillon.talmoro;

/** One word of a tagged sentence with the analysis chosen for it. */
public final class Eojul {
  // Filled by the native library.
  String eojul;
  Result result;

  public Eojul() {}

  /** The word as it stands in the sentence. */
  public String getText() {
    return eojul;
  }

  /** The chosen analysis; its offsets count characters of the sentence. */
  public Result getResult() {
    return result;
  }

  /** The word, a tab and its morphemes: {@code 학교에\t학교/nng+에/jkb}. */
  @Override
  public String toString() {
    return eojul + "\t" + (result != null ? result.toString() : "");
  }
}
