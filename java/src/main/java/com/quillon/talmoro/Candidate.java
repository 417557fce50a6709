package com.quillon.talmoro;

/** The analyses of one word, best first. */
public final class Candidate {
  private static final Result[] NO_RESULTS = new Result[0];

  // Filled by the native library; both stay null when nothing was analysed.
  String origin;
  Result[] result;

  public Candidate() {}

  /** The analysed word, or null when there was nothing to analyse. */
  public String getOrigin() {
    return origin;
  }

  /** The analyses, best first (the array itself, not a copy); never null. */
  public Result[] getResults() {
    return result != null ? result : NO_RESULTS;
  }

  /** The word, then each analysis with its score: {@code 학교에: 학교/nng+에/jkb (13.6)}. */
  @Override
  public String toString() {
    StringBuilder text = new StringBuilder(origin != null ? origin : "");
    text.append(':');
    String separator = " ";
    for (Result r : getResults()) {
      text.append(separator).append(r).append(" (").append(r.getScore()).append(')');
      separator = "; ";
    }
    return text.toString();
  }
}
