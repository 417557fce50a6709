package com.quillon.talmoro;

/**
 * Analyses one word (eojeol) at a time into every plausible sequence of
 * morphemes, scored and sorted best first.
 *
 * <pre>{@code
 * try (Knowledge dic = Knowledge.createObject()) {
 *   dic.load("/usr/share/talmoro/dic");
 *   try (Analyzer analyzer = Analyzer.createObject(dic)) {
 *     Candidate candidate = analyzer.process("학교에");
 *   }
 * }
 * }</pre>
 *
 * <p>The analyzer keeps the dictionaries it is given without owning them: keep
 * them open while it is used. One analyzer serves one thread at a time. A null
 * argument (except to {@link #setUserKnowledge}) raises
 * {@link NullPointerException}; a call on a closed handle, or with a closed
 * dictionary, raises {@link IllegalStateException}, and so does
 * {@link #process} once a dictionary the analyzer uses has been closed.
 */
public final class Analyzer implements AutoCloseable {
  static {
    NativeLibrary.load();
  }

  /** Address of the native analyzer; 0 when there is none. */
  private long object;

  // The handles given to this analyzer, stored by the native library so that
  // process refuses to run once one of them has been destroyed.
  private Knowledge knowledge;
  private UserKnowledge userKnowledge;

  Analyzer() {}

  /** An analyzer without dictionaries (symbols, numbers and Latin runs only). */
  public static native Analyzer createObject();

  /** An analyzer over a system dictionary. */
  public static native Analyzer createObject(Knowledge knowledge);

  /** An analyzer over a system and a user dictionary. */
  public static native Analyzer createObject(Knowledge knowledge, UserKnowledge user);

  /** Frees the native analyzer; does nothing for a handle already destroyed. */
  public static native void destroyObject(Analyzer analyzer);

  /** Replaces the system dictionary used by later calls. */
  public native void setSysKnowledge(Knowledge knowledge);

  /** Replaces the user dictionary used by later calls; null keeps the current one. */
  public native void setUserKnowledge(UserKnowledge knowledge);

  /** Strict analysis skips the relaxed second pass. Off by default. */
  public native void setStrictAnalysis(boolean strict);

  /**
   * The analyses of one word. For an empty word the candidate holds nothing:
   * {@link Candidate#getOrigin()} is null and {@link Candidate#getResults()} empty.
   */
  public native Candidate process(String word);

  /** Same as {@link #destroyObject(Analyzer)} on this handle. */
  @Override
  public void close() {
    destroyObject(this);
  }

  /** Whether the native analyzer has been destroyed (or never made). */
  public boolean isClosed() {
    return object == 0;
  }
}
