package com.quillon.talmoro;

/** Loads libtalmoro once, before the first native method of a handle class runs. */
final class NativeLibrary {
  static final String NAME = "talmoro";

  private static boolean loaded;

  private NativeLibrary() {}

  static synchronized void load() {
    if (loaded) {
      return;
    }
    try {
      System.loadLibrary(NAME);
    } catch (UnsatisfiedLinkError e) {
      UnsatisfiedLinkError error = new UnsatisfiedLinkError(
          "cannot load the talmoro native library " + System.mapLibraryName(NAME)
              + " (" + e.getMessage() + "); set java.library.path to the directory"
              + " that holds it, e.g. java -Djava.library.path=/usr/local/lib ...");
      error.initCause(e);
      throw error;
    }
    loaded = true;
  }
}
