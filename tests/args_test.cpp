#include "base/args.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

// The message of the args::exception thrown by `call`, or "<no throw>".
std::string thrownMessage(const std::function<void()>& call) {
  try {
    call();
  } catch (const args::exception& e) {
    return e.what();
  }
  return "<no throw>";
}

args::args parse(const args::options& opts, std::vector<const char*> argv) {
  argv.insert(argv.begin(), "prog");
  return args::reader::parse(opts, static_cast<int>(argv.size()), argv.data());
}

std::string parseError(const args::options& opts,
                       const std::vector<const char*>& argv) {
  return thrownMessage([&] { parse(opts, argv); });
}

std::string usage(const char* program, const args::options& opts) {
  FILE* stream = tmpfile();
  if (stream == nullptr) return "<no tmpfile>";
  args::formatter(stream, program, opts);
  std::string text;
  rewind(stream);
  char buffer[256];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, stream)) > 0) text.append(buffer, n);
  fclose(stream);
  return text;
}

args::options helpAndDir(bool dirRequired) {
  args::options opts;
  opts.add(args::option("h", "help", false, false, "print this help"));
  opts.add(args::option("d", "dir", true, dirRequired, "dictionary directory"));
  return opts;
}

}  // namespace

TEST(ArgsOptions, RejectsDuplicateNames) {
  args::options opts = helpAndDir(false);
  EXPECT_EQ(thrownMessage([&] { opts.add(args::option("h", "hello", false, false, "")); }),
            "duplicate option: h");
  EXPECT_EQ(thrownMessage([&] { opts.add(args::option("x", "dir", true, false, "")); }),
            "duplicate option: dir");
  // Both names taken: the short name is reported.
  EXPECT_EQ(thrownMessage([&] { opts.add(args::option("d", "dir", true, false, "")); }),
            "duplicate option: d");
  // An empty name collides with another empty name.
  opts.add(args::option("", "all", false, false, ""));
  EXPECT_EQ(thrownMessage([&] { opts.add(args::option("", "none", false, false, "")); }),
            "duplicate option: ");
  opts.add(args::option("q", "", false, false, ""));
  EXPECT_EQ(thrownMessage([&] { opts.add(args::option("r", "", false, false, "")); }),
            "duplicate option: ");
  // Failed declarations leave nothing behind.
  ASSERT_EQ(opts.getOptions().size(), 4u);
  EXPECT_EQ(opts.getOptionByShortName("x"), nullptr);
  EXPECT_EQ(opts.getOptionByLongName("hello"), nullptr);
}

TEST(ArgsOptions, LooksUpByEitherName) {
  args::options opts = helpAndDir(true);
  const args::option* dir = opts.getOptionByShortName("d");
  ASSERT_NE(dir, nullptr);
  EXPECT_EQ(dir, opts.getOptionByLongName("dir"));
  EXPECT_EQ(dir->longname(), "dir");
  EXPECT_TRUE(dir->needvalue());
  EXPECT_TRUE(dir->required());
  EXPECT_EQ(dir->description(), "dictionary directory");
  EXPECT_EQ(opts.getOptionByShortName("dir"), nullptr);
  EXPECT_EQ(opts.getOptionByLongName("d"), nullptr);
  ASSERT_EQ(opts.getOptions().size(), 2u);
  EXPECT_EQ(opts.getOptions().front().shortname(), "h");
  EXPECT_EQ(opts.getOptions().back().shortname(), "d");
}

TEST(ArgsOptions, CopiesAndMovesPointIntoTheirOwnList) {
  args::options copy;
  {
    args::options original = helpAndDir(true);
    copy = original;
    args::options constructed(original);
    EXPECT_EQ(constructed.getOptionByLongName("dir"),
              &constructed.getOptions().back());
    EXPECT_NE(constructed.getOptionByLongName("dir"),
              original.getOptionByLongName("dir"));
  }
  // The original is gone; the copy must not point into it.
  EXPECT_EQ(copy.getOptionByShortName("h"), &copy.getOptions().front());
  EXPECT_EQ(copy.getOptionByLongName("dir"), &copy.getOptions().back());
  EXPECT_EQ(parse(copy, {"-d", "x"}).getOption("dir"), "x");

  args::options moved(std::move(copy));
  EXPECT_EQ(moved.getOptionByShortName("d"), &moved.getOptions().back());
  EXPECT_EQ(copy.getOptionByShortName("d"), nullptr);
  args::options assigned;
  assigned = std::move(moved);
  EXPECT_EQ(assigned.getOptionByLongName("help"), &assigned.getOptions().front());
  // A moved-from set can be filled again.
  moved.add(args::option("d", "dir", false, false, ""));
  EXPECT_EQ(moved.getOptions().size(), 1u);
}

TEST(ArgsReader, EntersValuesUnderBothNames) {
  args::options opts = helpAndDir(false);
  args::args parsed = parse(opts, {"--help", "-d", "/tmp/dic"});
  EXPECT_TRUE(parsed.hasValue("h"));
  EXPECT_TRUE(parsed.hasValue("help"));
  EXPECT_EQ(parsed.getOption("help"), "");
  EXPECT_EQ(parsed.getOption("d"), "/tmp/dic");
  EXPECT_EQ(parsed.getOption("dir"), "/tmp/dic");
  EXPECT_FALSE(parsed.hasValue("/tmp/dic"));

  args::args none = parse(opts, {});
  EXPECT_FALSE(none.hasValue("h"));
  EXPECT_FALSE(none.hasValue("d"));
  EXPECT_EQ(thrownMessage([&] { none.getOption("dir"); }), "no such option: dir");
}

