package com.quillon.talmoro;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertNull;
import static org.junit.Assert.assertTrue;

import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.Arrays;
import java.util.List;
import org.junit.AfterClass;
import org.junit.BeforeClass;
import org.junit.Test;

public class AnalyzerTest {
  private static Knowledge knowledge;

  @BeforeClass
  public static void loadDictionary() {
    knowledge = Fixtures.loadedKnowledge();
  }

  @AfterClass
  public static void closeDictionary() {
    knowledge.close();
  }

  @Test
  public void analysesAWordIntoScoredMorphemes() {
    try (Analyzer analyzer = Analyzer.createObject(knowledge)) {
      Candidate candidate = analyzer.process("학교에");
      assertEquals("학교에", candidate.getOrigin());
      Result[] results = candidate.getResults();
      assertTrue(results.length >= 1);

      Result best = results[0];
      Morph[] morphs = best.getMorphs();
      assertEquals(2, morphs.length);
      assertEquals("학교", morphs[0].getLexicon());
      assertEquals("nng", morphs[0].getPosTag());
      assertEquals(0, morphs[0].getStartOffset());
      assertEquals(2, morphs[0].getEndOffset());
      assertEquals("에", morphs[1].getLexicon());
      assertEquals("jkb", morphs[1].getPosTag());
      assertEquals(2, morphs[1].getStartOffset());
      assertEquals(3, morphs[1].getEndOffset());
      assertTrue(best.getScore() > 0);

      assertEquals("학교/nng+에/jkb", best.toString());
      assertTrue(candidate.toString(),
          candidate.toString().startsWith("학교에: 학교/nng+에/jkb ("));
    }
  }

  @Test
  public void returnsEveryAnalysisBestFirst() {
    try (Analyzer analyzer = Analyzer.createObject(knowledge)) {
      Candidate candidate = analyzer.process("나는");
      List<String> analyses = Fixtures.analyses(candidate);
      assertTrue(analyses.toString(), analyses.contains("나/np+는/jx"));
      assertTrue(analyses.toString(), analyses.contains("나/vv+는/etm"));
      Result[] results = candidate.getResults();
      for (int i = 1; i < results.length; i++) {
        assertTrue(results[i - 1].getScore() >= results[i].getScore());
      }
    }
  }

  @Test
  public void textRoundTripsExactly() {
    try (Analyzer analyzer = Analyzer.createObject(knowledge)) {
      // Chinese characters are analysed by their Hangul reading.
      Candidate hanja = analyzer.process("漢字");
      assertEquals("漢字", hanja.getOrigin());
      assertEquals("한자", hanja.getResults()[0].getMorphs()[0].getLexicon());

      // A contracted ending comes back as the compatibility jamo it is.
      Candidate contracted = analyzer.process("갈");
      assertEquals("갈", contracted.getOrigin());
      assertTrue(Fixtures.analyses(contracted).toString(),
          Fixtures.analyses(contracted).contains("가/vv+ㄹ/etm"));
    }
    // Letters and digits need no dictionary.
    try (Analyzer bare = Analyzer.createObject()) {
      Candidate mixed = bare.process("ABC123");
      assertEquals("ABC123", mixed.getOrigin());
      Morph[] morphs = mixed.getResults()[0].getMorphs();
      assertEquals("abc/sl+123/sn", mixed.getResults()[0].toString());
      assertEquals(3, morphs[0].getEndOffset());
      assertEquals(3, morphs[1].getStartOffset());
      assertEquals(6, morphs[1].getEndOffset());
    }
  }

  @Test
  public void emptyWordLeavesTheFieldsNull() {
    try (Analyzer analyzer = Analyzer.createObject(knowledge)) {
      Candidate candidate = analyzer.process("");
      assertNull(candidate.origin);
      assertNull(candidate.result);
      assertNull(candidate.getOrigin());
      assertEquals(0, candidate.getResults().length);
      assertEquals(":", candidate.toString());
    }
  }

  @Test
  public void userDictionaryIsKeptWhenSetToNull() {
    try (UserKnowledge user = Fixtures.loadedUserKnowledge();
        Analyzer withUser = Analyzer.createObject(knowledge, user);
        Analyzer without = Analyzer.createObject(knowledge)) {
      assertEquals("톨모로/nnp", withUser.process("톨모로").getResults()[0].toString());
      withUser.setUserKnowledge(null);
      assertEquals("톨모로/nnp", withUser.process("톨모로").getResults()[0].toString());

      assertFalse(Fixtures.analyses(without.process("톨모로")).contains("톨모로/nnp"));
      without.setUserKnowledge(user);
      assertEquals("톨모로/nnp", without.process("톨모로").getResults()[0].toString());
    }
  }

  @Test
  public void userDictionaryLoadsFromText() {
    String text = "; comment\n한빛\t한빛/nnp\n";
    try (UserKnowledge user = UserKnowledge.createObject();
        Analyzer analyzer = Analyzer.createObject(knowledge)) {
      assertFalse(Fixtures.analyses(analyzer.process("한빛")).contains("한빛/nnp"));
      assertEquals(0, user.loadFromBuffer(text));
      analyzer.setUserKnowledge(user);
      assertEquals("한빛/nnp", analyzer.process("한빛").getResults()[0].toString());
    }
    assertEquals("; comment\n한빛\t한빛/nnp\n", text);
  }

  @Test
  public void systemDictionaryLoadsFromBuffers() throws Exception {
    byte[] tri = Files.readAllBytes(Paths.get(Fixtures.dictionary(), "sys.tri"));
    byte[] idx = Files.readAllBytes(Paths.get(Fixtures.dictionary(), "sys.idx"));
    byte[] dat = Files.readAllBytes(Paths.get(Fixtures.dictionary(), "sys.dat"));
    byte[] idxCopy = idx.clone();
    try (Knowledge fromBuffers = Knowledge.createObject()) {
      assertEquals(0, fromBuffers.loadFromBuffer(tri, idx, dat));
      assertArrayEquals(idxCopy, idx);
      try (Analyzer a = Analyzer.createObject(fromBuffers);
          Analyzer b = Analyzer.createObject(knowledge)) {
        for (String word : new String[] {"학교에", "나는", "개가", "먹는데"}) {
          assertEquals(word, b.process(word).toString(), a.process(word).toString());
        }
      }
      // An index whose size is not a multiple of 4 is refused.
      assertEquals(-2, fromBuffers.loadFromBuffer(tri, Arrays.copyOf(idx, idx.length - 1), dat));
    }
  }

  @Test
  public void loadFailuresReturnTheNativeCodes() {
    try (Knowledge k = Knowledge.createObject();
        UserKnowledge u = UserKnowledge.createObject();
        Model m = Model.createObject()) {
      assertTrue(k.load("/nonexistent/talmoro") < 0);
      assertEquals(-1, u.load("/nonexistent/talmoro/user.dic"));
      assertEquals(-1, m.load("/nonexistent/talmoro"));
    }
  }

  @Test
  public void settersApplyToLaterCalls() {
    try (Analyzer analyzer = Analyzer.createObject()) {
      analyzer.setSysKnowledge(knowledge);
      assertEquals("학교/nng+에/jkb", analyzer.process("학교에").getResults()[0].toString());
      analyzer.setStrictAnalysis(true);
      assertEquals("학교/nng+에/jkb", analyzer.process("학교에").getResults()[0].toString());
      analyzer.setStrictAnalysis(false);
      assertEquals("학교/nng+에/jkb", analyzer.process("학교에").getResults()[0].toString());
    }
  }
}
