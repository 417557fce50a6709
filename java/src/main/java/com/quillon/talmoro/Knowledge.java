package com.quillon.talmoro;

/**
 * A system dictionary: a directory holding {@code sys.tri}, {@code sys.idx} and
 * {@code sys.dat}, or the same three files as byte arrays.
 *
 * <p>Create it with {@link #createObject()}, load it, hand it to analyzers and
 * taggers, and close it only after every analyzer and tagger that uses it is
 * done: they keep a pointer to the native dictionary and do not own it. Once
 * loaded it is read-only and may be shared between threads.
 */
public final class Knowledge implements AutoCloseable {
  static {
    NativeLibrary.load();
  }

  /** Address of the native dictionary; 0 when there is none. */
  private long object;

  Knowledge() {}

  /** A new, empty dictionary. */
  public static native Knowledge createObject();

  /** Frees the native dictionary; does nothing for a handle already destroyed. */
  public static native void destroyObject(Knowledge knowledge);

  /**
   * Loads the three files from {@code directory}. Returns 0 on success; -1 when
   * {@code sys.tri} cannot be read whole, -2 when {@code sys.idx} or
   * {@code sys.dat} cannot be opened, -3 when the size of {@code sys.idx} is not
   * a multiple of 4.
   */
  public native int load(String directory);

  /**
   * Loads from the contents of {@code sys.tri}, {@code sys.idx} and
   * {@code sys.dat}, which are copied. Returns 0, or -2 when the length of
   * {@code idx} is not a multiple of 4.
   */
  public native int loadFromBuffer(byte[] tri, byte[] idx, byte[] dat);

  /** Same as {@link #destroyObject(Knowledge)} on this handle. */
  @Override
  public void close() {
    destroyObject(this);
  }

  /** Whether the native dictionary has been destroyed (or never made). */
  public boolean isClosed() {
    return object == 0;
  }
}
