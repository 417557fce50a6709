package com.quillon.talmoro;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertNotNull;
import static org.junit.Assert.assertNull;
import static org.junit.Assert.assertTrue;

import java.util.Arrays;
import org.junit.AfterClass;
import org.junit.BeforeClass;
import org.junit.Test;

public class TaggerTest {
  private static Knowledge knowledge;
  private static Model model;

  @BeforeClass
  public static void load() {
    knowledge = Fixtures.loadedKnowledge();
    model = Fixtures.loadedModel();
  }

  @AfterClass
  public static void close() {
    model.close();
    knowledge.close();
  }

  @Test
  public void tagsEachWordInOrderWithSentenceOffsets() {
    try (Tagger tagger = Tagger.createObject(model, knowledge)) {
      Sentence sentence = tagger.process("학교에 사람이 책을");
      Eojul[] eojuls = sentence.getEojuls();
      assertEquals(Arrays.asList("학교에", "사람이", "책을"), Fixtures.words(sentence));
      for (Eojul eojul : eojuls) {
        assertNotNull(eojul.getResult());
      }
      assertEquals("학교/nng+에/jkb 사람/nng+이/jks 책/nng+을/jko", sentence.toString());
      assertEquals("사람이\t사람/nng+이/jks", eojuls[1].toString());

      Morph[] second = eojuls[1].getResult().getMorphs();
      assertEquals(4, second[0].getStartOffset());
      assertEquals(6, second[0].getEndOffset());
      assertEquals(7, second[1].getEndOffset());
      Morph[] third = eojuls[2].getResult().getMorphs();
      assertEquals(8, third[0].getStartOffset());
      assertEquals(10, third[1].getEndOffset());
    }
  }

  @Test
  public void theModelChoosesTheAnalysis() {
    // Without a model a word keeps its first analysis; the training corpus
    // has only the verb reading of 나는.
    try (Tagger plain = Tagger.createObject();
        Tagger trained = Tagger.createObject()) {
      plain.setSysKnowledge(knowledge);
      trained.setSysKnowledge(knowledge);
      trained.setModel(model);
      assertEquals("나/np+는/jx 사람/nng+이/jks", plain.process("나는 사람이").toString());
      assertEquals("나/vv+는/etm 사람/nng+이/jks", trained.process("나는 사람이").toString());
    }
  }

  @Test
  public void wordsRoundTripExactlyWhateverTheSpacing() {
    try (Tagger tagger = Tagger.createObject(model, knowledge)) {
      Sentence sentence = tagger.process("나는\t개가\n갈  漢字\r\nABC123");
      assertEquals(Arrays.asList("나는", "개가", "갈", "漢字", "ABC123"), Fixtures.words(sentence));
      Eojul hanja = sentence.getEojuls()[3];
      assertEquals("한자", hanja.getResult().getMorphs()[0].getLexicon());
      assertEquals(9, hanja.getResult().getMorphs()[0].getStartOffset());
    }
  }

  @Test
  public void emptySentenceLeavesTheFieldNull() {
    try (Tagger tagger = Tagger.createObject(model, knowledge)) {
      Sentence sentence = tagger.process("");
      assertNull(sentence.eojul);
      assertEquals(0, sentence.getEojuls().length);
      assertEquals("", sentence.toString());
    }
  }

  @Test
  public void userDictionaryIsKeptWhenSetToNull() {
    try (UserKnowledge user = Fixtures.loadedUserKnowledge();
        Tagger withUser = Tagger.createObject(model, knowledge, user);
        Tagger without = Tagger.createObject(model, knowledge)) {
      assertEquals("톨모로/nnp 학교/nng+에/jkb", withUser.process("톨모로 학교에").toString());
      withUser.setUserKnowledge(null);
      assertEquals("톨모로/nnp 학교/nng+에/jkb", withUser.process("톨모로 학교에").toString());

      String before = without.process("톨모로").getEojuls()[0].getResult().toString();
      assertTrue(before, !before.equals("톨모로/nnp"));
      without.setUserKnowledge(user);
      assertEquals("톨모로/nnp", without.process("톨모로").toString());
    }
  }

  @Test
  public void tagsASentenceOfFiveThousandWords() {
    String[] vocabulary = {"학교에", "사람이", "책을", "나는", "개가", "먹는데", "漢字", "A1"};
    int count = 5000;
    String[] words = new String[count];
    int[] starts = new int[count];
    StringBuilder text = new StringBuilder();
    for (int i = 0; i < count; i++) {
      if (i > 0) {
        text.append(' ');
      }
      words[i] = vocabulary[(i * 7 + i / 3) % vocabulary.length];
      starts[i] = text.length();
      text.append(words[i]);
    }
    try (Tagger tagger = Tagger.createObject(model, knowledge)) {
      Eojul[] eojuls = tagger.process(text.toString()).getEojuls();
      assertEquals(count, eojuls.length);
      int morphemes = 0;
      for (int i = 0; i < count; i++) {
        assertEquals(words[i], eojuls[i].getText());
        Morph[] morphs = eojuls[i].getResult().getMorphs();
        assertTrue(morphs.length > 0);
        assertEquals("word " + i, starts[i], morphs[0].getStartOffset());
        assertEquals("word " + i, starts[i] + words[i].length(),
            morphs[morphs.length - 1].getEndOffset());
        morphemes += morphs.length;
      }
      assertTrue(morphemes > count);
    }
  }
}
