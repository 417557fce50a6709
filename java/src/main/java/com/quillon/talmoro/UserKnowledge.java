package com.quillon.talmoro;

/**
 * A user dictionary compiled in memory from UTF-8 text: one surface per line
 * followed by one or more analyses, separated by spaces or tabs; an analysis is
 * morphemes {@code lexicon/tag} joined by {@code +}, for example
 * {@code 톨모로\t톨모로/nnp}. Lines starting with {@code ;} or a space are
 * comments. Malformed lines are reported on standard error and skipped.
 *
 * <p>Like {@link Knowledge}, it must stay open while an analyzer or tagger uses
 * it.
 */
public final class UserKnowledge implements AutoCloseable {
  static {
    NativeLibrary.load();
  }

  /** Address of the native dictionary; 0 when there is none. */
  private long object;

  UserKnowledge() {}

  /** A new, empty user dictionary. */
  public static native UserKnowledge createObject();

  /** Frees the native dictionary; does nothing for a handle already destroyed. */
  public static native void destroyObject(UserKnowledge knowledge);

  /** Loads a text file; 0 on success, -1 when the file cannot be opened. */
  public native int load(String path);

  /** Loads from the text itself; returns 0. */
  public native int loadFromBuffer(String text);

  /** Same as {@link #destroyObject(UserKnowledge)} on this handle. */
  @Override
  public void close() {
    destroyObject(this);
  }

  /** Whether the native dictionary has been destroyed (or never made). */
  public boolean isClosed() {
    return object == 0;
  }
}
