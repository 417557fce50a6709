package com.quillon.talmoro;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import org.junit.Test;

public class LibraryLoadTest {
  private static final class Run {
    int status;
    String output;
  }

  private static Run probe(String libraryPath) throws Exception {
    String java = System.getProperty("java.home") + File.separator + "bin" + File.separator + "java";
    ProcessBuilder builder = new ProcessBuilder(java, "-Djava.library.path=" + libraryPath,
        "-cp", System.getProperty("java.class.path"), LoadProbe.class.getName());
    builder.redirectErrorStream(true);
    Process process = builder.start();
    ByteArrayOutputStream bytes = new ByteArrayOutputStream();
    try (InputStream in = process.getInputStream()) {
      byte[] buffer = new byte[4096];
      for (int n; (n = in.read(buffer)) > 0; ) {
        bytes.write(buffer, 0, n);
      }
    }
    Run run = new Run();
    run.status = process.waitFor();
    run.output = new String(bytes.toByteArray(), StandardCharsets.UTF_8);
    return run;
  }

  @Test
  public void missingLibraryIsReportedWithTheRemedy() throws Exception {
    Run run = probe("/nonexistent/talmoro");
    assertEquals(run.output, 3, run.status);
    assertTrue(run.output, run.output.contains("libtalmoro.so"));
    assertTrue(run.output, run.output.contains("set java.library.path"));
  }

  @Test
  public void libraryLoadsFromJavaLibraryPath() throws Exception {
    Run run = probe(System.getProperty("java.library.path"));
    assertEquals(run.output, 0, run.status);
    assertEquals("loaded", run.output.trim());
  }
}
