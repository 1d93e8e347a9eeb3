// The inner installer's program path and command line.
#include "ui/installer_cmdline.h"

#include <cstring>

#include "base/text.h"

namespace kx {

namespace {

bool HoldsBlank(const char *text) { return std::strpbrk(text, " \t") != nullptr; }

bool Fail(char *out, std::size_t cap) {
  if (out && cap) out[0] = '\0';
  return false;
}

}  // namespace

bool BuildInstallerPath(const char *folder, char *out, std::size_t cap) {
  if (!out || cap == 0) return false;
  if (!folder || !JoinTexts(out, cap, folder, kInstallerFileName)) return Fail(out, cap);
  return true;
}

bool BuildInstallerCommandLine(const char *folder, const SilentMode &silent,
                               const InstallerOptions &opts, char *out, std::size_t cap) {
  if (!out || cap == 0) return false;
  char program[kPathCap];
  if (!BuildInstallerPath(folder, program, sizeof program)) return Fail(out, cap);

  // A path with a blank is quoted so that the installer's own argument parsing sees one
  // program name; a path without one stays exactly as it is, as the installer has always
  // received it. A quotation mark cannot be part of a file name, so such a path is refused.
  if (std::strchr(program, '"')) return Fail(out, cap);
  out[0] = '\0';
  bool ok;
  if (HoldsBlank(program)) {
    ok = AppendText(out, cap, "\"") && AppendText(out, cap, program) && AppendText(out, cap, "\"");
  } else {
    ok = AppendText(out, cap, program);
  }

  // A /PARAM= value replaces the whole argument list, the mode switch included.
  if (opts.param[0]) {
    ok = ok && AppendText(out, cap, " ") && AppendText(out, cap, opts.param);
  } else {
    ok = ok && AppendText(out, cap, silent.runHidden ? " /SILENT" : " /STANDARD");
    if (opts.productPath[0]) {
      ok = ok && AppendText(out, cap, " ") && AppendText(out, cap, opts.productPath);
    }
    if (opts.firewall[0]) {
      ok = ok && AppendText(out, cap, " ") && AppendText(out, cap, opts.firewall);
    }
  }
  // A cut line would hand the installer a changed option: refuse it instead.
  return ok ? true : Fail(out, cap);
}

}  // namespace kx
