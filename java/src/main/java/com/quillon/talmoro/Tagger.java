package com.quillon.talmoro;

/**
 * Tags a sentence: cuts it into words at spaces, tabs, line feeds and carriage
 * returns, analyses each word and chooses one analysis per word with the model.
 * Without a model every word keeps the analysis ranked first.
 *
 * <p>The tagger keeps the model and dictionaries it is given without owning
 * them: keep them open while it is used. One tagger serves one thread at a
 * time. A null argument (except to {@link #setUserKnowledge}) raises
 * {@link NullPointerException}; a call on a closed handle, or with a closed
 * model or dictionary, raises {@link IllegalStateException}, and so does
 * {@link #process} once the model or a dictionary the tagger uses has been
 * closed.
 */
public final class Tagger implements AutoCloseable {
  static {
    NativeLibrary.load();
  }

  /** Address of the native tagger; 0 when there is none. */
  private long object;

  // The handles given to this tagger, stored by the native library so that
  // process refuses to run once one of them has been destroyed.
  private Model model;
  private Knowledge knowledge;
  private UserKnowledge userKnowledge;

  Tagger() {}

  /** A tagger without model and dictionaries. */
  public static native Tagger createObject();

  public static native Tagger createObject(Model model);

  public static native Tagger createObject(Model model, Knowledge knowledge);

  public static native Tagger createObject(Model model, Knowledge knowledge,
      UserKnowledge user);

  /** Frees the native tagger; does nothing for a handle already destroyed. */
  public static native void destroyObject(Tagger tagger);

  public native void setModel(Model model);

  public native void setSysKnowledge(Knowledge knowledge);

  /** Replaces the user dictionary used by later calls; null keeps the current one. */
  public native void setUserKnowledge(UserKnowledge knowledge);

  /**
   * The words of the sentence, each with its chosen analysis; offsets count
   * characters of the sentence. An empty sentence gives an empty result.
   */
  public native Sentence process(String sentence);

  /** Same as {@link #destroyObject(Tagger)} on this handle. */
  @Override
  public void close() {
    destroyObject(this);
  }

  /** Whether the native tagger has been destroyed (or never made). */
  public boolean isClosed() {
    return object == 0;
  }
}