TEST(ArgsReader, ValueIsTheNextArgumentWhateverItLooksLike) {
  args::options opts = helpAndDir(false);
  args::args parsed = parse(opts, {"-d", "-h"});
  EXPECT_EQ(parsed.getOption("dir"), "-h");
  EXPECT_FALSE(parsed.hasValue("help"));
  EXPECT_EQ(parse(opts, {"--dir", "--help"}).getOption("d"), "--help");
  EXPECT_EQ(parse(opts, {"-d", ""}).getOption("d"), "");
}

TEST(ArgsReader, RepeatedOptionKeepsFirstValue) {
  args::options opts = helpAndDir(false);
  args::args parsed = parse(opts, {"-d", "first", "--dir", "second", "-d", "third"});
  EXPECT_EQ(parsed.getOption("d"), "first");
  EXPECT_EQ(parsed.getOption("dir"), "first");

  args::args table;
  table.add("k", "one");
  table.add("k", "two");
  EXPECT_EQ(table.getOption("k"), "one");
}

TEST(ArgsReader, ReportsEveryParseError) {
  args::options opts = helpAndDir(false);
  EXPECT_EQ(parseError(opts, {"dir"}), "option must start with '-' or '--': dir");
  EXPECT_EQ(parseError(opts, {"-h", ""}), "option must start with '-' or '--': ");
  EXPECT_EQ(parseError(opts, {"-x"}), "cannot recognize option: -x");
  EXPECT_EQ(parseError(opts, {"--nope"}), "cannot recognize option: --nope");
  // Short and long names are not interchangeable.
  EXPECT_EQ(parseError(opts, {"-help"}), "cannot recognize option: -help");
  EXPECT_EQ(parseError(opts, {"--h"}), "cannot recognize option: --h");
  EXPECT_EQ(parseError(opts, {"-d"}), "need value for option: -d");
  EXPECT_EQ(parseError(opts, {"-h", "--dir"}), "need value for option: --dir");
  // A bare dash names the empty option, which is not declared here.
  EXPECT_EQ(parseError(opts, {"-"}), "cannot recognize option: -");
  EXPECT_EQ(parseError(opts, {"--"}), "cannot recognize option: --");
}

TEST(ArgsReader, EnforcesRequiredOptionsInDeclarationOrder) {
  args::options opts = helpAndDir(true);
  opts.add(args::option("m", "model", true, true, "model directory"));
  EXPECT_EQ(parseError(opts, {}), "missing option: d");
  EXPECT_EQ(parseError(opts, {"-h"}), "missing option: d");
  EXPECT_EQ(parseError(opts, {"-d", "x"}), "missing option: m");
  args::args parsed = parse(opts, {"--model", "m", "-d", "x"});
  EXPECT_EQ(parsed.getOption("model"), "m");

  // A required option with an empty short name is missing under that name.
  args::options unnamed;
  unnamed.add(args::option("", "dir", true, true, ""));
  EXPECT_EQ(parseError(unnamed, {}), "missing option: ");
  EXPECT_EQ(parse(unnamed, {"--dir", "x"}).getOption("dir"), "x");
}

TEST(ArgsReader, BareDashesNameTheEmptyOptions) {
  args::options opts;
  opts.add(args::option("", "all", false, false, ""));
  opts.add(args::option("n", "", true, false, ""));
  args::args shortForm = parse(opts, {"-"});
  EXPECT_TRUE(shortForm.hasValue(""));
  EXPECT_TRUE(shortForm.hasValue("all"));
  args::args longForm = parse(opts, {"--", "5"});
  EXPECT_EQ(longForm.getOption("n"), "5");
  EXPECT_EQ(longForm.getOption(""), "5");
  EXPECT_FALSE(longForm.hasValue("all"));
}

TEST(ArgsFormatter, PrintsAlignedUsage) {
  args::options opts = helpAndDir(true);
  EXPECT_EQ(usage("/usr/local/bin/analyze", opts),
            "Usage) analyze <options>\n"
            "\n"
            "options:\n"
            " -h, --help        print this help\n"
            " -d, --dir <arg>   dictionary directory (required)\n"
            "\n");

  args::options single;
  single.add(args::option("v", "", false, false, "verbose"));
  single.add(args::option("", "level", true, false, "level"));
  EXPECT_EQ(usage("tag", single),
            "Usage) tag <options>\n"
            "\n"
            "options:\n"
            " -v              verbose\n"
            " --level <arg>   level\n"
            "\n");
}

TEST(ArgsFormatter, TakesProgramNameAfterLastSeparator) {
  args::options empty;
  const std::string rest = "\noptions:\n\n";
  EXPECT_EQ(usage("prog", empty), "Usage) prog <options>\n" + rest);
  EXPECT_EQ(usage("a/b/prog", empty), "Usage) prog <options>\n" + rest);
  EXPECT_EQ(usage("C:\\bin\\prog.exe", empty), "Usage) prog.exe <options>\n" + rest);
  // A forward slash wins over any backslash.
  EXPECT_EQ(usage("x\\y/z\\prog", empty), "Usage) z\\prog <options>\n" + rest);
  EXPECT_EQ(usage("dir/", empty), "Usage)  <options>\n" + rest);
}
