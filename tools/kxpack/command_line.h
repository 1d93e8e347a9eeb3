// The command line of one kxpack command, read by one set of rules for all of them: options
// among the operands, each given once or the last one counting, `--` ending them, `--help`
// and `-h` asking for the usage. Also where a command's messages go: every error on stderr
// behind `kxpack COMMAND:`, and the exit code that goes with it.
#pragma once
#include <string>
#include <vector>

namespace kxpack {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // the work could not be done, or found problems
constexpr int kExitUsage = 2;    // the command line is wrong; nothing was done

struct OptionSpec {
  const char *name;  // "--method"
  bool takes_value;
};

class CommandLine {
 public:
  // name: the command's, for its messages; usage: its usage text, options included.
  CommandLine(const char *name, const char *usage) : name_(name), usage_(usage) {}

  // Reads the arguments after the command name against the options the command takes.
  // False with a reason when an option is unknown or its value is missing.
  bool Parse(int argc, char **argv, const std::vector<OptionSpec> &options, std::string *why);

  bool help() const { return help_; }
  // The value given for an option that takes one, or nullptr.
  const char *Value(const char *option) const;
  // Whether an option without a value was given.
  bool Has(const char *option) const;
  const std::vector<std::string> &operands() const { return operands_; }

  const char *name() const { return name_; }
  const char *usage() const { return usage_; }

  // Prints "kxpack NAME: why" on stderr; returns kExitFailure.
  int Fail(const std::string &why) const;
  // Prints "kxpack NAME: why" and where the usage is on stderr; returns kExitUsage.
  int UsageError(const std::string &why) const;

 private:
  const char *name_;
  const char *usage_;
  bool help_ = false;
  std::vector<std::pair<std::string, const char *>> given_;  // option, value (or nullptr)
  std::vector<std::string> operands_;
};

}  // namespace kxpack
