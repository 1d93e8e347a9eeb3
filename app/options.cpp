#include "app/options.h"

namespace kx {

// Placeholder until option parsing lands.
bool ParseOptions(const char *cmdLine, InstallerOptions *opts) {
  if (!opts) return false;
  opts->productPath[0] = opts->param[0] = opts->firewall[0] = '\0';
  return cmdLine && *cmdLine;
}

}  // namespace kx
