package com.quillon.talmoro;

import static org.junit.Assert.assertEquals;

import java.io.File;
import java.util.ArrayList;
import java.util.List;

/** Paths of the test fixtures, passed by the test runner as system properties. */
final class Fixtures {
  private Fixtures() {}

  private static String property(String name) {
    String value = System.getProperty(name);
    if (value == null) {
      throw new IllegalStateException("system property " + name + " is not set");
    }
    return value;
  }

  /** The compiled dictionary of tests/data/basic.lex. */
  static String dictionary() {
    return property("talmoro.test.fixtures") + File.separator + "dic";
  }

  /** The model trained on tests/data/java/tagged.txt. */
  static String model() {
    return property("talmoro.test.fixtures") + File.separator + "model";
  }

  /** A file of tests/data. */
  static String data(String name) {
    return property("talmoro.test.data") + File.separator + name;
  }

  static Knowledge loadedKnowledge() {
    Knowledge knowledge = Knowledge.createObject();
    assertEquals(0, knowledge.load(dictionary()));
    return knowledge;
  }

  static Model loadedModel() {
    Model model = Model.createObject();
    assertEquals(0, model.load(model()));
    return model;
  }

  static UserKnowledge loadedUserKnowledge() {
    UserKnowledge user = UserKnowledge.createObject();
    assertEquals(0, user.load(data("user.dic")));
    return user;
  }

  /** Every analysis of a candidate as text, best first. */
  static List<String> analyses(Candidate candidate) {
    List<String> texts = new ArrayList<>();
    for (Result result : candidate.getResults()) {
      texts.add(result.toString());
    }
    return texts;
  }

  /** The words of a tagged sentence. */
  static List<String> words(Sentence sentence) {
    List<String> texts = new ArrayList<>();
    for (Eojul eojul : sentence.getEojuls()) {
      texts.add(eojul.getText());
    }
    return texts;
  }
}
