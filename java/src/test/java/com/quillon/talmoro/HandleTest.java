package com.quillon.talmoro;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;
import static org.junit.Assert.assertThrows;
import static org.junit.Assert.assertTrue;

import org.junit.AfterClass;
import org.junit.BeforeClass;
import org.junit.Test;

/** Lifetime of the handles, and misuse that must raise a Java exception. */
public class HandleTest {
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
  public void destroyingTwiceIsHarmless() {
    Analyzer analyzer = Analyzer.createObject();
    assertFalse(analyzer.isClosed());
    Analyzer.destroyObject(analyzer);
    assertTrue(analyzer.isClosed());
    Analyzer.destroyObject(analyzer);
    analyzer.close();

    Tagger tagger = Tagger.createObject();
    Tagger.destroyObject(tagger);
    Tagger.destroyObject(tagger);
    assertTrue(tagger.isClosed());

    Knowledge k = Knowledge.createObject();
    Knowledge.destroyObject(k);
    Knowledge.destroyObject(k);
    assertTrue(k.isClosed());

    UserKnowledge u = UserKnowledge.createObject();
    u.close();
    UserKnowledge.destroyObject(u);
    assertTrue(u.isClosed());

    Model m = Model.createObject();
    m.close();
    m.close();
    assertTrue(m.isClosed());

    // A handle never created holds no object either.
    Analyzer.destroyObject(new Analyzer());
  }

  @Test
  public void tryWithResourcesDestroysTheNativeObject() {
    Analyzer kept;
    Tagger keptTagger;
    try (Analyzer analyzer = Analyzer.createObject(knowledge);
        Tagger tagger = Tagger.createObject(model, knowledge)) {
      kept = analyzer;
      keptTagger = tagger;
      assertFalse(analyzer.isClosed());
      assertEquals(1, tagger.process("학교에").getEojuls().length);
    }
    assertTrue(kept.isClosed());
    assertTrue(keptTagger.isClosed());
  }

  @Test
  public void callsOnDestroyedHandlesThrowIllegalState() {
    Analyzer analyzer = Analyzer.createObject(knowledge);
    analyzer.close();
    assertThrows(IllegalStateException.class, () -> analyzer.process("학교에"));
    assertThrows(IllegalStateException.class, () -> analyzer.setStrictAnalysis(true));
    assertThrows(IllegalStateException.class, () -> analyzer.setSysKnowledge(knowledge));
    assertThrows(IllegalStateException.class, () -> analyzer.setUserKnowledge(null));
    IllegalStateException e =
        assertThrows(IllegalStateException.class, () -> new Analyzer().process("학교에"));
    assertTrue(e.getMessage(), e.getMessage().contains("analyzer"));

    Tagger tagger = Tagger.createObject(model, knowledge);
    tagger.close();
    assertThrows(IllegalStateException.class, () -> tagger.process("학교에"));
    assertThrows(IllegalStateException.class, () -> tagger.setModel(model));
    assertThrows(IllegalStateException.class, () -> tagger.setSysKnowledge(knowledge));
    assertThrows(IllegalStateException.class, () -> tagger.setUserKnowledge(null));
    assertThrows(IllegalStateException.class, () -> new Tagger().process("학교에"));

    Knowledge k = Knowledge.createObject();
    k.close();
    assertThrows(IllegalStateException.class, () -> k.load(Fixtures.dictionary()));
    assertThrows(IllegalStateException.class,
        () -> k.loadFromBuffer(new byte[0], new byte[0], new byte[0]));
    UserKnowledge u = UserKnowledge.createObject();
    u.close();
    assertThrows(IllegalStateException.class, () -> u.load(Fixtures.data("user.dic")));
    assertThrows(IllegalStateException.class, () -> u.loadFromBuffer("나\t나/np\n"));
    Model m = Model.createObject();
    m.close();
    assertThrows(IllegalStateException.class, () -> m.load(Fixtures.model()));
    assertThrows(IllegalStateException.class, () -> new Model().load(Fixtures.model()));
  }

