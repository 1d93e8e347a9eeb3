// Scratch files for the harnesses whose parsers read a file: one private folder per process,
// and the input written there whole before each run.
#pragma once
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

// A new folder under /tmp named after the harness; the process aborts when none can be made.
inline std::string MakeScratchFolder(const char *harness) {
  std::string pattern = std::string("/tmp/kx-") + harness + "-fuzz-XXXXXX";
  if (!mkdtemp(&pattern[0])) std::abort();
  return pattern;
}

// The path of the harness's one input file, in a scratch folder made on the first call.
inline const std::string &InputFile(const char *harness, const char *name) {
  static const std::string path = MakeScratchFolder(harness) + "/" + name;
  return path;
}

inline void WriteWholeFile(const std::string &path, const std::uint8_t *data, std::size_t size) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  if (std::fclose(f) != 0) std::abort();
}

}  // namespace fuzz
