#include "base/args.h"

#include <cstring>
#include <utility>
#include <vector>

namespace args {

exception::exception(const std::string& message) : message_(message) {}

const char* exception::what() const noexcept { return message_.c_str(); }

option::option(const std::string& shortname, const std::string& longname,
               bool needvalue, bool required, const std::string& description)
    : shortname_(shortname),
      longname_(longname),
      needvalue_(needvalue),
      required_(required),
      description_(description) {}

const std::string& option::shortname() const { return shortname_; }
const std::string& option::longname() const { return longname_; }
bool option::needvalue() const { return needvalue_; }
bool option::required() const { return required_; }
const std::string& option::description() const { return description_; }

options::options(const options& other) : options_(other.options_) {
  reindex();
}

options::options(options&& other) : options_(std::move(other.options_)) {
  other.options_.clear();
  other.by_short_.clear();
  other.by_long_.clear();
  reindex();
}

options& options::operator=(const options& other) {
  if (this != &other) {
    options_ = other.options_;
    reindex();
  }
  return *this;
}

options& options::operator=(options&& other) {
  if (this != &other) {
    options_ = std::move(other.options_);
    other.options_.clear();
    other.by_short_.clear();
    other.by_long_.clear();
    reindex();
  }
  return *this;
}

// The list never holds two options with the same short or long name (add
// refuses them), so every entry finds its own slot.
void options::reindex() {
  by_short_.clear();
  by_long_.clear();
  for (const option& opt : options_) {
    by_short_[opt.shortname()] = &opt;
    by_long_[opt.longname()] = &opt;
  }
}

void options::add(const option& opt) {
  if (by_short_.count(opt.shortname()) != 0)
    throw exception("duplicate option: " + opt.shortname());
  if (by_long_.count(opt.longname()) != 0)
    throw exception("duplicate option: " + opt.longname());
  options_.push_back(opt);
  const option* stored = &options_.back();
  by_short_[stored->shortname()] = stored;
  by_long_[stored->longname()] = stored;
}

const option* options::getOptionByShortName(const std::string& name) const {
  auto it = by_short_.find(name);
  return it == by_short_.end() ? nullptr : it->second;
}

const option* options::getOptionByLongName(const std::string& name) const {
  auto it = by_long_.find(name);
  return it == by_long_.end() ? nullptr : it->second;
}

const std::list<option>& options::getOptions() const { return options_; }

bool args::hasValue(const std::string& name) const {
  return values_.count(name) != 0;
}

const std::string& args::getOption(const std::string& name) const {
  auto it = values_.find(name);
  if (it == values_.end()) throw exception("no such option: " + name);
  return it->second;
}

void args::add(const std::string& name, const std::string& value) {
  values_.emplace(name, value);
}

args reader::parse(const options& opts, int argc, const char* const* argv) {
  args result;
  for (int i = 1; argv != nullptr && i < argc; ++i) {
    const std::string arg = argv[i] != nullptr ? argv[i] : "";
    const option* opt;
    if (arg.compare(0, 2, "--") == 0) {
      opt = opts.getOptionByLongName(arg.substr(2));
    } else if (arg.compare(0, 1, "-") != 0) {
      throw exception("option must start with '-' or '--': " + arg);
    } else {
      opt = opts.getOptionByShortName(arg.substr(1));
    }
    if (opt == nullptr) throw exception("cannot recognize option: " + arg);

    std::string value;
    if (opt->needvalue()) {
      if (i + 1 >= argc || argv[i + 1] == nullptr)
        throw exception("need value for option: " + arg);
      value = argv[++i];
    }
    result.add(opt->shortname(), value);
    result.add(opt->longname(), value);
  }

  for (const option& opt : opts.getOptions()) {
    if (!opt.required()) continue;
    if (!result.hasValue(opt.shortname()))
      throw exception("missing option: " + opt.shortname());
    if (!result.hasValue(opt.longname()))
      throw exception("missing option: " + opt.longname());
  }
  return result;
}

namespace {

// The text after the last '/', or else after the last '\\'.
const char* programName(const char* program) {
  const char* slash = strrchr(program, '/');
  if (slash == nullptr) slash = strrchr(program, '\\');
  return slash == nullptr ? program : slash + 1;
}

std::string label(const option& opt) {
  std::string text;
  if (!opt.shortname().empty()) text += "-" + opt.shortname();
  if (!opt.shortname().empty() && !opt.longname().empty()) text += ", ";
  if (!opt.longname().empty()) text += "--" + opt.longname();
  if (opt.needvalue()) text += " <arg>";
  return text;
}

}  // namespace

formatter::formatter(FILE* stream, const char* program, const options& opts) {
  if (stream == nullptr) return;
  fprintf(stream, "Usage) %s <options>\n", programName(program ? program : ""));
  fprintf(stream, "\n");
  fprintf(stream, "options:\n");

  std::vector<std::string> labels;
  size_t width = 0;
  for (const option& opt : opts.getOptions()) {
    labels.push_back(label(opt));
    if (labels.back().size() > width) width = labels.back().size();
  }
  char format[64];
  snprintf(format, sizeof format, " %%-%ds   %%s%%s\n",
           static_cast<int>(width));
  size_t k = 0;
  for (const option& opt : opts.getOptions()) {
    fprintf(stream, format, labels[k++].c_str(), opt.description().c_str(),
            opt.required() ? " (required)" : "");
  }
  fprintf(stream, "\n");
}

}  // namespace args
