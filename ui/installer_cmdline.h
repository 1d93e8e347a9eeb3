// The inner installer's command line. Portable: no windows.h.
#pragma once
#include <cstddef>

#include "app/options.h"

namespace kx {

// Builds "<folder>stage.exe" and its arguments into out (capacity cap). Returns false, with
// out cleared, when the line would not fit.
bool BuildInstallerCommandLine(const char *folder, int silent, const InstallerOptions &opts,
                               char *out, std::size_t cap);

}  // namespace kx