  @Test
  public void destroyedArgumentsThrowIllegalState() {
    Knowledge k = Knowledge.createObject();
    k.close();
    UserKnowledge u = UserKnowledge.createObject();
    u.close();
    Model m = Model.createObject();
    m.close();
    assertThrows(IllegalStateException.class, () -> Analyzer.createObject(k));
    assertThrows(IllegalStateException.class, () -> Analyzer.createObject(knowledge, u));
    assertThrows(IllegalStateException.class, () -> Tagger.createObject(m));
    assertThrows(IllegalStateException.class, () -> Tagger.createObject(model, k));
    assertThrows(IllegalStateException.class, () -> Tagger.createObject(model, knowledge, u));
    try (Analyzer analyzer = Analyzer.createObject(knowledge);
        Tagger tagger = Tagger.createObject(model, knowledge)) {
      assertThrows(IllegalStateException.class, () -> analyzer.setSysKnowledge(k));
      assertThrows(IllegalStateException.class, () -> analyzer.setUserKnowledge(u));
      assertThrows(IllegalStateException.class, () -> tagger.setModel(m));
      assertThrows(IllegalStateException.class, () -> tagger.setSysKnowledge(k));
      assertThrows(IllegalStateException.class, () -> tagger.setUserKnowledge(u));
      // The failed calls changed nothing.
      assertEquals("학교/nng+에/jkb", analyzer.process("학교에").getResults()[0].toString());
      assertEquals("학교/nng+에/jkb", tagger.process("학교에").toString());
    }
  }

  @Test
  public void processAfterAUsedHandleIsClosedThrowsIllegalState() {
    Knowledge k = Fixtures.loadedKnowledge();
    UserKnowledge u = Fixtures.loadedUserKnowledge();
    Model m = Fixtures.loadedModel();
    try (Analyzer analyzer = Analyzer.createObject(k, u);
        Analyzer bySetters = Analyzer.createObject();
        Tagger tagger = Tagger.createObject(m, k, u);
        Tagger taggerBySetters = Tagger.createObject()) {
      bySetters.setSysKnowledge(k);
      taggerBySetters.setModel(m);
      taggerBySetters.setSysKnowledge(k);
      assertEquals("톨모로/nnp", tagger.process("톨모로").toString());

      m.close();
      IllegalStateException e =
          assertThrows(IllegalStateException.class, () -> tagger.process("학교에"));
      assertTrue(e.getMessage(), e.getMessage().startsWith("model "));
      assertThrows(IllegalStateException.class, () -> taggerBySetters.process("학교에"));
      // An analyzer does not use the model.
      assertEquals("톨모로/nnp", analyzer.process("톨모로").getResults()[0].toString());

      try (Model again = Fixtures.loadedModel()) {
        // A live model makes the tagger usable again.
        tagger.setModel(again);
        assertEquals("학교/nng+에/jkb", tagger.process("학교에").toString());

        u.close();
        e = assertThrows(IllegalStateException.class, () -> tagger.process("학교에"));
        assertTrue(e.getMessage(), e.getMessage().startsWith("user knowledge "));
        assertThrows(IllegalStateException.class, () -> analyzer.process("학교에"));
        // A null argument keeps the closed user dictionary; a live one replaces it.
        analyzer.setUserKnowledge(null);
        assertThrows(IllegalStateException.class, () -> analyzer.process("학교에"));
        try (UserKnowledge other = Fixtures.loadedUserKnowledge()) {
          analyzer.setUserKnowledge(other);
          assertEquals("톨모로/nnp", analyzer.process("톨모로").getResults()[0].toString());
          assertEquals("학교/nng+에/jkb", bySetters.process("학교에").getResults()[0].toString());

          k.close();
          e = assertThrows(IllegalStateException.class, () -> analyzer.process("학교에"));
          assertTrue(e.getMessage(), e.getMessage().startsWith("knowledge "));
          assertThrows(IllegalStateException.class, () -> bySetters.process("학교에"));
          assertThrows(IllegalStateException.class, () -> taggerBySetters.process("학교에"));
          // Setters still refuse a closed argument and accept a live one.
          assertThrows(IllegalStateException.class, () -> bySetters.setSysKnowledge(k));
          bySetters.setSysKnowledge(knowledge);
          assertEquals("학교/nng+에/jkb", bySetters.process("학교에").getResults()[0].toString());
        }
      }
    }
  }

