#include "ui/installer_cmdline.h"

namespace kx {

// Placeholder until the launch lands.
bool BuildInstallerCommandLine(const char *, int, const InstallerOptions &, char *out,
                               std::size_t cap) {
  if (out && cap) out[0] = '\0';
  return false;
}

}  // namespace kx
