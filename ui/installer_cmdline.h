// The inner installer's program path and command line. Portable: no windows.h.
#pragma once
#include <cstddef>

#include "base/options.h"
#include "base/stamp.h"

namespace kx {

// The inner installer's file name inside the work folder.
constexpr char kInstallerFileName[] = "stage.exe";

// Builds folder + "stage.exe" into out (capacity cap). Returns false, with out cleared, when
// the folder is missing or the path would not fit.
bool BuildInstallerPath(const char *folder, char *out, std::size_t cap);

// Builds the inner installer's command line into out (capacity cap): the program path, quoted
// when it holds a blank, then either " " and the /PARAM= value, or the mode switch (" /SILENT"
// for a hidden run, else " /STANDARD") followed by the product path and the firewall text, each
// after one blank and only when not empty. Returns false, with out cleared, when the line would
// not fit or the path holds a quotation mark, which no file name can hold.
bool BuildInstallerCommandLine(const char *folder, const SilentMode &silent,
                               const InstallerOptions &opts, char *out, std::size_t cap);

}  // namespace kx
