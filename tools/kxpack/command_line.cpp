#include "tools/kxpack/command_line.h"

#include <cstdio>
#include <cstring>

#include "tools/kxpack/progress.h"

namespace kxpack {

bool CommandLine::Parse(int argc, char **argv, const std::vector<OptionSpec> &options,
                        std::string *why) {
  bool options_done = false;
  for (int i = 0; i < argc; ++i) {
    const char *arg = argv[i];
    if (options_done || arg[0] != '-' || !arg[1]) {
      operands_.push_back(arg);
      continue;
    }
    if (!std::strcmp(arg, "--")) {
      options_done = true;
      continue;
    }
    if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
      help_ = true;
      continue;
    }
    const OptionSpec *spec = nullptr;
    for (const OptionSpec &o : options) {
      if (!std::strcmp(arg, o.name)) spec = &o;
    }
    if (!spec) {
      *why = std::string("unknown option ") + arg;
      return false;
    }
    const char *value = nullptr;
    if (spec->takes_value) {
      if (i + 1 >= argc) {
        *why = std::string("missing value after ") + arg;
        return false;
      }
      value = argv[++i];
    }
    given_.emplace_back(spec->name, value);
  }
  return true;
}

const char *CommandLine::Value(const char *option) const {
  const char *value = nullptr;
  for (const auto &g : given_) {
    if (g.first == option) value = g.second;
  }
  return value;
}

bool CommandLine::Has(const char *option) const {
  for (const auto &g : given_) {
    if (g.first == option) return true;
  }
  return false;
}

int CommandLine::Fail(const std::string &why) const {
  ClearProgressLine(stderr);
  std::fprintf(stderr, "kxpack %s: %s\n", name_, why.c_str());
  return kExitFailure;
}

int CommandLine::UsageError(const std::string &why) const {
  ClearProgressLine(stderr);
  std::fprintf(stderr, "kxpack %s: %s\n(kxpack help %s shows its usage)\n", name_, why.c_str(),
               name_);
  return kExitUsage;
}

}  // namespace kxpack
