package com.quillon.talmoro;

/**
 * A tagger model: a directory holding {@code mtrans.frq}, {@code etrans.frq}
 * and {@code tagseq.rul}. It must stay open while a tagger uses it; once loaded
 * it is read-only and may be shared between threads.
 */
public final class Model implements AutoCloseable {
  static {
    NativeLibrary.load();
  }

  /** Address of the native model; 0 when there is none. */
  private long object;

  Model() {}

  /** A new, empty model. */
  public static native Model createObject();

  /** Frees the native model; does nothing for a handle already destroyed. */
  public static native void destroyObject(Model model);

  /** Loads the three files from {@code directory}; 0 on success, -1 on failure. */
  public native int load(String directory);

  /** Same as {@link #destroyObject(Model)} on this handle. */
  @Override
  public void close() {
    destroyObject(this);
  }

  /** Whether the native model has been destroyed (or never made). */
  public boolean isClosed() {
    return object == 0;
  }
}
