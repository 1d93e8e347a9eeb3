// libFuzzer harness over the inner installer's command line. The input gives the output
// capacity, the mode byte, the work folder and the command line the options come from. The
// output must fit its exact-sized buffer, be cleared on refusal, and start with the program.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/options.h"
#include "ui/installer_cmdline.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 3) return 0;
  const std::size_t cap = 1 + (std::size_t(data[0]) | std::size_t(data[1] & 0x03) << 8);
  const int silent = static_cast<signed char>(data[2]);
  const std::string rest(reinterpret_cast<const char *>(data + 3), size - 3);
  const std::size_t split = rest.find('\0');
  const std::string folder = rest.substr(0, split);
  const std::string line = split == std::string::npos ? "" : rest.substr(split + 1);

  kx::InstallerOptions opts;
  kx::ParseOptions(line.c_str(), &opts);

  // Exactly cap bytes on the heap, so a write past them is caught.
  std::vector<char> out(cap, 'X');
  const bool built = kx::BuildInstallerCommandLine(folder.c_str(), kx::DecodeSilent(silent), opts,
                                                   out.data(), out.size());
  if (::strnlen(out.data(), cap) >= cap) std::abort();
  if (!built && out[0] != '\0') std::abort();

  std::vector<char> path(cap, 'X');
  const bool pathBuilt = kx::BuildInstallerPath(folder.c_str(), path.data(), path.size());
  if (::strnlen(path.data(), cap) >= cap) std::abort();
  if (!pathBuilt && path[0] != '\0') std::abort();
  if (pathBuilt && std::string(path.data()) != folder + kx::kInstallerFileName) std::abort();

  if (built) {
    const std::string cmd = out.data();
    const std::string program = folder + kx::kInstallerFileName;
    const bool quoted = program.find_first_of(" \t") != std::string::npos;
    const std::string head = quoted ? "\"" + program + "\"" : program;
    if (cmd.compare(0, head.size(), head) != 0 || program.find('"') != std::string::npos)
      std::abort();
    if (opts.param[0] && cmd != head + " " + opts.param) std::abort();
  }
  return 0;
}
