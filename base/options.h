// Installation options taken from the command line. Portable: no windows.h.
#pragma once
#include <cstddef>

namespace kx {

constexpr std::size_t kFirewallCap = 12;  // 11 characters and a terminator

struct InstallerOptions {
  char productPath[260];        // from /KXPATH=
  char param[260];              // from /PARAM=, upper-cased
  char firewall[kFirewallCap];  // first 11 characters of /FIREWALL=, upper-cased
};

// Parses cmdLine into opts (all three emptied first). Returns true when the line was not
// empty. Lines longer than 259 characters are cut to 259 before parsing.
bool ParseOptions(const char *cmdLine, InstallerOptions *opts);

}  // namespace kx
