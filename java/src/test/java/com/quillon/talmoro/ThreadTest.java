package com.quillon.talmoro;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertTrue;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.Callable;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import org.junit.AfterClass;
import org.junit.BeforeClass;
import org.junit.Test;

/**
 * Analyzers and taggers of their own in several threads, over one shared
 * dictionary, user dictionary and model, give exactly the results of one
 * thread.
 */
public class ThreadTest {
  private static final int THREADS = 8;
  private static final int ROUNDS = 30;

  private static Knowledge knowledge;
  private static UserKnowledge user;
  private static Model model;
  private static List<String> sentences;
  private static List<String> words;

  @BeforeClass
  public static void load() throws Exception {
    // The first Java strings this virtual machine hands to the library are
    // converted here, by all threads at once, so the binding's text caches
    // are filled concurrently. Every load must succeed; one model is kept.
    List<Model> models = runTogether(() -> {
      Model m = Model.createObject();
      assertEquals(0, m.load(Fixtures.model()));
      return m;
    });
    model = models.get(0);
    for (Model m : models.subList(1, models.size())) {
      m.close();
    }
    knowledge = Fixtures.loadedKnowledge();
    user = Fixtures.loadedUserKnowledge();

    sentences = new ArrayList<>();
    for (String line : Files.readAllLines(Paths.get(Fixtures.data("speed-sample.txt")),
        StandardCharsets.UTF_8)) {
      if (!line.trim().isEmpty()) {
        sentences.add(line);
      }
    }
    // Words of the user dictionary, Chinese characters, Latin, digits and
    // symbols take the other paths of the analyzer.
    sentences.add("톨모로 학교에 漢字 ABC123 3.14% (나는) 사람이!");
    words = new ArrayList<>();
    for (String sentence : sentences) {
      words.addAll(Arrays.asList(sentence.trim().split("\\s+")));
    }
  }

  @AfterClass
  public static void close() {
    model.close();
    user.close();
    knowledge.close();
  }

  @Test
  public void threadsGiveTheResultsOfOneThread() throws Exception {
    List<String> tagged = new ArrayList<>();
    List<String> analysed = new ArrayList<>();
    try (Tagger tagger = Tagger.createObject(model, knowledge, user);
        Analyzer analyzer = Analyzer.createObject(knowledge, user)) {
      for (String sentence : sentences) {
        tagged.add(render(tagger.process(sentence)));
      }
      for (String word : words) {
        analysed.add(render(analyzer.process(word)));
      }
    }
    // The reference is real output: every sentence and word has results,
    // and the dictionaries and the model were used.
    String all = String.join("\n", tagged);
    assertTrue(all, all.contains("학교/nng[") && all.contains("톨모로/nnp[")
        && all.contains("한자/"));
    for (int i = 0; i < words.size(); i++) {
      assertTrue(words.get(i), analysed.get(i).startsWith(words.get(i) + "\n"));
      assertTrue(words.get(i), analysed.get(i).contains("/"));
    }

    long[] starts = new long[THREADS];
    long[] ends = new long[THREADS];
    int[] next = {0};
    List<Integer> counts = runTogether(() -> {
      int t;
      synchronized (next) {
        t = next[0]++;
      }
      starts[t] = System.nanoTime();
      int checked = 0;
      try (Tagger tagger = Tagger.createObject(model, knowledge, user)) {
        for (int round = 0; round < ROUNDS; round++) {
          // Each round a new analyzer set up through the setters, and each
          // thread begins the corpus at another sentence.
          try (Analyzer analyzer = Analyzer.createObject()) {
            analyzer.setSysKnowledge(knowledge);
            analyzer.setUserKnowledge(user);
            for (int k = 0; k < sentences.size(); k++) {
              int i = (k + t * 7) % sentences.size();
              check(tagged.get(i), render(tagger.process(sentences.get(i))), t, round,
                  sentences.get(i));
              checked++;
            }
            for (int k = 0; k < words.size(); k++) {
              int i = (k + t * 31) % words.size();
              check(analysed.get(i), render(analyzer.process(words.get(i))), t, round,
                  words.get(i));
              checked++;
            }
          }
        }
      }
      ends[t] = System.nanoTime();
      return checked;
    });

    for (int count : counts) {
      assertEquals(ROUNDS * (sentences.size() + words.size()), count);
    }
    // The threads ran at the same time: the last one started before the
    // first one finished.
    long lastStart = Arrays.stream(starts).max().getAsLong();
    long firstEnd = Arrays.stream(ends).min().getAsLong();
    assertTrue("the threads did not overlap", lastStart < firstEnd);
  }

  private static void check(String expected, String actual, int thread, int round,
      String input) {
    if (!expected.equals(actual)) {
      throw new AssertionError("thread " + thread + ", round " + round + ", input " + input
          + ":\nexpected\n" + expected + "\nbut got\n" + actual);
    }
  }

  /** Every field of a sentence: words, morphemes, tags, offsets and scores. */
  static String render(Sentence sentence) {
    StringBuilder text = new StringBuilder();
    for (Eojul eojul : sentence.getEojuls()) {
      text.append(eojul.getText()).append('\t');
      render(text, eojul.getResult());
      text.append('\n');
    }
    return text.toString();
  }

  /** Every field of a candidate: its origin and all its results in order. */
  static String render(Candidate candidate) {
    StringBuilder text = new StringBuilder();
    text.append(candidate.getOrigin()).append('\n');
    for (Result result : candidate.getResults()) {
      render(text, result);
      text.append('\n');
    }
    return text.toString();
  }

  private static void render(StringBuilder text, Result result) {
    if (result == null) {
      text.append("(none)");
      return;
    }
    // The score's bits, so that equal means exactly equal.
    text.append(Integer.toHexString(Float.floatToRawIntBits(result.getScore())));
    for (Morph m : result.getMorphs()) {
      text.append(' ').append(m.getLexicon()).append('/').append(m.getPosTag())
          .append('[').append(m.getStartOffset()).append(',').append(m.getEndOffset())
          .append(')');
    }
  }

  /**
   * Runs {@code job} in {@link #THREADS} threads released at the same moment
   * and returns their results; the first failure of any thread is rethrown.
   */
  private static <T> List<T> runTogether(Callable<T> job) throws Exception {
    ExecutorService pool = Executors.newFixedThreadPool(THREADS);
    CountDownLatch ready = new CountDownLatch(THREADS);
    CountDownLatch go = new CountDownLatch(1);
    try {
      List<Future<T>> futures = new ArrayList<>();
      for (int t = 0; t < THREADS; t++) {
        futures.add(pool.submit(() -> {
          ready.countDown();
          go.await();
          return job.call();
        }));
      }
      assertTrue("the threads did not start", ready.await(30, TimeUnit.SECONDS));
      go.countDown();
      List<T> results = new ArrayList<>();
      for (Future<T> future : futures) {
        try {
          results.add(future.get(120, TimeUnit.SECONDS));
        } catch (ExecutionException e) {
          Throwable cause = e.getCause();
          if (cause instanceof Error) {
            throw (Error) cause;
          }
          throw (Exception) cause;
        }
      }
      return results;
    } finally {
      pool.shutdownNow();
    }
  }
}
