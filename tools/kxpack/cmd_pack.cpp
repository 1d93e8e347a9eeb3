// kxpack pack: files in, one ARJ archive out.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/kxpack/archive_maker.h"
#include "tools/kxpack/commands.h"
#include "tools/kxpack/decimal_arg.h"
#include "tools/kxpack/file_io.h"

namespace {

int Refuse(const std::string &why) {
  std::fprintf(stderr, "kxpack pack: %s\n", why.c_str());
  return 1;
}

}  // namespace

int CmdPack(int argc, char **argv) {
  const char *outputPath = nullptr;
  kxpack::MakeOptions options;
  std::vector<std::string> files;
  bool optionsDone = false;
  for (int i = 0; i < argc; ++i) {
    const char *arg = argv[i];
    if (optionsDone || std::strncmp(arg, "--", 2) != 0) {
      files.push_back(arg);
      continue;
    }
    if (!std::strcmp(arg, "--")) {
      optionsDone = true;
      continue;
    }
    if (!std::strcmp(arg, "--best")) {
      options.pack.best = true;
      continue;
    }
    const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!std::strcmp(arg, "--output") && value) {
      outputPath = value;
    } else if (!std::strcmp(arg, "--method") && value) {
      if (!kxpack::ParseMethod(value, &options.pack.method))
        return Refuse("--method takes 0, 1 or 4");
    } else if (!std::strcmp(arg, "--threads") && value) {
      unsigned long long threads = 0;
      if (!kxpack::ParseDecimal(value, kxpack::kMaxThreads, &threads) || threads == 0)
        return Refuse("--threads takes 1 to " + std::to_string(kxpack::kMaxThreads));
      options.threads = static_cast<unsigned>(threads);
    } else {
      return Refuse(std::string(value ? "unknown option " : "missing value after ") + arg);
    }
    ++i;
  }
  if (!outputPath || files.empty()) return Refuse("--output and at least one file are required");

  std::string why;
  if (!options.times.Init(&why)) return Refuse(why);
  // Written as it is made, under a temporary name that a failure removes.
  kxpack::AtomicOutput out(outputPath);
  std::FILE *f = out.Open();
  if (!f) return Refuse(std::string("cannot create ") + outputPath);
  kxpack::FileSink archive(f);
  if (!kxpack::PackFiles(files, kxpack::BareName(outputPath), options, &archive, &why))
    return Refuse(why);
  if (!archive.ok() || !out.Commit()) return Refuse(std::string("cannot write ") + outputPath);
  return 0;
}
