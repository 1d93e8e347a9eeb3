// libFuzzer harness over the option parser: the input is a command line. Every value must
// stay terminated inside its member, and each one must come from its own option.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/ascii.h"
#include "base/options.h"

namespace {

bool Terminated(const char *text, std::size_t cap) { return ::strnlen(text, cap) < cap; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string input(reinterpret_cast<const char *>(data), size);
  const std::string line = input.c_str();  // what a C string of it holds
  kx::InstallerOptions opts;
  std::memset(&opts, 'X', sizeof opts);  // stale bytes the parser must clear
  const bool parsed = kx::ParseOptions(line.c_str(), &opts);
  if (parsed != (line.c_str()[0] != '\0')) std::abort();
  if (!Terminated(opts.productPath, sizeof opts.productPath) ||
      !Terminated(opts.param, sizeof opts.param) ||
      !Terminated(opts.firewall, sizeof opts.firewall))
    std::abort();
  if (opts.firewall[0] && std::strncmp(opts.firewall, "/FIREWALL=", 10) != 0) std::abort();
  if (opts.productPath[0] && line.find("/KXPATH=") == std::string::npos) std::abort();
  if (opts.param[0]) {
    std::string upper = line;
    for (char &c : upper) c = kx::AsciiUpper(c);
    if (upper.find("/PARAM=") == std::string::npos) std::abort();
  }
  kx::ParseOptions(nullptr, &opts);
  if (opts.productPath[0] || opts.param[0] || opts.firewall[0]) std::abort();
  return 0;
}