  @Test
  public void unloadedDictionariesAndModelsAreEmpty() {
    try (Knowledge unloaded = Knowledge.createObject();
        Knowledge failed = Knowledge.createObject();
        Model unloadedModel = Model.createObject();
        Model failedModel = Model.createObject()) {
      assertTrue(failed.load(Fixtures.data("no-such-directory")) < 0);
      assertTrue(failedModel.load(Fixtures.data("no-such-directory")) < 0);
      try (Analyzer a = Analyzer.createObject(unloaded);
          Analyzer b = Analyzer.createObject(failed);
          Tagger plain = Tagger.createObject(unloadedModel, knowledge);
          Tagger afterFailure = Tagger.createObject(failedModel, knowledge);
          Tagger nothing = Tagger.createObject(unloadedModel, failed)) {
        // Without a dictionary a word gets the whole-word fallback; without a
        // model every word keeps its first analysis.
        assertEquals("학교에/nf", a.process("학교에").getResults()[0].toString());
        assertEquals("학교에/nf", b.process("학교에").getResults()[0].toString());
        assertEquals("나/np+는/jx 사람/nng+이/jks", plain.process("나는 사람이").toString());
        assertEquals("나/np+는/jx 사람/nng+이/jks", afterFailure.process("나는 사람이").toString());
        assertEquals(2, nothing.process("나는 사람이").getEojuls().length);
      }
    }
  }

  @Test
  public void nullArgumentsThrowNullPointer() {
    assertThrows(NullPointerException.class, () -> Analyzer.createObject((Knowledge) null));
    assertThrows(NullPointerException.class, () -> Analyzer.createObject(null, null));
    assertThrows(NullPointerException.class, () -> Analyzer.createObject(knowledge, null));
    assertThrows(NullPointerException.class, () -> Analyzer.destroyObject(null));
    assertThrows(NullPointerException.class, () -> Tagger.createObject((Model) null));
    assertThrows(NullPointerException.class, () -> Tagger.createObject(model, null));
    assertThrows(NullPointerException.class, () -> Tagger.createObject(null, knowledge));
    assertThrows(NullPointerException.class, () -> Tagger.createObject(model, knowledge, null));
    assertThrows(NullPointerException.class, () -> Tagger.destroyObject(null));
    assertThrows(NullPointerException.class, () -> Knowledge.destroyObject(null));
    assertThrows(NullPointerException.class, () -> UserKnowledge.destroyObject(null));
    assertThrows(NullPointerException.class, () -> Model.destroyObject(null));

    try (Analyzer analyzer = Analyzer.createObject(knowledge);
        Tagger tagger = Tagger.createObject(model, knowledge);
        Knowledge k = Knowledge.createObject();
        UserKnowledge u = UserKnowledge.createObject();
        Model m = Model.createObject()) {
      NullPointerException e =
          assertThrows(NullPointerException.class, () -> analyzer.process(null));
      assertEquals("text is null", e.getMessage());
      assertThrows(NullPointerException.class, () -> analyzer.setSysKnowledge(null));
      assertThrows(NullPointerException.class, () -> tagger.process(null));
      assertThrows(NullPointerException.class, () -> tagger.setModel(null));
      assertThrows(NullPointerException.class, () -> tagger.setSysKnowledge(null));
      assertThrows(NullPointerException.class, () -> k.load(null));
      byte[] empty = new byte[0];
      assertThrows(NullPointerException.class, () -> k.loadFromBuffer(null, empty, empty));
      assertThrows(NullPointerException.class, () -> k.loadFromBuffer(empty, null, empty));
      e = assertThrows(NullPointerException.class, () -> k.loadFromBuffer(empty, empty, null));
      assertEquals("sys.dat buffer is null", e.getMessage());
      assertThrows(NullPointerException.class, () -> u.load(null));
      assertThrows(NullPointerException.class, () -> u.loadFromBuffer(null));
      assertThrows(NullPointerException.class, () -> m.load(null));

      // The handles still work after the exceptions.
      assertEquals("학교/nng+에/jkb", analyzer.process("학교에").getResults()[0].toString());
      assertEquals("학교/nng+에/jkb", tagger.process("학교에").toString());
    }
  }
}
