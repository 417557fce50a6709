package com.quillon.talmoro;

/** Run in a separate virtual machine: loads the library and reports how it went. */
public final class LoadProbe {
  private LoadProbe() {}

  public static void main(String[] args) {
    try {
      Knowledge.createObject().close();
      System.out.println("loaded");
    } catch (UnsatisfiedLinkError e) {
      System.out.println(e.getMessage());
      System.exit(3);
    }
  }
}
