// A small command-line option reader for programs built on the library.
//
//   args::options opts;
//   opts.add(args::option("h", "help", false, false, "print this help"));
//   opts.add(args::option("d", "dir", true, true, "dictionary directory"));
//   args::args parsed = args::reader::parse(opts, argc, argv);
//   if (parsed.hasValue("help")) args::formatter(stdout, argv[0], opts);
//
// Every error throws args::exception with a message naming the option.
#ifndef TALMORO_BASE_ARGS_H_
#define TALMORO_BASE_ARGS_H_

#include <cstdio>
#include <exception>
#include <list>
#include <map>
#include <string>

#include "base/export.h"

namespace args {

class TALMORO_API exception : public std::exception {
 public:
  explicit exception(const std::string& message);
  const char* what() const noexcept override;

 private:
  std::string message_;
};

// One declared option: "-shortname" or "--longname", with or without a value.
class TALMORO_API option {
 public:
  option(const std::string& shortname, const std::string& longname,
         bool needvalue, bool required, const std::string& description);
  const std::string& shortname() const;
  const std::string& longname() const;
  bool needvalue() const;
  bool required() const;
  const std::string& description() const;

 private:
  std::string shortname_;
  std::string longname_;
  bool needvalue_;
  bool required_;
  std::string description_;
};

// The declared options, in declaration order.
class TALMORO_API options {
 public:
  options() = default;
  // The lookup tables point into the list, so copies and moves rebuild them
  // over their own list.
  options(const options& other);
  options(options&& other);
  options& operator=(const options& other);
  options& operator=(options&& other);

  // Throws "duplicate option: NAME" when the short or the long name is taken.
  void add(const option& opt);
  const option* getOptionByShortName(const std::string& name) const;
  const option* getOptionByLongName(const std::string& name) const;
  const std::list<option>& getOptions() const;

 private:
  void reindex();

  std::list<option> options_;
  std::map<std::string, const option*> by_short_;
  std::map<std::string, const option*> by_long_;
};

// The parse result: each parsed option's value under both of its names.
class TALMORO_API args {
 public:
  bool hasValue(const std::string& name) const;
  // Throws "no such option: NAME" when the name was not parsed.
  const std::string& getOption(const std::string& name) const;
  // An existing entry keeps its first value.
  void add(const std::string& name, const std::string& value);

 private:
  std::map<std::string, std::string> values_;
};

class TALMORO_API reader {
 public:
  // Parses argv[1 .. argc-1]; throws args::exception on any error.
  static args parse(const options& opts, int argc, const char* const* argv);
};

// Prints the usage text of `program` to `stream` when constructed.
class TALMORO_API formatter {
 public:
  formatter(FILE* stream, const char* program, const options& opts);
};

}  // namespace args

#endif  // TALMORO_BASE_ARGS_H_
